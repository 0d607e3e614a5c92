#include "platform/posix/FolderClaim.h"

#include "common/BoundedCall.h"
#include "platform/posix/FileDescriptor.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <optional>
#include <poll.h>
#include <string_view>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <thread>

namespace platform::posix {

namespace {

// A stat of a folder on a share that stopped answering may hang: the start does not wait longer.
constexpr auto identityWait = std::chrono::seconds(2);
// How long either side waits for the other's few bytes.
constexpr int answerWaitMilliseconds = 2000;
constexpr std::string_view raiseRequest = "raise\n";
constexpr std::string_view raisedAnswer = "raised\n";

std::optional<FolderIdentity> identityOf(const std::string& folder)
{
    const ansi::BoundedCall<std::optional<FolderIdentity>> identity([folder]() -> std::optional<FolderIdentity> {
        struct stat info
        {};
        if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            return FolderIdentity{info.st_dev, info.st_ino};
        return std::nullopt;
    });
    return identity.waitFor(identityWait).value_or(std::nullopt);
}

struct SocketName
{
    sockaddr_un address{};
    socklen_t length = 0;
};

// "\0org.kelvoran.Kelvoran/<uid>/<device>-<inode>": the leading zero byte puts it in the
// abstract namespace.
SocketName socketName(const FolderIdentity& folder)
{
    const std::string name = "org.kelvoran.Kelvoran/" + std::to_string(::geteuid()) + '/' +
                             std::to_string(folder.device) + '-' + std::to_string(folder.file);
    SocketName socket;
    socket.address.sun_family = AF_UNIX;
    std::memcpy(socket.address.sun_path + 1, name.data(), name.size());
    socket.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return socket;
}

// Anyone may bind or connect to an abstract name: only the same user counts.
bool peerIsThisUser(int fd)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 && credentials.uid == ::geteuid();
}

// Waits for the first of the descriptors to become readable; -1 after `milliseconds`.
int firstReadable(std::initializer_list<int> fds, int milliseconds)
{
    pollfd polled[2] = {};
    nfds_t count = 0;
    for (const int fd : fds)
        polled[count++] = {fd, POLLIN, 0};
    int ready = 0;
    do
        ready = ::poll(polled, count, milliseconds);
    while (ready < 0 && errno == EINTR);
    for (nfds_t i = 0; ready > 0 && i < count; ++i) {
        if (polled[i].revents != 0)
            return static_cast<int>(i);
    }
    return -1;
}

// The held claim: a thread answers later starts until the claim is destroyed.
class SocketClaim : public ToolClaim
{
public:
    SocketClaim(FileDescriptor listening, FileDescriptor wake, std::function<void()> raise)
        : m_listening(std::move(listening)), m_wake(std::move(wake)), m_raise(std::move(raise)),
          m_thread([this] { serve(); })
    {}
    SocketClaim(const SocketClaim&) = delete;
    SocketClaim& operator=(const SocketClaim&) = delete;
    ~SocketClaim() override
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wake.get(), &one, sizeof one);
        m_thread.join();
    }

private:
    void serve()
    {
        for (;;) {
            const int ready = firstReadable({m_wake.get(), m_listening.get()}, -1);
            if (ready != 1)
                return;
            const FileDescriptor peer(::accept4(m_listening.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (peer.valid()) {
                answer(peer.get());
            } else if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
                // Out of descriptors, say: not round and round, but the end still heard.
                if (firstReadable({m_wake.get()}, 100) == 0)
                    return;
            }
        }
    }

    void answer(int peer)
    {
        if (!peerIsThisUser(peer) || firstReadable({m_wake.get(), peer}, answerWaitMilliseconds) != 1)
            return;
        char request[16];
        const ssize_t got = ::recv(peer, request, sizeof request, MSG_DONTWAIT);
        if (got != static_cast<ssize_t>(raiseRequest.size()) ||
            std::string_view(request, raiseRequest.size()) != raiseRequest)
            return;
        m_raise();
        ::send(peer, raisedAnswer.data(), raisedAnswer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }

    FileDescriptor m_listening;
    FileDescriptor m_wake;
    std::function<void()> m_raise;
    std::thread m_thread;
};

enum class Asked
{
    Raised,  // a copy of this user's holds the folder and was asked
    Refused, // nobody listens under the name any more: the holder has just ended
    Failed,
};

Asked askHolder(const SocketName& name)
{
    const FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return Asked::Failed;
    // A holder that stopped (a debugger, SIGSTOP) must not hold this start for ever.
    const timeval wait{answerWaitMilliseconds / 1000, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&name.address), name.length) != 0)
        return errno == ECONNREFUSED ? Asked::Refused : Asked::Failed;
    if (!peerIsThisUser(fd.get()))
        return Asked::Failed;
    if (::send(fd.get(), raiseRequest.data(), raiseRequest.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(raiseRequest.size()))
        return Asked::Failed;
    // The answer only tells that the window was asked; it is waited for so that the holder has
    // read the request before this start ends.
    if (firstReadable({fd.get()}, answerWaitMilliseconds) == 0) {
        char answer[16];
        [[maybe_unused]] const ssize_t got = ::recv(fd.get(), answer, sizeof answer, MSG_DONTWAIT);
    }
    return Asked::Raised;
}

} // namespace

std::unique_ptr<ToolClaim> claimFolder(const std::string& settingsFolder, std::function<void()> raise)
{
    const std::optional<FolderIdentity> identity = identityOf(settingsFolder);
    if (!identity)
        return std::make_unique<ToolClaim>();
    const SocketName name = socketName(*identity);
    // A holder that ends between the failed bind and the connect leaves the name free again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        FileDescriptor listening(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!listening.valid())
            break;
        if (::bind(listening.get(), reinterpret_cast<const sockaddr*>(&name.address), name.length) == 0) {
            FileDescriptor wake(::eventfd(0, EFD_CLOEXEC));
            if (::listen(listening.get(), 8) != 0 || !wake.valid())
                break;
            try {
                return std::make_unique<SocketClaim>(std::move(listening), std::move(wake), std::move(raise));
            } catch (const std::system_error&) {
                break; // no thread to answer: the socket goes, and the start runs unguarded
            }
        }
        if (errno != EADDRINUSE)
            break;
        const Asked asked = askHolder(name);
        if (asked == Asked::Raised)
            return nullptr;
        if (asked == Asked::Failed)
            break;
        // Bound but not yet listening, or just ended: a moment, then again.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::make_unique<ToolClaim>();
}

} // namespace platform::posix
