#include "platform/win32/StartupShortcut.h"

#include "platform/win32/ComScope.h"
#include "platform/win32/FileIdentity.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinHandle.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwctype>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::win32 {

namespace {

constexpr const wchar_t* mark = L"Kelvoran";
constexpr const wchar_t* baseName = L"Kelvoran";

struct ComRelease
{
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface> using ComPtr = std::unique_ptr<Interface, ComRelease>;

// A failed HRESULT as the error code the system's texts know.
int errorOf(HRESULT result)
{
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? static_cast<int>(HRESULT_CODE(result))
                                                      : static_cast<int>(result);
}

// The Startup folder. Made when missing only for a shortcut to go in (a new profile may lack it);
// reading it, or switching off, names it without looking whether it is there.
std::wstring startupFolder(HRESULT& result, bool create)
{
    PWSTR path = nullptr;
    result = ::SHGetKnownFolderPath(FOLDERID_Startup, create ? KF_FLAG_CREATE : KF_FLAG_DONT_VERIFY, nullptr, &path);
    std::wstring folder = SUCCEEDED(result) && path != nullptr ? path : L"";
    ::CoTaskMemFree(path);
    return folder;
}

std::wstring executable()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// A file or folder the shortcuts are compared with, named once per reading of the folder.
struct Place
{
    std::wstring folded;
    std::optional<FileIdentity> identity;
};

// A share or a mapped network drive: opening a path there may cost a connection, or hang.
bool remote(const std::wstring& folded)
{
    if (folded.starts_with(L"\\\\"))
        return true;
    return folded.size() >= 3 && folded[1] == L':' && ::GetDriveTypeW(folded.substr(0, 3).c_str()) == DRIVE_REMOTE;
}

Place placeOf(const std::wstring& path)
{
    Place place{path.empty() ? L"" : foldedFullPath(path), std::nullopt};
    if (!place.folded.empty() && !remote(place.folded))
        place.identity = identityOf(path);
    return place;
}

// Same file or folder: the same folded full path, or else, on a local disk, the same identity.
bool samePlace(const std::wstring& path, const Place& place)
{
    if (path.empty() || place.folded.empty())
        return false;
    const std::wstring folded = foldedFullPath(path);
    if (folded == place.folded)
        return true;
    if (!place.identity || folded.empty() || remote(folded))
        return false;
    const std::optional<FileIdentity> identity = identityOf(path);
    return identity && *identity == *place.identity;
}

bool endsWithLnk(const std::wstring& name)
{
    return name.size() > 4 && ::CompareStringOrdinal(name.c_str() + name.size() - 4, 4, L".lnk", 4, TRUE) == CSTR_EQUAL;
}

// Kelvoran.lnk or Kelvoran-<n>.lnk, in any case.
bool ownName(const std::wstring& name)
{
    const std::wstring base = baseName;
    if (!endsWithLnk(name) || name.size() < base.size() + 4 ||
        ::CompareStringOrdinal(name.c_str(), static_cast<int>(base.size()), base.c_str(), static_cast<int>(base.size()),
                               TRUE) != CSTR_EQUAL)
        return false;
    const std::wstring rest = name.substr(base.size(), name.size() - base.size() - 4);
    if (rest.empty())
        return true;
    if (rest.size() < 2 || rest[0] != L'-' || rest[1] == L'0')
        return false;
    for (std::size_t i = 1; i < rest.size(); ++i)
        if (!std::iswdigit(rest[i]))
            return false;
    return true;
}

struct Shortcut
{
    std::wstring path;
    bool ours = false;      // the tool's name and mark
    bool forFolder = false; // "Start in" the settings folder
    bool starts = false;    // and this executable, minimised
};

// The show command as the shortcut's header holds it ([MS-SHLLINK] 2.1: a header of 0x4C bytes,
// the shell link's class, ShowCommand at 0x3C; values other than 3 and 7 mean normal). Read from
// the file rather than through IShellLinkW::GetShowCmd, which gives the same on Windows: Wine's
// shell link loads every shortcut as normal.
int showCommandOf(const std::wstring& path)
{
    const FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    unsigned char header[0x4C] = {};
    DWORD got = 0;
    static constexpr unsigned char linkClass[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    if (!file.valid() || !::ReadFile(file.get(), header, sizeof header, &got, nullptr) || got != sizeof header ||
        header[0] != 0x4C || header[1] != 0 || header[2] != 0 || header[3] != 0 ||
        std::memcmp(header + 4, linkClass, sizeof linkClass) != 0)
        return SW_SHOWNORMAL;
    const DWORD showCommand =
        header[0x3C] | (header[0x3D] << 8U) | (header[0x3E] << 16U) | (static_cast<DWORD>(header[0x3F]) << 24U);
    return showCommand == SW_SHOWMAXIMIZED || showCommand == SW_SHOWMINNOACTIVE ? static_cast<int>(showCommand)
                                                                                : SW_SHOWNORMAL;
}

ComPtr<IShellLinkW> newLink(HRESULT& result)
{
    IShellLinkW* link = nullptr;
    result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link));
    return ComPtr<IShellLinkW>(SUCCEEDED(result) ? link : nullptr);
}

ComPtr<IPersistFile> fileOf(IShellLinkW& link, HRESULT& result)
{
    IPersistFile* file = nullptr;
    result = link.QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    return ComPtr<IPersistFile>(SUCCEEDED(result) ? file : nullptr);
}

// Every shortcut of the Startup folder, read through IShellLinkW; one that does not load is
// someone else's file and counts for nothing.
std::vector<Shortcut> shortcuts(const std::wstring& startup, const std::wstring& programPath,
                                const std::wstring& folderPath)
{
    const Place program = placeOf(programPath);
    const Place folder = placeOf(folderPath);
    std::vector<Shortcut> found;
    WIN32_FIND_DATAW entry{};
    const FindHandle find(::FindFirstFileW((startup + L"\\*.lnk").c_str(), &entry));
    if (!find.valid())
        return found;
    do {
        // The pattern matches short names too: "a.lnk2" may come as A~1.LNK.
        const std::wstring name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !endsWithLnk(name))
            continue;
        HRESULT result = S_OK;
        const ComPtr<IShellLinkW> link = newLink(result);
        const ComPtr<IPersistFile> file = link ? fileOf(*link, result) : nullptr;
        Shortcut shortcut{startup + L'\\' + name};
        if (!file || FAILED(file->Load(shortcut.path.c_str(), STGM_READ)))
            continue;
        std::wstring target(32768, L'\0');
        std::wstring workingFolder(32768, L'\0');
        std::wstring description(INFOTIPSIZE, L'\0');
        if (FAILED(link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, 0)) ||
            FAILED(link->GetWorkingDirectory(workingFolder.data(), static_cast<int>(workingFolder.size()))))
            continue;
        if (FAILED(link->GetDescription(description.data(), static_cast<int>(description.size()))))
            description.clear();
        // Cheapest first: another program's shortcut is passed over before its "Start in" folder,
        // which may be on a share, is looked at. The tool's own always are, to be rewritten or removed.
        shortcut.ours = ownName(name) && std::wstring(description.c_str()) == mark;
        const bool minimised = samePlace(target.c_str(), program) && showCommandOf(shortcut.path) == SW_SHOWMINNOACTIVE;
        shortcut.forFolder = (shortcut.ours || minimised) && samePlace(workingFolder.c_str(), folder);
        shortcut.starts = minimised && shortcut.forFolder;
        found.push_back(std::move(shortcut));
    } while (::FindNextFileW(find.get(), &entry));
    return found;
}

