// The Windows System under Wine with code page 932: every case needs the real kernel32.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest/doctest.h>

#include "common/ByteText.h"
#include "common/Failures.h"
#include "monitor/BackgroundCheck.h"
#include "platform/System.h"
#include "platform/win32/ChangeWatch.h"
#include "platform/win32/ToolClaim.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WinSystem.h"
#include "settings/SettingsFile.h"

#include <windows.h>

#include <sddl.h>
#include <shobjidl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// A fresh folder under the temporary folder, made the working directory for one test case.
class WorkFolder
{
public:
    WorkFolder()
    {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        static int count = 0;
        m_path = std::string(temp) + "kelvoran-test-" + std::to_string(::GetCurrentProcessId()) + '-' +
                 std::to_string(++count);
        REQUIRE(::CreateDirectoryA(m_path.c_str(), nullptr));
        REQUIRE(::SetCurrentDirectoryA(m_path.c_str()));
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder()
    {
        char temp[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, temp);
        ::SetCurrentDirectoryA(temp);
        removeTree(m_path);
    }
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    static void removeTree(const std::string& path)
    {
        WIN32_FIND_DATAA entry{};
        const HANDLE find = ::FindFirstFileA((path + "\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = entry.cFileName;
                if (name == "." || name == "..")
                    continue;
                const std::string child = path + '\\' + name;
                ::SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                    removeTree(child);
                else
                    ::DeleteFileA(child.c_str());
            } while (::FindNextFileA(find, &entry));
            ::FindClose(find);
        }
        ::RemoveDirectoryA(path.c_str());
    }
    std::string m_path;
};

class Names : public platform::EntryVisitor
{
public:
    void visit(std::string_view name) override { names.emplace_back(name); }
    std::vector<std::string> names;
};

std::string readBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Lists "hung" in a synchronous read of a pipe nobody writes, as a listing waits on a share that
// stopped answering: only the call's cancellation, or the pipe's end, frees it.
class HangingListing : public platform::WinSystem
{
public:
    platform::Listing listDirectory(const std::string& path, platform::EntryVisitor& visitor) const override
    {
        if (!path.ends_with("hung\\"))
            return WinSystem::listDirectory(path, visitor);
        ++listings;
        char byte = 0;
        DWORD got = 0;
        ::ReadFile(read, &byte, 1, &got, nullptr);
        return platform::Listing::Unlistable;
    }
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    mutable std::atomic<int> listings{0};
};

std::string formatMessage(DWORD error)
{
    char text[512] = {};
    ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                     nullptr);
    std::string trimmed = text;
    while (!trimmed.empty() && (static_cast<unsigned char>(trimmed.back()) <= 0x20 || trimmed.back() == '.'))
        trimmed.pop_back();
    return trimmed;
}

// A shortcut's target, "Start in" and show command, in the ANSI code page.
struct Shortcut
{
    std::string target;
    std::string folder;
    int showCommand = 0;
};

// The shortcut at `path` as IShellLinkW reads it back, after writing `made` there as by hand. The
// show command comes from the file's header, at 0x3C: Wine's GetShowCmd answers 1 for any loaded.
Shortcut shortcutAt(const std::string& path, const Shortcut* made = nullptr)
{
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    REQUIRE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                         reinterpret_cast<void**>(&link))));
    REQUIRE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    const std::wstring name = platform::win32::toWide(path);
    if (made != nullptr) {
        link->SetPath(platform::win32::toWide(made->target).c_str());
        link->SetWorkingDirectory(platform::win32::toWide(made->folder).c_str());
        link->SetShowCmd(made->showCommand);
        CHECK(SUCCEEDED(file->Save(name.c_str(), TRUE)));
    }
    wchar_t target[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    CHECK(SUCCEEDED(file->Load(name.c_str(), STGM_READ)));
    CHECK(SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)));
    CHECK(SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)));
    file->Release();
    link->Release();
    return {platform::win32::toAnsi(target), platform::win32::toAnsi(folder), readBytes(path).at(0x3C)};
}

} // namespace

