#include "platform/posix/PosixSystem.h"

#include "platform/posix/AutostartEntry.h"
#include "platform/posix/FileDescriptor.h"
#include "platform/posix/FileWriting.h"
#include "platform/posix/FolderClaim.h"
#include "platform/posix/InotifyWatch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h> // dirent64
#include <fcntl.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// "." and ".." folded out of an absolute path, "//" collapsed; no symbolic link is followed.
std::string foldDots(const std::string& path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string folded;
    for (const std::string& part : parts)
        folded += '/' + part;
    return folded.empty() ? "/" : folded;
}

} // namespace

PosixSystem::PosixSystem(std::string argv0, bool startedIconic)
    : m_argv0(std::move(argv0)), m_startedIconic(startedIconic)
{}

const ansi::CodePage& PosixSystem::codePage() const
{
    return ansi::CodePage::utf8();
}

ansi::PathStyle PosixSystem::pathStyle() const
{
    return ansi::PathStyle::posix();
}

DirectoryName PosixSystem::currentDirectory() const
{
    // No length limit: a cut working directory would put the settings file somewhere else.
    const std::unique_ptr<char, decltype(&std::free)> directory(::getcwd(nullptr, 0), &std::free);
    if (!directory)
        return {{}, errno};
    return {directory.get(), 0};
}

std::string PosixSystem::reachable(const std::string& path) const
{
    // A path beyond the system's length limit fails in every call ("File name too long"). When it
    // lies inside the working directory it is taken relative to it, so that a deep working
    // directory still holds its settings file and a watched folder inside it.
    if (path.size() < PATH_MAX || path.front() != '/')
        return path;
    const DirectoryName current = currentDirectory();
    if (current.error != 0 || current.path == "/" || path.size() <= current.path.size() + 1 ||
        !path.starts_with(current.path) || path[current.path.size()] != '/')
        return path;
    return path.substr(current.path.size() + 1);
}

EntryKind PosixSystem::entryKind(const std::string& path) const
{
    struct stat info
    {};
    if (path.empty() || ::stat(reachable(path).c_str(), &info) != 0)
        return EntryKind::None;
    return S_ISDIR(info.st_mode) ? EntryKind::Directory : EntryKind::Other;
}

Listing PosixSystem::listDirectory(const std::string& path, EntryVisitor& visitor) const
{
    // Opening it as a directory is the directory test; only a failure needs a second look.
    const FileDescriptor fd(::open(reachable(path).c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid())
        return entryKind(path) == EntryKind::Directory ? Listing::Unlistable : Listing::NotADirectory;

    struct stat info
    {};
    if (::fstat(fd.get(), &info) == 0)
        visitor.identify({static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)});

    // One buffer a listing: listings of several folders may run at once, one of them hung.
    constexpr std::size_t bufferSize = std::size_t{256} * 1024;
    const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd.get(), buffer.get(), bufferSize);
        if (got < 0 && errno == EINTR)
            continue;
        // A failure part way (a share that went away): the walk has not seen every entry.
        if (got < 0)
            return Listing::Unlistable;
        if (got == 0)
            break;
        for (long offset = 0; offset < got;) {
            // glibc's dirent64 has the layout of the kernel's linux_dirent64.
            const auto* entry = reinterpret_cast<const dirent64*>(buffer.get() + offset);
            visitor.visit(entry->d_name);
            offset += entry->d_reclen;
        }
    }
    return Listing::Listed;
}

bool PosixSystem::createDirectory(const std::string& path)
{
    return ::mkdir(reachable(path).c_str(), 0777) == 0;
}

std::optional<std::string> PosixSystem::readFile(const std::string& path) const
{
    // Non-blocking, so a pipe or device at the path cannot stall the window.
    const FileDescriptor fd(::open(reachable(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info
    {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > maxFileSize)
        return std::nullopt;

    // One byte more than the file's size, so that a single read both fills and ends it.
    std::string content(static_cast<std::size_t>(info.st_size) + 1, '\0');
    std::size_t filled = 0;
    while (filled < content.size()) {
        const std::size_t wanted = content.size() - filled;
        const ssize_t got = ::read(fd.get(), content.data() + filled, wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        filled += static_cast<std::size_t>(got);
        // A short read of a regular file is its end.
        if (static_cast<std::size_t>(got) < wanted)
            break;
    }
    // A file that grew while being read is taken up to the bound, never beyond it.
    if (filled > maxFileSize)
        return std::nullopt;
    content.resize(filled);
    return content;
}

WriteResult PosixSystem::createFile(const std::string& path, std::string_view content)
{
    return posix::writeNewFile(reachable(path), content);
}

bool PosixSystem::replaceFileContent(const std::string& path, std::string_view content)
{
    return posix::replaceContent(reachable(path), content);
}

std::string PosixSystem::errorText(int error) const
{
    char buffer[256] = {};
    std::string text = ::strerror_r(error, buffer, sizeof buffer);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 0x20 || text.back() == '.'))
        text.pop_back();
    return text;
}

std::string PosixSystem::fullPathName(const std::string& path) const
{
    if (!path.empty() && path.front() == '/')
        return foldDots(path);
    const DirectoryName current = currentDirectory();
    return current.error == 0 ? foldDots(current.path + '/' + path) : path;
}

std::string PosixSystem::executablePath() const
{
    std::string buffer(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size())
        return m_argv0;
    buffer.resize(static_cast<std::size_t>(length));
    // An executable replaced while it runs (a package upgrade, a rebuild) reads "<path> (deleted)":
    // its path is where the new one now is, which is what a login entry must start.
    constexpr std::string_view replaced = " (deleted)";
    if (buffer.ends_with(replaced))
        buffer.resize(buffer.size() - replaced.size());
    return buffer;
}

LocalTime PosixSystem::localTime() const
{
    LocalTime now;
    const std::time_t wall = std::time(nullptr);
    now.wallSeconds = static_cast<long long>(wall);
    // localtime_r keeps the zone read before: tzset reads TZ again, or the zone file if it changed.
    ::tzset();
    std::tm local{};
    if (::localtime_r(&wall, &local) != nullptr) {
        now.date = (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
        now.weekday = local.tm_wday;
        now.minuteOfDay = local.tm_hour * 60 + local.tm_min;
        // A leap second reads as the minute's last.
        now.secondOfMinute = std::min(local.tm_sec, 59);
    }
    return now;
}

int PosixSystem::startupShowCommand() const
{
    // Linux passes no start-up information but the X toolkit's option for a start as an icon.
    return m_startedIconic ? showCommands::minimisedNoActivate : showCommands::normal;
}

LoginStart PosixSystem::loginStart(const std::string& settingsFolder) const
{
    return posix::autostartEntryFor(executablePath(), settingsFolder);
}

int PosixSystem::setLoginStart(const std::string& settingsFolder, bool on)
{
    return posix::setAutostartEntry(executablePath(), settingsFolder, on);
}

std::unique_ptr<ToolClaim> PosixSystem::claimSettingsFolder(const std::string& settingsFolder,
                                                            std::function<void()> raise)
{
    return posix::claimFolder(settingsFolder, std::move(raise));
}

std::unique_ptr<FolderWatch> PosixSystem::watchFolder(const std::string& path, std::function<void()> changed) const
{
    return posix::InotifyWatch::create(reachable(path), std::move(changed));
}

std::unique_ptr<System> createSystem(std::string argv0, bool startedIconic)
{
    return std::make_unique<PosixSystem>(std::move(argv0), startedIconic);
}

} // namespace platform
