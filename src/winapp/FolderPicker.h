#pragma once

#include <windows.h>

#include <shobjidl.h>

#include <string>

namespace winapp {

// The shell's folder picker (IFileOpenDialog with FOS_PICKFOLDERS), run in its own loop on the
// window's thread, which the tool's closing can end.
class FolderPicker
{
public:
    // The folder picked, or empty when cancelled, closed, or named with a character the ANSI code
    // page lacks. Opens in `start` (a full path that has just answered as a folder) unless empty.
    [[nodiscard]] std::string pick(HWND owner, const std::string& start);
    // Ends an open picker with no answer: true when one was open, whose windows go once its loop
    // has returned.
    bool close();

private:
    IFileDialog* m_open = nullptr;
    bool m_closed = false;
};

} // namespace winapp
