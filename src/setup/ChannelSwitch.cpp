#include "setup/ChannelSwitch.h"

#include "common/Texts.h"
#include "settings/SettingsFile.h"

namespace setup {

std::optional<bool> toggleSwitch(platform::System& system, SetupView& view, settings::Switch which)
{
    const std::string path = settings::settingsPath(system);
    const std::optional<std::string> content = settings::readSettings(system, path);
    if (!content) {
        view.showMessageBox(std::string(texts::noFolderGiven), MessageKind::Warning, buttons::yes);
        return std::nullopt;
    }
    const settings::ChannelSettings now = settings::parseChannelSettings(*content, system.codePage());
    const bool on = which == settings::Switch::Tray    ? now.tray
                    : which == settings::Switch::Popup ? now.popup
                                                       : now.sound;
    settings::storeSwitch(system, path, which, !on);
    return !on;
}

} // namespace setup
