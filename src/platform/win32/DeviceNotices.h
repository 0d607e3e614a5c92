#pragma once

#include <windows.h>

#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform::win32 {

// The process's one receiver of the system's device notices: a message-only window on a thread
// of its own, made at the first registration and kept until `end`. Folder watches register the
// handle they hold on their folder, so that when Windows asks to remove the folder's drive the
// watch lets go of it first. It knows nothing of watches beyond the call each one leaves.
class DeviceNotices
{
public:
    using Id = unsigned long long;

    DeviceNotices() = default;
    ~DeviceNotices() { end(); }
    DeviceNotices(const DeviceNotices&) = delete;
    DeviceNotices& operator=(const DeviceNotices&) = delete;

    // Registers `folder`, a handle open on a folder. `letGo` is called on the notices' thread, the
    // registration already taken out, when Windows asks to remove the folder's device (or reports
    // it removed): it must close every handle on the folder before it returns, and must not call
    // into this object. Empty when the notice cannot be had.
    [[nodiscard]] std::optional<Id> add(HANDLE folder, std::function<void()> letGo);
    // Takes a registration out, if it is still in, calling its `letGo` first. Once this returns,
    // its `letGo` is not running and will not be called again.
    void remove(Id id);
    // Ends every registration and the thread; later registrations fail. Watches that end after
    // it find nothing to take out.
    void end();

    // For tests, as Wine never asks to remove a device: sends the window the
    // DBT_DEVICEQUERYREMOVE that Windows sends for the registered `folder`, and returns the
    // answer (TRUE grants the removal). Zero when there is no window.
    LRESULT askToRemove(HANDLE folder);

private:
    struct Registration
    {
        HANDLE folder;
        std::function<void()> letGo;
        HDEVNOTIFY notification = nullptr; // null while it is being registered
    };

    // Makes the window and its thread on first use. False when they cannot be made.
    [[nodiscard]] bool startLocked();
    void run(std::promise<HWND>& made);
    // On the notices' thread, for WM_DEVICECHANGE: lets go of the folder the notice is about, if
    // it is registered.
    void letGoFor(WPARAM event, LPARAM data);
    // On the notices' thread: ends the registrations of folders already let go.
    void unregisterLeftOver();
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // Guards everything below. The notices' thread holds it while a watch lets go, so that
    // `remove` waits for that; nobody holds it while registering or unregistering with the
    // system, which may wait for a notice under way.
    std::mutex m_mutex;
    std::map<Id, Registration> m_registrations;
    Id m_lastId = 0;
    // Taken out while a notice was answered, and unregistered after the answer has gone rather
    // than from inside the notice they answer.
    std::vector<HDEVNOTIFY> m_leftOver;
    HWND m_window = nullptr;
    bool m_ended = false;
    bool m_failed = false; // the window could not be made: it is not tried again
    std::thread m_thread;
};

} // namespace platform::win32
