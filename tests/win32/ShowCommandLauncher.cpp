// Starts a program with a show command in its start-up information, as a shortcut set to run
// minimised does (show command 7). Use: ShowCommandLauncher.exe <show command> <program>
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(std::atoi(argv[1]));
    std::string command = std::string("\"") + argv[2] + '"';
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 1;
    // Waits, so that whoever started the launcher can end the program by ending the launcher's
    // Wine session.
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return 0;
}
