#pragma once

#include "platform/System.h"
#include "platform/posix/FileDescriptor.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <utility>

namespace platform::posix {

// A folder watched with inotify: a thread waits on the inotify descriptor and on an eventfd
// that ends it, and calls `changed` once for each batch of events it reads. The watch is one-shot:
// after a change it sees nothing until the next listing starts, so a folder that changes thousands of times a
// second wakes it once per check.
class InotifyWatch : public FolderWatch
{
public:
    // Null when the folder cannot be watched (no such folder, or no watches left).
    [[nodiscard]] static std::unique_ptr<InotifyWatch> create(const std::string& path, std::function<void()> changed);
    ~InotifyWatch() override;
    [[nodiscard]] bool ended() const override { return m_ended; }
    // Arms the one-shot watch again, once it has fired.
    void listingStarts() override;
    [[nodiscard]] bool unchangedSinceListing() const override;
    // Whether `path` lies on a file system whose changes all pass through this kernel, so that
    // its watch misses none: not a network file system, nor FUSE.
    [[nodiscard]] static bool onLocalDisk(const std::string& path);
    InotifyWatch(const InotifyWatch&) = delete;
    InotifyWatch& operator=(const InotifyWatch&) = delete;

private:
    InotifyWatch(std::string path, FileDescriptor inotify, FileDescriptor stop, std::function<void()> changed,
                 int watch);
    void run();

    std::string m_path;
    FileDescriptor m_inotify;
    FileDescriptor m_stop;
    std::function<void()> m_changed;
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_fired{false}; // a change was reported since the watch was last armed
    std::atomic<int> m_watch;         // the descriptor of the watch armed last
    bool m_local = false;
    std::optional<std::pair<dev_t, ino_t>> m_identity; // of the folder watched, when local
    std::atomic<bool> m_covering{false};               // armed before the last listing started
    std::thread m_thread;
};

} // namespace platform::posix
