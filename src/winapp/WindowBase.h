#pragma once

#include <windows.h>

#include <string>

namespace winapp {

// One C++ object per window: `this` travels in lpCreateParams, is kept in GWLP_USERDATA from
// WM_NCCREATE to WM_NCDESTROY, and every message goes to onMessage.
class WindowBase
{
public:
    WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;
    virtual ~WindowBase();

    [[nodiscard]] HWND hwnd() const { return m_hwnd; }
    // The window's icon, large and small, from the module's resources.
    void setIcon(int resourceId);

protected:
    // Registers a window class of this procedure once; `base`, when given, is a system class
    // (such as the dialog class "#32770") whose class data is copied.
    static void registerClass(const char* name, HBRUSH background, HICON icon, const char* base = nullptr);
    // Creates the window; throws std::runtime_error when the system refuses.
    void create(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int width,
                int height, HWND owner);

    virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // What the class does by default: DefWindowProcA, DefDlgProcA for dialog classes.
    LRESULT defaultProcedure(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    bool m_dialogClass = false;
};

// A window's text, in the ANSI code page.
[[nodiscard]] std::string windowText(HWND hwnd);

// Creates a child control; throws std::runtime_error when the system refuses.
HWND createControl(const char* className, const char* text, DWORD style, DWORD exStyle, HWND parent, int id);

} // namespace winapp
