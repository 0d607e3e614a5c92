#pragma once

#include "platform/System.h"
#include "platform/win32/DeviceNotices.h"
#include "platform/win32/FileIdentity.h"
#include "platform/win32/WinHandle.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace platform::win32 {

// A folder watched with FindFirstChangeNotificationA: a thread waits on the notification and on
// an event that ends it, and at the first change closes the notification and calls `changed`.
// The checker resumes the watch after the check that follows, with a new notification, so a
// folder that changes all the time has nothing to report in between (under Wine, whose server
// would otherwise read every change). The notification holds the folder open and is closed as
// each listing starts; what arrives during the listing waits for the tick. On a fixed NTFS volume
// a notification that has not fired stays on through the listing instead, so that the listing's
// answer holds for as long as it stays quiet.
//
// A handle on the folder is held for as long as the watch, registered with the device notices:
// when Windows asks to remove the folder's drive, the watch lets go of the folder and ends
// without reporting a change, and cannot be resumed. Deleted while held, the folder is either gone
// from its path at once or left delete-pending, which the listing sees as gone too; the watch
// lets go of a folder that is going as the listing starts, so that the folder is gone by then.
class ChangeWatch : public FolderWatch
{
public:
    // Whether the folder held by `folder` is being deleted, or can no longer be asked.
    using FolderGoing = std::function<bool(HANDLE folder)>;
    // FileStandardInfo's DeletePending for the handle.
    [[nodiscard]] static bool deletePending(HANDLE folder);
    // Whether `path` is on a network drive, whose questions may hang; one that cannot be told is.
    [[nodiscard]] static bool onShare(const std::string& path);
    // Whether `path` is on a fixed NTFS volume, whose every change its notifications tell.
    [[nodiscard]] static bool onLocalNtfs(const std::string& path);

    // Null when the folder cannot be watched. Without a device notice the watch still watches.
    [[nodiscard]] static std::unique_ptr<ChangeWatch> create(const std::string& path, std::function<void()> changed,
                                                             std::shared_ptr<DeviceNotices> notices,
                                                             FolderGoing going = &deletePending,
                                                             bool (*remote)(const std::string&) = &onShare,
                                                             bool (*local)(const std::string&) = &onLocalNtfs);
    ~ChangeWatch() override;
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;
    [[nodiscard]] bool ended() const override { return m_ended; }
    void listingStarts() override;
    [[nodiscard]] bool resume() override;
    [[nodiscard]] bool unchangedSinceListing() const override;

    // For tests, as Wine never asks to remove a device: sends the device notices' window the
    // DBT_DEVICEQUERYREMOVE that Windows sends for the folder's handle, and returns the answer.
    LRESULT askToRemoveDevice() const { return m_notices->askToRemove(m_folderAsOpened); }

private:
    ChangeWatch(std::string path, FileHandle folder, FileHandle stop, std::function<void()> changed,
                std::shared_ptr<DeviceNotices> notices, FolderGoing going);
    // A new notification and its thread; false when there is none. Under `m_mutex`.
    [[nodiscard]] bool armLocked();
    // Ends the thread, which closes its notification. Under `m_mutex`.
    void disarmLocked();
    void run(HANDLE notification);
    // Takes the registration out, then lets go; the watch has then ended for good.
    void stop();
    // Ends the notification and closes the folder. Called by the notices as they take the
    // registration out (under their lock), or by `stop`.
    void letGo();

    const std::string m_path;
    // The registered handle as opened, to find it among the notices; never closed through this
    // copy.
    const HANDLE m_folderAsOpened;
    const FileHandle m_stop;
    const std::function<void()> m_changed;
    const std::shared_ptr<DeviceNotices> m_notices;
    const FolderGoing m_going;
    std::atomic<bool> m_ended{false};
    bool m_remote = true;
    bool m_local = false; // a fixed NTFS volume: the notification misses nothing there
    std::optional<FileIdentity> m_identity;
    // The notification was on before the last listing started, and stayed on through it.
    std::atomic<bool> m_covering{false};
    // Guards the folder and the thread against the notices' thread letting go.
    std::mutex m_mutex;
    FileHandle m_folder; // invalid once let go
    std::thread m_thread;
    std::optional<DeviceNotices::Id> m_registration; // the owner's side only
};

} // namespace platform::win32