// Writes the shortcut to a temporary file beside `path` and moves it into place, so that a
// shortcut is never seen half written.
int writeShortcut(const std::wstring& path, const std::wstring& program, const std::wstring& folder)
{
    HRESULT result = S_OK;
    const ComPtr<IShellLinkW> link = newLink(result);
    const ComPtr<IPersistFile> file = link ? fileOf(*link, result) : nullptr;
    if (!file)
        return errorOf(result);
    if (FAILED(result = link->SetPath(program.c_str())) || FAILED(result = link->SetWorkingDirectory(folder.c_str())) ||
        FAILED(result = link->SetShowCmd(SW_SHOWMINNOACTIVE)) || FAILED(result = link->SetDescription(mark)))
        return errorOf(result);
    // Unique in the folder: the process and a count shared by the threads that write.
    static std::atomic<unsigned> counter = ::GetTickCount();
    const std::wstring temporary =
        path + L'.' + std::to_wstring(::GetCurrentProcessId()) + L'.' + std::to_wstring(++counter) + L".tmp";
    if (FAILED(result = file->Save(temporary.c_str(), TRUE))) {
        ::DeleteFileW(temporary.c_str());
        return errorOf(result);
    }
    // Hidden, as Explorer opens every item of the Startup folder at login: one left by a copy that
    // ended here is not shown, and the next switch removes it.
    ::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_HIDDEN);
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        return static_cast<int>(error);
    }
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return 0;
}

