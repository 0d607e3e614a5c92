#include "platform/win32/ChangeWatch.h"

#include <dbt.h>

namespace platform::win32 {

namespace {

constexpr wchar_t windowClassName[] = L"KelvoranChangeWatch";

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

std::unique_ptr<ChangeWatch> ChangeWatch::create(const std::wstring& path, std::function<void()> changed)
{
    // Shared with everyone, so that the watch never stops a file or the folder itself from being
    // renamed or deleted.
    FileHandle folder(::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    FileHandle read(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    FileHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!folder.valid() || !read.valid() || !stop.valid())
        return nullptr;
    std::unique_ptr<ChangeWatch> watch(
        new ChangeWatch(std::move(folder), std::move(read), std::move(stop), std::move(changed)));
    // The window must belong to the thread that waits, as its messages come through that
    // thread's queue; the thread reports whether everything was set up. It owns the promise, so
    // that nothing it still touches goes when this call returns.
    std::promise<bool> started;
    std::future<bool> startedAnswer = started.get_future();
    watch->m_thread = std::thread([self = watch.get(), started = std::move(started)]() mutable { self->run(started); });
    if (!startedAnswer.get())
        return nullptr;
    return watch;
}

ChangeWatch::ChangeWatch(FileHandle folder, FileHandle read, FileHandle stop, std::function<void()> changed)
    : m_folderAsOpened(folder.get()), m_stop(std::move(stop)), m_changed(std::move(changed)),
      m_folder(std::move(folder)), m_read(std::move(read))
{
    m_overlapped.hEvent = m_read.get();
}

ChangeWatch::~ChangeWatch()
{
    stop();
}

void ChangeWatch::stop()
{
    if (!m_thread.joinable())
        return;
    ::SetEvent(m_stop.get());
    m_thread.join();
    m_ended = true;
}

bool ChangeWatch::startWatching(WindowHandle& window)
{
    if (!registerWindowClass(windowProcedure))
        return false;
    // A message-only window: it is never shown and gets no broadcasts, only what is sent to it.
    window.reset(::CreateWindowExW(0, windowClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), this));
    if (!window.valid())
        return false;
    m_window = window.get();
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = m_folder.get();
    m_notification.reset(::RegisterDeviceNotificationW(m_window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    if (!m_notification.valid())
        return false;
    // Names coming and going, of files and of folders; not content changes, which cannot change
    // the status.
    m_reading = ::ReadDirectoryChangesW(m_folder.get(), m_changes, sizeof m_changes, FALSE,
                                        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, nullptr,
                                        &m_overlapped, nullptr) != FALSE;
    return m_reading;
}

void ChangeWatch::run(std::promise<bool>& started)
{
    // Destroyed as the thread ends, by the thread that made it, after the registration.
    WindowHandle window;
    const bool watching = startWatching(window);
    started.set_value(watching);
    while (watching) {
        const HANDLE waits[] = {m_read.get(), m_stop.get()};
        const DWORD woken = ::MsgWaitForMultipleObjects(2, waits, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            // A change, or a read that failed (too many changes at once, the folder gone): either
            // way a check is due.
            m_reading = false;
            letGo();
            m_ended = true;
            m_changed();
            break;
        }
        if (woken != WAIT_OBJECT_0 + 2)
            break; // stopped, or the wait failed
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            ::DispatchMessageW(&message);
        if (!m_folder.valid())
            break; // let go at the system's request
    }
    letGo();
}

void ChangeWatch::letGo()
{
    m_notification.reset();
    if (m_reading) {
        // The read must be over before its buffer and its OVERLAPPED may go.
        DWORD ignored = 0;
        ::CancelIoEx(m_folder.get(), &m_overlapped);
        ::GetOverlappedResult(m_folder.get(), &m_overlapped, &ignored, TRUE);
        m_reading = false;
    }
    m_folder.reset();
}

bool ChangeWatch::letGoForRemoval(WPARAM event, LPARAM data)
{
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if ((event != DBT_DEVICEQUERYREMOVE && event != DBT_DEVICEREMOVECOMPLETE) || header == nullptr ||
        header->dbch_devicetype != DBT_DEVTYP_HANDLE ||
        reinterpret_cast<const DEV_BROADCAST_HANDLE*>(data)->dbch_handle != m_folderAsOpened || !m_folder.valid())
        return false;
    // Windows asks whether the folder's drive may go, and the open folder would make it "in use"
    // (or, pulled out unasked, the drive has gone and the handle is of no more use).
    // No change is reported, since a check now would open the folder again while the drive is
    // being removed; the checker takes a new watch after its next listing, which holds the folder
    // again if the removal was refused, and once the folder answers again.
    letGo();
    m_ended = true;
    return true;
}

LRESULT CALLBACK ChangeWatch::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* const watch = reinterpret_cast<ChangeWatch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY)
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    // TRUE grants the removal.
    if (message == WM_DEVICECHANGE && watch != nullptr && watch->letGoForRemoval(wParam, lParam))
        return TRUE;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ChangeWatch::askToRemoveDevice() const
{
    DEV_BROADCAST_HANDLE query{};
    query.dbch_size = sizeof query;
    query.dbch_devicetype = DBT_DEVTYP_HANDLE;
    query.dbch_handle = m_folderAsOpened;
    return ::SendMessageW(m_window, WM_DEVICECHANGE, DBT_DEVICEQUERYREMOVE, reinterpret_cast<LPARAM>(&query));
}

} // namespace platform::win32
