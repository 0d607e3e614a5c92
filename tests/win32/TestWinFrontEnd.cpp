// The Win32 front end's status display under Wine: taskbar text, icon, the attention request and
// the check that a change notification starts.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest/doctest.h>

#include "common/Texts.h"
#include "platform/System.h"
#include "platform/win32/WinSystem.h"
#include "winapp/ApplicationWindow.h"
#include "winapp/FailureBox.h"
#include "winapp/GdiObjects.h"
#include "winapp/MessageBox.h"
#include "winapp/Resources.h"
#include "winapp/SettingsDialog.h"
#include "winapp/TrayIcon.h"
#include "winapp/Unit1.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

std::string windowText(HWND hwnd)
{
    char text[256] = {};
    ::GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

HANDLE sharedIcon(int id)
{
    return ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                        ::GetSystemMetrics(SM_CYICON), LR_SHARED);
}

// A fresh folder made the current one, with "in" to watch and a settings file naming it, followed
// by `moreSettings`.
std::string enterWorkFolder(std::string_view moreSettings)
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string work = std::string(temp) + "kelvoran-front-end-" + std::to_string(::GetCurrentProcessId()) + '-' +
                             std::to_string(::GetTickCount());
    REQUIRE(::CreateDirectoryA(work.c_str(), nullptr));
    REQUIRE(::SetCurrentDirectoryA(work.c_str()));
    REQUIRE(::CreateDirectoryA("in", nullptr));
    std::ofstream("Kelvoran.ini", std::ios::binary) << "[KansiDir]\r\nfullpath=" << work << "\\in\r\n" << moreSettings;
    return work;
}

void leaveWorkFolder(const std::string& work)
{
    ::DeleteFileA("Kelvoran.ini");
    ::RemoveDirectoryA("in");
    ::SetCurrentDirectoryA((work + "\\..").c_str());
    ::RemoveDirectoryA(work.c_str());
}

// Takes the window's messages of one kind as they come until `done` holds, five seconds at most.
template <typename Done> void dispatchUntil(HWND window, UINT kind, Done done)
{
    MSG message{};
    for (int waited = 0; waited < 5000 && !done(); waited += 10) {
        while (::PeekMessageA(&message, window, kind, kind, PM_REMOVE))
            ::DispatchMessageA(&message);
        ::Sleep(10);
    }
}

// Results come back as messages to the window: takes them until the taskbar text reads `text`,
// then those still on their way.
bool showsStatus(winapp::TForm1& form, winapp::ApplicationWindow& application, std::string_view text)
{
    dispatchUntil(form.hwnd(), WM_APP + 1, [&] { return windowText(application.hwnd()) == text; });
    const bool shown = windowText(application.hwnd()) == text;
    ::Sleep(100);
    MSG message{};
    while (::PeekMessageA(&message, form.hwnd(), WM_APP + 1, WM_APP + 1, PM_REMOVE))
        ::DispatchMessageA(&message);
    return shown && windowText(form.hwnd()) == text;
}

} // namespace

TEST_CASE("an arrival flashes the taskbar button once until the window is activated, not while it is in the "
          "foreground, and the icon follows the status")
{
    const std::string work = enterWorkFolder("");

    const std::shared_ptr<platform::System> system = platform::createSystem({});
    // Windows reports a folder deleted while the watch holds it as going, where Wine does not.
    const auto removed = std::make_shared<std::atomic<bool>>(false);
    dynamic_cast<platform::WinSystem&>(*system).heldFolderGoing = [removed](HANDLE folder) {
        return removed->load() || platform::win32::ChangeWatch::deletePending(folder);
    };
    winapp::ApplicationWindow application("kelvoran", nullptr);
    winapp::TForm1 form(system, application);
    int flashes = 0;
    int stops = 0;
    form.flashTaskbarButton = [&](HWND taskbarWindow) {
        CHECK(taskbarWindow == application.hwnd());
        ++flashes;
    };
    form.stopFlashing = [&](HWND taskbarWindow) {
        CHECK(taskbarWindow == application.hwnd());
        ++stops;
    };
    const auto shows = [&](std::string_view text) { return showsStatus(form, application, text); };
    // The taskbar button's icon, and the title bar's when it is the same.
    const auto icon = [&] {
        const auto of = [](HWND window) {
            return reinterpret_cast<HANDLE>(::SendMessageA(window, WM_GETICON, ICON_BIG, 0));
        };
        return of(application.hwnd()) == of(form.hwnd()) ? of(application.hwnd()) : nullptr;
    };

    // The windows are not shown, so the user is looking elsewhere. The first tick starts the
    // watch; from then on the change notification starts each check, with no tick.
    form.Timer1Timer();
    CHECK(shows(texts::statusWatching));
    CHECK(icon() == sharedIcon(KV_ICON_WATCHING));
    CHECK(flashes == 0);

    std::ofstream("in\\data.csv") << "1";
    CHECK(shows(texts::statusArrival));
    CHECK(icon() == sharedIcon(KV_ICON_ARRIVAL));
    CHECK(flashes == 1);
    form.Timer1Timer();
    form.Timer1Timer();
    CHECK(shows(texts::statusArrival));
    CHECK(flashes == 1);
    // Looking at the window stops the flashing; the taskbar button's window never has the
    // foreground, so the flash cannot stop by itself.
    ::SendMessageA(form.hwnd(), WM_ACTIVATE, WA_INACTIVE, 0);
    CHECK(stops == 0);
    // Setting the focus may activate the hidden window once more, which stops it again.
    ::SendMessageA(form.hwnd(), WM_ACTIVATE, WA_CLICKACTIVE, 0);
    CHECK(stops > 0);

    // Emptied and filled again: once more.
    REQUIRE(::DeleteFileA("in\\data.csv"));
    CHECK(shows(texts::statusWatching));
    CHECK(icon() == sharedIcon(KV_ICON_WATCHING));
    std::ofstream("in\\again.csv") << "2";
    CHECK(shows(texts::statusArrival));
    CHECK(flashes == 2);

    // Emptied before the user looked: the flashing stops.
    const int stopsBefore = stops;
    REQUIRE(::DeleteFileA("in\\again.csv"));
    CHECK(shows(texts::statusWatching));
    CHECK(stops == stopsBefore + 1);
    // The user looking at the window at an arrival: no flash.
    ::ShowWindow(form.hwnd(), SW_SHOWNORMAL);
    ::SetForegroundWindow(form.hwnd());
    REQUIRE(::GetForegroundWindow() == form.hwnd());
    std::ofstream("in\\seen.csv") << "3";
    CHECK(shows(texts::statusArrival));
    CHECK(flashes == 2);
    REQUIRE(::DeleteFileA("in\\seen.csv"));
    CHECK(shows(texts::statusWatching));
    // Removed while watched: a folder that goes may not tell its own watch, and the tick is the
    // floor.
    REQUIRE(::RemoveDirectoryA("in"));
    *removed = true;
    form.Timer1Timer();
    CHECK(shows(texts::statusNoFolder));
    CHECK(icon() == sharedIcon(KV_ICON_NO_FOLDER));
    CHECK(flashes == 2);

    leaveWorkFolder(work);
}