bool allDigits(std::wstring_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// Removes the temporaries Kelvoran*.lnk.<process>.<count>.tmp whose process no longer runs: a copy
// that ended between saving one and moving it into place. Only those names, nothing else.
void removeStaleTemporaries(const std::wstring& startup)
{
    WIN32_FIND_DATAW entry{};
    const FindHandle find(::FindFirstFileW((startup + L"\\Kelvoran*.lnk.*.tmp").c_str(), &entry));
    if (!find.valid())
        return;
    do {
        const std::wstring_view name = entry.cFileName;
        const std::size_t link = name.find(L".lnk.");
        if (link == std::wstring_view::npos || !ownName(std::wstring(name.substr(0, link + 4))))
            continue;
        const std::wstring_view rest = name.substr(link + 5);
        const std::size_t dot = rest.find(L'.');
        if (dot == std::wstring_view::npos || rest.size() < dot + 6 || !rest.ends_with(L".tmp") ||
            !allDigits(rest.substr(0, dot)) || !allDigits(rest.substr(dot + 1, rest.size() - dot - 5)))
            continue;
        const auto process = static_cast<DWORD>(std::wcstoul(std::wstring(rest.substr(0, dot)).c_str(), nullptr, 10));
        if (const HANDLE running = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process)) {
            ::CloseHandle(running);
            continue;
        }
        // Any other failure (access denied) means a process runs under that number.
        if (::GetLastError() == ERROR_INVALID_PARAMETER)
            ::DeleteFileW((startup + L'\\' + std::wstring(name)).c_str());
    } while (::FindNextFileW(find.get(), &entry));
}

// The first of Kelvoran.lnk, Kelvoran-2.lnk, ... that names nothing yet; none, with `error` set,
// when a name cannot be looked at (the folder refused or gone) or all are taken.
std::wstring freeName(const std::wstring& startup, DWORD& error)
{
    for (unsigned number = 1; number <= 10000; ++number) {
        const std::wstring path =
            startup + L'\\' + baseName + (number == 1 ? L"" : L"-" + std::to_wstring(number)) + L".lnk";
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? path : std::wstring();
    }
    error = ERROR_FILE_EXISTS;
    return {};
}

} // namespace

LoginStart startupShortcut(const std::string& settingsFolder)
{
    const ComScope com;
    HRESULT result = com.failure();
    const std::wstring startup = SUCCEEDED(result) ? startupFolder(result, false) : L"";
    if (startup.empty())
        return {};
    // A shortcut that is not the tool's wins: switching off could not remove it, and the menu
    // then says why the check stays.
    LoginStart state;
    for (const Shortcut& shortcut : shortcuts(startup, executable(), toWide(settingsFolder)))
        if (shortcut.starts && (!state.on || (state.own && !shortcut.ours)))
            state = {true, shortcut.ours, toAnsi(shortcut.path.c_str())};
    return state;
}

int setStartupShortcut(const std::string& settingsFolder, bool on)
{
    const ComScope com;
    HRESULT result = com.failure();
    if (FAILED(result))
        return errorOf(result);
    const std::wstring startup = startupFolder(result, on);
    const std::wstring folder = toWide(settingsFolder);
    const std::wstring program = executable();
    if (startup.empty())
        return errorOf(FAILED(result) ? result : E_FAIL);
    if (folder.empty() || program.empty())
        return ERROR_NO_UNICODE_TRANSLATION;
    removeStaleTemporaries(startup);
    const std::vector<Shortcut> existing = shortcuts(startup, program, folder);
    if (on) {
        // The folder's own shortcut is rewritten in place, never doubled.
        for (const Shortcut& shortcut : existing)
            if (shortcut.ours && shortcut.forFolder)
                return writeShortcut(shortcut.path, program, folder);
        DWORD error = 0;
        const std::wstring path = freeName(startup, error);
        return path.empty() ? static_cast<int>(error) : writeShortcut(path, program, folder);
    }
    int error = 0;
    for (const Shortcut& shortcut : existing) {
        if (!shortcut.ours || !shortcut.forFolder || ::DeleteFileW(shortcut.path.c_str()))
            continue;
        if (const DWORD failed = ::GetLastError(); failed != ERROR_FILE_NOT_FOUND && error == 0)
            error = static_cast<int>(failed);
    }
    return error;
}

} // namespace platform::win32