TEST_CASE("code page 932 is active and its lead bytes come from the system")
{
    const auto system = platform::createSystem({});
    REQUIRE(::GetACP() == 932);
    const ansi::CodePage& codePage = system->codePage();
    CHECK(codePage.isLeadByte(0x81));
    CHECK(codePage.isLeadByte(0x95));
    CHECK(codePage.isLeadByte(0xE0));
    CHECK(codePage.isLeadByte(0xFC));
    CHECK_FALSE(codePage.isLeadByte(0x5C));
    CHECK_FALSE(codePage.isLeadByte(0x80));
    CHECK_FALSE(codePage.isLeadByte(0xA0)); // half-width katakana are single bytes
    CHECK_FALSE(codePage.isLeadByte(0xFD));
}

TEST_CASE("a listing holds hidden and system files, an empty sub-folder, and . and ..")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});
    REQUIRE(::CreateDirectoryA("in", nullptr));
    Names names;
    REQUIRE(system->listDirectory("in\\", names) == platform::Listing::Listed);
    std::sort(names.names.begin(), names.names.end());
    CHECK(names.names == std::vector<std::string>{".", ".."});

    writeBytes("in\\hidden", "h");
    ::SetFileAttributesA("in\\hidden", FILE_ATTRIBUTE_HIDDEN);
    writeBytes("in\\system.sys", "s");
    ::SetFileAttributesA("in\\system.sys", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN);
    REQUIRE(::CreateDirectoryA("in\\empty", nullptr));
    writeBytes("in\\noextension", "n");
    names.names.clear();
    REQUIRE(system->listDirectory(work.path() + "\\in\\", names) == platform::Listing::Listed);
    std::sort(names.names.begin(), names.names.end());
    CHECK(names.names == std::vector<std::string>{".", "..", "empty", "hidden", "noextension", "system.sys"});

    CHECK(system->listDirectory("in\\noextension\\", names) == platform::Listing::NotADirectory);
    CHECK(system->listDirectory("missing\\", names) == platform::Listing::NotADirectory);
}

TEST_CASE("a folder path just under MAX_PATH lists, and names come back in the code page")
{
    const WorkFolder work;
    platform::WinSystem windows;
    platform::System* const system = &windows;
    // Wine lists the short form too: the pattern must be the long one, as Windows needs it.
    std::wstring pattern;
    windows.findFirst = [&](const wchar_t* asked, WIN32_FIND_DATAW* entry) {
        pattern = asked;
        return ::FindFirstFileW(asked, entry);
    };
    // 258 characters, and 262 with the separator and "*.*": beyond what the A functions take.
    const std::string folder = work.path() + '\\' + std::string(258 - work.path().size() - 1, 'd');
    const std::wstring wideFolder = L"\\\\?\\" + std::wstring(folder.begin(), folder.end());
    REQUIRE(::CreateDirectoryW(wideFolder.c_str(), nullptr));
    const std::wstring file = wideFolder + L"\\\u30C7\u30FC\u30BF"; // データ
    ::CloseHandle(::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    CHECK(system->entryKind(folder) == platform::EntryKind::Directory);

    Names names;
    CHECK(system->listDirectory(folder + '\\', names) == platform::Listing::Listed);
    std::sort(names.names.begin(), names.names.end());
    CHECK(names.names == std::vector<std::string>{".", "..", "\x83\x66\x81\x5B\x83\x5E"});
    CHECK(pattern == wideFolder + L"\\*.*");

    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(wideFolder.c_str());
}

TEST_CASE("a path ending in a character whose trail byte is 0x5C")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});
    const std::string folder = "\x95\x5C"; // 表
    REQUIRE(system->createDirectory(folder));
    CHECK(system->entryKind(folder) == platform::EntryKind::Directory);
    // The trail byte is no separator: the separator is appended, and the listing works.
    const std::string listed = ansi::withTrailingSeparator(folder, system->pathStyle(), system->codePage());
    CHECK(listed == folder + "\\");
    writeBytes(folder + "\\arrived", "a");
    Names names;
    REQUIRE(system->listDirectory(listed, names) == platform::Listing::Listed);
    CHECK(std::count(names.names.begin(), names.names.end(), "arrived") == 1);

    // A working directory ending in that character still holds its settings file.
    REQUIRE(::SetCurrentDirectoryA(folder.c_str()));
    const std::string path = settings::settingsPath(*system);
    CHECK(path == work.path() + "\\" + folder + "\\Kelvoran.ini");
    settings::storeWatchedFolder(*system, path, "C:\\in");
    CHECK(settings::readWatchedFolder(*system, path) == "C:\\in");
}

