#pragma once

#include "platform/System.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace monitor {

// The lock the checks share and the signal a folder watch gives. Apart from the rest of their
// state, so that a watch's thread, which holds it, never keeps that state alive: ending a watch
// from its own thread would wait for itself.
struct WatchSignal
{
    std::mutex mutex;
    std::condition_variable changed;
    bool folderChanged = false; // the watch saw entries come or go
};

// Keeps a watch on the folder the newest answer listed. It has a lock of its own, apart from the
// checks': setting a watch up may hang on a folder that stopped answering, and must hold back
// neither the checks nor the no-answer notice.
class FolderFollower
{
public:
    // Tells the watch that a listing of `folder` starts (see FolderWatch::listingStarts), when it
    // is the folder watched. Skipped while a watch is being set up, which may hang.
    void listingStarts(const std::string& folder);

    // Whether the watch on `folder` vouches that the last listing's answer still holds (see
    // FolderWatch::unchangedSinceListing). False while a watch is being set up.
    [[nodiscard]] bool unchanged(const std::string& folder);

    // After answer number `sequence` listed `folder` (empty: nothing to watch) and found it to be
    // `identity`: watches it, unless a later answer's folder is watched already. A watch that
    // ended is resumed, or set up again where it cannot be. One whose path has come to name
    // another folder (a parent renamed, a link pointed elsewhere), which its watch would never
    // tell, is set up again. One that could not be set up, or threw, is tried again at later
    // answers, after one second, then twice as long each time up to a minute. Skipped while
    // another answer's watch is being set up.
    void follow(const platform::System& system, const std::string& folder,
                const std::optional<platform::FolderIdentity>& identity, unsigned long long sequence,
                const std::shared_ptr<WatchSignal>& signal);

private:
    std::mutex m_mutex;
    std::unique_ptr<platform::FolderWatch> m_watch;
    std::string m_watched;
    std::optional<platform::FolderIdentity> m_identity;
    unsigned long long m_sequence = 0;
    unsigned m_failures = 0;
    std::chrono::steady_clock::time_point m_retryAt{};
};

} // namespace monitor
