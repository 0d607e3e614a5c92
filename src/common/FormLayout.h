#pragma once

#include <algorithm>
#include <cmath>

// The main window's layout at its design resolution of 96 pixels per inch, where the window
// font's text height is 13 pixels. Both front ends place their controls from this table.
namespace layout {

inline constexpr int designDpi = 96;
inline constexpr int designTextHeight = 13;

struct Rect
{
    int left, top, width, height;
};

// The client area: the design's outer 380 x 169 less a classic frame (4-pixel borders, a
// 19-pixel title bar).
inline constexpr Rect client{0, 0, 372, 142};
// Labels size themselves to their text; only their top left corner is fixed.
inline constexpr Rect label1{16, 16, 296, 16};
inline constexpr Rect label2{88, 40, 45, 16};
inline constexpr Rect label3{16, 43, 59, 13};
inline constexpr Rect label4{16, 75, 138, 13};
inline constexpr Rect button1{224, 64, 129, 33};
inline constexpr Rect edit1{8, 104, 353, 21};

// Character heights of the fonts, in design pixels.
inline constexpr int windowFontHeight = 11; // "Tahoma": the window, Label3, Button1, Edit1
inline constexpr int label1FontHeight = 16; // the Mincho face
inline constexpr int label2FontHeight = 13; // "Tahoma"
inline constexpr int label4FontHeight = 11; // "Tahoma"

// The window font's height at a screen resolution: the first step of the scaling rule.
[[nodiscard]] inline int fontHeightAt(int height, int dpi)
{
    const long scaled = std::lround(static_cast<double>(height) * dpi / designDpi);
    return scaled < 1 ? 1 : static_cast<int>(scaled);
}

// The second step: every position, size and font scaled by the window font's measured text
// height over the design's 13.
class Scale
{
public:
    explicit Scale(int measuredTextHeight) : m_factor(static_cast<double>(measuredTextHeight) / designTextHeight) {}

    [[nodiscard]] int operator()(int value) const { return static_cast<int>(std::lround(value * m_factor)); }
    [[nodiscard]] Rect operator()(const Rect& rect) const
    {
        return {(*this)(rect.left), (*this)(rect.top), (*this)(rect.width), (*this)(rect.height)};
    }
    // Font heights stay at least one pixel.
    [[nodiscard]] int font(int height) const { return std::max(1, (*this)(height)); }

private:
    double m_factor;
};

} // namespace layout
