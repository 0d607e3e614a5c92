#include "platform/win32/WinSystem.h"

#include "platform/win32/ChangeWatch.h"
#include "platform/win32/DeviceNotices.h"
#include "platform/win32/StartupShortcut.h"
#include "platform/win32/ToolClaim.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinHandle.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace platform {

using win32::FileHandle;
using win32::FindHandle;
using win32::toAnsi;
using win32::toWide;

namespace {

// Lead bytes of the active ANSI code page, as the system reports them: 932, 936, 949 and 950
// have them, single-byte code pages none.
ansi::CodePage::LeadBytes activeLeadBytes()
{
    ansi::CodePage::LeadBytes leadBytes{};
    const UINT codePage = ::GetACP();
    for (unsigned byte = 0; byte < leadBytes.size(); ++byte)
        leadBytes[byte] = ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(byte)) != FALSE;
    return leadBytes;
}

// Calls `get(buffer, size)`, a function that answers the length it needs when the buffer is too
// small, with a buffer that grows until the answer fits. Empty when the call fails.
template <typename Char = char, typename Get> std::basic_string<Char> growing(Get get)
{
    std::basic_string<Char> buffer(MAX_PATH, Char{});
    for (;;) {
        const DWORD length = get(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(length + 1);
    }
}

bool writeAll(HANDLE file, std::string_view content)
{
    while (!content.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1U << 30));
        DWORD written = 0;
        if (!::WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0)
            return false;
        content.remove_prefix(written);
    }
    return true;
}

// A temporary file beside `path`, created exclusively and shared with nobody; `name` receives
// its path.
FileHandle createTemporaryBeside(const std::string& path, std::string& name)
{
    static unsigned counter = ::GetTickCount();
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + ".tmp" + std::to_string(::GetCurrentProcessId()) + '.' + std::to_string(++counter);
        FileHandle file(::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid() || ::GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return FileHandle();
}

// Writes `content` to a new temporary file beside `path`, flushed to the disk. Returns 0 and
// the temporary file's name, else the error code with nothing left behind.
DWORD writeTemporary(const std::string& path, std::string_view content, std::string& temporary, bool& shortWrite)
{
    shortWrite = false;
    FileHandle file = createTemporaryBeside(path, temporary);
    if (!file.valid())
        return ::GetLastError();
    if (!writeAll(file.get(), content) || !::FlushFileBuffers(file.get())) {
        const DWORD error = ::GetLastError();
        file.reset();
        ::DeleteFileA(temporary.c_str());
        shortWrite = true;
        return error == 0 ? ERROR_WRITE_FAULT : error;
    }
    return 0;
}

// `path` as a "\\?\" path, which the wide functions take beyond MAX_PATH: made full first (that
// form takes full paths only, with nothing folded), a UNC path "\\server\share" as
// "\\?\UNC\server\share". Empty when the path does not convert.
std::wstring longPathForm(const std::string& path)
{
    const std::wstring wide = toWide(path);
    if (wide.empty())
        return {};
    const std::wstring full = growing<wchar_t>(
        [&wide](wchar_t* buffer, DWORD size) { return ::GetFullPathNameW(wide.c_str(), size, buffer, nullptr); });
    if (full.empty())
        return {};
    // Already a device or long form: as it is.
    if (full.starts_with(LR"(\\?\)") || full.starts_with(LR"(\\.\)"))
        return full;
    if (full.starts_with(LR"(\\)"))
        return LR"(\\?\UNC\)" + full.substr(2);
    return LR"(\\?\)" + full;
}

// Ends the synchronous call one thread is making, from another thread.
class ThreadCancel : public CallCancel
{
public:
    explicit ThreadCancel(HANDLE thread) : m_thread(thread) {}
    void cancel() override { ::CancelSynchronousIo(m_thread.get()); }

private:
    FileHandle m_thread;
};

bool exists(const std::string& path)
{
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Rewrites the present file `path` in place, only where that cannot lose the old setting:
// content longer than the old would need room that a full disk or a quota may refuse half way,
// so it is refused instead. The new bytes are read back before the file is cut.
bool rewriteInPlace(const std::string& path, std::string_view content)
{
    const FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > WinSystem::maxFileSize ||
        content.size() > static_cast<std::size_t>(size.QuadPart))
        return false;
    // The old bytes first: a write that fails part way is undone with them, best effort, so
    // that a failed store never leaves a path the user did not enter.
    const auto readAllFromStart = [&](std::string& into) {
        DWORD got = 0;
        return ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == 0 &&
                       ::ReadFile(file.get(), into.data(), static_cast<DWORD>(into.size()), &got, nullptr)
                   ? got
                   : DWORD{0};
    };
    std::string old(static_cast<std::size_t>(size.QuadPart), '\0');
    if (readAllFromStart(old) != old.size() || ::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) != 0)
        return false;
    const auto undo = [&] {
        if (::SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) == 0 && writeAll(file.get(), old))
            ::FlushFileBuffers(file.get());
        return false;
    };
    // Blanks fill the room a shorter content leaves until the cut, so that a crash before it
    // leaves trailing blanks, which reading trims, not the old tail glued to the new last line.
    std::string padded(content);
    padded.resize(old.size(), ' ');
    if (!writeAll(file.get(), padded) || !::FlushFileBuffers(file.get()))
        return undo();
    std::string written(padded.size() + 1, '\0');
    if (readAllFromStart(written) != padded.size() || written.compare(0, padded.size(), padded) != 0)
        return undo();
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(content.size());
    return ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file.get()) &&
           ::FlushFileBuffers(file.get());
}

} // namespace

