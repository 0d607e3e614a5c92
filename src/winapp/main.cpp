#include "common/ByteText.h"
#include "platform/System.h"
#include "winapp/ApplicationWindow.h"
#include "winapp/Resources.h"
#include "winapp/TaskbarOverlay.h"
#include "winapp/Unit1.h"

#include <windows.h>

#include <exception>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*showCommand*/)
{
    try {
        // Before any window, and ended after them: the taskbar's overlay and opening the folder
        // use the shell's COM objects.
        const winapp::ComApartment apartment;
        // Shared with the checks and calls still under way when the tool ends: one that hangs on
        // a folder that stopped answering ends with the process, never on a freed system.
        const std::shared_ptr<platform::System> system = platform::createSystem({});
        const std::string title =
            ansi::defaultApplicationTitle(system->executablePath(), system->pathStyle(), system->codePage());

        winapp::ApplicationWindow application(title, ::LoadIconA(instance, MAKEINTRESOURCEA(KV_ICON_APPLICATION)));
        winapp::TForm1 form(system, application);
        form.showFirst(system->startupShowCommand());

        MSG message{};
        // Messages are taken as Unicode: a typed double-byte character then reaches the entry
        // field as one WM_CHAR, where the ANSI calls would split it into lead and trail byte
        // messages that Wine's IsDialogMessageA converts one byte at a time. Texts are still
        // set and read with the A calls, in the ANSI code page.
        while (::GetMessageW(&message, nullptr, 0, 0) > 0)
            form.dispatch(message);
        return static_cast<int>(message.wParam);
    } catch (const std::exception& failure) {
        // Only start-up can get here: the windows could not be made.
        ::MessageBoxA(nullptr, failure.what(), "Kelvoran", MB_ICONHAND | MB_OK);
        return 1;
    }
}
