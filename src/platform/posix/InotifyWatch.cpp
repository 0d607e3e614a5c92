#include "platform/posix/InotifyWatch.h"

#include <array>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace platform::posix {

namespace {
// Entries coming and going, and the folder itself going; not content changes, which cannot
// change the status.
constexpr uint32_t watchedEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_ONESHOT;
} // namespace

std::unique_ptr<InotifyWatch> InotifyWatch::create(const std::string& path, std::function<void()> changed)
{
    FileDescriptor inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    FileDescriptor stop(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!inotify.valid() || !stop.valid() || ::inotify_add_watch(inotify.get(), path.c_str(), watchedEvents) < 0)
        return nullptr;
    return std::unique_ptr<InotifyWatch>(
        new InotifyWatch(path, std::move(inotify), std::move(stop), std::move(changed)));
}

InotifyWatch::InotifyWatch(std::string path, FileDescriptor inotify, FileDescriptor stop, std::function<void()> changed)
    : m_path(std::move(path)), m_inotify(std::move(inotify)), m_stop(std::move(stop)), m_changed(std::move(changed)),
      m_thread([this] { run(); })
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
    if (m_fired.exchange(false) && ::inotify_add_watch(m_inotify.get(), m_path.c_str(), watchedEvents) < 0)
        m_ended = true;
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
                // IN_IGNORED follows every one-shot event: it says the watch is spent, no more.
                changed = changed || (event->mask & IN_IGNORED) == 0;
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
