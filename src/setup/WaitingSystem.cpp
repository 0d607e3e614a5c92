#include "setup/WaitingSystem.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
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
    std::deque<std::function<void()>> calls;
    bool stopping = false;
};

namespace {

// Runs the calls handed over, one at a time, until told to stop with none left.
void serve(const std::shared_ptr<WaitingSystem::Worker>& worker)
{
    std::unique_lock lock(worker->mutex);
    for (;;) {
        worker->wake.wait(lock, [&] { return !worker->calls.empty() || worker->stopping; });
        if (worker->calls.empty())
            return;
        std::function<void()> call = std::move(worker->calls.front());
        worker->calls.pop_front();
        lock.unlock();
        call();
        // What the call holds goes here, outside the lock.
        call = nullptr;
        lock.lock();
    }
}

void stop(WaitingSystem::Worker& worker)
{
    const std::lock_guard lock(worker.mutex);
    worker.stopping = true;
    worker.wake.notify_all();
}

} // namespace

WaitingSystem::WaitingSystem(std::shared_ptr<platform::System> system, WindowLoop& loop)
    : m_system(std::move(system)), m_loop(loop), m_writes(std::make_shared<Writes>())
{
    try {
        startWorker();
    } catch (const std::exception&) {
        // The first call tries again.
    }
}

WaitingSystem::~WaitingSystem()
{
    if (m_worker)
        stop(*m_worker);
    // An idle thread ends at once; one on a call given up on ends when that call returns.
    if (m_thread.joinable()) {
        if (m_abandoned)
            m_thread.detach();
        else
            m_thread.join();
    }
}

void WaitingSystem::startWorker() const
{
    auto worker = std::make_shared<Worker>();
    std::thread thread(serve, worker);
    if (m_worker)
        stop(*m_worker);
    if (m_thread.joinable())
        m_thread.detach();
    m_worker = std::move(worker);
    m_thread = std::move(thread);
}

void WaitingSystem::hand(std::function<void()> call) const
{
    // After a call given up on, which may still run, the next one goes to a new thread. Nothing
    // changes if that thread cannot be had.
    if (!m_worker || m_abandoned) {
        startWorker();
        m_abandoned = false;
    }
    const std::lock_guard lock(m_worker->mutex);
    m_worker->calls.push_back(std::move(call));
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
        bool answered = false;
        try {
            answered = m_loop.runUntil([&] {
                const std::lock_guard check(answer->mutex);
                return answer->done;
            });
        } catch (...) {
            m_abandoned = true;
            throw;
        }
        if (!answered) {
            m_abandoned = true;
            throw CommandAbandoned();
        }
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
    // Not counted among the writes: a folder's creation cut off leaves no file half written.
    return offThread([path](platform::System& system) { return system.createDirectory(path); }, false);
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

platform::LoginStart WaitingSystem::loginStart(const std::string& settingsFolder) const
{
    return offThread([settingsFolder](const platform::System& system) { return system.loginStart(settingsFolder); },
                     false);
}

int WaitingSystem::setLoginStart(const std::string& settingsFolder, bool on)
{
    return offThread(
        [settingsFolder, on](platform::System& system) { return system.setLoginStart(settingsFolder, on); }, true);
}

} // namespace setup
