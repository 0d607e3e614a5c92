#include "platform/posix/FileWriting.h"

#include "platform/posix/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::posix {

namespace {

// Writes all of `content` at the current offset; false when the write falls short.
bool writeAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t written = ::write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void syncFolder(const std::string& path)
{
    const FileDescriptor folder(::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid())
        ::fsync(folder.get());
}

// Where writing to `path` lands: symbolic links followed to the entry they point to, which need
// not exist (a dangling link gets its target created, as creating a file through a link does).
// nullopt with ELOOP for a chain that never ends. Only the last part of the path is a link that
// matters here: a link among the folders above it is followed by the system calls themselves.
std::optional<std::string> linkTarget(std::string path)
{
    constexpr int maxLinks = 40; // the kernel's own limit for one lookup
    for (int link = 0; link <= maxLinks; ++link) {
        struct stat info
        {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::string target(static_cast<std::size_t>(info.st_size) + 1, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size())
            return path; // changed under us: let the system calls decide
        target.resize(static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        // A relative target is relative to the folder holding the link.
        path = target.front() == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
    }
    errno = ELOOP;
    return std::nullopt;
}

// A temporary file beside `path`, created exclusively; `name` receives its path.
FileDescriptor createTemporaryBeside(const std::string& path, mode_t mode, std::string& name)
{
    static std::minstd_rand random(static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(::time(nullptr)));
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + ".tmp" + std::to_string(random());
        FileDescriptor fd(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd.valid() || errno != EEXIST)
            return fd;
    }
    return FileDescriptor();
}

// Writes `content` to a new temporary file beside `path` and renames it over `path`.
// Returns 0 on success, else the error code; the temporary file never stays behind.
int writeThroughTemporary(const std::string& path, std::string_view content, mode_t mode, bool& shortWrite,
                          const struct stat* owner)
{
    shortWrite = false;
    std::string temporary;
    const FileDescriptor fd = createTemporaryBeside(path, mode, temporary);
    if (!fd.valid())
        return errno;
    if (owner != nullptr) {
        // Keep owner and exact mode of the file being replaced; the umask must not narrow them.
        [[maybe_unused]] const int ignored = ::fchown(fd.get(), owner->st_uid, owner->st_gid);
        ::fchmod(fd.get(), owner->st_mode & 07777);
    }
    if (!writeAll(fd.get(), content) || ::fsync(fd.get()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        shortWrite = true;
        return error == 0 ? EIO : error;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return error;
    }
    syncFolder(path);
    return 0;
}

// Rewrites the open file `fd` of `oldSize` bytes in place, only where that cannot lose the old
// setting: content longer than the old would need blocks that a full disk or a quota may refuse
// half way, so it is refused instead. The new bytes are read back before the file is cut.
bool rewriteInPlace(int fd, off_t oldSize, std::string_view content)
{
    if (static_cast<off_t>(content.size()) > oldSize)
        return false;
    // The old bytes first: a write that fails part way is undone with them, best effort, so
    // that a failed store never leaves a path the user did not enter.
    std::string old(static_cast<std::size_t>(oldSize), '\0');
    if (::pread(fd, old.data(), old.size(), 0) != static_cast<ssize_t>(old.size()))
        return false;
    const auto undo = [&] {
        if (::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, old))
            ::fsync(fd);
        return false;
    };
    // Blanks fill the room a shorter content leaves until the cut, so that a crash before it
    // leaves trailing blanks, which reading trims, not the old tail glued to the new last line.
    std::string padded(content);
    padded.resize(old.size(), ' ');
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    if (!writeAll(fd, padded) || ::fsync(fd) != 0)
        return undo();
    std::string written(padded.size() + 1, '\0');
    if (::pread(fd, written.data(), written.size(), 0) != static_cast<ssize_t>(padded.size()) ||
        written.compare(0, padded.size(), padded) != 0)
        return undo();
    return ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 && ::fsync(fd) == 0;
}

} // namespace

WriteResult writeNewFile(const std::string& path, std::string_view content)
{
    // Renaming onto the link's target, never onto the link: a link to a directory then fails as
    // the directory itself does, and a dangling link keeps pointing where it did.
    const std::optional<std::string> target = linkTarget(path);
    if (!target)
        return {WriteResult::Outcome::CreateFailed, errno};
    bool shortWrite = false;
    const int error = writeThroughTemporary(*target, content, 0666, shortWrite, nullptr);
    if (error == 0)
        return {};
    return {shortWrite ? WriteResult::Outcome::ShortWrite : WriteResult::Outcome::CreateFailed, error};
}

bool replaceContent(const std::string& path, std::string_view content)
{
    // Through a symbolic link, replace the file it points to, so the link stays a link.
    const std::optional<std::string> found = linkTarget(path);
    if (!found)
        return false;
    const std::string& target = *found;

    // Opening for writing (without truncating) is the test that the file may be written; it was
    // read just before, so it may be read too, which the in-place route needs.
    const FileDescriptor existing(::open(target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    struct stat info
    {};
    if (!existing.valid() || ::fstat(existing.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;

    bool shortWrite = false;
    const int error = writeThroughTemporary(target, content, 0600, shortWrite, &info);
    if (error == 0)
        return true;
    if (shortWrite || (error != EACCES && error != EPERM && error != EROFS))
        return false;
    // The folder forbids a file beside it.
    return rewriteInPlace(existing.get(), info.st_size, content);
}

} // namespace platform::posix
