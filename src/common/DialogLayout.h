#pragma once

#include "common/FormLayout.h"

#include <array>

// The settings dialog's layout at the main window's design resolution (96 pixels per inch, a text
// height of 13 pixels). Both front ends scale it as the main window, by the measured text height of
// the dialog's font (the message font) over the design's. Check boxes and labels are as wide as
// the dialog lets them be, so that a wider face still fits its text.
namespace layout::dialog {

// The client area; the window manager or the system adds the frame.
inline constexpr Rect client{0, 0, 448, 408};

inline constexpr Rect tray{12, 12, 424, 17};
inline constexpr Rect popup{12, 35, 424, 17};
inline constexpr Rect sound{12, 58, 424, 17};
inline constexpr Rect soundFileLabel{30, 81, 406, 13};
inline constexpr Rect soundFile{30, 97, 238, 21};
inline constexpr Rect browse{274, 96, 80, 23};
inline constexpr Rect play{360, 96, 76, 23};
inline constexpr Rect soundFileRefusal{30, 122, 406, 13};

inline constexpr Rect startAtLogin{12, 141, 424, 17};
inline constexpr Rect closeToTray{12, 164, 424, 17};

inline constexpr Rect wait{12, 189, 424, 17};
inline constexpr Rect waitMinutes{30, 210, 56, 21};
inline constexpr Rect waitUnit{92, 214, 344, 13};
inline constexpr Rect waitRefusal{30, 235, 406, 13};

inline constexpr Rect deadline{12, 256, 424, 17};
inline constexpr Rect deadlineTime{30, 277, 56, 21};
inline constexpr Rect deadlineUnit{92, 281, 344, 13};
// One line for the time and the days, as both belong to the one reminder: under the time, as the
// minutes' line is under the minutes, and over the days.
inline constexpr Rect deadlineRefusal{30, 302, 406, 13};
// The days' check boxes, Sunday first, in one row.
inline constexpr std::array<Rect, 7> days{{
    {30, 319, 46, 17},
    {88, 319, 46, 17},
    {146, 319, 46, 17},
    {204, 319, 46, 17},
    {262, 319, 46, 17},
    {320, 319, 46, 17},
    {378, 319, 46, 17},
}};

// The names left out of the notices, beside OK and Cancel (which keep their place); its line under both.
inline constexpr Rect leftOutLabel{12, 344, 262, 13};
inline constexpr Rect leftOut{12, 360, 262, 21};
inline constexpr Rect leftOutRefusal{12, 385, 424, 13};

inline constexpr Rect ok{280, 346, 75, 23};
inline constexpr Rect cancel{361, 346, 75, 23};

} // namespace layout::dialog
