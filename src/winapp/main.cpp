#include "common/ByteText.h"
#include "platform/System.h"
#include "platform/win32/ComScope.h"
#include "platform/win32/WideText.h"
#include "setup/CommandLine.h"
#include "winapp/ApplicationWindow.h"
#include "winapp/Resources.h"
#include "winapp/Unit1.h"

#include <windows.h>

#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

namespace {

constexpr const char* manualLine = "See README.txt beside kelvoran.exe.";

// The arguments as the C runtime would split them, in the ANSI code page, the program's name first.
std::vector<std::string> commandLineArguments()
{
    std::vector<std::string> arguments;
    int count = 0;
    if (wchar_t** split = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            arguments.push_back(platform::win32::toAnsi(split[i]));
        ::LocalFree(split);
    }
    return arguments;
}

// The name the tool was started by, without its folder.
std::string programName(const std::vector<std::string>& arguments)
{
    const std::wstring path = arguments.empty() ? L"" : platform::win32::toWide(arguments.front());
    const std::size_t slash = path.find_last_of(L"\\/:");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return name.empty() ? "kelvoran.exe" : platform::win32::toAnsi(name.c_str());
}

// Writes `text` to `output`: a console in its own characters, a file or a pipe as the bytes they
// are, in the ANSI code page.
void writeTo(HANDLE output, const std::string& text)
{
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(output, &mode)) {
        const std::wstring wide = platform::win32::toWide(text);
        ::WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        ::WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

// Writes `text` where the standard output (or error) goes when it was given one (redirected to a
// file or a pipe, as by a script or a scheduled task, that has no one to answer a box), else to
// the console of the process that started this one: a GUI program has none of its own. False
// when there is neither.
bool writeToStandardOutput(const std::string& text, bool error)
{
    const DWORD which = error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE;
    if (const HANDLE given = ::GetStdHandle(which);
        given != nullptr && given != INVALID_HANDLE_VALUE && ::GetFileType(given) != FILE_TYPE_UNKNOWN) {
        writeTo(given, text);
        return true;
    }
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return false;
    HANDLE output = ::GetStdHandle(which);
    if (output == nullptr || output == INVALID_HANDLE_VALUE)
        output = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return false;
    writeTo(output, text);
    return true;
}

// Answers --help, --version or a wrong argument, before any window or claim, and returns the
// exit code.
int answerCommandLine(const setup::CommandLine& line, const std::string& program)
{
    const bool wrong = line.action == setup::CommandLine::Action::Wrong;
    const std::string text = wrong                                             ? setup::wrongArgumentText(program, line)
                             : line.action == setup::CommandLine::Action::Help ? setup::usageText(program, manualLine)
                                                                               : setup::versionText();
    // In the foreground even when started from a shortcut set to run minimised.
    if (!writeToStandardOutput(text, wrong))
        ::MessageBoxA(nullptr, text.c_str(), "Kelvoran",
                      (wrong ? MB_ICONERROR : MB_ICONINFORMATION) | MB_OK | MB_SETFOREGROUND);
    return setup::exitCodeFor(line);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*showCommand*/)
{
    try {
        const std::vector<std::string> arguments = commandLineArguments();
        const setup::CommandLine line = setup::parseCommandLine(
            arguments.empty() ? arguments : std::vector<std::string>(arguments.begin() + 1, arguments.end()));
        if (line.action != setup::CommandLine::Action::Run)
            return answerCommandLine(line, programName(arguments));

        // Before any window, and ended after them: the taskbar's overlay and opening the folder
        // use the shell's COM objects.
        const platform::win32::ComScope apartment;
        // Shared with the checks and calls still under way when the tool ends: one that hangs on
        // a folder that stopped answering ends with the process, never on a freed system.
        const std::shared_ptr<platform::System> system = platform::createSystem({}, line.iconic);

        // One tool per settings folder, claimed before any window: a later start brings this
        // one's window up, from this thread's loop, once the window is there.
        // One that comes while the windows are made (a call that waits may take sent messages) is
        // done once the window is shown.
        winapp::TForm1* raised = nullptr;
        bool raiseWaiting = false;
        const platform::DirectoryName settingsFolder = system->currentDirectory();
        std::unique_ptr<platform::ToolClaim> claim = system->claimSettingsFolder(
            settingsFolder.error == 0 ? settingsFolder.path : std::string(), [&raised, &raiseWaiting] {
                if (raised != nullptr)
                    raised->raise();
                else
                    raiseWaiting = true;
            });
        if (!claim)
            return 0;

        const std::string title =
            ansi::defaultApplicationTitle(system->executablePath(), system->pathStyle(), system->codePage());
        winapp::ApplicationWindow application(title, ::LoadIconA(instance, MAKEINTRESOURCEA(KV_ICON_APPLICATION)));
        winapp::TForm1 form(system, application);
        raised = &form;
        // The session's end may cut the process off before the loop below ends.
        form.sessionEnding = [&raised, &claim] {
            raised = nullptr;
            claim.reset();
        };
        form.showFirst(system->startupShowCommand());
        if (raiseWaiting)
            form.raise();

        MSG message{};
        // Messages are taken as Unicode: a typed double-byte character then reaches the entry
        // field as one WM_CHAR, where the ANSI calls would split it into lead and trail byte
        // messages that Wine's IsDialogMessageA converts one byte at a time. Texts are still
        // set and read with the A calls, in the ANSI code page.
        while (::GetMessageW(&message, nullptr, 0, 0) > 0)
            form.dispatch(message);
        // Let go as soon as the loop ends: the form may still wait for its writes, and a start
        // meanwhile would be answered by no one. That start now runs instead.
        raised = nullptr;
        claim.reset();
        return static_cast<int>(message.wParam);
    } catch (const std::exception& failure) {
        // Only start-up can get here: the windows could not be made.
        ::MessageBoxA(nullptr, failure.what(), "Kelvoran", MB_ICONHAND | MB_OK);
        return 1;
    }
}
