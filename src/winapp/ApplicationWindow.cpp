#include "winapp/ApplicationWindow.h"

#include "winapp/Unit1.h"

namespace winapp {

namespace {

constexpr const char* className = "KelvoranApplication";

// Sent to a window when the taskbar has made its button: from then on the button takes an overlay.
UINT taskbarButtonCreatedMessage()
{
    static const UINT message = ::RegisterWindowMessageA("TaskbarButtonCreated");
    return message;
}

} // namespace

ApplicationWindow::ApplicationWindow(const std::string& title, HICON icon) : m_title(title)
{
    registerClass(className, nullptr, icon);
    // Zero size in the middle of the screen: nothing of it shows but its taskbar button.
    create(0, className, m_title.c_str(), WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
           ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr);
    // Let through even when the tool runs elevated and Explorer does not.
    if (taskbarButtonCreatedMessage() != 0)
        ::ChangeWindowMessageFilterEx(hwnd(), taskbarButtonCreatedMessage(), MSGFLT_ALLOW, nullptr);
}

void ApplicationWindow::setTitle(const std::string& title)
{
    if (title == m_title)
        return;
    m_title = title;
    ::SetWindowTextA(hwnd(), m_title.c_str());
}

void ApplicationWindow::minimise()
{
    if (m_form != nullptr)
        ::ShowWindow(m_form->hwnd(), SW_HIDE);
    ::ShowWindow(hwnd(), SW_MINIMIZE);
}

LRESULT ApplicationWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == taskbarButtonCreatedMessage() && message != 0) {
        m_overlay.buttonCreated();
        return 0;
    }
    switch (message) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            minimise();
            return 0;
        case SC_RESTORE:
            defaultProcedure(message, wParam, lParam);
            if (m_form != nullptr)
                m_form->restoreFromApplication();
            return 0;
        default:
            break;
        }
        break;
    case WM_ACTIVATE:
        // The zero-size window holds no input: activation passes on to the main window.
        if (LOWORD(wParam) != WA_INACTIVE && !::IsIconic(hwnd()) && m_form != nullptr &&
            ::IsWindowVisible(m_form->hwnd()) && ::IsWindowEnabled(m_form->hwnd())) {
            ::SetActiveWindow(m_form->hwnd());
            return 0;
        }
        break;
    case WM_CLOSE:
        // Closing from the taskbar (SC_CLOSE, made WM_CLOSE by the default procedure) closes
        // the main window, which ends the tool.
        if (m_form != nullptr)
            ::PostMessageA(m_form->hwnd(), WM_CLOSE, 0, 0);
        return 0;
    default:
        break;
    }
    return defaultProcedure(message, wParam, lParam);
}

} // namespace winapp
