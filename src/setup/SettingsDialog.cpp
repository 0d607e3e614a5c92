#include "setup/SettingsDialog.h"

#include "common/Texts.h"
#include "settings/Ini.h"
#include "settings/NamePatterns.h"
#include "settings/SettingsFile.h"
#include "setup/LoginSwitch.h"

#include <algorithm>
#include <stdexcept>

namespace setup {

namespace {

// What the reminders start with when switched on: an hour, and half past nine.
constexpr unsigned defaultWaitMinutes = 60;
constexpr int defaultDeadline = 9 * 60 + 30;
constexpr unsigned longestWait = 24 * 60;

// Blanks around a typed value are dropped, as the settings file's reader drops them.
std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::optional<unsigned> minutesOf(std::string_view text)
{
    text = trimmed(text);
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size()));
    if (text.size() > 4)
        return std::nullopt;
    const unsigned minutes = text.empty() ? 0 : static_cast<unsigned>(std::stoul(std::string(text)));
    if (minutes < 1 || minutes > longestWait)
        return std::nullopt;
    return minutes;
}

// The sound file as it is written: blanks around it dropped, and a name that starts and ends with
// the same quote put in quotes, as the reader takes one pair off.
std::string storedFileName(std::string_view typed)
{
    const std::string_view name = trimmed(typed);
    if (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front())
        return std::string(1, '"').append(name).append(1, '"');
    return std::string(name);
}

bool holdsControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

// Whether the user changed a reminder: switched it, or changed the value of one switched on.
bool reminderChanged(bool on, const std::string& text, bool openedOn, const std::string& openedText)
{
    return on != openedOn || (on && text != openedText);
}

} // namespace

std::string soundFileOf(std::string_view typed)
{
    return std::string(trimmed(typed));
}

SettingsFields settingsFields(const settings::ChannelSettings& switches, bool startsAtLogin)
{
    SettingsFields fields;
    fields.tray = switches.tray;
    fields.popup = switches.popup;
    fields.sound = switches.sound;
    fields.soundFile = switches.soundFile;
    fields.startAtLogin = startsAtLogin;
    fields.waitOn = switches.waitMinutes > 0;
    fields.waitMinutes = std::to_string(fields.waitOn ? switches.waitMinutes : defaultWaitMinutes);
    fields.deadlineOn = switches.deadline.has_value();
    fields.deadline = settings::timeOfDayText(switches.deadline.value_or(defaultDeadline));
    fields.deadlineDays = switches.deadlineDays;
    fields.closeToTray = switches.closeToTray;
    fields.leftOut = switches.leftOut;
    return fields;
}

std::vector<FieldRefusal> checkFields(const SettingsFields& chosen, const SettingsFields& opened)
{
    std::vector<FieldRefusal> refused;
    if (chosen.soundFile != opened.soundFile) {
        if (holdsControl(chosen.soundFile))
            refused.push_back({RefusedField::SoundFile, texts::soundFileRefused});
        else if (storedFileName(chosen.soundFile).size() > settings::maxValueLength)
            refused.push_back({RefusedField::SoundFile, texts::soundFileTooLong});
    }
    if (reminderChanged(chosen.waitOn, chosen.waitMinutes, opened.waitOn, opened.waitMinutes) && chosen.waitOn &&
        !minutesOf(chosen.waitMinutes))
        refused.push_back({RefusedField::WaitMinutes, texts::waitRefused});
    if (reminderChanged(chosen.deadlineOn, chosen.deadline, opened.deadlineOn, opened.deadline) && chosen.deadlineOn &&
        !settings::parseTimeOfDay(trimmed(chosen.deadline)))
        refused.push_back({RefusedField::Deadline, texts::deadlineRefused});
    else if (chosen.deadlineOn && chosen.deadlineDays == 0)
        refused.push_back({RefusedField::Deadline, texts::daysRefused});
    // Compared as read back: the reader drops the blanks around a value.
    if (trimmed(chosen.leftOut) != opened.leftOut) {
        if (!settings::validPatterns(trimmed(chosen.leftOut), *chosen.codePage))
            refused.push_back({RefusedField::LeftOut, texts::leftOutRefused});
        else if (trimmed(chosen.leftOut).size() > settings::maxValueLength)
            refused.push_back({RefusedField::LeftOut, texts::leftOutTooLong});
    }
    return refused;
}

std::string_view lineAfterEdit(RefusedField field, std::string_view shown, const SettingsFields& chosen,
                               const SettingsFields& opened)
{
    if (shown.empty())
        return {};
    for (const FieldRefusal& refusal : checkFields(chosen, opened)) {
        if (refusal.field == field)
            return refusal.text;
    }
    return {};
}

