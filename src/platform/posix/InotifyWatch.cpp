#include "platform/posix/InotifyWatch.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <linux/magic.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform::posix {

namespace {
// Entries coming and going, the folder itself going, and its permissions (which decide whether it
// can be listed); not content changes, which cannot change the status.
constexpr uint32_t watchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                                   IN_ATTRIB | IN_ONLYDIR | IN_ONESHOT;

// File systems whose every change is made by this kernel, so that inotify sees it. Listed rather
// than excluded: one not named here (NFS, CIFS, FUSE, 9p, overlay over who knows what) is walked.
constexpr __fsword_t jfsMagic = 0x3153464a;
constexpr __fsword_t ntfs3Magic = 0x7366746e;
constexpr __fsword_t bcachefsMagic = 0xca451a4e;
constexpr __fsword_t zfsMagic = 0x2fc12fc1;
constexpr std::array<__fsword_t, 14> localFileSystems = {
    EXT4_SUPER_MAGIC, XFS_SUPER_MAGIC, BTRFS_SUPER_MAGIC,    TMPFS_MAGIC,       RAMFS_MAGIC,       F2FS_SUPER_MAGIC,
    jfsMagic,         ntfs3Magic,      REISERFS_SUPER_MAGIC, NILFS_SUPER_MAGIC, MSDOS_SUPER_MAGIC, EXFAT_SUPER_MAGIC,
    bcachefsMagic,    zfsMagic,
};

std::optional<std::pair<dev_t, ino_t>> identityOf(const std::string& path)
{
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return std::pair(info.st_dev, info.st_ino);
}

} // namespace

bool InotifyWatch::onLocalDisk(const std::string& path)
{
    struct statfs information
    {};
    return ::statfs(path.c_str(), &information) == 0 &&
           std::ranges::find(localFileSystems, information.f_type) != localFileSystems.end();
}

std::unique_ptr<InotifyWatch> InotifyWatch::create(const std::string& path, std::function<void()> changed)
{
    FileDescriptor inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    FileDescriptor stop(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    const auto identity = identityOf(path);
    const int watch = inotify.valid() ? ::inotify_add_watch(inotify.get(), path.c_str(), watchedEvents) : -1;
    if (!stop.valid() || watch < 0)
        return nullptr;
    std::unique_ptr<InotifyWatch> created(
        new InotifyWatch(path, std::move(inotify), std::move(stop), std::move(changed), watch));
    // The same folder before and after the watch went on is the one watched; a folder replaced
    // meanwhile leaves the watch on the old one, which then vouches for nothing.
    created->m_local = identity && identityOf(path) == identity && onLocalDisk(path);
    if (created->m_local)
        created->m_identity = identity;
    return created;
}

InotifyWatch::InotifyWatch(std::string path, FileDescriptor inotify, FileDescriptor stop, std::function<void()> changed,
                           int watch)
    : m_path(std::move(path)), m_inotify(std::move(inotify)), m_stop(std::move(stop)), m_changed(std::move(changed)),
      m_watch(watch), m_thread([this] { run(); })
{}

InotifyWatch::~InotifyWatch()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_stop.get(), &one, sizeof one);
    m_thread.join();
}

void InotifyWatch::listingStarts()
{
    // A folder that cannot be watched again has gone, or was replaced: the next check decides.
    // Cleared before the listing and armed again before it too: whatever comes from now on keeps
    // the next check listing.
    if (m_fired.exchange(false)) {
        const int watch = ::inotify_add_watch(m_inotify.get(), m_path.c_str(), watchedEvents);
        if (watch < 0)
            m_ended = true;
        else
            m_watch = watch;
    }
    m_covering = !m_ended;
}

bool InotifyWatch::unchangedSinceListing() const
{
    // The identity last: a parent renamed leaves the watch on a folder the path no longer names.
    return m_local && m_covering && !m_fired && !m_ended && m_identity && identityOf(m_path) == m_identity;
}

void InotifyWatch::run()
{
    alignas(inotify_event) std::array<char, 16 * 1024> buffer{};
    for (;;) {
        std::array<pollfd, 2> waits{{{m_inotify.get(), POLLIN, 0}, {m_stop.get(), POLLIN, 0}}};
        if (::poll(waits.data(), waits.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if ((waits[1].revents & POLLIN) != 0)
            return;
        bool changed = false;
        bool gone = false;
        ssize_t got = 0;
        while ((got = ::read(m_inotify.get(), buffer.data(), buffer.size())) > 0) {
            for (ssize_t offset = 0; offset < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
                // IN_IGNORED follows every one-shot event: it says the watch is spent, no more. For
                // the watch armed now, though, it is a watch lost without a word, which hides
                // changes as well as any change does: an overflow (no descriptor) or a lost
                // watch counts as a change.
                changed = changed || (event->mask & IN_IGNORED) == 0 || event->wd == m_watch;
                gone = gone || (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) != 0;
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (!changed)
            continue;
        // The folder went: nothing more will come; the next check decides what to watch.
        m_ended = gone;
        m_fired = true;
        m_changed();
        if (gone)
            return;
    }
}

} // namespace platform::posix
