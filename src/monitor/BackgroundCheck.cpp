#include "monitor/BackgroundCheck.h"

#include "monitor/ArrivalPoll.h"

// std::chrono's durations come with <condition_variable>: <chrono> itself holds a "µs" literal
// that the Windows build's Shift-JIS execution character set cannot take.
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace monitor {

// Shared by the owner, the checking thread and the folder watch, and kept alive by whichever
// of the first two ends last.
struct BackgroundCheck::Shared
{
    Shared(const platform::System& checked, Deliver delivered) : system(checked), deliver(std::move(delivered)) {}

    const platform::System& system;
    Deliver deliver;
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<unsigned> requested; // a tick's request: the generation of the next check
    bool folderChanged = false;        // the watch saw entries come or go
    unsigned lastGeneration = 0;
    std::chrono::steady_clock::time_point nextExtraCheck{};
    bool running = false;
    bool stopping = false;
};

namespace {

using Clock = std::chrono::steady_clock;

// Extra checks come no closer than this, however quick the listing: each one may change the
// texts and the icon, which costs the window more than the listing costs this thread.
constexpr Clock::duration leastExtraGap = std::chrono::milliseconds(20);

// Keeps a watch on the folder the last check listed while it exists; a new folder, or one that
// went and came back, gets a new watch. Runs on the checking thread, without the lock held: ending
// a watch waits for its thread, which may be waiting for the lock.
void followFolder(const std::shared_ptr<BackgroundCheck::Shared>& shared, const FolderCheck& check,
                  std::unique_ptr<platform::FolderWatch>& watch, std::string& watched)
{
    const std::string wanted = check.status && *check.status != Status::NoFolder ? check.folder : std::string();
    if (wanted == watched && !(watch != nullptr && watch->ended()))
        return;
    watch.reset();
    watched = wanted;
    if (wanted.empty())
        return;
    watch = shared->system.watchFolder(wanted, [weak = std::weak_ptr(shared)] {
        if (const auto alive = weak.lock()) {
            const std::lock_guard lock(alive->mutex);
            alive->folderChanged = true;
            alive->changed.notify_all();
        }
    });
}

} // namespace

BackgroundCheck::BackgroundCheck(const platform::System& system, Deliver deliver)
    : m_shared(std::make_shared<Shared>(system, std::move(deliver)))
{
    std::thread([shared = m_shared] {
        // Declared first, so that it ends after the lock is let go.
        std::unique_ptr<platform::FolderWatch> watch;
        std::string watched;
        for (;;) {
            CheckResult result;
            {
                std::unique_lock lock(shared->mutex);
                for (;;) {
                    if (shared->stopping)
                        return;
                    if (shared->requested || (shared->folderChanged && Clock::now() >= shared->nextExtraCheck))
                        break;
                    if (shared->folderChanged)
                        shared->changed.wait_until(lock, shared->nextExtraCheck);
                    else
                        shared->changed.wait(lock);
                }
                result.generation = shared->requested.value_or(shared->lastGeneration);
                shared->requested.reset();
                shared->folderChanged = false;
                shared->running = true;
            }
            if (watch != nullptr)
                watch->listingStarts();
            const Clock::time_point started = Clock::now();
            FolderCheck check;
            try {
                check = checkFolder(shared->system);
            } catch (const std::exception& failure) {
                result.failure = failure.what();
            }
            const Clock::duration took = Clock::now() - started;
            result.status = check.status;
            followFolder(shared, check, watch, watched);

            std::lock_guard lock(shared->mutex);
            shared->running = false;
            shared->nextExtraCheck = Clock::now() + std::max<Clock::duration>(9 * took, leastExtraGap);
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

void showCheck(const CheckResult& result, StatusView& view)
{
    if (result.failure)
        throw std::runtime_error(*result.failure);
    if (result.status)
        showStatus(*result.status, view);
}

void BackgroundCheck::request(unsigned generation)
{
    std::lock_guard lock(m_shared->mutex);
    m_shared->requested = generation;
    m_shared->lastGeneration = generation;
    m_shared->changed.notify_all();
}

} // namespace monitor