// One Shell_NotifyIconA call as the shell would have taken it.
struct NotifyCall
{
    DWORD message;
    NOTIFYICONDATAA data;
};

TEST_CASE("the channels: the notification-area icon follows the status, an arrival elsewhere raises a balloon "
          "with its sound, emptying withdraws it, a new taskbar gets the icon again, the overlay waits for the "
          "button and follows the picture; closed to the tray it notifies on, until the icon goes")
{
    const std::string work = enterWorkFolder("[Tsuuchi]\r\nsound=1\r\nclosetotray=1\r\n");
    const std::string folder = work + "\\in";
    const std::shared_ptr<platform::System> system = platform::createSystem({});
    winapp::ApplicationWindow application("kelvoran", nullptr);
    winapp::TForm1 form(system, application);
    std::vector<NotifyCall> calls;
    form.trayIcon().notify = [&](DWORD message, NOTIFYICONDATAA* data) {
        calls.push_back({message, *data});
        return TRUE;
    };
    int flashes = 0;
    form.flashTaskbarButton = [&](HWND) { ++flashes; };
    // The sound is played on a thread of its own: the window's thread must not wait for it.
    std::mutex soundLock;
    std::vector<std::pair<std::string, DWORD>> sounds;
    form.sound().playSound = [&, windowThread = ::GetCurrentThreadId()](const char* sound, HMODULE, DWORD flags) {
        CHECK(::GetCurrentThreadId() != windowThread);
        const std::lock_guard lock(soundLock);
        sounds.emplace_back(sound, flags);
        return TRUE;
    };
    const auto soundsPlayed = [&](std::size_t count) {
        for (int waited = 0; waited < 5000; waited += 10) {
            {
                const std::lock_guard lock(soundLock);
                if (sounds.size() >= count)
                    return sounds;
            }
            ::Sleep(10);
        }
        const std::lock_guard lock(soundLock);
        return sounds;
    };
    std::vector<std::pair<int, std::string>> overlays;
    application.overlay().setOverlay = [&](HWND button, int icon, const std::string& description) {
        CHECK(button == application.hwnd());
        overlays.emplace_back(icon, description);
    };
    const auto balloons = [&] {
        std::vector<NotifyCall> found;
        for (const NotifyCall& call : calls)
            if (call.message == NIM_MODIFY && (call.data.uFlags & NIF_INFO) != 0)
                found.push_back(call);
        return found;
    };

    // The first status adds the icon with the watching tooltip and asks for version 4. The
    // overlay waits for the taskbar's word that the button exists, then takes the status shown.
    form.Timer1Timer();
    REQUIRE(showsStatus(form, application, texts::statusWatching));
    REQUIRE(calls.size() == 2);
    CHECK(calls[0].message == NIM_ADD);
    CHECK(calls[0].data.cbSize == sizeof(NOTIFYICONDATAA));
    CHECK(calls[0].data.hWnd == form.hwnd());
    CHECK((calls[0].data.uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP)) == (NIF_MESSAGE | NIF_ICON | NIF_TIP));
    CHECK(calls[0].data.hIcon != nullptr);
    CHECK(std::string(calls[0].data.szTip) == std::string(texts::statusWatching) + "\n" + folder);
    CHECK(calls[1].message == NIM_SETVERSION);
    CHECK(calls[1].data.uVersion == NOTIFYICON_VERSION_4);
    CHECK(overlays.empty());
    ::SendMessageA(application.hwnd(), ::RegisterWindowMessageA("TaskbarButtonCreated"), 0, 0);
    CHECK(overlays == std::vector{std::pair{KV_ICON_WATCHING, std::string(texts::statusWatching)}});
    // closetotray=1 with the icon there: a close hides both windows, said once.
    ::ShowWindow(application.hwnd(), SW_SHOWNOACTIVATE);
    ::ShowWindow(form.hwnd(), SW_SHOWNOACTIVATE);
    ::SendMessageA(form.hwnd(), WM_CLOSE, 0, 0);
    ::SendMessageA(form.hwnd(), WM_CLOSE, 0, 0);
    CHECK((::IsWindow(form.hwnd()) && !::IsWindowVisible(form.hwnd()) && !::IsWindowVisible(application.hwnd())));
    REQUIRE(balloons().size() == 1);
    CHECK(std::string(balloons()[0].data.szInfo) == texts::closedToTray);
    calls.clear();

    // The windows are not shown: the user is looking elsewhere. Hidden, no button flashes.
    std::ofstream("in\\data.csv") << "1";
    REQUIRE(showsStatus(form, application, texts::statusArrival));
    CHECK(flashes == 0);
    REQUIRE(balloons().size() == 1);
    const NOTIFYICONDATAA balloon = balloons()[0].data;
    CHECK(balloon.dwInfoFlags == (NIIF_INFO | NIIF_RESPECT_QUIET_TIME | NIIF_NOSOUND));
    CHECK(std::string(balloon.szInfoTitle) == texts::statusArrival);
    CHECK(std::string(balloon.szInfo).rfind(folder + "\n1" + std::string(texts::entriesAfter), 0) == 0);
    CHECK(std::string(balloon.szInfo).ends_with("\ndata.csv"));
    CHECK(std::string(calls.back().data.szTip).rfind(std::string(texts::statusArrival) + " 1", 0) == 0);
    CHECK(soundsPlayed(1) == std::vector{std::pair{std::string("SystemNotification"),
                                                   static_cast<DWORD>(SND_ALIAS | SND_ASYNC | SND_NODEFAULT)}});
    CHECK(overlays.back() == std::pair{KV_ICON_ARRIVAL, std::string(texts::statusArrival)});
    // More arrives: the tooltip counts it; a balloon given again would pop up anew.
    std::ofstream("in\\more.csv") << "2";
    const auto countsTwo = [&] {
        return std::string(calls.back().data.szTip).rfind(std::string(texts::statusArrival) + " 2", 0) == 0;
    };
    for (int tries = 0; tries < 50 && !countsTwo(); ++tries)
        showsStatus(form, application, texts::statusArrival);
    CHECK(countsTwo());
    CHECK(balloons().size() == 1);
    // The next new notice, once that sound is on its way, has its sound too.
    form.playSound("C:\\ding.wav");
    CHECK(soundsPlayed(2).back() ==
          std::pair{std::string("C:\\ding.wav"), static_cast<DWORD>(SND_FILENAME | SND_ASYNC | SND_NODEFAULT)});

    // Emptied: an empty balloon text withdraws it.
    REQUIRE(::DeleteFileA("in\\more.csv"));
    REQUIRE(::DeleteFileA("in\\data.csv"));
    REQUIRE(showsStatus(form, application, texts::statusWatching));
    REQUIRE(balloons().size() == 2);
    CHECK(std::string(balloons()[1].data.szInfo).empty());
    CHECK(overlays.back() == std::pair{KV_ICON_WATCHING, std::string(texts::statusWatching)});
    CHECK(soundsPlayed(2).size() == 2);

    // Explorer restarted, its taskbar now at 144 dpi: the icon is added again, as it was, at the
    // small-icon size for 144 dpi.
    calls.clear();
    form.trayIcon().taskbarDpi = [] { return 144; };
    ::SendMessageA(form.hwnd(), ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    REQUIRE(calls.size() == 2);
    CHECK(calls[0].message == NIM_ADD);
    ICONINFO picture{};
    REQUIRE(::GetIconInfo(calls[0].data.hIcon, &picture));
    BITMAP bitmap{};
    ::GetObjectA(picture.hbmColor, sizeof bitmap, &bitmap);
    CHECK(bitmap.bmWidth == 24);
    ::DeleteObject(picture.hbmColor);
    ::DeleteObject(picture.hbmMask);
    CHECK(std::string(calls[0].data.szTip) == std::string(texts::statusWatching) + "\n" + folder);
    CHECK(calls[1].message == NIM_SETVERSION);

    // 一時停止 → 1 時間: the tooltip's second line says until when, the icon has the mark (a bar's
    // pixel), and the menu offers 再開, which takes both off.
    bool offered = false;
    const auto chooseTip = [&](winapp::MenuChoice choice) {
        form.chooseFromMenu = [&, choice](HWND, POINT, const settings::ChannelSettings&, bool, const auto&,
                                          bool paused) {
            offered = paused;
            return choice;
        };
        ::SendMessageA(form.hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form.hwnd()), MAKELPARAM(-1, -1));
        ICONINFO icon{};
        REQUIRE(::GetIconInfo(calls.back().data.hIcon, &icon));
        BITMAP size{};
        ::GetObjectA(icon.hbmColor, sizeof size, &size);
        const int side = size.bmWidth;
        BITMAPINFO format{};
        format.bmiHeader = {sizeof(BITMAPINFOHEADER), side, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<std::uint32_t> pixels(std::size_t(side * side));
        const HDC screen = ::GetDC(nullptr);
        ::GetDIBits(screen, icon.hbmColor, 0, UINT(side), pixels.data(), &format, DIB_RGB_COLORS);
        ::ReleaseDC(nullptr, screen);
        ::DeleteObject(icon.hbmColor);
        ::DeleteObject(icon.hbmMask);
        const std::uint32_t bar = pixels[std::size_t(side * 3 / 4 * side + side * 83 / 100)] & 0xFFFFFF;
        return std::pair{std::string(calls.back().data.szTip), bar == 0x282828};
    };
    const auto paused = chooseTip(winapp::MenuChoice::PauseHour);
    CHECK((paused.first.starts_with(std::string(texts::statusWatching) + "\n" + std::string(texts::pausedBefore)) &&
           paused.second && !offered));
    CHECK((chooseTip(winapp::MenuChoice::Resume) ==
               std::pair{std::string(texts::statusWatching) + "\n" + folder, false} &&
           offered));

    // With the tray switch off the icon is there for the arrival's balloon alone: it stays while
    // the folder is full (a balloon that timed out lives on among the system's notifications,
    // which the icon's removal would take with it), and goes when the folder empties. Another
    // folder: the first has raised its one notification of the minute.
    REQUIRE(::CreateDirectoryA("in2", nullptr));
    std::ofstream("Kelvoran.ini", std::ios::binary)
        << "[KansiDir]\r\nfullpath=" << folder << "2\r\n[Tsuuchi]\r\nsound=1\r\ntray=0\r\n";
    // A check still on its way read the switch on: the icon goes with the first that reads it off.
    calls.clear();
    form.Timer1Timer();
    dispatchUntil(form.hwnd(), WM_APP + 1, [&] { return !calls.empty(); });
    REQUIRE(calls.size() == 1);
    CHECK(calls[0].message == NIM_DELETE);
    calls.clear();
    std::ofstream("in2\\data.csv") << "1";
    REQUIRE(showsStatus(form, application, texts::statusArrival));
    REQUIRE(calls.size() == 3);
    CHECK(calls[0].message == NIM_ADD);
    CHECK(calls[2].message == NIM_MODIFY);
    CHECK((calls[2].data.uFlags & NIF_INFO) != 0);
    calls.clear();
    ::SendMessageA(form.hwnd(), WM_APP + 3, 0, MAKELPARAM(NIN_BALLOONTIMEOUT, 1));
    CHECK(calls.empty());
    REQUIRE(::DeleteFileA("in2\\data.csv"));
    REQUIRE(showsStatus(form, application, texts::statusWatching));
    REQUIRE(!calls.empty());
    CHECK(calls.back().message == NIM_DELETE);

    // フォルダを開く: one opening at a time, off the window's thread; the shell's failure is told in
    // a balloon naming the folder.
    const HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> openings = 0;
    form.folderOpener().shellExecute = [&](SHELLEXECUTEINFOA* execute) {
        CHECK((execute->fMask & SEE_MASK_FLAG_NO_UI) != 0);
        // Only a folder answers to the explore verb.
        CHECK((std::string(execute->lpFile) == folder + "\\" && std::string(execute->lpVerb) == "explore"));
        ++openings;
        return ::WaitForSingleObject(release, 5000) == WAIT_OBJECT_0 ? (::SetLastError(ERROR_NO_ASSOCIATION), FALSE)
                                                                     : TRUE;
    };
    calls.clear();
    form.folderOpener().open(folder);
    form.folderOpener().open(folder);
    ::SetEvent(release);
    dispatchUntil(form.hwnd(), WM_APP + 5, [&] { return !balloons().empty(); });
    CHECK(openings == 1);
    REQUIRE(balloons().size() == 1);
    CHECK(std::string(balloons()[0].data.szInfoTitle) == "フォルダを開けませんでした！");
    const std::string why = folder + "\r\n" + system->errorText(ERROR_NO_ASSOCIATION);
    CHECK((std::string(balloons()[0].data.szInfo) == why && why.size() > folder.size() + 2));
    // With no taskbar to take the balloon, the box tells: its text is looked for, and it is answered.
    static std::string expected;
    static int told = -1;
    expected = std::string(texts::openFolderFailed) + why;
    const auto recorded = form.trayIcon().notify;
    form.trayIcon().notify = [](DWORD, NOTIFYICONDATAA*) { return FALSE; };
    const UINT_PTR answer = ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        if (const HWND box = ::FindWindowA("KelvoranMessageBox", nullptr); box != nullptr) {
            told = told == 1 || ::FindWindowExA(box, nullptr, "STATIC", expected.c_str()) != nullptr ? 1 : 0;
            ::PostMessageA(box, WM_KEYDOWN, 'Y', 0);
        }
    });
    form.folderOpener().open(folder);
    dispatchUntil(form.hwnd(), WM_APP + 5, [&] { return told >= 0; });
    ::KillTimer(nullptr, answer);
    CHECK(told == 1);
    form.trayIcon().notify = recorded;
    ::CloseHandle(release);
    // After one that opened, the next opens too.
    openings = 0;
    form.folderOpener().shellExecute = [&](SHELLEXECUTEINFOA*) { return ++openings, TRUE; };
    dispatchUntil(form.hwnd(), WM_APP + 5, [&] { return form.folderOpener().open(folder), openings >= 2; });
    CHECK(openings >= 2);
    // 本日の着信: each entry "HH:MM  name", & doubled, or one greyed line; an entry chosen is shown
    // selected by its path, its folder opened where the shell cannot.
    const winapp::Menu menu(::CreatePopupMenu());
    winapp::appendTodaysArrivals(menu.get(), {{"10:01", "a&b"}});
    winapp::appendTodaysArrivals(menu.get(), {});
    std::array<char, 64> item{};
    ::GetMenuStringA(::GetSubMenu(menu.get(), 0), 0, item.data(), item.size(), MF_BYPOSITION);
    CHECK(std::string(item.data()) == "10:01  a&&b");
    CHECK((::GetMenuState(::GetSubMenu(menu.get(), 1), 0, MF_BYPOSITION) & MF_GRAYED) != 0);
    std::atomic<int> fellBack = 0;
    std::atomic<bool> asked = false;
    std::string selected; // before the fall back counts
    form.folderOpener().showSelected = [&](const std::string& path) { return selected = path, asked = true, E_FAIL; };
    form.folderOpener().shellExecute = [&](SHELLEXECUTEINFOA*) { return ++fellBack, TRUE; };
    // Asked again only while an opening still on its way leaves the request out.
    dispatchUntil(form.hwnd(), WM_APP + 5, [&] {
        if (!asked)
            form.folderOpener().showEntry(folder, "伝票.csv");
        return fellBack >= 1;
    });
    CHECK((selected == folder + "\\伝票.csv" && fellBack == 1));
    // Each menu item turns its own key over, and only that one.
    bool checked = true;
    bool soundOn = false;
    const auto choose = [&](winapp::MenuChoice choice) {
        form.chooseFromMenu = [choice, &checked, &soundOn](HWND, POINT, const settings::ChannelSettings& switches,
                                                           bool startsAtLogin, const auto&, bool) {
            checked = startsAtLogin;
            soundOn = switches.sound;
            return choice;
        };
        ::SendMessageA(form.hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form.hwnd()), MAKELPARAM(-1, -1));
        std::ifstream file("Kelvoran.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    CHECK(choose(winapp::MenuChoice::Sound) ==
          "[KansiDir]\r\nfullpath=" + folder + "2\r\n[Tsuuchi]\r\nsound=0\r\ntray=0\r\n");
    CHECK(choose(winapp::MenuChoice::Popup).ends_with("[Tsuuchi]\r\nsound=0\r\ntray=0\r\npopup=0\r\n"));
    // A check that read the file before a switch was stored must not put the old value back.
    form.Timer1Timer();
    MSG stale{};
    for (int waited = 0; waited < 500 && !::PeekMessageA(&stale, form.hwnd(), WM_APP + 1, WM_APP + 1, PM_REMOVE);
         ++waited)
        ::Sleep(10);
    choose(winapp::MenuChoice::Sound);
    ::DispatchMessageA(&stale);
    // ログイン時に起動: checked as the Startup folder stands when the menu opens, turned over when chosen.
    choose(winapp::MenuChoice::StartAtLogin);
    CHECK((soundOn && !checked));
    CHECK(system->loginStart(work).own);
    choose(winapp::MenuChoice::StartAtLogin);
    CHECK(checked);
    CHECK_FALSE(system->loginStart(work).on);
    // 監視フォルダの選択… opens in the folder set; Cancel changes nothing, a folder picked is stored
    // the button's way, its box answered.
    std::vector<std::string> starts;
    std::string picked;
    form.chooseFolder = [&](HWND, const std::string& start) {
        starts.push_back(start);
        return picked;
    };
    const std::string stored = "[KansiDir]\r\nfullpath=" + folder;
    const std::string unpicked = choose(winapp::MenuChoice::PickFolder);
    CHECK(unpicked.starts_with(stored + "2\r\n"));
    picked = folder;
    const UINT_PTR yes = ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        if (const HWND box = ::FindWindowA("KelvoranMessageBox", nullptr); box != nullptr)
            ::PostMessageA(box, WM_KEYDOWN, 'Y', 0);
    });
    choose(winapp::MenuChoice::PickFolder);
    MSG result{};
    while (::PeekMessageA(&result, form.hwnd(), WM_APP + 4, WM_APP + 4, PM_REMOVE))
        ::DispatchMessageA(&result);
    ::KillTimer(nullptr, yes);
    CHECK(choose(winapp::MenuChoice::None) == stored + unpicked.substr(stored.size() + 1));
    CHECK(starts == std::vector<std::string>(2, folder + "2"));

    // The icon gone (tray=0), the windows came back.
    MSG restored{};
    while (::PeekMessageA(&restored, form.hwnd(), WM_APP + 2, WM_APP + 2, PM_REMOVE))
        ::DispatchMessageA(&restored);
    CHECK((::IsWindowVisible(form.hwnd()) && ::IsWindowVisible(application.hwnd())));
    // The session's end ends the tool as 終了 does: the icon goes, the claim is let go, the window
    // closes, before the process may be cut off; a picker left open keeps it, but no check runs.
    calls.clear();
    int ended = 0;
    form.sessionEnding = [&ended] { ++ended; };
    form.settingsDialogShown = [&](HWND dialog) {
        ::PostMessageA(form.hwnd(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        ::SendMessageA(::GetDlgItem(dialog, winapp::settingsIds::browse), BM_CLICK, 0, 0);
    };
    choose(winapp::MenuChoice::Settings);
    ::Sleep(3000); // a check under way answers, and is dropped
    while (::PeekMessageA(&stale, form.hwnd(), WM_APP + 1, WM_APP + 1, PM_REMOVE))
        ::DispatchMessageA(&stale);
    CHECK((::IsWindow(form.hwnd()) && ended == 1));
    form.Timer1Timer();
    ::Sleep(3000);
    CHECK_FALSE(::PeekMessageA(&stale, form.hwnd(), WM_APP + 1, WM_APP + 1, PM_REMOVE));
    while (::PeekMessageA(&stale, form.hwnd(), 0, 0, PM_REMOVE))
        ::DispatchMessageA(&stale);
    REQUIRE(!calls.empty());
    CHECK((calls[0].message == NIM_DELETE && ended == 1 && !::IsWindow(form.hwnd())));
    MSG quit{};
    ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    ::RemoveDirectoryA("in2");
    leaveWorkFolder(work);
}

TEST_CASE("the icon's texts are cut at a character boundary, and the shell takes the icon")
{
    // 2-byte characters to an odd field length: a byte count alone would keep half of one.
    std::string tooltip;
    std::string title;
    std::string text;
    for (int i = 0; i < 70; ++i)
        tooltip += "着";
    for (int i = 0; i < 40; ++i)
        title += "着";
    for (int i = 0; i < 200; ++i)
        text += "着";
    winapp::ApplicationWindow application("kelvoran", nullptr);
    std::vector<NotifyCall> calls;
    std::vector<BOOL> done;
    // The icon keeps the code page it is given: the system stays while it does.
    const auto system = platform::createSystem({});
    winapp::TrayIcon tray(application, WM_APP + 3, system->codePage());
    // The real call, under Wine's notification area.
    tray.notify = [&](DWORD message, NOTIFYICONDATAA* data) {
        calls.push_back({message, *data});
        done.push_back(::Shell_NotifyIconA(message, data));
        return done.back();
    };
    tray.show(KV_ICON_WATCHING, tooltip);
    tray.showBalloon(KV_ICON_ARRIVAL, title, text);
    tray.hide();
    tray.withdrawBalloon();
    REQUIRE(calls.size() == 5);
    CHECK(done == std::vector<BOOL>(5, TRUE));
    CHECK(calls[0].message == NIM_ADD);
    CHECK(std::string(calls[0].data.szTip) == tooltip.substr(0, 126));
    CHECK(std::string(calls[2].data.szInfoTitle) == title.substr(0, 62));
    CHECK(std::string(calls[2].data.szInfo) == text.substr(0, 254));
    // The icon stays while its balloon is shown, and goes with it.
    CHECK(calls[3].message == NIM_MODIFY);
    CHECK(calls[4].message == NIM_DELETE);
}

TEST_CASE("an icon the shell took although it reported the add failed is modified from then on, and removing "
          "always asks the shell")
{
    winapp::ApplicationWindow application("kelvoran", nullptr);
    const std::shared_ptr<platform::System> system = platform::createSystem({});
    std::vector<DWORD> calls;
    BOOL modifies = TRUE;
    winapp::TrayIcon tray(application, WM_APP + 3, system->codePage());
    // NIM_ADD fails as it does on the shell's timeout, and as a duplicate after that.
    tray.notify = [&](DWORD message, NOTIFYICONDATAA*) {
        calls.push_back(message);
        return message == NIM_ADD ? FALSE : message == NIM_MODIFY ? modifies : TRUE;
    };
    tray.show(KV_ICON_WATCHING, "watching");
    tray.show(KV_ICON_ARRIVAL, "arrival");
    tray.remove();
    CHECK(calls == std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_SETVERSION, NIM_MODIFY, NIM_DELETE});
    // The shell holds no icon at all: the next show adds again, and removing asks all the same.
    modifies = FALSE;
    calls.clear();
    tray.show(KV_ICON_WATCHING, "watching");
    tray.show(KV_ICON_WATCHING, "watching");
    tray.remove();
    CHECK(calls == std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_DELETE});
}

