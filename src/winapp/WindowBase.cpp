#include "winapp/WindowBase.h"

#include <stdexcept>
#include <string>
#include <tuple>

namespace winapp {

WindowBase::~WindowBase()
{
    if (m_hwnd != nullptr)
        ::DestroyWindow(m_hwnd);
}

void WindowBase::registerClass(const char* name, HBRUSH background, HICON icon, const char* base)
{
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (::GetClassInfoExA(instance, name, &windowClass))
        return;
    if (base == nullptr || !::GetClassInfoExA(nullptr, base, &windowClass)) {
        windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    }
    windowClass.lpfnWndProc = &WindowBase::procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    if (background != nullptr)
        windowClass.hbrBackground = background;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    if (::RegisterClassExA(&windowClass) == 0)
        throw std::runtime_error(std::string("RegisterClassExA failed for ") + name);
}

void WindowBase::create(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int width,
                        int height, HWND owner)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    m_dialogClass = ::GetClassInfoExA(::GetModuleHandleA(nullptr), className, &windowClass) &&
                    windowClass.cbWndExtra >= DLGWINDOWEXTRA;
    const HWND created = ::CreateWindowExA(exStyle, className, text, style, x, y, width, height, owner, nullptr,
                                           ::GetModuleHandleA(nullptr), this);
    if (created == nullptr)
        throw std::runtime_error(std::string("CreateWindowExA failed for ") + className);
}

LRESULT WindowBase::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    return defaultProcedure(message, wParam, lParam);
}

LRESULT WindowBase::defaultProcedure(UINT message, WPARAM wParam, LPARAM lParam)
{
    return m_dialogClass ? ::DefDlgProcA(m_hwnd, message, wParam, lParam)
                         : ::DefWindowProcA(m_hwnd, message, wParam, lParam);
}

LRESULT CALLBACK WindowBase::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* window = reinterpret_cast<WindowBase*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        window = static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        window->m_hwnd = hwnd;
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
    }
    if (window == nullptr)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    const LRESULT result = window->onMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        window->m_hwnd = nullptr;
    }
    return result;
}

HWND createControl(const char* className, const char* text, DWORD style, DWORD exStyle, HWND parent, int id)
{
    const HWND control =
        ::CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), nullptr);
    if (control == nullptr)
        throw std::runtime_error(std::string("CreateWindowExA failed for a control of class ") + className);
    return control;
}

void WindowBase::setIcon(int resourceId)
{
    // Shared icons belong to the module: nothing to destroy.
    const HINSTANCE instance = ::GetModuleHandleA(nullptr);
    for (const auto& [which, width, height] :
         {std::tuple{ICON_BIG, SM_CXICON, SM_CYICON}, std::tuple{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}}) {
        const HANDLE icon = ::LoadImageA(instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON, ::GetSystemMetrics(width),
                                         ::GetSystemMetrics(height), LR_SHARED);
        if (icon != nullptr)
            ::SendMessageA(hwnd(), WM_SETICON, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(icon));
    }
}

std::string windowText(HWND hwnd)
{
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace winapp
