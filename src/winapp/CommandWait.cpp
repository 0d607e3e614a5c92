#include "winapp/CommandWait.h"

#include <string>

namespace winapp {

void CommandWait::attach(HWND form, HWND button, HWND edit)
{
    m_form = form;
    m_button = button;
    m_edit = edit;
}

bool CommandWait::runUntil(const std::function<bool()>& finished)
{
    // Keys, paints and ticks go on; the button waits. A disabled window cannot keep the focus:
    // it goes to the entry field meanwhile, so that keys still reach a control. Inactive, the
    // button is given the focus back if the next activation was to give it to the button.
    const bool buttonFocused = ::GetFocus() == m_button ||
                               (::GetActiveWindow() != m_form && (m_lastFocus == m_button || m_lastFocus == nullptr));
    const std::string typed = windowText(m_edit);
    if (buttonFocused && ::GetFocus() == m_button)
        ::SetFocus(m_edit);
    const bool wasDisabled = ::EnableWindow(m_button, FALSE) != FALSE;
    const auto enableAgain = [&] {
        if (!wasDisabled && ::IsWindow(m_form))
            ::EnableWindow(m_button, TRUE);
    };
    bool quitting = false;
    try {
        quitting = !pumpUntil(finished);
    } catch (...) {
        enableAgain();
        throw;
    }
    enableAgain();
    if (quitting || !::IsWindow(m_form))
        return false;
    // The button has the focus back, now or at the next activation, unless the user went on
    // typing in the entry field meanwhile.
    if (buttonFocused && windowText(m_edit) == typed && (::GetFocus() == m_edit || ::GetFocus() == nullptr)) {
        if (::GetActiveWindow() == m_form)
            ::SetFocus(m_button);
        else
            m_lastFocus = m_button;
    }
    return true;
}

bool CommandWait::pumpUntil(const std::function<bool()>& finished)
{
    // A store or a folder test usually answers within a moment, and the answered box stays for
    // the box that may follow. A longer wait shows the window free: no box stands before it.
    const ULONGLONG boxGoesAt = ::GetTickCount64() + 1000;
    MSG message{};
    while (!finished()) {
        if (m_answered && ::GetTickCount64() >= boxGoesAt)
            dropAnswered();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            // A quit posted meanwhile (the window was closed) ends the wait; the main loop
            // sees it too.
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            m_dispatch(message);
        }
    }
    return true;
}

void CommandWait::activated(bool active)
{
    if (!active) {
        const HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(m_form, focus))
            m_lastFocus = focus;
        return;
    }
    // The first activation puts the focus on Button1, the first control in tab order. Button1 is
    // disabled while a command waits for the disk: the entry field then.
    const HWND focus = m_lastFocus != nullptr ? m_lastFocus : m_button;
    ::SetFocus(::IsWindowEnabled(focus) ? focus : m_edit);
}

} // namespace winapp