TEST_CASE("directories are created one level at a time")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});
    CHECK(system->createDirectory("a"));
    CHECK(system->entryKind("a") == platform::EntryKind::Directory);
    CHECK_FALSE(system->createDirectory("a"));
    CHECK_FALSE(system->createDirectory("missing\\b"));
    writeBytes("file", "f");
    CHECK(system->entryKind("file") == platform::EntryKind::Other);
    CHECK_FALSE(system->createDirectory("file"));
}

TEST_CASE("settings file: new file byte for byte, an update keeps every other byte")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});
    const std::string path = settings::settingsPath(*system);
    CHECK(path == work.path() + "\\Kelvoran.ini");
    CHECK_FALSE(settings::settingsPresent(*system, path));

    const std::string folder = "C:\\\x83\x66\x81\x5B\x83\x5E\\\x95\x5C"; // C:\データ\表
    settings::storeWatchedFolder(*system, path, folder);
    CHECK(readBytes("Kelvoran.ini") == "[KansiDir]\r\nfullpath=" + folder + "\r\n");

    const std::string handWritten =
        "; kept\r\n[Other]\r\nkey = value\r\n\r\n[kansidir]\nFULLPATH = D:\\in  \n[Last]\r\nx=1";
    writeBytes("Kelvoran.ini", handWritten);
    // The replacement keeps the file's own attributes.
    REQUIRE(::SetFileAttributesA("Kelvoran.ini", FILE_ATTRIBUTE_HIDDEN));
    CHECK(settings::readWatchedFolder(*system, path) == "D:\\in");
    settings::storeWatchedFolder(*system, path, folder);
    CHECK((::GetFileAttributesA("Kelvoran.ini") & FILE_ATTRIBUTE_HIDDEN) != 0);
    CHECK(readBytes("Kelvoran.ini") ==
          "; kept\r\n[Other]\r\nkey = value\r\n\r\n[kansidir]\nFULLPATH = " + folder + "\n[Last]\r\nx=1");

    // Nothing is left beside it.
    Names names;
    REQUIRE(system->listDirectory(work.path() + "\\", names) == platform::Listing::Listed);
    CHECK(names.names.size() == 3);
}

TEST_CASE("a swap that fails as ReplaceFileA documents never loses the settings file")
{
    // The last row: the moves that would put either file in place fail too.
    for (const auto& [failure, movesFail] : {std::pair{DWORD{ERROR_UNABLE_TO_MOVE_REPLACEMENT}, false},
                                             std::pair{DWORD{ERROR_UNABLE_TO_MOVE_REPLACEMENT_2}, false},
                                             std::pair{DWORD{ERROR_UNABLE_TO_MOVE_REPLACEMENT_2}, true}}) {
        CAPTURE(failure);
        CAPTURE(movesFail);
        const WorkFolder work;
        platform::WinSystem system;
        const std::string before = "; by hand\r\n[KansiDir]\r\nfullpath=C:\\old\r\n";
        writeBytes("Kelvoran.ini", before);
        // Each failure leaves the files as Microsoft documents it (Wine's ReplaceFileA does not),
        // and the temporary file cannot be moved either, for the same reason.
        std::string temporary;
        system.setFileSwap(
            {[&](const std::string& replaced, const std::string& replacement, const std::string& backup) {
                 temporary = replacement;
                 if (failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT && backup.empty())
                     ::DeleteFileA(replaced.c_str());
                 if (failure == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
                     ::MoveFileA(replaced.c_str(), (backup.empty() ? replaced + ".elsewhere" : backup).c_str());
                 ::SetLastError(failure);
                 return false;
             },
             [&](const std::string& from, const std::string& to) {
                 if (from == temporary || movesFail) {
                     ::SetLastError(ERROR_SHARING_VIOLATION);
                     return false;
                 }
                 return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
             }});
        const std::string path = settings::settingsPath(system);
        CHECK_THROWS_AS(settings::storeWatchedFolder(system, path, "C:\\new"), EIniFileException);
        Names names;
        REQUIRE(system.listDirectory(work.path() + "\\", names) == platform::Listing::Listed);
        if (movesFail) {
            // Nothing could be put back: the old file stays whole under the name it was moved to.
            CHECK(std::count_if(names.names.begin(), names.names.end(),
                                [&](const std::string& name) { return readBytes(name) == before; }) == 1);
            continue;
        }
        CHECK(readBytes("Kelvoran.ini") == before);
        // Nothing is left beside it.
        CHECK(names.names.size() == 3);
    }
}

TEST_CASE("a settings file of up to 1 MiB is read, a larger one holds no setting")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});
    const std::string path = settings::settingsPath(*system);
    constexpr std::size_t bound = 1024 * 1024;
    for (const std::size_t size : {bound, bound + 1}) {
        CAPTURE(size);
        std::string content = "[KansiDir]\r\nfullpath=C:\\in\r\n";
        content.resize(size, ';');
        writeBytes("Kelvoran.ini", content);
        CHECK(settings::readWatchedFolder(*system, path) == (size == bound ? "C:\\in" : ""));
    }
}

