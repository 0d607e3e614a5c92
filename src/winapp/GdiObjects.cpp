#include "winapp/GdiObjects.h"

#include "winapp/Dpi.h"

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

Font messageFont(int dpi)
{
    const LOGFONTA wanted = dpi::messageFont(dpi);
    const HFONT font = ::CreateFontIndirectA(&wanted);
    if (font == nullptr)
        throw std::runtime_error("CreateFontIndirectA failed for the message font");
    return Font(font);
}

Icon loadSmallIcon(int resourceId, int dpi)
{
    const auto icon =
        static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                        dpi::metric(SM_CXSMICON, dpi), dpi::metric(SM_CYSMICON, dpi), LR_DEFAULTCOLOR));
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
