#include "setup/WaitingSystem.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace setup {

namespace {

// A call's answer, shared by the waiting window and the calling thread, which may outlive it.
template <typename Result> struct Answer
{
    std::mutex mutex;
    std::condition_variable ready;
    std::optional<Result> result;
    std::exception_ptr failure;
    bool done = false;
};

// How long a call may take before the window's loop runs: long enough for a local disk, short
// enough that nobody sees the window stop.
constexpr auto quickCall = std::chrono::milliseconds(50);

} // namespace

struct WaitingSystem::Writes
{
    std::mutex mutex;
    std::condition_variable ended;
    int underWay = 0;
};

struct WaitingSystem::Worker
{
    std::mutex mutex;
    std::condition_variable wake;
    std::function<void()> call; // handed over, not yet taken
    bool busy = false;          // from the handing over to the call's end
    bool stopping = false;
};

namespace {

// Runs the calls handed over, one at a time, until told to stop while idle.
void serve(const std::shared_ptr<WaitingSystem::Worker>& worker)
{
    std::unique_lock lock(worker->mutex);
    for (;;) {
        worker->wake.wait(lock, [&] { return worker->call || worker->stopping; });
        if (!worker->call)
            return;
        std::function<void()> call = std::move(worker->call);
        worker->call = nullptr;
        lock.unlock();
        call();
        // What the call holds goes here, outside the lock.
        call = nullptr;
        lock.lock();
        worker->busy = false;
    }
}

std::shared_ptr<WaitingSystem::Worker> startWorker()
{
    auto worker = std::make_shared<WaitingSystem::Worker>();
    std::thread(serve, worker).detach();
    return worker;
}

} // namespace

WaitingSystem::WaitingSystem(std::shared_ptr<platform::System> system, WindowLoop& loop)
    : m_system(std::move(system)), m_loop(loop), m_writes(std::make_shared<Writes>())
{
    try {
        m_worker = startWorker();
    } catch (const std::system_error&) {
        // The first call tries again.
    }
}

WaitingSystem::~WaitingSystem()
{
    if (m_worker) {
        const std::lock_guard lock(m_worker->mutex);
        m_worker->stopping = true;
        m_worker->wake.notify_all();
    }
}

void WaitingSystem::hand(std::function<void()> call) const
{
    if (m_worker) {
        const std::lock_guard lock(m_worker->mutex);
        if (!m_worker->busy) {
            m_worker->call = std::move(call);
            m_worker->busy = true;
            m_worker->wake.notify_all();
            return;
        }
        // It ends by itself once the call it is on returns.
        m_worker->stopping = true;
    }
    m_worker = startWorker();
    const std::lock_guard lock(m_worker->mutex);
    m_worker->call = std::move(call);
    m_worker->busy = true;
    m_worker->wake.notify_all();
}

void WaitingSystem::finishWrites(unsigned milliseconds) const
{
    std::unique_lock lock(m_writes->mutex);
    m_writes->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return m_writes->underWay == 0; });
}

// `call` takes the system and owns copies of its arguments: the thread may outlive this frame.
template <typename Call> auto WaitingSystem::offThread(Call call, bool writes) const
{
    using Result = decltype(call(*m_system));
    const auto answer = std::make_shared<Answer<Result>>();
    const std::shared_ptr<Writes> counted = writes ? m_writes : nullptr;
    if (counted) {
        const std::lock_guard lock(counted->mutex);
        ++counted->underWay;
    }
    const auto ended = [counted] {
        if (counted) {
            const std::lock_guard lock(counted->mutex);
            --counted->underWay;
            counted->ended.notify_all();
        }
    };
    try {
        hand([answer, system = m_system, call = std::move(call), ended] {
            std::optional<Result> result;
            std::exception_ptr failure;
            try {
                result.emplace(call(*system));
            } catch (...) {
                // Carried to the waiting thread, which rethrows it there.
                failure = std::current_exception();
            }
            ended();
            const std::lock_guard lock(answer->mutex);
            answer->result = std::move(result);
            answer->failure = failure;
            answer->done = true;
            answer->ready.notify_all();
        });
    } catch (...) {
        // No thread: nothing is under way, and the failure reaches the window's boundary.
        ended();
        throw;
    }

    std::unique_lock lock(answer->mutex);
    if (!answer->ready.wait_for(lock, quickCall, [&] { return answer->done; })) {
        lock.unlock();
        const bool answered = m_loop.runUntil([&] {
            const std::lock_guard check(answer->mutex);
            return answer->done;
        });
        if (!answered)
            throw CommandAbandoned();
        lock.lock();
    }
    if (answer->failure)
        std::rethrow_exception(answer->failure);
    return std::move(*answer->result);
}

platform::DirectoryName WaitingSystem::currentDirectory() const
{
    return offThread([](const platform::System& system) { return system.currentDirectory(); }, false);
}

platform::EntryKind WaitingSystem::entryKind(const std::string& path) const
{
    return offThread([path](const platform::System& system) { return system.entryKind(path); }, false);
}

bool WaitingSystem::createDirectory(const std::string& path)
{
    return offThread([path](platform::System& system) { return system.createDirectory(path); }, true);
}

std::optional<std::string> WaitingSystem::readFile(const std::string& path) const
{
    return offThread([path](const platform::System& system) { return system.readFile(path); }, false);
}

platform::WriteResult WaitingSystem::createFile(const std::string& path, std::string_view content)
{
    return offThread(
        [path, content = std::string(content)](platform::System& system) { return system.createFile(path, content); },
        true);
}

bool WaitingSystem::replaceFileContent(const std::string& path, std::string_view content)
{
    return offThread([path, content = std::string(content)](
                         platform::System& system) { return system.replaceFileContent(path, content); },
                     true);
}

std::string WaitingSystem::fullPathName(const std::string& path) const
{
    return offThread([path](const platform::System& system) { return system.fullPathName(path); }, false);
}

} // namespace setup
