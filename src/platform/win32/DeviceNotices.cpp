#include "platform/win32/DeviceNotices.h"

#include <dbt.h>

#include <utility>

namespace platform::win32 {

namespace {

constexpr wchar_t windowClassName[] = L"KelvoranDeviceNotices";

// Posted to the window after a notice was answered: the registrations taken out meanwhile end.
constexpr UINT unregisterMessage = WM_APP;

// Registered once for the process; false when that failed.
bool registerWindowClass(WNDPROC procedure)
{
    static const bool registered = [procedure] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = windowClassName;
        return ::RegisterClassExW(&windowClass) != 0;
    }();
    return registered;
}

} // namespace

std::optional<DeviceNotices::Id> DeviceNotices::add(HANDLE folder, std::function<void()> letGo)
{
    std::unique_lock lock(m_mutex);
    if (m_ended || !startLocked())
        return std::nullopt;
    const HWND window = m_window;
    const Id id = ++m_lastId;
    // In before the system knows of it, so that a notice sent as soon as it does finds it.
    m_registrations.emplace(id, Registration{folder, std::move(letGo)});
    lock.unlock();

    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = folder;
    const HDEVNOTIFY notification = ::RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);

    lock.lock();
    const auto found = m_registrations.find(id);
    if (found != m_registrations.end() && notification != nullptr) {
        found->second.notification = notification;
        return id;
    }
    // Refused, or taken out meanwhile by a notice (the folder has been let go) or by `end`.
    const bool failed = notification == nullptr;
    if (found != m_registrations.end())
        m_registrations.erase(found);
    lock.unlock();
    if (notification != nullptr)
        ::UnregisterDeviceNotification(notification);
    if (failed)
        return std::nullopt;
    return id;
}

void DeviceNotices::remove(Id id)
{
    std::unique_lock lock(m_mutex);
    const auto found = m_registrations.find(id);
    if (found == m_registrations.end())
        return;
    // The folder is let go before its registration goes: a removal asked for meanwhile finds it
    // either registered or let go, never held and unknown.
    found->second.letGo();
    const HDEVNOTIFY notification = found->second.notification;
    m_registrations.erase(found);
    lock.unlock();
    if (notification != nullptr)
        ::UnregisterDeviceNotification(notification);
}

void DeviceNotices::end()
{
    std::unique_lock lock(m_mutex);
    if (m_ended)
        return;
    m_ended = true;
    std::vector<HDEVNOTIFY> notifications;
    for (const auto& [id, registration] : m_registrations) {
        if (registration.notification != nullptr)
            notifications.push_back(registration.notification);
    }
    m_registrations.clear();
    const HWND window = m_window;
    lock.unlock();
    for (const HDEVNOTIFY notification : notifications)
        ::UnregisterDeviceNotification(notification);
    // After any unregistering still posted, as posted messages keep their order.
    if (window != nullptr)
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (m_thread.joinable())
        m_thread.join();
}

bool DeviceNotices::startLocked()
{
    if (m_window != nullptr)
        return true;
    if (m_failed)
        return false;
    // The window must belong to the thread that reads its messages. The thread takes no lock
    // before it answers, so waiting here under the lock is safe.
    std::promise<HWND> made;
    std::future<HWND> madeAnswer = made.get_future();
    m_thread = std::thread([this, made = std::move(made)]() mutable { run(made); });
    m_window = madeAnswer.get();
    if (m_window != nullptr)
        return true;
    m_thread.join();
    m_failed = true;
    return false;
}

void DeviceNotices::run(std::promise<HWND>& made)
{
    // A message-only window: it is never shown and gets no broadcasts, only what is sent to it,
    // which is how the system sends the notices of a registered handle.
    const HWND window = registerWindowClass(windowProcedure)
                            ? ::CreateWindowExW(0, windowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                ::GetModuleHandleW(nullptr), this)
                            : nullptr;
    made.set_value(window);
    if (window == nullptr)
        return;
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
    unregisterLeftOver();
}

void DeviceNotices::letGoFor(WPARAM event, LPARAM data)
{
    // The query and both ends of a removal: the handle is of no use once the device is going or
    // gone. A refused removal (DBT_DEVICEQUERYREMOVEFAILED) needs nothing, as the watch has
    // ended and the checker takes a new one after its next listing.
    const auto* const header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if ((event != DBT_DEVICEQUERYREMOVE && event != DBT_DEVICEREMOVEPENDING && event != DBT_DEVICEREMOVECOMPLETE) ||
        header == nullptr || header->dbch_devicetype != DBT_DEVTYP_HANDLE)
        return;
    const auto* const notice = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(data);
    const std::lock_guard lock(m_mutex);
    auto found = m_registrations.begin();
    while (found != m_registrations.end() && found->second.folder != notice->dbch_handle &&
           (found->second.notification == nullptr || found->second.notification != notice->dbch_hdevnotify))
        ++found;
    if (found == m_registrations.end())
        return;
    const Registration registration = std::move(found->second);
    m_registrations.erase(found);
    if (registration.notification != nullptr) {
        m_leftOver.push_back(registration.notification);
        ::PostMessageW(m_window, unregisterMessage, 0, 0);
    }
    // Under the lock: a watch ending on another thread waits in `remove` until its folder has
    // been let go, and so is still there while this runs. Windows goes on with the removal only
    // once the answer is back, by when the folder's handles are closed.
    registration.letGo();
}

void DeviceNotices::unregisterLeftOver()
{
    std::unique_lock lock(m_mutex);
    const std::vector<HDEVNOTIFY> leftOver = std::exchange(m_leftOver, {});
    lock.unlock();
    for (const HDEVNOTIFY notification : leftOver)
        ::UnregisterDeviceNotification(notification);
}

LRESULT DeviceNotices::askToRemove(HANDLE folder)
{
    std::unique_lock lock(m_mutex);
    const HWND window = m_window;
    DEV_BROADCAST_HANDLE query{};
    query.dbch_size = sizeof query;
    query.dbch_devicetype = DBT_DEVTYP_HANDLE;
    query.dbch_handle = folder;
    for (const auto& [id, registration] : m_registrations) {
        if (registration.folder == folder)
            query.dbch_hdevnotify = registration.notification;
    }
    lock.unlock();
    if (window == nullptr)
        return 0;
    return ::SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, reinterpret_cast<LPARAM>(&query));
}

LRESULT CALLBACK DeviceNotices::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* const notices = reinterpret_cast<DeviceNotices*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_DEVICECHANGE:
        if (notices != nullptr)
            notices->letGoFor(wParam, lParam);
        // Never BROADCAST_QUERY_DENY: the tool has no reason to keep a drive in.
        return TRUE;
    case unregisterMessage:
        if (notices != nullptr)
            notices->unregisterLeftOver();
        return 0;
    case WM_CLOSE:
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        break;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace platform::win32
