#pragma once

#include "common/CodePage.h"

#include <windows.h>

#include <functional>
#include <string>

namespace winapp {

// The call that shows the box, MessageBoxA unless a test looks at what it is handed.
using MessageBoxCall = std::function<int(HWND owner, const char* text, const char* caption, UINT type)>;

// The unexpected-failure box: the system's MessageBoxA with the error icon and one OK button,
// titled with the application title, owned by the tool's active window (else `fallbackOwner`).
// Every other window of the tool is disabled while it is open; afterwards the window that was
// active gets the activation and the focus back.
void showFailureBox(const std::string& message, const std::string& applicationTitle, const ansi::CodePage& codePage,
                    HWND fallbackOwner, const MessageBoxCall& show = ::MessageBoxA);

} // namespace winapp
