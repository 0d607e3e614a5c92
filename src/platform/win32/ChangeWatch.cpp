#include "platform/win32/ChangeWatch.h"

#include "platform/win32/WideText.h"

#include <exception>
#include <string_view>

namespace platform::win32 {

bool ChangeWatch::deletePending(HANDLE folder)
{
    FILE_STANDARD_INFO information{};
    // A handle that can no longer be asked (its drive gone) is of no use either.
    if (!::GetFileInformationByHandleEx(folder, FileStandardInfo, &information, sizeof information))
        return true;
    return information.DeletePending != FALSE;
}

bool ChangeWatch::onShare(const std::string& path)
{
    char root[MAX_PATH] = {};
    return !::GetVolumePathNameA(path.c_str(), root, MAX_PATH) || ::GetDriveTypeA(root) == DRIVE_REMOTE;
}

bool ChangeWatch::onLocalNtfs(const std::string& path)
{
    char root[MAX_PATH] = {};
    char fileSystem[MAX_PATH + 1] = {};
    return ::GetVolumePathNameA(path.c_str(), root, MAX_PATH) && ::GetDriveTypeA(root) == DRIVE_FIXED &&
           ::GetVolumeInformationA(root, nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof fileSystem) &&
           std::string_view(fileSystem) == "NTFS";
}

std::unique_ptr<ChangeWatch> ChangeWatch::create(const std::string& path, std::function<void()> changed,
                                                 std::shared_ptr<DeviceNotices> notices, FolderGoing going,
                                                 bool (*remote)(const std::string&), bool (*local)(const std::string&))
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
    std::unique_ptr<ChangeWatch> watch(new ChangeWatch(path, std::move(folder), std::move(stop), std::move(changed),
                                                       std::move(notices), std::move(going)));
    watch->m_remote = remote(path);
    watch->m_local = !watch->m_remote && local(path);
    if (watch->m_local)
        watch->m_identity = identityOf(toWide(path));
    bool armed = false;
    {
        const std::lock_guard lock(watch->m_mutex);
        armed = watch->armLocked();
    }
    if (!armed)
        return nullptr;
    // Last, once the watch is whole: the notices may call it as soon as it is registered.
    // Without the notice (no thread for it) the watch still watches.
    try {
        watch->m_registration = watch->m_notices->add(watch->m_folderAsOpened, [self = watch.get()] { self->letGo(); });
    } catch (const std::exception&) {
        watch->m_registration.reset();
    }
    return watch;
}

ChangeWatch::ChangeWatch(std::string path, FileHandle folder, FileHandle stop, std::function<void()> changed,
                         std::shared_ptr<DeviceNotices> notices, FolderGoing going)
    : m_path(std::move(path)), m_folderAsOpened(folder.get()), m_stop(std::move(stop)), m_changed(std::move(changed)),
      m_notices(std::move(notices)), m_going(std::move(going)), m_folder(std::move(folder))
{}

ChangeWatch::~ChangeWatch()
{
    stop();
}

void ChangeWatch::listingStarts()
{
    // A local drive answers at once: asked under the lock, so that no copy of the handle holds
    // the drive when the device notices' thread lets go for a removal. On a share that stopped
    // answering the question may hang, and that thread, which serves every watch, must still be
    // able to let go meanwhile: asked through a copy, outside the lock.
    FileHandle asked;
    bool going = true; // a handle that cannot be copied cannot be asked either
    {
        const std::lock_guard lock(m_mutex);
        // Quiet so far on a local volume, and the folder staying: the notification stays on, and
        // whatever comes during the listing fires it.
        m_covering = m_local && !m_ended && m_folder.valid() && !m_going(m_folder.get());
        if (m_covering)
            return;
        disarmLocked();
        m_ended = true;
        if (!m_folder.valid())
            return;
        HANDLE copy = nullptr;
        if (!m_remote)
            going = m_going(m_folder.get());
        else if (::DuplicateHandle(::GetCurrentProcess(), m_folder.get(), ::GetCurrentProcess(), &copy, 0, FALSE,
                                   DUPLICATE_SAME_ACCESS))
            asked = FileHandle(copy);
    }
    if (asked.valid())
        going = m_going(asked.get());
    asked.reset();
    if (!going)
        return;
    // Deleted while held: let go before the listing, which then finds the folder gone.
    stop();
}

bool ChangeWatch::resume()
{
    const std::lock_guard lock(m_mutex);
    try {
        return armLocked();
    } catch (const std::exception&) {
        return false;
    }
}

bool ChangeWatch::unchangedSinceListing() const
{
    // The identity last: a parent renamed leaves the notification on a folder the path no longer
    // names.
    return m_local && m_covering && !m_ended && m_identity && identityOf(toWide(m_path)) == m_identity;
}

bool ChangeWatch::armLocked()
{
    // Armed after a listing started: that listing's answer is not vouched for.
    m_covering = false;
    disarmLocked();
    if (!m_folder.valid())
        return false;
    // Names coming and going, of files and of folders; not content changes, which cannot change
    // the status.
    const HANDLE notification = ::FindFirstChangeNotificationA(
        m_path.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
    if (notification == INVALID_HANDLE_VALUE)
        return false;
    m_ended = false;
    try {
        m_thread = std::thread([this, notification] { run(notification); });
    } catch (...) {
        ::FindCloseChangeNotification(notification);
        m_ended = true;
        throw;
    }
    return true;
}

void ChangeWatch::disarmLocked()
{
    if (!m_thread.joinable())
        return;
    ::SetEvent(m_stop.get());
    m_thread.join();
    ::ResetEvent(m_stop.get());
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
    const std::lock_guard lock(m_mutex);
    disarmLocked();
    m_folder.reset();
    m_ended = true;
}

void ChangeWatch::run(HANDLE notification)
{
    const HANDLE waits[] = {notification, m_stop.get()};
    const DWORD woken = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    ::FindCloseChangeNotification(notification);
    if (woken != WAIT_OBJECT_0)
        return;
    m_ended = true;
    m_changed();
}

} // namespace platform::win32
