#include "setup/ChannelSwitch.h"

#include "settings/SettingsFile.h"

namespace setup {

bool toggleSwitch(platform::System& system, settings::Switch which)
{
    const std::string path = settings::settingsPath(system);
    const settings::ChannelSettings now =
        settings::parseChannelSettings(settings::readSettings(system, path).value_or(std::string()), system.codePage());
    const bool on = which == settings::Switch::Tray    ? now.tray
                    : which == settings::Switch::Popup ? now.popup
                                                       : now.sound;
    settings::storeSwitch(system, path, which, !on);
    return !on;
}

} // namespace setup