std::string_view playFailureText(PlayFailure failure)
{
    switch (failure) {
    case PlayFailure::NoDevice:
        return texts::playNoDevice;
    case PlayFailure::Unreadable:
        return texts::playUnreadable;
    case PlayFailure::Other:
        break;
    }
    return texts::playFailed;
}

std::optional<StoredSettings> settingsCommand(platform::System& system, SetupView& view, SettingsDialogView& dialog)
{
    const std::string path = settings::settingsPath(system);
    const std::optional<std::string> content = settings::readSettings(system, path);
    if (!content) {
        // A file would stand for a folder given: the start's warning would no longer come.
        view.showMessageBox(std::string(texts::noFolderGiven), MessageKind::Warning, buttons::yes);
        return std::nullopt;
    }
    const settings::ChannelSettings now = settings::parseChannelSettings(*content, system.codePage());
    SettingsFields opened = settingsFields(now, startsAtLogin(system));
    opened.codePage = &system.codePage();
    const std::optional<SettingsFields> chosen = dialog.editSettings(opened);
    if (!chosen || *chosen == opened)
        return std::nullopt;
    if (!checkFields(*chosen, opened).empty())
        throw std::logic_error("the settings dialog let a refused value through");

    // The start at login first: a refusal is told in a box and the keys are stored all the same,
    // while a key that cannot be stored ends the command.
    StoredSettings stored{now, opened.startAtLogin};
    if (chosen->startAtLogin != opened.startAtLogin)
        stored.startsAtLogin = setStartAtLogin(system, view, chosen->startAtLogin).value_or(opened.startAtLogin);

    const auto store = [&](std::string_view key, std::string_view value) {
        settings::storeValue(system, path, texts::channelSection, key, value);
    };
    const auto storeSwitch = [&](settings::Switch which, bool on) {
        bool& was = settings::switchIn(stored.switches, which);
        if (on != was)
            settings::storeSwitch(system, path, which, on);
        was = on;
    };
    storeSwitch(settings::Switch::Tray, chosen->tray);
    storeSwitch(settings::Switch::Popup, chosen->popup);
    storeSwitch(settings::Switch::Sound, chosen->sound);
    storeSwitch(settings::Switch::CloseToTray, chosen->closeToTray);
    if (chosen->soundFile != opened.soundFile) {
        store(texts::soundFileKey, storedFileName(chosen->soundFile));
        stored.switches.soundFile = soundFileOf(chosen->soundFile);
    }
    if (reminderChanged(chosen->waitOn, chosen->waitMinutes, opened.waitOn, opened.waitMinutes)) {
        const unsigned minutes = chosen->waitOn ? *minutesOf(chosen->waitMinutes) : 0;
        if (minutes != now.waitMinutes)
            store(texts::waitKey, std::to_string(minutes));
        stored.switches.waitMinutes = minutes;
    }
    if (reminderChanged(chosen->deadlineOn, chosen->deadline, opened.deadlineOn, opened.deadline)) {
        const std::optional<int> deadline =
            chosen->deadlineOn ? settings::parseTimeOfDay(trimmed(chosen->deadline)) : std::nullopt;
        // An empty value reads as missing: no reminder.
        if (deadline != now.deadline)
            store(texts::deadlineKey, deadline ? settings::timeOfDayText(*deadline) : std::string());
        stored.switches.deadline = deadline;
    }
    // No day at all is refused while the reminder is on; while it is off, it means nothing.
    if (chosen->deadlineDays != opened.deadlineDays && chosen->deadlineDays != 0) {
        store(texts::deadlineDaysKey, settings::dayNames(chosen->deadlineDays));
        stored.switches.deadlineDays = chosen->deadlineDays;
    }
    if (trimmed(chosen->leftOut) != opened.leftOut) {
        // Blanks around it go, as the reader drops them; "" stays, as nothing left out.
        store(texts::leftOutKey, trimmed(chosen->leftOut));
        stored.switches.leftOut = trimmed(chosen->leftOut);
    }
    return stored;
}

std::optional<StoredSettings> SettingsCommand::run(platform::System& system, SetupView& view,
                                                   SettingsDialogView& dialog)
{
    SettingsDialogView* const outer = std::exchange(m_dialog, &dialog);
    std::optional<StoredSettings> stored;
    try {
        stored = settingsCommand(system, view, dialog);
    } catch (...) {
        m_dialog = outer;
        ++m_generation;
        throw;
    }
    m_dialog = outer;
    if (stored)
        ++m_generation;
    return stored;
}

bool SettingsCommand::close()
{
    if (m_dialog != nullptr && m_dialog->abandon())
        m_closeWaits = true;
    return m_closeWaits;
}

} // namespace setup
