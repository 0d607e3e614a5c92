// Starts a program with a show command in its start-up information, as a shortcut set to run
// minimised does (show command 7). Use: ShowCommandLauncher.exe <show command> <program>
// or ShowCommandLauncher.exe --shortcut <file.lnk>: its target in its "Start in" folder with the
// show command of its header, as Explorer starts it (Wine's start reads no show command there).
#include <windows.h>

#include <shobjidl.h>

#include <cstdlib>
#include <fstream>
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
    char target[MAX_PATH] = {};
    char folder[MAX_PATH] = {};
    if (std::string(argv[1]) == "--shortcut") {
        IShellLinkA* link = nullptr;
        IPersistFile* file = nullptr;
        wchar_t path[MAX_PATH] = {};
        ::MultiByteToWideChar(CP_ACP, 0, argv[2], -1, path, MAX_PATH);
        if (FAILED(::CoInitialize(nullptr)) ||
            FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link))) ||
            FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) ||
            FAILED(file->Load(path, STGM_READ)) || FAILED(link->GetPath(target, MAX_PATH, nullptr, 0)) ||
            FAILED(link->GetWorkingDirectory(folder, MAX_PATH)))
            return 1;
        std::ifstream header(argv[2], std::ios::binary);
        startup.wShowWindow = static_cast<WORD>(header.seekg(0x3C).get());
        command = std::string("\"") + target + '"';
    }
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder[0] ? folder : nullptr,
                          &startup, &process))
        return 1;
    // Waits, so that whoever started the launcher can end the program by ending the launcher's
    // Wine session.
    ::WaitForSingleObject(process.hProcess, INFINITE);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return 0;
}
