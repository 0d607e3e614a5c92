#include "setup/ChannelSwitch.h"

#include "common/Texts.h"
#include "settings/SettingsFile.h"

#include <utility>

namespace setup {

std::optional<bool> toggleSwitch(platform::System& system, SetupView& view, settings::Switch which)
{
    const std::string path = settings::settingsPath(system);
    const std::optional<std::string> content = settings::readSettings(system, path);
    if (!content) {
        view.showMessageBox(std::string(texts::noFolderGiven), MessageKind::Warning, buttons::yes);
        return std::nullopt;
    }
    settings::ChannelSettings now = settings::parseChannelSettings(*content, system.codePage());
    const bool on = settings::switchIn(now, which);
    settings::storeSwitch(system, path, which, !on);
    return !on;
}

CloseAction CloseRule::close(const Situation& now)
{
    if (now.ending || !now.closeToTray || !now.iconShown || !now.trayPresent)
        return CloseAction::End;
    return std::exchange(m_told, true) ? CloseAction::Hide : CloseAction::HideAndTell;
}

} // namespace setup
