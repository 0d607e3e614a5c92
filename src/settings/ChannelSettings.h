#pragma once

#include "common/CodePage.h"
#include "common/Texts.h"
#include "platform/System.h"

#include <optional>
#include <string>
#include <string_view>

namespace settings {

// The switches of the louder channels (the notification-area icon, the arrival notification and
// its sound), in their own section of the settings file. A missing or unreadable key means its
// default, so a file written by an older copy behaves as before.
struct ChannelSettings
{
    bool tray = true;
    bool popup = true;
    bool sound = false;
    std::string soundFile; // empty: the system's notification sound
    // Closing the window hides it where the icon is, rather than ending the tool.
    bool closeToTray = false;
    // The reminders: minutes an arrival may wait before one (0: none); the minute of the day
    // by which something should have arrived, on the days of `deadlineDays` (bit 0 Sunday).
    unsigned waitMinutes = 0;
    std::optional<int> deadline;
    unsigned deadlineDays = allDays;
    static constexpr unsigned allDays = 0x7F;
    // Name patterns of entries the notices leave out (see NamePatterns); empty: none.
    std::string leftOut = std::string(texts::leftOutDefault);
    friend bool operator==(const ChannelSettings&, const ChannelSettings&) = default;
};

// The switches as `content` (a settings file's text) sets them. A switch reads "1", "on", "yes"
// or "true" as on and "0", "off", "no" or "false" as off, without regard to case. A reminder's
// value that does not read as one (taiki=abc, kigen=25:00, kigenyoubi=x), or patterns that
// could not be stored (mushi=a/b), count as missing.
[[nodiscard]] ChannelSettings parseChannelSettings(std::string_view content, const ansi::CodePage& codePage);

// "kigen": "9:30" or "09:30", as the minute of the day, 0:01 to 23:59; nullopt for anything else.
// 0:00 is the day's own start: nothing can have arrived by then, so it would remind every day.
[[nodiscard]] std::optional<int> parseTimeOfDay(std::string_view value);
// The minute of the day as kigen is written: "09:30".
[[nodiscard]] std::string timeOfDayText(int minute);
// The days of `days` (bit 0 Sunday) as kigenyoubi is written: "月火水木金".
[[nodiscard]] std::string dayNames(unsigned days);

// The switches the user can turn from the menus or the settings dialog.
enum class Switch
{
    Tray,
    Popup,
    Sound,
    CloseToTray,
};

// The field of `switches` that `which` names.
[[nodiscard]] bool& switchIn(ChannelSettings& switches, Switch which);

// Turns `which` on or off in the settings file at `path`, through the update that keeps every
// other byte (a new file holding only this section when there is none). Throws as storing the
// folder does, with the same messages.
void storeSwitch(platform::System& system, const std::string& path, Switch which, bool on);

} // namespace settings
