#pragma once

#include "setup/SettingsDialog.h"
#include "winapp/GdiObjects.h"
#include "winapp/Sound.h"
#include "winapp/WindowBase.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

struct IFileDialog;

namespace winapp {

// The settings dialog's control identifiers, in the Tab order; OK and Cancel are IDOK and IDCANCEL,
// so that the dialog manager's Enter and Escape press them.
namespace settingsIds {
inline constexpr int tray = 100;
inline constexpr int popup = 101;
inline constexpr int sound = 102;
inline constexpr int soundFileLabel = 103;
inline constexpr int soundFile = 104;
inline constexpr int browse = 105;
inline constexpr int play = 106;
inline constexpr int soundFileRefusal = 107;
inline constexpr int startAtLogin = 108;
inline constexpr int wait = 109;
inline constexpr int waitMinutes = 110;
inline constexpr int waitUnit = 111;
inline constexpr int waitRefusal = 112;
inline constexpr int deadline = 113;
inline constexpr int deadlineTime = 114;
inline constexpr int deadlineUnit = 115;
inline constexpr int firstDay = 116; // Sunday; the other six follow
inline constexpr int deadlineRefusal = 123;
inline constexpr int closeToTray = 124; // after startAtLogin in the Tab order
inline constexpr int leftOutLabel = 125;
inline constexpr int leftOut = 126;
inline constexpr int leftOutRefusal = 127;
} // namespace settingsIds

// The modal settings dialog, a window of a class copied from the system's dialog class, made in
// code from the layout table and scaled by the message font's measured text height, as the main
// window is by its own font. Its loop hands keys to the dialog manager: Tab, access keys, Enter
// for OK, Escape for Cancel. OK closes it only once checkFields refuses nothing; meanwhile each
// refusal shows beside its field, until the field is mended. 再生 that plays nothing says why on
// the sound file's line.
class SettingsDialog : public WindowBase, public setup::SettingsDialogView
{
public:
    SettingsDialog(HWND owner, const Sound& sound);

    [[nodiscard]] std::optional<setup::SettingsFields> editSettings(const setup::SettingsFields& opened) override;
    // Ends the dialog with no answer. True when the sound file picker was open: it is told to
    // close, and its windows go once its own loop has returned, not before.
    bool abandon() override;

    // Called once the dialog is up and has the keyboard; tests drive it from here.
    std::function<void(HWND)> shown;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void build();
    // Fonts and places of the controls at `dpi`, when `apply`; the window's size for them.
    SIZE layOut(int dpi, bool apply);
    void show(const setup::SettingsFields& fields);
    [[nodiscard]] setup::SettingsFields chosen() const;
    void enableReminders();
    void edited(setup::RefusedField field);
    void accept();
    void browse();
    [[nodiscard]] HWND item(int id) const { return ::GetDlgItem(hwnd(), id); }
    [[nodiscard]] bool checked(int id) const;

    HWND m_owner;
    const Sound& m_sound;
    Font m_font;
    setup::SettingsFields m_opened;
    std::optional<setup::SettingsFields> m_result;
    bool m_closed = false;
    // A 再生 asked for, whose outcome is still to be told.
    bool m_playing = false;
    // The shell's picker while it runs its own loop.
    IFileDialog* m_picker = nullptr;
};

} // namespace winapp
