#include "platform/win32/ChangeWatch.h"

namespace platform::win32 {

std::unique_ptr<ChangeWatch> ChangeWatch::create(const std::string& path, std::function<void()> changed)
{
    // Names coming and going, of files and of folders; not content changes, which cannot change
    // the status.
    const HANDLE notification =
        ::FindFirstChangeNotificationA(path.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
    if (notification == INVALID_HANDLE_VALUE)
        return nullptr;
    const HANDLE stop = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (stop == nullptr) {
        ::FindCloseChangeNotification(notification);
        return nullptr;
    }
    return std::unique_ptr<ChangeWatch>(new ChangeWatch(notification, stop, std::move(changed)));
}

ChangeWatch::ChangeWatch(HANDLE notification, HANDLE stop, std::function<void()> changed)
    : m_notification(notification), m_stop(stop), m_changed(std::move(changed)), m_thread([this] { run(); })
{}

ChangeWatch::~ChangeWatch()
{
    stop();
    ::CloseHandle(m_stop);
}

void ChangeWatch::stop()
{
    if (!m_thread.joinable())
        return;
    ::SetEvent(m_stop);
    m_thread.join();
    if (m_notification != nullptr)
        ::FindCloseChangeNotification(m_notification);
    m_notification = nullptr;
    m_ended = true;
}

void ChangeWatch::run()
{
    const HANDLE waits[] = {m_notification, m_stop};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
        return;
    ::FindCloseChangeNotification(m_notification);
    m_notification = nullptr;
    m_ended = true;
    m_changed();
}

} // namespace platform::win32
