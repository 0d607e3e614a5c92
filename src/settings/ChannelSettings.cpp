#include "settings/ChannelSettings.h"

#include "common/Texts.h"
#include "settings/Ini.h"
#include "settings/NamePatterns.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <array>

namespace settings {

namespace {

// The switch's value, or `fallback` when the key is missing or says neither on nor off.
bool readSwitch(std::string_view content, std::string_view key, bool fallback, const ansi::CodePage& codePage)
{
    std::string value = readIniValue(content, texts::channelSection, key, codePage);
    std::transform(value.begin(), value.end(), value.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    constexpr std::array<std::string_view, 4> on{"1", "on", "yes", "true"};
    constexpr std::array<std::string_view, 4> off{"0", "off", "no", "false"};
    if (std::find(on.begin(), on.end(), value) != on.end())
        return true;
    if (std::find(off.begin(), off.end(), value) != off.end())
        return false;
    return fallback;
}

bool digits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "taiki": whole minutes, at most a week's.
unsigned readMinutes(std::string_view value)
{
    if (!digits(value) || value.size() > 5)
        return 0;
    const unsigned minutes = static_cast<unsigned>(std::stoul(std::string(value)));
    return minutes <= 7 * 24 * 60 ? minutes : 0;
}

// "kigenyoubi": the days' names one after another ("月火水木金"), as bits; empty or anything
// else in it: every day.
unsigned readDays(std::string_view value)
{
    unsigned days = 0;
    while (!value.empty()) {
        const auto day = std::find_if(texts::weekdays.begin(), texts::weekdays.end(),
                                      [&](std::string_view name) { return value.starts_with(name); });
        if (day == texts::weekdays.end())
            return ChannelSettings::allDays;
        days |= 1U << (day - texts::weekdays.begin());
        value.remove_prefix(day->size());
    }
    return days == 0 ? ChannelSettings::allDays : days;
}

std::string_view keyOf(Switch which)
{
    switch (which) {
    case Switch::Tray:
        return texts::trayKey;
    case Switch::Popup:
        return texts::popupKey;
    case Switch::CloseToTray:
        return texts::closeToTrayKey;
    case Switch::Sound:
        break;
    }
    return texts::soundKey;
}

} // namespace

std::optional<int> parseTimeOfDay(std::string_view value)
{
    const std::size_t colon = value.find(':');
    if (colon == std::string_view::npos || colon > 2 || value.size() - colon != 3)
        return std::nullopt;
    const std::string_view hours = value.substr(0, colon);
    const std::string_view minutes = value.substr(colon + 1);
    if (!digits(hours) || !digits(minutes))
        return std::nullopt;
    const int hour = std::stoi(std::string(hours));
    const int minute = std::stoi(std::string(minutes));
    if (hour > 23 || minute > 59 || hour + minute == 0)
        return std::nullopt;
    return hour * 60 + minute;
}

std::string timeOfDayText(int minute)
{
    const std::array<char, 2> hour{static_cast<char>('0' + minute / 600), static_cast<char>('0' + minute / 60 % 10)};
    const std::array<char, 2> rest{static_cast<char>('0' + minute % 60 / 10), static_cast<char>('0' + minute % 10)};
    return std::string(hour.data(), 2) + ":" + std::string(rest.data(), 2);
}

std::string dayNames(unsigned days)
{
    std::string names;
    for (std::size_t day = 0; day < texts::weekdays.size(); ++day) {
        if ((days & (1U << day)) != 0)
            names.append(texts::weekdays[day]);
    }
    return names;
}

ChannelSettings parseChannelSettings(std::string_view content, const ansi::CodePage& codePage)
{
    const ChannelSettings defaults;
    ChannelSettings read;
    read.tray = readSwitch(content, texts::trayKey, defaults.tray, codePage);
    read.popup = readSwitch(content, texts::popupKey, defaults.popup, codePage);
    read.sound = readSwitch(content, texts::soundKey, defaults.sound, codePage);
    read.closeToTray = readSwitch(content, texts::closeToTrayKey, defaults.closeToTray, codePage);
    read.soundFile = readIniValue(content, texts::channelSection, texts::soundFileKey, codePage);
    read.waitMinutes = readMinutes(readIniValue(content, texts::channelSection, texts::waitKey, codePage));
    read.deadline = parseTimeOfDay(readIniValue(content, texts::channelSection, texts::deadlineKey, codePage));
    read.deadlineDays = readDays(readIniValue(content, texts::channelSection, texts::deadlineDaysKey, codePage));
    // Present but empty: nothing is left out.
    if (hasIniKey(content, texts::channelSection, texts::leftOutKey, codePage)) {
        std::string patterns = readIniValue(content, texts::channelSection, texts::leftOutKey, codePage);
        if (validPatterns(patterns, codePage))
            read.leftOut = std::move(patterns);
    }
    return read;
}

bool& switchIn(ChannelSettings& switches, Switch which)
{
    switch (which) {
    case Switch::Tray:
        return switches.tray;
    case Switch::Popup:
        return switches.popup;
    case Switch::CloseToTray:
        return switches.closeToTray;
    case Switch::Sound:
        break;
    }
    return switches.sound;
}

void storeSwitch(platform::System& system, const std::string& path, Switch which, bool on)
{
    storeValue(system, path, texts::channelSection, keyOf(which), on ? "1" : "0");
}

} // namespace settings
