#pragma once

#include "common/CodePage.h"

#include <windows.h>

#include <string>

namespace winapp {

// The unexpected-failure box: the system's MessageBoxA with the error icon and one OK button,
// titled with the application title, owned by the tool's active window (else `fallbackOwner`).
// Every other window of the tool is disabled while it is open; afterwards the window that was
// active gets the activation and the focus back.
void showFailureBox(const std::string& message, const std::string& applicationTitle, const ansi::CodePage& codePage,
                    HWND fallbackOwner);

} // namespace winapp