TEST_CASE("a read-only settings file is never written")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});
    const std::string path = settings::settingsPath(*system);
    writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=C:\\old\r\n");
    REQUIRE(::SetFileAttributesA("Kelvoran.ini", FILE_ATTRIBUTE_READONLY));
    CHECK_THROWS_WITH_AS(settings::storeWatchedFolder(*system, path, "C:\\new"), ("Unable to write to " + path).c_str(),
                         EIniFileException);
    CHECK(readBytes("Kelvoran.ini") == "[KansiDir]\r\nfullpath=C:\\old\r\n");
    CHECK((::GetFileAttributesA("Kelvoran.ini") & FILE_ATTRIBUTE_READONLY) != 0);
}

TEST_CASE("creation failures carry the full path and the system's text")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});

    // A directory named Kelvoran.ini: the settings count as absent and cannot be created.
    REQUIRE(::CreateDirectoryA("Kelvoran.ini", nullptr));
    const std::string path = settings::settingsPath(*system);
    CHECK_FALSE(settings::settingsPresent(*system, path));
    try {
        settings::storeWatchedFolder(*system, path, "C:\\in");
        FAIL("no failure");
    } catch (const EFCreateError& failure) {
        const std::string message = failure.what();
        const std::string start = "Cannot create file \"" + work.path() + "\\Kelvoran.ini\". ";
        CHECK(message.substr(0, start.size()) == start);
        const std::string text = message.substr(start.size());
        CHECK(!text.empty());
        CHECK(text == formatMessage(ERROR_ACCESS_DENIED));
    }
    CHECK(system->entryKind("Kelvoran.ini") == platform::EntryKind::Directory);

    // The system's own text for a folder that is not there, trimmed at the end.
    const platform::WriteResult missing = system->createFile("missing\\Kelvoran.ini", "x");
    CHECK(missing.outcome == platform::WriteResult::Outcome::CreateFailed);
    CHECK(missing.error == ERROR_PATH_NOT_FOUND);
    CHECK(system->errorText(missing.error) == formatMessage(ERROR_PATH_NOT_FOUND));
    CHECK(system->errorText(missing.error).back() != '.');
}

