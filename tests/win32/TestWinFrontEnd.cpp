// The Win32 front end's status display under Wine: taskbar text, icon, the attention request and
// the check that a change notification starts.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest/doctest.h>

#include "common/Texts.h"
#include "platform/System.h"
#include "winapp/ApplicationWindow.h"
#include "winapp/FailureBox.h"
#include "winapp/Resources.h"
#include "winapp/Unit1.h"

#include <windows.h>

#include <fstream>
#include <string>
#include <string_view>

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

} // namespace

TEST_CASE("an arrival flashes the taskbar button once until the window is activated, not while it is in the "
          "foreground, and the icon follows the status")
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string work = std::string(temp) + "kelvoran-front-end-" + std::to_string(::GetCurrentProcessId()) + '-' +
                             std::to_string(::GetTickCount());
    REQUIRE(::CreateDirectoryA(work.c_str(), nullptr));
    REQUIRE(::SetCurrentDirectoryA(work.c_str()));
    REQUIRE(::CreateDirectoryA("in", nullptr));
    std::ofstream("Kelvoran.ini", std::ios::binary) << "[KansiDir]\r\nfullpath=" << work << "\\in\r\n";

    const std::shared_ptr<platform::System> system = platform::createSystem({});
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
    // Results come back as messages to the window: take them until the taskbar text reads
    // `text`, then those still on their way.
    const auto shows = [&](std::string_view text) {
        MSG message{};
        bool shown = false;
        for (int waited = 0; waited < 5000 && !shown; waited += 10) {
            while (::PeekMessageA(&message, form.hwnd(), WM_APP + 1, WM_APP + 1, PM_REMOVE))
                ::DispatchMessageA(&message);
            shown = windowText(application.hwnd()) == text;
            ::Sleep(10);
        }
        ::Sleep(100);
        while (::PeekMessageA(&message, form.hwnd(), WM_APP + 1, WM_APP + 1, PM_REMOVE))
            ::DispatchMessageA(&message);
        return shown && windowText(form.hwnd()) == text;
    };
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

    REQUIRE(::DeleteFileA("in\\again.csv"));
    CHECK(shows(texts::statusWatching));
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
    form.Timer1Timer();
    CHECK(shows(texts::statusNoFolder));
    CHECK(icon() == sharedIcon(KV_ICON_NO_FOLDER));
    CHECK(flashes == 2);

    ::DeleteFileA("Kelvoran.ini");
    ::SetCurrentDirectoryA(temp);
    ::RemoveDirectoryA(work.c_str());
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
