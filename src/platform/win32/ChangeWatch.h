#pragma once

#include "platform/System.h"
#include "platform/win32/WinHandle.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>

namespace platform::win32 {

// A folder watched once: the folder is opened with CreateFileW and read with an overlapped
// ReadDirectoryChangesW, and a thread waits on the read and on an event that ends it. At the
// first change it closes the folder and calls `changed`. The checker takes a new watch after the
// check that follows, so a folder that changes all the time has nothing to report in between
// (under Wine, whose server would otherwise read every change). The open folder keeps a deleted
// folder in being and its drive from being removed: the watch ends as each listing starts, and
// what arrives during the listing waits for the tick. For the drive, the open handle is
// registered for device notifications with a message-only window of the watch's thread; when
// Windows asks to remove the device, the watch lets go of the folder, grants the removal and
// ends, and the checker takes a new watch after its next listing.
class ChangeWatch : public FolderWatch
{
public:
    // `path` in the wide long form. Null when the folder cannot be watched.
    [[nodiscard]] static std::unique_ptr<ChangeWatch> create(const std::wstring& path, std::function<void()> changed);
    ~ChangeWatch() override;
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;
    [[nodiscard]] bool ended() const override { return m_ended; }
    void listingStarts() override { stop(); }

    // For tests, as Wine never asks to remove a device: sends the watch's window the
    // DBT_DEVICEQUERYREMOVE that Windows sends for the folder's handle, and returns its answer.
    LRESULT askToRemoveDevice() const;

private:
    ChangeWatch(FileHandle folder, FileHandle read, FileHandle stop, std::function<void()> changed);
    // On the watch's thread: the window, the registration and the first read, reported through
    // `started`, then the wait.
    void run(std::promise<bool>& started);
    [[nodiscard]] bool startWatching(WindowHandle& window);
    // On the watch's thread: ends the registration and the read and closes the folder.
    void letGo();
    // On the watch's thread, for WM_DEVICECHANGE: true when it was Windows asking to remove the
    // folder's device, and the watch has let go of the folder and ended.
    bool letGoForRemoval(WPARAM event, LPARAM data);
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Ends the thread, which closes the folder; the watch has then ended.
    void stop();

    // The folder's handle as opened, to recognise the system's messages about it; never closed
    // through this copy.
    const HANDLE m_folderAsOpened;
    FileHandle m_stop;
    std::function<void()> m_changed;
    std::atomic<bool> m_ended{false};
    HWND m_window = nullptr; // set before `create` returns, kept after the window has gone

    // Used by the watch's thread only.
    FileHandle m_folder;
    FileHandle m_read; // the event of the overlapped read
    OVERLAPPED m_overlapped{};
    bool m_reading = false;
    DeviceNotification m_notification;
    // What the read fills; the names are not looked at, only that something changed.
    alignas(DWORD) std::byte m_changes[4096]{};

    std::thread m_thread;
};

} // namespace platform::win32