// True when the folder can be opened with no sharing, which fails while any handle holds it.
bool nobodyHolds(const char* folder)
{
    const HANDLE alone =
        ::CreateFileA(folder, FILE_LIST_DIRECTORY, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (alone == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(alone);
    return true;
}

TEST_CASE("a watch keeps its folder from check to check; asked to remove the folder's drive, it lets go and ends; "
          "the next watch holds it again")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});
    REQUIRE(::CreateDirectoryA("in", nullptr));
    std::atomic<int> changes = 0;
    auto watch = system->watchFolder(work.path() + "\\in", [&] { ++changes; });
    auto* const changeWatch = dynamic_cast<platform::win32::ChangeWatch*>(watch.get());
    REQUIRE(changeWatch != nullptr);
    CHECK_FALSE(nobodyHolds("in"));
    // As the checker does around each listing: on a fixed NTFS volume a quiet notification stays on
    // and vouches for the folder; after a change it comes back after the listing, too late to.
    for (int check = 0; check < 2; ++check) {
        watch->listingStarts();
        CHECK((!watch->ended() && watch->unchangedSinceListing()));
        CHECK_FALSE(nobodyHolds("in"));
    }
    std::ofstream("in\\first.csv") << "1";
    for (int wait = 0; wait < 100 && changes == 0; ++wait)
        ::Sleep(50);
    CHECK((changes == 1 && !watch->unchangedSinceListing()));
    watch->listingStarts();
    CHECK((watch->ended() && watch->resume() && !watch->unchangedSinceListing()));
    CHECK_FALSE(nobodyHolds("in"));

    // Wine never asks, so the test sends what Windows sends; TRUE grants the removal.
    CHECK(changeWatch->askToRemoveDevice() == TRUE);
    CHECK(watch->ended());
    CHECK(nobodyHolds("in"));
    CHECK(::MoveFileA("in", "moved"));
    CHECK(::MoveFileA("moved", "in"));
    std::ofstream("in\\unseen.csv") << "1";
    ::Sleep(300);
    CHECK(changes.load() == 1);

    // As the checker does after its next listing: the old watch goes, a new one takes the folder.
    watch->listingStarts();
    watch.reset();
    const HANDLE reported = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    auto again = system->watchFolder(work.path() + "\\in", [&] {
        ++changes;
        ::SetEvent(reported);
    });
    REQUIRE(again != nullptr);
    CHECK_FALSE(nobodyHolds("in"));
    std::ofstream("in\\data.csv") << "2";
    CHECK(::WaitForSingleObject(reported, 10000) == WAIT_OBJECT_0);
    CHECK(again->ended());
    CHECK(changes.load() == 2);

    again.reset();
    CHECK(nobodyHolds("in"));
    ::CloseHandle(reported);

    // A question about a held folder on a share that hangs leaves the notices' thread free.
    const platform::win32::FileHandle event(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const HANDLE answered = event.get();
    auto hanging = platform::win32::ChangeWatch::create(
        work.path() + "\\in", [] {}, std::make_shared<platform::win32::DeviceNotices>(),
        [answered](HANDLE) { return ::WaitForSingleObject(answered, 3000) == WAIT_TIMEOUT; },
        [](const std::string&) { return true; });
    std::thread listing([&] { hanging->listingStarts(); });
    ::Sleep(300);
    const DWORD before = ::GetTickCount();
    CHECK((hanging->askToRemoveDevice() == TRUE && ::GetTickCount() - before < 1000));
    ::SetEvent(answered);
    listing.join();
}

TEST_CASE("a listing that lists nothing is cancelled, so hung checks do not pile up")
{
    const WorkFolder work;
    REQUIRE(::CreateDirectoryA("hung", nullptr));
    writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path() + "\\hung\r\n");
    const auto system = std::make_shared<HangingListing>();
    REQUIRE(::CreatePipe(&system->read, &system->write, nullptr, 0));
    std::atomic<int> answers{0};
    {
        monitor::BackgroundCheck check(system, [&](const monitor::CheckResult&) { ++answers; }, {60000, 200});
        for (int tick = 0; tick < 50 && system->listings < 3; ++tick, ::Sleep(100))
            check.request(1);
    }
    // Each listing was ended and the folder listed afresh; the ended ones answered nothing.
    CHECK((system->listings >= 3 && answers == 0));
    ::CloseHandle(system->write);
}

TEST_CASE("full path names and the working directory")
{
    const WorkFolder work;
    const auto system = platform::createSystem({});
    CHECK(system->currentDirectory().path == work.path());
    CHECK(system->fullPathName("Kelvoran.ini") == work.path() + "\\Kelvoran.ini");
    CHECK(system->fullPathName("a\\..\\b\\.\\c") == work.path() + "\\b\\c");
    CHECK(system->fullPathName("C:\\x\\..\\y") == "C:\\y");
}

TEST_CASE("the local time is GetLocalTime's, the wall time the C library's")
{
    SYSTEMTIME before{}, after{};
    ::GetLocalTime(&before);
    const long long wallBefore = std::time(nullptr);
    const platform::LocalTime now = platform::createSystem({})->localTime();
    const long long wallAfter = std::time(nullptr);
    ::GetLocalTime(&after);
    const auto is = [&](const SYSTEMTIME& t) {
        return now.date == t.wYear * 10000 + t.wMonth * 100 + t.wDay && now.weekday == t.wDayOfWeek &&
               now.minuteOfDay == t.wHour * 60 + t.wMinute;
    };
    CHECK((is(before) || is(after)));
    CHECK((wallBefore <= now.wallSeconds && now.wallSeconds <= wallAfter));
    // The test runs nine hours east of UTC (TZ=JST-9, which Wine takes as the system's zone).
    CHECK(now.minuteOfDay == (now.wallSeconds / 60 + 9 * 60) % (24 * 60));
}

