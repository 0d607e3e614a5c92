#include "monitor/FolderFollower.h"

#include <algorithm>
#include <exception>

namespace monitor {

void FolderFollower::listingStarts(const std::string& folder)
{
    // Only the watched folder's own listing: telling the watch may touch its folder, and another
    // folder's listing must not wait on one that may have stopped answering.
    const std::unique_lock lock(m_mutex, std::try_to_lock);
    if (lock.owns_lock() && m_watch != nullptr && folder == m_watched)
        m_watch->listingStarts();
}

bool FolderFollower::unchanged(const std::string& folder)
{
    const std::unique_lock lock(m_mutex, std::try_to_lock);
    return lock.owns_lock() && m_watch != nullptr && folder == m_watched && m_watch->unchangedSinceListing();
}

void FolderFollower::follow(const platform::System& system, const std::string& folder,
                            const std::optional<platform::FolderIdentity>& identity, unsigned long long sequence,
                            const std::shared_ptr<WatchSignal>& signal)
{
    using Clock = std::chrono::steady_clock;
    // Another answer's watch is being set up, and may hang: this answer does without, rather
    // than wait behind it with a thread of its own.
    const std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock() || sequence < m_sequence)
        return;
    m_sequence = sequence;
    const Clock::time_point now = Clock::now();
    const bool same = folder == m_watched && identity == m_identity;
    if (same && m_watch != nullptr && (!m_watch->ended() || m_watch->resume()))
        return;
    if (same && m_watch == nullptr && m_failures > 0 && now < m_retryAt)
        return;
    if (!same)
        m_failures = 0;
    // The old watch ends first: its thread may be waiting for the signal's lock, which is free here.
    m_watch.reset();
    m_watched = folder;
    m_identity = identity;
    if (folder.empty())
        return;
    try {
        m_watch = system.watchFolder(folder, [signal] {
            const std::lock_guard signalLock(signal->mutex);
            signal->folderChanged = true;
            signal->changed.notify_all();
        });
    } catch (const std::exception&) {
        // A watch is a help, not a need: the ticks go on without it, and it is tried again.
        m_watch.reset();
    }
    if (m_watch != nullptr) {
        m_failures = 0;
        return;
    }
    const unsigned doublings = std::min(m_failures, 6U);
    ++m_failures;
    m_retryAt = now + std::min<Clock::duration>(std::chrono::seconds(1U << doublings), std::chrono::minutes(1));
}

} // namespace monitor
