#include "settings/ChannelSettings.h"

#include "common/Texts.h"
#include "settings/Ini.h"
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

std::string_view keyOf(Switch which)
{
    switch (which) {
    case Switch::Tray:
        return texts::trayKey;
    case Switch::Popup:
        return texts::popupKey;
    case Switch::Sound:
        break;
    }
    return texts::soundKey;
}

} // namespace

ChannelSettings parseChannelSettings(std::string_view content, const ansi::CodePage& codePage)
{
    const ChannelSettings defaults;
    ChannelSettings read;
    read.tray = readSwitch(content, texts::trayKey, defaults.tray, codePage);
    read.popup = readSwitch(content, texts::popupKey, defaults.popup, codePage);
    read.sound = readSwitch(content, texts::soundKey, defaults.sound, codePage);
    read.soundFile = readIniValue(content, texts::channelSection, texts::soundFileKey, codePage);
    return read;
}

bool& switchIn(ChannelSettings& switches, Switch which)
{
    switch (which) {
    case Switch::Tray:
        return switches.tray;
    case Switch::Popup:
        return switches.popup;
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