TEST_CASE("the executable's name gives the default title")
{
    const auto system = platform::createSystem({});
    const std::string own = system->executablePath();
    CHECK(ansi::defaultApplicationTitle(own, system->pathStyle(), system->codePage()) == "Testwinsystem");

    // A copy named AbcDef.Old.EXE reports its own title.
    const WorkFolder work;
    const std::string copy = work.path() + "\\AbcDef.Old.EXE";
    REQUIRE(::CopyFileA(own.c_str(), copy.c_str(), FALSE));
    std::string command = "\"" + copy + "\" --title-to title.txt";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    REQUIRE(
        ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    ::WaitForSingleObject(process.hProcess, 30000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    CHECK(readBytes("title.txt") == "Abcdef");
}

TEST_CASE("start at login: a shortcut per settings folder that reads back through IShellLinkW; switched off, "
          "only the tool's own goes")
{
    REQUIRE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const WorkFolder work;
    REQUIRE(::CreateDirectoryA("other", nullptr));
    const std::string other = work.path() + "\\other";
    const auto system = platform::createSystem({});

    // Switched on twice: one shortcut, this executable minimised in the folder.
    REQUIRE(system->setLoginStart(work.path(), true) == 0);
    REQUIRE(system->setLoginStart(work.path(), true) == 0);
    const platform::LoginStart first = system->loginStart(work.path());
    CHECK((first.on && first.own && first.entry.ends_with("\\Kelvoran.lnk")));
    const std::string startup = first.entry.substr(0, first.entry.rfind('\\'));
    const Shortcut written = shortcutAt(first.entry);
    CHECK(written.target == system->executablePath());
    CHECK(written.folder == work.path());
    CHECK(written.showCommand == SW_SHOWMINNOACTIVE);
    CHECK((::GetFileAttributesA(first.entry.c_str()) & FILE_ATTRIBUTE_HIDDEN) == 0);

    // A temporary left by a copy that ended while writing goes with the next switch; a running one's stays.
    const std::string stale = startup + "\\Kelvoran.lnk.3.1.tmp";
    const std::string running = startup + "\\Kelvoran.lnk." + std::to_string(::GetCurrentProcessId()) + ".1.tmp";
    writeBytes(stale, "");
    writeBytes(running, "");
    // Another folder gets a name of its own; a shortcut made by hand for the first, spelled
    // otherwise, counts as on and stays when the switch goes off.
    REQUIRE(system->setLoginStart(other, true) == 0);
    CHECK((::GetFileAttributesA(stale.c_str()) == INVALID_FILE_ATTRIBUTES && ::DeleteFileA(running.c_str())));
    CHECK(system->loginStart(other).entry == startup + "\\Kelvoran-2.lnk");
    char shortName[MAX_PATH] = {};
    REQUIRE(::GetShortPathNameA(work.path().c_str(), shortName, MAX_PATH) > 0);
    const Shortcut mine{system->executablePath(), std::string(shortName) + "\\", SW_SHOWMINNOACTIVE};
    shortcutAt(startup + "\\Mine.lnk", &mine);
    CHECK_FALSE(system->loginStart(work.path()).own);
    REQUIRE(system->setLoginStart(work.path(), false) == 0);
    const platform::LoginStart left = system->loginStart(work.path());
    CHECK((left.on && !left.own && left.entry == startup + "\\Mine.lnk"));
    CHECK(::GetFileAttributesA(first.entry.c_str()) == INVALID_FILE_ATTRIBUTES);
    CHECK(system->loginStart(other).on);

    REQUIRE(::DeleteFileA((startup + "\\Mine.lnk").c_str()));
    REQUIRE(system->setLoginStart(other, false) == 0);
    CHECK_FALSE(system->loginStart(other).on);
    // A missing Startup folder is made only to switch on.
    REQUIRE(::RemoveDirectoryA(startup.c_str()));
    CHECK((!system->loginStart(other).on && system->setLoginStart(other, false) == 0));
    CHECK(::GetFileAttributesA(startup.c_str()) == INVALID_FILE_ATTRIBUTES);
    ::CoUninitialize();
}

TEST_CASE("one tool per settings folder: the same folder spelled otherwise is refused and raises the holder; "
          "another folder, a released claim and one whose holder died are free; another user's window is not raised, "
          "nor its names a claim")
{
    const WorkFolder work;
    REQUIRE(::CreateDirectoryA("another", nullptr));
    const auto system = platform::createSystem({});
    int raised = 0;
    auto claim = system->claimSettingsFolder(work.path(), [&raised] { ++raised; });
    REQUIRE(claim);
    // Each later start on a thread of its own (a mutex's holder may take it again), the holders
    // answering meanwhile; `sameUser` answers for the holder's process (Wine runs all as one user).
    const auto startsElsewhere = [&](const std::string& folder, bool sameUser = true) {
        std::atomic<bool> done = false;
        bool granted = false;
        std::thread start([&] {
            granted = platform::win32::claimFolder(
                          folder, [] {}, [sameUser](DWORD) { return sameUser; }) != nullptr;
            done = true;
        });
        for (MSG message{}; !done; ::Sleep(10))
            while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                ::DispatchMessageW(&message);
        start.join();
        return granted;
    };
    char shortName[MAX_PATH] = {};
    REQUIRE(::GetShortPathNameA(work.path().c_str(), shortName, MAX_PATH) > 0);
    CHECK((!startsElsewhere(std::string(::CharUpperA(shortName)) + "\\") && raised == 1));
    CHECK(startsElsewhere(work.path() + "\\another"));
    // A holder that does not answer and then lets go, as one ending: the later start holds it.
    std::unique_ptr<platform::ToolClaim> later;
    std::thread takesOver([&] { later = system->claimSettingsFolder(work.path(), [] {}); });
    ::Sleep(2500);
    claim.reset();
    takesOver.join();
    CHECK(later);

    // A thread that ends holding the claim leaves its mutex abandoned, as a copy that crashed.
    std::unique_ptr<platform::ToolClaim> orphan;
    std::thread([&] { orphan = system->claimSettingsFolder(work.path(), [] {}); }).join();
    REQUIRE(orphan);
    CHECK(startsElsewhere(work.path()));

    // Not raised: a holder whose process runs as another user, or the window named in a mapping
    // that another account made first, which the holder leaves unwritten; the start ends all the
    // same, as the mutex is held.
    claim = system->claimSettingsFolder(work.path(), [&raised] { ++raised; });
    CHECK((!startsElsewhere(work.path(), false) && raised == 1));
    PSECURITY_DESCRIPTOR foreign = nullptr;
    REQUIRE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(L"O:S-1-5-21-1-2-3-1001D:(A;;GA;;;WD)",
                                                                   SDDL_REVISION_1, &foreign, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, foreign, FALSE};
    const std::wstring name = platform::win32::claimName(work.path() + "\\another") + L"-window";
    const HANDLE squatted = ::CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE, 0, 8, name.c_str());
    auto* const named = static_cast<HWND*>(::MapViewOfFile(squatted, FILE_MAP_WRITE, 0, 0, 8));
    const auto holder = system->claimSettingsFolder(work.path() + "\\another", [&raised] { ++raised; });
    CHECK(*named == nullptr);
    *named = ::FindWindowExW(HWND_MESSAGE, nullptr, L"KelvoranClaim", nullptr);
    CHECK((!startsElsewhere(work.path() + "\\another") && raised == 1));
    // A mutex another account made first and holds is no claim of this user's: the start goes on.
    REQUIRE(::CreateDirectoryA("third", nullptr));
    REQUIRE(::CreateMutexW(&attributes, TRUE, platform::win32::claimName(work.path() + "\\third").c_str()));
    CHECK(startsElsewhere(work.path() + "\\third"));
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--title-to") {
        const auto system = platform::createSystem({});
        writeBytes(argv[2],
                   ansi::defaultApplicationTitle(system->executablePath(), system->pathStyle(), system->codePage()));
        return 0;
    }
    return doctest::Context(argc, argv).run();
}
