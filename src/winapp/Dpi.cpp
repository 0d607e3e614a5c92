#include "winapp/Dpi.h"

#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace winapp::dpi {

namespace {

// The function `name` of user32.dll, which every Win32 program has loaded; null where this
// Windows has none.
template <typename Function> Function* fromUser32(const char* name)
{
    const FARPROC found = ::GetProcAddress(::GetModuleHandleA("user32.dll"), name);
    // Through void*: FARPROC stands for any function type.
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(found));
}

} // namespace

int ofSystem()
{
    static const int resolution = [] {
        const HDC screen = ::GetDC(nullptr);
        const int found = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
        if (screen != nullptr)
            ::ReleaseDC(nullptr, screen);
        return found > 0 ? found : USER_DEFAULT_SCREEN_DPI;
    }();
    return resolution;
}

int ofWindow(HWND window)
{
    static auto* const getDpiForWindow = fromUser32<UINT WINAPI(HWND)>("GetDpiForWindow");
    const UINT found = window != nullptr && getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
    return found != 0 ? static_cast<int>(found) : ofSystem();
}

int ofTaskbar()
{
    return ofWindow(::FindWindowA("Shell_TrayWnd", nullptr));
}

int metric(int index, int dpi)
{
    static auto* const getSystemMetricsForDpi = fromUser32<int WINAPI(int, UINT)>("GetSystemMetricsForDpi");
    if (getSystemMetricsForDpi != nullptr)
        return getSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    return ::MulDiv(::GetSystemMetrics(index), dpi, ofSystem());
}

RECT frameAround(RECT client, DWORD style, DWORD exStyle, int dpi)
{
    static auto* const adjustForDpi =
        fromUser32<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (adjustForDpi == nullptr || !adjustForDpi(&client, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        ::AdjustWindowRectEx(&client, style, FALSE, exStyle);
    return client;
}

LOGFONTA messageFont(int dpi)
{
    static auto* const parametersForDpi =
        fromUser32<BOOL WINAPI(UINT, UINT, void*, UINT, UINT)>("SystemParametersInfoForDpi");
    // The wide structure: the call exists only in a wide form.
    NONCLIENTMETRICSW wide{};
    wide.cbSize = sizeof wide;
    if (parametersForDpi != nullptr &&
        parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof wide, &wide, 0, static_cast<UINT>(dpi))) {
        LOGFONTA font{};
        static_assert(offsetof(LOGFONTA, lfFaceName) == offsetof(LOGFONTW, lfFaceName));
        std::memcpy(&font, &wide.lfMessageFont, offsetof(LOGFONTA, lfFaceName));
        ::WideCharToMultiByte(CP_ACP, 0, wide.lfMessageFont.lfFaceName, -1, font.lfFaceName, LF_FACESIZE, nullptr,
                              nullptr);
        return font;
    }
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        throw std::runtime_error("SystemParametersInfoA failed for the message font");
    metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, dpi, ofSystem());
    return metrics.lfMessageFont;
}

} // namespace winapp::dpi
