#pragma once

#include "platform/System.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform::win32 {

// A folder watched with FindFirstChangeNotificationA, once: a thread waits on the notification
// and on an event that ends it, and at the first change closes the notification and calls
// `changed`. The checker takes a new watch after the check that follows, so a folder that changes
// all the time has nothing to report in between (under Wine, whose server would otherwise read
// every change). The notification holds the folder open, and a folder deleted while it is open
// stays until it closes: the watch ends as each listing starts, and what arrives during the
// listing waits for the tick.
class ChangeWatch : public FolderWatch
{
public:
    // Null when the folder cannot be watched.
    [[nodiscard]] static std::unique_ptr<ChangeWatch> create(const std::string& path, std::function<void()> changed);
    ~ChangeWatch() override;
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;
    [[nodiscard]] bool ended() const override { return m_ended; }
    void listingStarts() override { stop(); }

private:
    ChangeWatch(HANDLE notification, HANDLE stop, std::function<void()> changed);
    void run();
    // Ends the thread and closes the notification; the watch has then ended.
    void stop();

    HANDLE m_notification; // null once it has fired
    HANDLE m_stop;
    std::function<void()> m_changed;
    std::atomic<bool> m_ended{false};
    std::thread m_thread;
};

} // namespace platform::win32
