#include "winapp/GdiObjects.h"

#include <stdexcept>

namespace winapp {

Font createFont(const char* face, int height, BYTE charset)
{
    // A negative height is the character height, without the internal leading.
    const HFONT font = ::CreateFontA(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
    if (font == nullptr)
        throw std::runtime_error(std::string("CreateFontA failed for ") + face);
    return Font(font);
}

Font messageFont()
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        throw std::runtime_error("SystemParametersInfoA failed for the message font");
    const HFONT font = ::CreateFontIndirectA(&metrics.lfMessageFont);
    if (font == nullptr)
        throw std::runtime_error("CreateFontIndirectA failed for the message font");
    return Font(font);
}

Icon loadSmallIcon(int resourceId)
{
    const auto icon = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId),
                                                      IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                      ::GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    if (icon == nullptr)
        throw std::runtime_error("LoadImageA failed for icon " + std::to_string(resourceId));
    return Icon(icon);
}

SIZE singleLineExtent(HWND hwnd, HFONT font, const std::string& text)
{
    const WindowDC dc(hwnd);
    const Selection selected(dc.get(), font);
    RECT rect{0, 0, 0, 0};
    ::DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &rect, DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
    if (text.empty()) {
        TEXTMETRICA metrics{};
        ::GetTextMetricsA(dc.get(), &metrics);
        rect.bottom = metrics.tmHeight;
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace winapp