WinSystem::WinSystem(bool startedIconic)
    : m_codePage(activeLeadBytes()), m_startedIconic(startedIconic),
      m_fileSwap{[](const std::string& replaced, const std::string& replacement, const std::string& backup) {
                     return ::ReplaceFileA(replaced.c_str(), replacement.c_str(), backup.c_str(),
                                           REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
                 },
                 [](const std::string& from, const std::string& to) {
                     return ::MoveFileExA(from.c_str(), to.c_str(),
                                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
                 }},
      m_deviceNotices(std::make_shared<win32::DeviceNotices>())
{}

WinSystem::~WinSystem()
{
    m_deviceNotices->end();
}

const ansi::CodePage& WinSystem::codePage() const
{
    return m_codePage;
}

ansi::PathStyle WinSystem::pathStyle() const
{
    return ansi::PathStyle::windows();
}

DirectoryName WinSystem::currentDirectory() const
{
    // The buffer grows with the directory: a cut path would put the settings file elsewhere.
    std::string path = growing([](char* buffer, DWORD size) { return ::GetCurrentDirectoryA(size, buffer); });
    if (path.empty())
        return {{}, static_cast<int>(::GetLastError())};
    return {std::move(path), 0};
}

EntryKind WinSystem::entryKind(const std::string& path) const
{
    if (path.empty())
        return EntryKind::None;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return EntryKind::None;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Directory : EntryKind::Other;
}

Listing WinSystem::listDirectory(const std::string& path, EntryVisitor& visitor) const
{
    if (entryKind(path) != EntryKind::Directory)
        return Listing::NotADirectory;
    // "*.*" matches every name, with a dot or without; the attributes are not filtered, so
    // hidden and system files and sub-folders are listed too. The pattern goes to the wide
    // function in the long form, which a folder path just under MAX_PATH plus "*.*" needs.
    const std::wstring pattern = longPathForm(path);
    if (pattern.empty())
        return Listing::Unlistable;
    {
        // A handle on the folder itself, for its identity, shared with everyone and let go at once.
        const FileHandle folder(::CreateFileW(pattern.c_str(), 0,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        BY_HANDLE_FILE_INFORMATION information{};
        if (folder.valid() && ::GetFileInformationByHandle(folder.get(), &information))
            visitor.identify(
                {information.dwVolumeSerialNumber,
                 (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) | information.nFileIndexLow});
        // Cancelled by the checker (a share that stopped answering): the listing would hang too.
        else if (!folder.valid() && ::GetLastError() == ERROR_OPERATION_ABORTED)
            return Listing::Unlistable;
    }
    WIN32_FIND_DATAW entry{};
    const FindHandle find(findFirst((pattern + L"*.*").c_str(), &entry));
    if (!find.valid())
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? Listing::Listed : Listing::Unlistable;
    do {
        visitor.visit(toAnsi(entry.cFileName));
    } while (::FindNextFileW(find.get(), &entry));
    // A walk that stopped before its end has not seen every entry.
    return ::GetLastError() == ERROR_NO_MORE_FILES ? Listing::Listed : Listing::Unlistable;
}

bool WinSystem::createDirectory(const std::string& path)
{
    return ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

std::optional<std::string> WinSystem::readFile(const std::string& path) const
{
    // Shared with every other access, so that an editor holding the file open does not hide it.
    const FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    // Only a file on a disk: a pipe or a device at the path could block the window.
    if (!file.valid() || ::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size) ||
        size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > maxFileSize)
        return std::nullopt;

    // One byte more than the file's size, so that a file that grew is noticed and bounded.
    std::string content(static_cast<std::size_t>(size.QuadPart) + 1, '\0');
    std::size_t filled = 0;
    while (filled < content.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), content.data() + filled, static_cast<DWORD>(content.size() - filled), &got,
                        nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        filled += got;
    }
    if (filled > maxFileSize)
        return std::nullopt;
    content.resize(filled);
    return content;
}

WriteResult WinSystem::createFile(const std::string& path, std::string_view content)
{
    // Written beside and moved into place, so that a full disk never leaves a partial file.
    std::string temporary;
    bool shortWrite = false;
    if (const DWORD error = writeTemporary(path, content, temporary, shortWrite); error != 0)
        return {shortWrite ? WriteResult::Outcome::ShortWrite : WriteResult::Outcome::CreateFailed,
                static_cast<int>(error)};
    if (!::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileA(temporary.c_str());
        return {WriteResult::Outcome::CreateFailed, static_cast<int>(error)};
    }
    return {};
}

bool WinSystem::replaceFileContent(const std::string& path, std::string_view content)
{
    // The read-only attribute is asked for itself, since an administrator could open the file
    // for writing all the same; opening for writing then tests the file's security.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        return false;
    {
        const FileHandle probe(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.valid() || ::GetFileType(probe.get()) != FILE_TYPE_DISK)
            return false;
    }

    std::string temporary;
    bool shortWrite = false;
    if (const DWORD error = writeTemporary(path, content, temporary, shortWrite); error != 0)
        // The folder forbids a file beside it.
        return !shortWrite && error == ERROR_ACCESS_DENIED && rewriteInPlace(path, content);
    if (!swapIn(path, temporary))
        return false;
    // Hidden, system and archive bits are put back whichever call made the swap.
    if (::GetFileAttributesA(path.c_str()) != attributes)
        ::SetFileAttributesA(path.c_str(), attributes);
    return true;
}

bool WinSystem::swapIn(const std::string& path, const std::string& temporary) const
{
    // ReplaceFileA keeps the replaced file's security. Some of its failures leave the old file
    // under another name (ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) or, without a backup name, nowhere
    // but in the temporary file (ERROR_UNABLE_TO_MOVE_REPLACEMENT): with a backup name it can
    // always be put back. The temporary name is unique, so the backup name beside it is free.
    const std::string backup = temporary + ".old";
    bool swapped = m_fileSwap.replace(path, temporary, backup);
    if (!swapped) {
        if (!exists(path))
            m_fileSwap.move(backup, path);
        // Where the file system cannot replace, a move does the same swap.
        swapped = m_fileSwap.move(temporary, path);
    }
    // Never delete the only copy: while nothing stands at the path, both files stay for the user.
    if (!exists(path))
        return false;
    ::DeleteFileA(backup.c_str());
    if (!swapped)
        ::DeleteFileA(temporary.c_str());
    return swapped;
}

std::string WinSystem::errorText(int error) const
{
    char* buffer = nullptr;
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer != nullptr ? buffer : "", length);
    ::LocalFree(buffer);
    // A trail byte is never a control character, a blank or ".", so the end can be cut bytewise.
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 0x20 || text.back() == '.'))
        text.pop_back();
    return text;
}