namespace {

// The real system, but a directory test inside "share" waits, as on a share that stopped
// answering, until released (or for four seconds, so that a window that waits too ends).
class HungShare : public platform::WinSystem
{
public:
    HungShare() : released(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~HungShare() override { ::CloseHandle(released); }
    HungShare(const HungShare&) = delete;
    HungShare& operator=(const HungShare&) = delete;

    [[nodiscard]] platform::EntryKind entryKind(const std::string& path) const override
    {
        if (path.find("\\share\\") != std::string::npos) {
            waiting = true;
            ::WaitForSingleObject(released, 4000);
            waiting = false;
        }
        return WinSystem::entryKind(path);
    }

    HANDLE released;
    mutable std::atomic<bool> waiting = false;
};

// What the window did while the directory test waited, seen from a timer its loop runs.
struct WaitProbe
{
    HungShare* system = nullptr;
    HWND button = nullptr;
    HWND edit = nullptr;
    int ticks = 0;
    bool buttonWaited = true;
    bool painted = false;
    bool boxAnswered = false;
};
WaitProbe* probe = nullptr;

void CALLBACK probeTick(HWND, UINT, UINT_PTR, DWORD)
{
    if (probe->system->waiting) {
        ++probe->ticks;
        probe->buttonWaited = probe->buttonWaited && !::IsWindowEnabled(probe->button);
        ::PostMessageA(probe->edit, WM_CHAR, 'x', 0);
        if (probe->ticks == 5)
            ::InvalidateRect(probe->edit, nullptr, TRUE);
        if (probe->ticks == 15)
            probe->painted = !::GetUpdateRect(probe->edit, nullptr, FALSE);
        if (probe->ticks == 25)
            ::SetEvent(probe->system->released);
    }
    // The create question that follows, a box of this thread's, is answered No.
    if (!probe->boxAnswered) {
        ::EnumThreadWindows(
            ::GetCurrentThreadId(),
            [](HWND window, LPARAM) -> BOOL {
                char name[64] = {};
                ::GetClassNameA(window, name, sizeof name);
                if (std::string_view(name) != "KelvoranMessageBox" || !::IsWindowVisible(window))
                    return TRUE;
                probe->boxAnswered = true;
                ::PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
                return FALSE;
            },
            0);
    }
}

} // namespace

TEST_CASE("the change command waits for a directory test that hangs with the window answering keys and paints, "
          "the button disabled")
{
    const std::string work = enterWorkFolder("");
    const auto system = std::make_shared<HungShare>();
    auto application = std::make_unique<winapp::ApplicationWindow>("kelvoran", nullptr);
    auto owned = std::make_unique<winapp::TForm1>(system, *application);
    winapp::TForm1& form = *owned;
    form.showFirst(SW_SHOWNORMAL);
    WaitProbe seen{system.get(), ::GetDlgItem(form.hwnd(), 1001), ::GetDlgItem(form.hwnd(), 1002)};
    probe = &seen;
    ::SetWindowTextA(seen.edit, (work + "\\share\\new").c_str());
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 20, probeTick);

