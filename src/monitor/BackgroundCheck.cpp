#include "monitor/BackgroundCheck.h"

#include "monitor/ArrivalPoll.h"

// std::chrono's durations come with <condition_variable>: <chrono> itself holds a "µs" literal
// that the Windows build's Shift-JIS execution character set cannot take.
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace monitor {

// Shared by the owner and the checking thread, and kept alive by whichever ends last.
struct BackgroundCheck::Shared
{
    Shared(const platform::System& checked, Deliver delivered) : system(checked), deliver(std::move(delivered)) {}

    const platform::System& system;
    Deliver deliver;
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<unsigned> requested; // the generation of the next check to run
    bool running = false;
    bool stopping = false;
};

BackgroundCheck::BackgroundCheck(const platform::System& system, Deliver deliver)
    : m_shared(std::make_shared<Shared>(system, std::move(deliver)))
{
    std::thread([shared = m_shared] {
        for (;;) {
            CheckResult result;
            {
                std::unique_lock lock(shared->mutex);
                shared->changed.wait(lock, [&] { return shared->stopping || shared->requested.has_value(); });
                if (shared->stopping)
                    return;
                result.generation = *shared->requested;
                shared->requested.reset();
                shared->running = true;
            }
            try {
                result.status = pollStatus(shared->system);
            } catch (const std::exception& failure) {
                result.failure = failure.what();
            }
            std::lock_guard lock(shared->mutex);
            shared->running = false;
            shared->changed.notify_all();
            if (shared->stopping)
                return;
            shared->deliver(std::move(result));
        }
    }).detach();
}

BackgroundCheck::~BackgroundCheck()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->stopping = true;
    m_shared->changed.notify_all();
    // A check of a few milliseconds is waited for, so that it never outlives the system it
    // reads; one that hangs on a folder that stopped answering is left to end by itself.
    m_shared->changed.wait_for(lock, std::chrono::seconds(2), [&] { return !m_shared->running; });
}

void BackgroundCheck::request(unsigned generation)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->requested = generation;
    m_shared->changed.notify_all();
}

} // namespace monitor
