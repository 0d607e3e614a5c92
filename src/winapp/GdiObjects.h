#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace winapp {

// Owns a font and deletes it once; the window that uses it outlives its controls' use of it.
class Font
{
public:
    Font() = default;
    explicit Font(HFONT font) : m_font(font) {}
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    Font(Font&& other) noexcept : m_font(other.m_font) { other.m_font = nullptr; }
    Font& operator=(Font&& other) noexcept
    {
        std::swap(m_font, other.m_font);
        return *this;
    }
    ~Font()
    {
        if (m_font != nullptr)
            ::DeleteObject(m_font);
    }

    [[nodiscard]] HFONT get() const { return m_font; }

private:
    HFONT m_font = nullptr;
};

// A device context of a window, released once.
class WindowDC
{
public:
    explicit WindowDC(HWND hwnd) : m_hwnd(hwnd), m_dc(::GetDC(hwnd)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC()
    {
        if (m_dc != nullptr)
            ::ReleaseDC(m_hwnd, m_dc);
    }
    [[nodiscard]] HDC get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// Selects an object into a device context for one scope.
class Selection
{
public:
    Selection(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() { ::SelectObject(m_dc, m_previous); }

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// Owns an icon of its own (not a shared one) and destroys it once.
class Icon
{
public:
    Icon() = default;
    explicit Icon(HICON icon) : m_icon(icon) {}
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;
    Icon(Icon&& other) noexcept : m_icon(other.m_icon) { other.m_icon = nullptr; }
    Icon& operator=(Icon&& other) noexcept
    {
        std::swap(m_icon, other.m_icon);
        return *this;
    }
    ~Icon()
    {
        if (m_icon != nullptr)
            ::DestroyIcon(m_icon);
    }

    [[nodiscard]] HICON get() const { return m_icon; }

private:
    HICON m_icon = nullptr;
};

// Owns a menu and destroys it once.
class Menu
{
public:
    explicit Menu(HMENU menu) : m_menu(menu) {}
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;
    ~Menu()
    {
        if (m_menu != nullptr)
            ::DestroyMenu(m_menu);
    }

    [[nodiscard]] HMENU get() const { return m_menu; }
    // Handed to the menu it was appended to, which destroys it with itself.
    HMENU release() { return std::exchange(m_menu, nullptr); }

private:
    HMENU m_menu;
};

// The module's icon `resourceId` at the small-icon size for `dpi` (16 px at 96 DPI), as a copy of
// its own; throws std::runtime_error when it cannot be loaded.
[[nodiscard]] Icon loadSmallIcon(int resourceId, int dpi);

// A copy of `icon` with the mark of a paused tool (two bars on a white disc) in its lower right
// corner; throws std::runtime_error when it cannot be made.
[[nodiscard]] Icon withPauseMark(HICON icon);

// A font of `face` whose characters are `height` pixels high.
[[nodiscard]] Font createFont(const char* face, int height, BYTE charset);

// The system's font for boxes and dialogs (lfMessageFont), at the resolution `dpi`.
[[nodiscard]] Font messageFont(int dpi);

// The size `text` takes on one line in `font`, "&" marks taken as access keys.
[[nodiscard]] SIZE singleLineExtent(HWND hwnd, HFONT font, const std::string& text);

} // namespace winapp