    form.Button1Click();
    MSG message{};
    for (const DWORD start = ::GetTickCount();
         ::GetTickCount() - start < 10000 && !(seen.boxAnswered && ::IsWindowEnabled(seen.button));) {
        if (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            form.dispatch(message);
        else
            ::Sleep(5);
    }
    ::KillTimer(nullptr, timer);
    probe = nullptr;

    CHECK(seen.ticks >= 25);
    CHECK(seen.buttonWaited);
    CHECK(seen.painted);
    CHECK(windowText(seen.edit).find("xxxxxxxxxxxxxxxxxxxx") != std::string::npos);
    CHECK(seen.boxAnswered);
    CHECK(::IsWindowEnabled(seen.button));
    CHECK(::GetFileAttributesA("share") == INVALID_FILE_ATTRIBUTES);
    owned.reset();
    application.reset();
    // The window's end asks the thread to quit: a loop of a later case must not take that.
    ::PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    leaveWorkFolder(work);
}

TEST_CASE("the failure box finds its owner enabled, so that MessageBoxA enables it again in time")
{
    // MessageBoxA enables its owner before the box goes only when it found it enabled; an owner
    // left disabled until afterwards hands the activation to another program. Wine enables it
    // either way, so the test looks at what the call is handed.
    winapp::ApplicationWindow application("kelvoran", nullptr);
    const HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                         application.hwnd(), nullptr, nullptr, nullptr);
    REQUIRE(owner != nullptr);
    ::SetActiveWindow(owner);
    REQUIRE(::GetActiveWindow() == owner);

