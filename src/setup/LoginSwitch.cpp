#include "setup/LoginSwitch.h"

#include "common/Texts.h"

namespace setup {

bool startsAtLogin(const platform::System& system)
{
    const platform::DirectoryName folder = system.currentDirectory();
    return folder.error == 0 && system.loginStart(folder.path).on;
}

std::optional<bool> toggleStartAtLogin(platform::System& system, SetupView& view)
{
    const platform::DirectoryName folder = system.currentDirectory();
    if (folder.error != 0) {
        view.showMessageBox(std::string(texts::loginStartFailed) + system.errorText(folder.error), MessageKind::Error,
                            buttons::ok);
        return std::nullopt;
    }
    const platform::LoginStart now = system.loginStart(folder.path);
    if (now.on && !now.own) {
        view.showMessageBox(std::string(texts::loginStartNotOwn) + now.entry, MessageKind::Warning, buttons::ok);
        return std::nullopt;
    }
    if (const int error = system.setLoginStart(folder.path, !now.on); error != 0) {
        view.showMessageBox(std::string(texts::loginStartFailed) + system.errorText(error), MessageKind::Error,
                            buttons::ok);
        return std::nullopt;
    }
    return !now.on;
}

} // namespace setup
