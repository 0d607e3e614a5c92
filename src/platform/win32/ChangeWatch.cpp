#include "platform/win32/ChangeWatch.h"

#include <exception>

namespace platform::win32 {

std::unique_ptr<ChangeWatch> ChangeWatch::create(const std::string& path, std::function<void()> changed,
                                                 std::shared_ptr<DeviceNotices> notices)
{
    // The handle the device notices know the folder by: the notification's own handle is no
    // file handle. Shared with everyone, so that it never keeps a file or the folder itself from
    // being renamed or deleted; the A call, so that it names the folder the notification watches.
    FileHandle folder(::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.valid())
        return nullptr;
    FileHandle stop(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stop.valid())
        return nullptr;
    // Names coming and going, of files and of folders; not content changes, which cannot change
    // the status.
    const HANDLE notification =
        ::FindFirstChangeNotificationA(path.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
    if (notification == INVALID_HANDLE_VALUE)
        return nullptr;
    std::unique_ptr<ChangeWatch> watch;
    try {
        watch.reset(
            new ChangeWatch(std::move(folder), notification, std::move(stop), std::move(changed), std::move(notices)));
    } catch (...) {
        // No thread: the notification would hold the folder open for as long as the tool runs.
        ::FindCloseChangeNotification(notification);
        throw;
    }
    // Last, once the watch is whole: the notices may call it as soon as it is registered.
    // Without the notice (no thread for it) the watch still watches.
    try {
        watch->m_registration = watch->m_notices->add(watch->m_folderAsOpened, [self = watch.get()] { self->letGo(); });
    } catch (const std::exception&) {
        watch->m_registration.reset();
    }
    return watch;
}

ChangeWatch::ChangeWatch(FileHandle folder, HANDLE notification, FileHandle stop, std::function<void()> changed,
                         std::shared_ptr<DeviceNotices> notices)
    : m_folderAsOpened(folder.get()), m_folder(std::move(folder)), m_notification(notification),
      m_stop(std::move(stop)), m_changed(std::move(changed)), m_notices(std::move(notices)), m_thread([this] { run(); })
{}

ChangeWatch::~ChangeWatch()
{
    stop();
}

void ChangeWatch::stop()
{
    // Once this returns the notices' thread is not letting go and will not: what it did is seen
    // here through the notices' lock.
    if (m_registration)
        m_notices->remove(*m_registration);
    m_registration.reset();
    letGo();
}

void ChangeWatch::letGo()
{
    if (m_thread.joinable()) {
        ::SetEvent(m_stop.get());
        m_thread.join();
    }
    if (m_notification != nullptr)
        ::FindCloseChangeNotification(m_notification);
    m_notification = nullptr;
    m_folder.reset();
    m_ended = true;
}

void ChangeWatch::run()
{
    const HANDLE waits[] = {m_notification, m_stop.get()};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
        return;
    ::FindCloseChangeNotification(m_notification);
    m_notification = nullptr;
    m_ended = true;
    m_changed();
}

} // namespace platform::win32
