#pragma once

// The message box's spacing in pixels at 96 pixels per inch, for both front ends; each scales it
// with its message font.
namespace layout::box {

inline constexpr int margin = 12;             // around the content
inline constexpr int iconGap = 12;            // between icon and text
inline constexpr int textToButtons = 16;      // between the text and the row of buttons
inline constexpr int buttonGap = 6;           // between two buttons
inline constexpr int minimumButtonWidth = 75; // every button is as wide as the widest, at least this

// Texts wrap at half the screen's width; the box grows in height, not in width.
[[nodiscard]] constexpr int wrapWidth(int screenWidth)
{
    return screenWidth / 2;
}

} // namespace layout::box
