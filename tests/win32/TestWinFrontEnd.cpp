// The Win32 front end's status display under Wine: taskbar text, icon and the attention request.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest/doctest.h>

#include "common/Texts.h"
#include "platform/System.h"
#include "winapp/ApplicationWindow.h"
#include "winapp/Resources.h"
#include "winapp/Unit1.h"

#include <windows.h>

#include <fstream>
#include <string>

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

TEST_CASE("an arrival flashes the taskbar button once, and the icon follows the status")
{
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string work = std::string(temp) + "kelvoran-front-end-" + std::to_string(::GetCurrentProcessId()) + '-' +
                             std::to_string(::GetTickCount());
    REQUIRE(::CreateDirectoryA(work.c_str(), nullptr));
    REQUIRE(::SetCurrentDirectoryA(work.c_str()));
    REQUIRE(::CreateDirectoryA("in", nullptr));
    std::ofstream("Kelvoran.ini", std::ios::binary) << "[KansiDir]\r\nfullpath=" << work << "\\in\r\n";

    const auto system = platform::createSystem({});
    winapp::ApplicationWindow application("kelvoran", nullptr);
    winapp::TForm1 form(*system, application);
    int flashes = 0;
    form.flashTaskbarButton = [&](HWND taskbarWindow) {
        CHECK(taskbarWindow == application.hwnd());
        ++flashes;
    };
    // A tick hands the check to its thread; its result comes back as a message to the window.
    const auto tick = [&] {
        form.Timer1Timer();
        MSG message{};
        for (int waited = 0; waited < 5000; waited += 10) {
            if (::PeekMessageA(&message, form.hwnd(), WM_APP + 1, WM_APP + 1, PM_REMOVE)) {
                ::DispatchMessageA(&message);
                return;
            }
            ::Sleep(10);
        }
        FAIL("no result within 5 s");
    };
    const auto icon = [&] {
        return reinterpret_cast<HANDLE>(::SendMessageA(application.hwnd(), WM_GETICON, ICON_BIG, 0));
    };

    // The windows are not shown, so the user is looking elsewhere.
    tick();
    CHECK(windowText(application.hwnd()) == texts::statusWatching);
    CHECK(icon() == sharedIcon(KV_ICON_WATCHING));
    CHECK(flashes == 0);

    std::ofstream("in\\data.csv") << "1";
    tick();
    CHECK(windowText(application.hwnd()) == texts::statusArrival);
    CHECK(windowText(form.hwnd()) == texts::statusArrival);
    CHECK(icon() == sharedIcon(KV_ICON_ARRIVAL));
    CHECK(flashes == 1);
    tick();
    tick();
    CHECK(flashes == 1);

    // Emptied and filled again: once more.
    REQUIRE(::DeleteFileA("in\\data.csv"));
    tick();
    CHECK(icon() == sharedIcon(KV_ICON_WATCHING));
    std::ofstream("in\\again.csv") << "2";
    tick();
    CHECK(flashes == 2);

    REQUIRE(::DeleteFileA("in\\again.csv"));
    REQUIRE(::RemoveDirectoryA("in"));
    tick();
    CHECK(windowText(application.hwnd()) == texts::statusNoFolder);
    CHECK(icon() == sharedIcon(KV_ICON_NO_FOLDER));
    CHECK(flashes == 2);

    ::DeleteFileA("Kelvoran.ini");
    ::SetCurrentDirectoryA(temp);
    ::RemoveDirectoryA(work.c_str());
}