    HWND boxOwner = nullptr;
    bool ownerEnabled = false;
    bool othersEnabled = true;
    std::string boxText;
    winapp::showFailureBox("Stream write error", "kelvoran", platform::createSystem({})->codePage(), application.hwnd(),
                           [&](HWND handed, const char* text, const char*, UINT) {
                               boxOwner = handed;
                               ownerEnabled = ::IsWindowEnabled(handed) != FALSE;
                               othersEnabled = ::IsWindowEnabled(application.hwnd()) != FALSE;
                               boxText = text;
                               return IDOK;
                           });
    CHECK(boxOwner == owner);
    CHECK(ownerEnabled);
    CHECK_FALSE(othersEnabled);
    CHECK(boxText == "Stream write error.");
    CHECK(::IsWindowEnabled(application.hwnd()));
    ::DestroyWindow(owner);
}

namespace {

std::string fileText(const char* name)
{
    std::ifstream file(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// What `text` takes in `control`'s own font, the access keys' "&" left out.
SIZE extentIn(HWND control, std::string text)
{
    std::erase(text, '&');
    const winapp::WindowDC dc(control);
    const winapp::Selection font(dc.get(), reinterpret_cast<HGDIOBJ>(::SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    ::GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
    return extent;
}

// `controls` controls, every one inside the client area, none over another, and each text whole in
// its control at `dpi`: a check box's beside its box, a button's within its frame, a refusal line's
// longest text.
void checkLayout(HWND dialog, int dpi, std::size_t controls)
{
    RECT client{};
    ::GetClientRect(dialog, &client);
    std::vector<RECT> placed;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT rect{};
        ::GetWindowRect(child, &rect);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        const int id = ::GetDlgCtrlID(child);
        CHECK((rect.left >= 0 && rect.top >= 0 && rect.right <= client.right && rect.bottom <= client.bottom));
        for (RECT common{}; const RECT& other : placed)
            CHECK_FALSE(::IntersectRect(&common, &rect, &other));
        placed.push_back(rect);

        char kind[16] = {};
        ::GetClassNameA(child, kind, sizeof kind);
        std::vector<std::string> shown{windowText(child)};
        int room = 0;
        if (_stricmp(kind, "Edit") == 0) {
            shown = {id == winapp::settingsIds::soundFile     ? "C:\\Windows\\Media\\ding.wav"
                     : id == winapp::settingsIds::waitMinutes ? "1440"
                                                              : "23:59"};
            room = 8 * dpi / 96;
        } else if (_stricmp(kind, "Button") == 0) {
            room = ((::GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX ? 17 : 8) * dpi / 96;
        } else if (id == winapp::settingsIds::soundFileRefusal) {
            shown = {std::string(texts::soundFileRefused), std::string(texts::playNoDevice),
                     std::string(texts::playUnreadable)};
        } else if (id == winapp::settingsIds::waitRefusal) {
            shown = {std::string(texts::waitRefused)};
        } else if (id == winapp::settingsIds::deadlineRefusal) {
            shown = {std::string(texts::deadlineRefused), std::string(texts::daysRefused)};
        } else if (id == winapp::settingsIds::leftOutRefusal) {
            shown = {std::string(texts::leftOutRefused), std::string(texts::leftOutTooLong)};
        }
        for (const std::string& text : shown) {
            const SIZE extent = extentIn(child, text);
            CAPTURE(id);
            CAPTURE(text);
            CHECK(extent.cx + room <= rect.right - rect.left);
            CHECK(extent.cy <= rect.bottom - rect.top);
        }
    }
    CHECK(placed.size() == controls);
}

// The window laid out at 96 dpi, then again as it moves to monitors of 144 and 120 dpi: at the size
// it asks for, where the system suggests, its texts in fonts made for the resolution.
void checkLayoutAcrossResolutions(HWND window, std::size_t controls)
{
    checkLayout(window, 96, controls);
    const int textHeight = extentIn(::GetWindow(::GetWindow(window, GW_CHILD), GW_HWNDLAST), "M").cy;
    for (const int dpi : {144, 120}) {
        CAPTURE(dpi);
        SIZE size{};
        CHECK(::SendMessageA(window, 0x02E4 /* WM_GETDPISCALEDSIZE */, dpi, reinterpret_cast<LPARAM>(&size)) == TRUE);
        RECT suggested{};
        ::GetWindowRect(window, &suggested);
        suggested = {suggested.left + 8, suggested.top + 8, suggested.left + 8 + size.cx, suggested.top + 8 + size.cy};
        ::SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT placed{};
        ::GetWindowRect(window, &placed);
        CHECK(::EqualRect(&placed, &suggested));
        CHECK(std::abs(extentIn(::GetWindow(::GetWindow(window, GW_CHILD), GW_HWNDLAST), "M").cy -
                       textHeight * dpi / 96) <= 3);
        checkLayout(window, dpi, controls);
    }
}

} // namespace

TEST_CASE("the settings dialog from the menu: OK stores the changed keys only, Cancel, a refused value and the "
          "tool's closing store nothing; it, the main window and the box fit their texts at 96 dpi and again "
          "as they move to monitors of 144 and 120 dpi")
{
    const std::string work = enterWorkFolder("[Tsuuchi]\r\n; kept as it is\r\nsound=1\r\nkigen=9:30\r\n");
    const std::string settings = fileText("Kelvoran.ini");
    const std::shared_ptr<platform::System> system = platform::createSystem({});
    auto application = std::make_unique<winapp::ApplicationWindow>("kelvoran", nullptr);
    auto form = std::make_unique<winapp::TForm1>(system, *application);
    form->chooseFromMenu = [](HWND, POINT, const settings::ChannelSettings&, bool, const auto&, bool) {
        return winapp::MenuChoice::Settings;
    };
    const auto open = [&](std::function<void(HWND)> drive) {
        form->settingsDialogShown = std::move(drive);
        ::SendMessageA(form->hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form->hwnd()), MAKELPARAM(-1, -1));
        return fileText("Kelvoran.ini");
    };
    const auto click = [](HWND dialog, int id) { ::SendMessageA(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); };
    const auto type = [](HWND dialog, int id, const char* text) { ::SetWindowTextA(::GetDlgItem(dialog, id), text); };

    // A check box, the sound file, the minutes of a reminder switched on, the time, a day.
    CHECK(open([&](HWND dialog) {
              CHECK(windowText(dialog) == texts::settingsTitle);
              CHECK_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, winapp::settingsIds::waitMinutes)));
              click(dialog, winapp::settingsIds::popup);
              // Typed: a double-byte character must reach the field as one.
              for (const wchar_t typed : {L'\u8868', L'a'})
                  ::PostMessageW(::GetDlgItem(dialog, winapp::settingsIds::soundFile), WM_CHAR, typed, 0);
              click(dialog, winapp::settingsIds::wait);
              CHECK(::IsWindowEnabled(::GetDlgItem(dialog, winapp::settingsIds::waitMinutes)));
              type(dialog, winapp::settingsIds::waitMinutes, "15");
              type(dialog, winapp::settingsIds::deadlineTime, "17:05");
              click(dialog, winapp::settingsIds::firstDay + 1);
              // Enter through the dialog's own loop, for its default button.
              ::PostMessageA(::GetDlgItem(dialog, winapp::settingsIds::waitMinutes), WM_KEYDOWN, VK_RETURN, 0);
          }) == settings.substr(0, settings.find("kigen=")) +
                    "kigen=17:05\r\npopup=0\r\nsoundfile=表a\r\ntaiki=15\r\nkigenyoubi=日火水木金土\r\n");
    const std::string stored = fileText("Kelvoran.ini");

