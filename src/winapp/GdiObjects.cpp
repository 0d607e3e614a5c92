#include "winapp/GdiObjects.h"

#include "winapp/Dpi.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace winapp {

namespace {

struct BitmapDeleter
{
    void operator()(HBITMAP bitmap) const { ::DeleteObject(bitmap); }
};
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

} // namespace

Icon withPauseMark(HICON icon)
{
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        throw std::runtime_error("GetIconInfo failed");
    const Bitmap colour(info.hbmColor);
    const Bitmap mask(info.hbmMask);
    BITMAP size{};
    if (!colour || ::GetObjectA(colour.get(), sizeof size, &size) == 0)
        throw std::runtime_error("the icon has no colour bitmap");
    const int width = size.bmWidth;
    const int height = size.bmHeight;
    // Both read as top-down 32-bit rows; the mask's pixels come out black (opaque) or white.
    BITMAPINFO format{};
    format.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    std::vector<std::uint32_t> transparent(pixels.size());
    {
        const WindowDC screen(nullptr);
        if (::GetDIBits(screen.get(), colour.get(), 0, UINT(height), pixels.data(), &format, DIB_RGB_COLORS) == 0 ||
            ::GetDIBits(screen.get(), mask.get(), 0, UINT(height), transparent.data(), &format, DIB_RGB_COLORS) == 0)
            throw std::runtime_error("GetDIBits failed for an icon");
    }
    // An icon without alpha takes it from its mask: the mark's opaque pixels would otherwise make
    // every other one transparent.
    if (std::ranges::none_of(pixels, [](std::uint32_t pixel) { return (pixel >> 24) != 0; }))
        for (std::size_t at = 0; at < pixels.size(); ++at)
            pixels[at] |= (transparent[at] & 0xFFFFFF) != 0 ? 0 : 0xFF000000;
    const double side = width * 0.55;
    const double centre = width - side / 2;
    const double bar = side * 0.18;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = x + 0.5 - centre;
            const double dy = y + 0.5 - (height - side / 2);
            if (dx * dx + dy * dy > side * side / 4)
                continue;
            const bool onBar = std::abs(dy) < side / 4 && std::abs(std::abs(dx) - side * 0.2) < bar / 2;
            pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = onBar ? 0xFF282828 : 0xFFFFFFFF;
            transparent[std::size_t(y) * std::size_t(width) + std::size_t(x)] = 0;
        }
    }
    void* bits = nullptr;
    const Bitmap marked(::CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!marked || bits == nullptr)
        throw std::runtime_error("CreateDIBSection failed for an icon");
    std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
    // The mask as CreateBitmap takes it: one bit a pixel, set where transparent, rows of whole words.
    const std::size_t stride = (std::size_t(width) + 15) / 16 * 2;
    std::vector<std::uint8_t> maskBits(stride * std::size_t(height));
    for (std::size_t at = 0; at < transparent.size(); ++at)
        if ((transparent[at] & 0xFFFFFF) != 0)
            maskBits[at / std::size_t(width) * stride + at % std::size_t(width) / 8] |=
                0x80 >> (at % std::size_t(width) % 8);
    const Bitmap markedMask(::CreateBitmap(width, height, 1, 1, maskBits.data()));
    if (!markedMask)
        throw std::runtime_error("CreateBitmap failed for an icon's mask");
    ICONINFO made{TRUE, 0, 0, markedMask.get(), marked.get()};
    const HICON result = ::CreateIconIndirect(&made);
    if (result == nullptr)
        throw std::runtime_error("CreateIconIndirect failed");
    return Icon(result);
}

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
