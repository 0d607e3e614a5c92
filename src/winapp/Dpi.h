#pragma once

#include <windows.h>

#include <exception>

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

// Answers WM_GETDPISCALEDSIZE with `sizeAt(dpi)`, the size that the system then suggests with
// WM_DPICHANGED; FALSE (the system's plain scaling) when the layout cannot be made.
template <typename SizeAt> LRESULT answerScaledSize(WPARAM wParam, LPARAM lParam, SizeAt&& sizeAt)
{
    try {
        *reinterpret_cast<SIZE*>(lParam) = sizeAt(static_cast<int>(wParam));
        return TRUE;
    } catch (const std::exception&) {
        return FALSE;
    }
}

// Answers WM_DPICHANGED: `layOut(dpi)` places the controls anew and gives the window's size,
// which goes where the system suggests. Its size is ours once WM_GETDPISCALEDSIZE was answered
// (Windows 10 1703 on); before, the suggestion is scaled plainly, which the fonts need not follow.
template <typename LayOut> void moveToSuggested(HWND window, WPARAM wParam, LPARAM lParam, LayOut&& layOut)
{
    const SIZE size = layOut(ofMessage(wParam));
    const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
    ::SetWindowPos(window, nullptr, suggested.left, suggested.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

} // namespace winapp::dpi