    CHECK(open([&](HWND dialog) {
              click(dialog, winapp::settingsIds::tray);
              click(dialog, IDCANCEL);
          }) == stored);
    // Minutes out of range, a pattern with a separator: the dialog stays with their lines until mended, and
    // until Escape. 再生 of a file that cannot be read says so on the file's line.
    bool stayed = false;
    MSG quit{};
    form->sound().playSound = [](const char*, HMODULE, DWORD) { return TRUE; };
    CHECK(open([&](HWND dialog) {
              const auto line = [&](int id) { return windowText(::GetDlgItem(dialog, id)); };
              type(dialog, winapp::settingsIds::waitMinutes, "1441");
              type(dialog, winapp::settingsIds::leftOut, "*.tmp;a\\b");
              click(dialog, IDOK);
              stayed = ::IsWindowVisible(dialog) && line(winapp::settingsIds::waitRefusal) == texts::waitRefused &&
                       line(winapp::settingsIds::leftOutRefusal) == texts::leftOutRefused;
              type(dialog, winapp::settingsIds::waitMinutes, "15");
              CHECK(line(winapp::settingsIds::waitRefusal).empty());
              type(dialog, winapp::settingsIds::soundFile, "C:\\nowhere\\ding.wav");
              click(dialog, winapp::settingsIds::play);
              for (int waited = 0; waited < 5000 && line(winapp::settingsIds::soundFileRefusal).empty(); waited += 10) {
                  for (MSG message{}; ::PeekMessageA(&message, dialog, 0, 0, PM_REMOVE);)
                      ::DispatchMessageA(&message);
                  ::Sleep(10);
              }
              CHECK(line(winapp::settingsIds::soundFileRefusal) == texts::playUnreadable);
              ::PostMessageA(::GetDlgItem(dialog, winapp::settingsIds::waitMinutes), WM_KEYDOWN, VK_ESCAPE, 0);
          }) == stored);
    CHECK(stayed);
    // The tool closed while the sound file picker is open: the picker ends first, the window after.
    CHECK(open([&](HWND dialog) {
              ::PostMessageA(form->hwnd(), WM_CLOSE, 0, 0);
              click(dialog, winapp::settingsIds::browse);
          }) == stored);
    CHECK((::IsWindow(form->hwnd()) && ::PeekMessageA(&quit, form->hwnd(), WM_CLOSE, WM_CLOSE, PM_REMOVE)));
    // The tool closed while the dialog is open.
    CHECK(open([&](HWND dialog) {
              click(dialog, winapp::settingsIds::tray);
              ::PostMessageA(form->hwnd(), WM_CLOSE, 0, 0);
          }) == stored);
    CHECK_FALSE(::IsWindow(form->hwnd()));
    form.reset();
    application.reset();
    ::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);

    winapp::Sound sound;
    winapp::SettingsDialog dialog(nullptr, sound);
    dialog.shown = [&](HWND window) {
        checkLayoutAcrossResolutions(window, 30);
        ::PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    CHECK_FALSE(dialog.editSettings(setup::settingsFields({}, false)));
    application = std::make_unique<winapp::ApplicationWindow>("kelvoran", nullptr);
    form = std::make_unique<winapp::TForm1>(system, *application);
    checkLayoutAcrossResolutions(form->hwnd(), 6);
    winapp::MessageBoxWindow box(std::string(texts::statusNoFolder), setup::MessageKind::Warning,
                                 setup::buttons::yes | setup::buttons::no, "kelvoran");
    box.run(form->hwnd(), [&] {
        checkLayoutAcrossResolutions(box.hwnd(), 4);
        ::PostMessageA(box.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    form.reset();
    application.reset();
    leaveWorkFolder(work);
}
