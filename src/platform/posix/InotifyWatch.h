#pragma once

#include "platform/System.h"
#include "platform/posix/FileDescriptor.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

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
    InotifyWatch(const InotifyWatch&) = delete;
    InotifyWatch& operator=(const InotifyWatch&) = delete;

private:
    InotifyWatch(std::string path, FileDescriptor inotify, FileDescriptor stop, std::function<void()> changed);
    void run();

    std::string m_path;
    FileDescriptor m_inotify;
    FileDescriptor m_stop;
    std::function<void()> m_changed;
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_fired{false}; // a change was reported since the watch was last armed
    std::thread m_thread;
};

} // namespace platform::posix
