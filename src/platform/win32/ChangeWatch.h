#pragma once

#include "platform/System.h"
#include "platform/win32/DeviceNotices.h"
#include "platform/win32/WinHandle.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace platform::win32 {

// A folder watched with FindFirstChangeNotificationA, once: a thread waits on the notification
// and on an event that ends it, and at the first change closes the notification and calls
// `changed`. The checker takes a new watch after the check that follows, so a folder that changes
// all the time has nothing to report in between (under Wine, whose server would otherwise read
// every change). The notification holds the folder open, and a folder deleted while it is open
// stays until it closes: the watch ends as each listing starts, and what arrives during the
// listing waits for the tick. A second handle on the folder is registered with the device
// notices: when Windows asks to remove the folder's drive, the watch lets go of the folder and
// ends without reporting a change.
class ChangeWatch : public FolderWatch
{
public:
    // Null when the folder cannot be watched. Without a device notice the watch still watches.
    [[nodiscard]] static std::unique_ptr<ChangeWatch> create(const std::string& path, std::function<void()> changed,
                                                             std::shared_ptr<DeviceNotices> notices);
    ~ChangeWatch() override;
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;
    [[nodiscard]] bool ended() const override { return m_ended; }
    void listingStarts() override { stop(); }

    // For tests, as Wine never asks to remove a device: sends the device notices' window the
    // DBT_DEVICEQUERYREMOVE that Windows sends for the folder's handle, and returns the answer.
    LRESULT askToRemoveDevice() const { return m_notices->askToRemove(m_folderAsOpened); }

private:
    ChangeWatch(FileHandle folder, HANDLE notification, FileHandle stop, std::function<void()> changed,
                std::shared_ptr<DeviceNotices> notices);
    void run();
    // Takes the registration out, then lets go; the watch has then ended.
    void stop();
    // Ends the thread and closes the notification and the folder. Called by the notices as they
    // take the registration out (under their lock), then by `stop`, never by two threads at once;
    // a second call finds nothing left to do.
    void letGo();

    // The registered handle as opened, to find it among the notices; never closed through this
    // copy.
    const HANDLE m_folderAsOpened;
    FileHandle m_folder;
    HANDLE m_notification; // null once it has fired
    FileHandle m_stop;
    std::function<void()> m_changed;
    std::atomic<bool> m_ended{false};
    const std::shared_ptr<DeviceNotices> m_notices;
    std::optional<DeviceNotices::Id> m_registration; // the owner's side only
    std::thread m_thread;
};

} // namespace platform::win32
