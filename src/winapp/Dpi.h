#pragma once

#include <windows.h>

// Screen resolutions per monitor. GetDpiForWindow, GetSystemMetricsForDpi,
// AdjustWindowRectExForDpi and SystemParametersInfoForDpi exist only from Windows 10 1607 on:
// they are looked up at run time, and before them every monitor counts as having the system's
// resolution, which is then what the older calls answer for.
namespace winapp::dpi {

// The resolution the system started with (that of the primary monitor at logon).
[[nodiscard]] int ofSystem();
// The resolution of the monitor `window` is on; the system's for no window.
[[nodiscard]] int ofWindow(HWND window);
// The resolution of the taskbar, where the notification area and the taskbar buttons are.
[[nodiscard]] int ofTaskbar();
// The system metric `index` (SM_CXSMICON, ...) at `dpi`.
[[nodiscard]] int metric(int index, int dpi);
// The window rectangle around `client` for a window of `style` and `exStyle` at `dpi`.
[[nodiscard]] RECT frameAround(RECT client, DWORD style, DWORD exStyle, int dpi);
// The system's font for boxes and dialogs (lfMessageFont) at `dpi`.
[[nodiscard]] LOGFONTA messageFont(int dpi);

// WM_GETDPISCALEDSIZE (Windows 10 1703 on): the new resolution in wParam, the window's size for it
// to be written to the SIZE in lParam.
inline constexpr UINT scaledSizeMessage = 0x02E4;

// WM_DPICHANGED's new resolution; its lParam is the rectangle the system suggests.
[[nodiscard]] inline int ofMessage(WPARAM wParam)
{
    return HIWORD(wParam);
}

} // namespace winapp::dpi
