#pragma once

#include "setup/WaitingSystem.h"
#include "winapp/WindowBase.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace winapp {

// The main window's loop while a command waits for the disk, and the focus rules around it: the
// change button is disabled meanwhile and the focus it had moves to the entry field, so that keys
// still reach a control; afterwards the button has the focus back, now or at the next activation,
// unless the user went on typing. It also keeps the focus the window had when it was left, for
// its next activation. It runs no command itself.
//
// It holds the box the user has just answered until the command shows its next box or ends, or
// a wait for the disk lasts longer than a moment. A window manager may give the keyboard back, after a box, to another
// program's window rather than to the main window (openbox passes over a window kept off the taskbar), and then lets no
// later box of the tool take it: a box that follows is therefore shown while the answered one, its relative, still has
// the keyboard. On Windows the answered box simply goes a moment later.
class CommandWait : public setup::WindowLoop
{
public:
    // `dispatch` hands one message taken from the queue to the window's rules and procedures.
    explicit CommandWait(std::function<void(MSG&)> dispatch) : m_dispatch(std::move(dispatch)) {}

    // The window and its two controls, once they are made.
    void attach(HWND form, HWND button, HWND edit);

    [[nodiscard]] bool runUntil(const std::function<bool()>& finished) override;

    // Keeps `box`, answered, until `dropAnswered`, a long wait or the next kept box.
    void keepAnswered(std::unique_ptr<WindowBase> box) { m_answered = std::move(box); }
    void dropAnswered() { m_answered.reset(); }

    // WM_ACTIVATE: the focus is remembered as the window goes inactive and given back as it is
    // activated; the first activation gives it to the button, or the entry field while the
    // button is disabled.
    void activated(bool active);

private:
    // The window's messages until `finished()` holds; false when a quit came first.
    bool pumpUntil(const std::function<bool()>& finished);

    std::function<void(MSG&)> m_dispatch;
    HWND m_form = nullptr;
    HWND m_button = nullptr;
    HWND m_edit = nullptr;
    HWND m_lastFocus = nullptr;
    std::unique_ptr<WindowBase> m_answered;
};

} // namespace winapp