std::string WinSystem::fullPathName(const std::string& path) const
{
    std::string full =
        growing([&path](char* buffer, DWORD size) { return ::GetFullPathNameA(path.c_str(), size, buffer, nullptr); });
    return full.empty() ? path : full;
}

std::string WinSystem::executablePath() const
{
    // GetModuleFileNameA answers in the ANSI code page already; it cuts a long name and returns
    // the buffer's size, so the buffer grows until the name fits with room to spare.
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

LocalTime WinSystem::localTime() const
{
    // Not the C library's localtime: msvcrt reads the zone once; the system's active zone follows
    // its changes.
    // Both from one reading, so that the wall time and the minute never straddle a minute.
    FILETIME wall{};
    ::GetSystemTimeAsFileTime(&wall);
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!::FileTimeToSystemTime(&wall, &utc) || !::SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        ::GetLocalTime(&local);
    constexpr unsigned long long ticksPerSecond = 10000000;
    constexpr long long secondsFrom1601To1970 = 11644473600;
    LocalTime now;
    now.wallSeconds =
        static_cast<long long>(((static_cast<unsigned long long>(wall.dwHighDateTime) << 32) | wall.dwLowDateTime) /
                               ticksPerSecond) -
        secondsFrom1601To1970;
    now.date = local.wYear * 10000 + local.wMonth * 100 + local.wDay;
    now.weekday = local.wDayOfWeek;
    now.minuteOfDay = local.wHour * 60 + local.wMinute;
    now.secondOfMinute = local.wSecond;
    return now;
}

int WinSystem::startupShowCommand() const
{
    if (m_startedIconic)
        return showCommands::minimisedNoActivate;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : showCommands::normal;
}

std::unique_ptr<FolderWatch> WinSystem::watchFolder(const std::string& path, std::function<void()> changed) const
{
    return win32::ChangeWatch::create(path, std::move(changed), m_deviceNotices, heldFolderGoing);
}

LoginStart WinSystem::loginStart(const std::string& settingsFolder) const
{
    return win32::startupShortcut(settingsFolder);
}

int WinSystem::setLoginStart(const std::string& settingsFolder, bool on)
{
    return win32::setStartupShortcut(settingsFolder, on);
}

std::unique_ptr<ToolClaim> WinSystem::claimSettingsFolder(const std::string& settingsFolder,
                                                          std::function<void()> raise)
{
    return win32::claimFolder(settingsFolder, std::move(raise));
}

std::unique_ptr<System> createSystem(std::string /*argv0*/, bool startedIconic)
{
    return std::make_unique<WinSystem>(startedIconic);
}

std::unique_ptr<CallCancel> WinSystem::cancelForThisThread() const
{
    // GetCurrentThread() is a pseudo handle that means the caller wherever it is used: the
    // canceller needs a real handle on this thread.
    HANDLE thread = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread,
                           THREAD_TERMINATE, FALSE, 0))
        return nullptr;
    return std::make_unique<ThreadCancel>(thread);
}

} // namespace platform
