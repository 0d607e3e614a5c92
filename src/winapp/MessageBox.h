#pragma once

#include "setup/BoxButtons.h"
#include "setup/SetupView.h"
#include "winapp/GdiObjects.h"
#include "winapp/WindowBase.h"

#include <functional>
#include <string>
#include <vector>

namespace winapp {

// The tool's modal message box, a window of a class copied from the system's dialog class:
// the kind's title and stock icon, the text wrapped at half the screen's width, one button per
// set bit in bit order, all of one width, centred below. run() returns the closing button's
// code, 2 when closed by the title bar. Keys: Enter presses the focused button, Escape the cancel
// button, an access-key letter (with or without Alt) its button, Ctrl+C beeps and copies the box.
class MessageBoxWindow : public WindowBase
{
public:
    MessageBoxWindow(std::string text, setup::MessageKind kind, unsigned buttonSet,
                     const std::string& applicationTitle);

    // Opens the box owned by `owner` and waits in its own message loop until a button closes it.
    // `shown` is called once the box is up and has the keyboard. Answered, the box stays on the
    // screen, disabled, until this object goes: a box that follows is shown first, while this
    // one still has the keyboard, and takes it over from it (see CommandWait).
    int run(HWND owner, const std::function<void()>& shown = {});
    // True when the box ended because the tool is quitting (its owner went, or a quit came),
    // not by the user's answer: its result then means nothing.
    [[nodiscard]] bool endedByQuitting() const { return m_quitting; }

    // The box as Ctrl+C puts it on the clipboard.
    [[nodiscard]] std::string clipboardText() const;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void build(HWND owner);
    // Fonts and places of the controls at `dpi`, when `apply`; the window's size for them.
    SIZE layOut(int dpi, bool apply);
    bool handleKey(const MSG& message);
    void press(std::size_t index);
    [[nodiscard]] int buttonIndexOf(HWND control) const;

    std::string m_text;
    std::string m_title;
    setup::MessageKind m_kind;
    std::vector<setup::BoxButton> m_buttons;
    std::vector<HWND> m_buttonWindows;
    HWND m_icon = nullptr;
    HWND m_label = nullptr;
    Icon m_iconPicture;
    int m_cancelIndex;
    Font m_font;
    int m_result = setup::results::cancel;
    bool m_closed = false;
    bool m_quitting = false;
};

// Puts `text` on the clipboard as ANSI text of the Japanese locale. False when it failed.
bool copyToClipboard(HWND owner, const std::string& text);

} // namespace winapp
