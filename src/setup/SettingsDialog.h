#pragma once

#include "platform/System.h"
#include "settings/ChannelSettings.h"
#include "setup/SetupView.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace setup {

// The settings dialog's fields as the user reads and changes them. The reminders' values stay the
// texts typed until OK checks them; a reminder switched off keeps its text for when it is switched
// on again.
struct SettingsFields
{
    bool tray = true;
    bool popup = true;
    bool sound = false;
    std::string soundFile;
    bool startAtLogin = false;
    bool waitOn = false;
    std::string waitMinutes;
    bool deadlineOn = false;
    std::string deadline;
    unsigned deadlineDays = settings::ChannelSettings::allDays; // bit 0 Sunday
    bool closeToTray = false;
    std::string leftOut; // mushi's patterns, the default list while the key is missing
    // The text's code page, for the patterns' check (a trail byte may be "\\").
    const ansi::CodePage* codePage = &ansi::CodePage::utf8();
    friend bool operator==(const SettingsFields&, const SettingsFields&) = default;
};

// The fields a refusal's line stands beside. The time and the days of the "not arrived" reminder
// share one, between the two.
enum class RefusedField
{
    SoundFile,
    WaitMinutes,
    Deadline,
    LeftOut,
};

struct FieldRefusal
{
    RefusedField field;
    std::string_view text;
    friend bool operator==(const FieldRefusal&, const FieldRefusal&) = default;
};

// The fields of the switches in the file and of the start at login, as the dialog opens on them.
// A reminder that is off shows the value it would start with.
[[nodiscard]] SettingsFields settingsFields(const settings::ChannelSettings& switches, bool startsAtLogin);

// What OK refuses in `chosen`, at most one per field, in the dialog's order: a sound file name
// holding a control character or too long for the file to keep, minutes that are not 1 to 1440, a time that is not H:MM
// or HH:MM of a day, no day for the "not arrived" reminder, patterns holding a path separator or a control character. A
// value as it was opened is not checked: it is not stored either (a hand-written taiki=2000 stays).
[[nodiscard]] std::vector<FieldRefusal> checkFields(const SettingsFields& chosen, const SettingsFields& opened);

// What the line of `field`, which shows `shown`, says once the user has changed one of its values:
// it goes as soon as its field holds an acceptable value, or says what is refused now. An empty line
// stays empty: lines come with OK.
[[nodiscard]] std::string_view lineAfterEdit(RefusedField field, std::string_view shown, const SettingsFields& chosen,
                                             const SettingsFields& opened);

// Why 再生 played nothing, as the front end's player finds it.
enum class PlayFailure
{
    NoDevice,
    Unreadable,
    Other,
};

// The sound file's line for `failure`.
[[nodiscard]] std::string_view playFailureText(PlayFailure failure);

// The file the sound file field names, as it is stored and played: blanks (spaces, tabs) around
// it dropped, as the settings file's reader drops them.
[[nodiscard]] std::string soundFileOf(std::string_view typed);

// What the settings command needs of the front end's dialog.
class SettingsDialogView
{
public:
    virtual ~SettingsDialogView() = default;
    // Opens the modal dialog on `opened` and returns the fields as OK closed it, having kept it
    // open with their lines while checkFields refused any; nullopt for Cancel, Esc or closing.
    [[nodiscard]] virtual std::optional<SettingsFields> editSettings(const SettingsFields& opened) = 0;
    // Ends the dialog with no answer, as the tool closes. True when it is gone only once a loop of
    // its own (the file picker's) has returned, after this call.
    virtual bool abandon() = 0;
};

// What the settings command has stored, for the menus' check marks.
struct StoredSettings
{
    settings::ChannelSettings switches;
    bool startsAtLogin = false;
};

// The menu's 設定…: reads the file as it is now and opens the dialog on it. On OK it sets the start
// at login when that changed (a refusal is told in a box), then stores each key whose value
// changed, one at a time through the update that keeps every other byte. Without a settings file
// nothing opens: the user is asked for the folder first, as the switches do. nullopt when the
// dialog was cancelled or left as it opened. Throws as storing the folder does; what was stored
// before a failure stays stored.
std::optional<StoredSettings> settingsCommand(platform::System& system, SetupView& view, SettingsDialogView& dialog);

// The settings command as a window runs it, the same for both front ends. The window counts its
// stores in `generation`, so that a check that read the file before cannot put the old values back;
// it moves whenever a key may have been stored, also when a later key's store failed after the
// first ones were written. The dialog under way is kept for the window's close.
class SettingsCommand
{
public:
    explicit SettingsCommand(unsigned& generation) : m_generation(generation) {}

    // Runs settingsCommand on `dialog`; throws as it does.
    std::optional<StoredSettings> run(platform::System& system, SetupView& view, SettingsDialogView& dialog);
    // Ends the dialog under way, if any, with no answer. True while the window must not go yet: the
    // dialog's own loop is still to return, or an earlier close waits for that already. The window
    // then asks again once closeWaits() says so.
    bool close();
    // Whether a close waited for the command's end; true once, after run has returned.
    [[nodiscard]] bool closeWaits() { return std::exchange(m_closeWaits, false); }

private:
    unsigned& m_generation;
    SettingsDialogView* m_dialog = nullptr;
    bool m_closeWaits = false;
};

} // namespace setup
