#include "setup/LoginSwitch.h"

#include "common/Texts.h"

namespace setup {

namespace {

// Sets starting at login to `wanted`, or turns it over when there is no wish. Nothing changes,
// after a box that says why, when the system cannot do it.
std::optional<bool> switchStartAtLogin(platform::System& system, SetupView& view, std::optional<bool> wanted)
{
    const platform::DirectoryName folder = system.currentDirectory();
    if (folder.error != 0) {
        view.showMessageBox(std::string(texts::loginStartFailed) + system.errorText(folder.error), MessageKind::Error,
                            buttons::ok);
        return std::nullopt;
    }
    const platform::LoginStart now = system.loginStart(folder.path);
    const bool on = wanted.value_or(!now.on);
    if (on == now.on)
        return on;
    if (now.on && !now.own) {
        view.showMessageBox(std::string(texts::loginStartNotOwn) + now.entry, MessageKind::Warning, buttons::ok);
        return std::nullopt;
    }
    if (const int error = system.setLoginStart(folder.path, on); error != 0) {
        const std::string why =
            error == platform::loginPathUnwritable ? std::string(texts::loginPathUnwritable) : system.errorText(error);
        view.showMessageBox(std::string(texts::loginStartFailed) + why, MessageKind::Error, buttons::ok);
        return std::nullopt;
    }
    return on;
}

} // namespace

bool startsAtLogin(const platform::System& system)
{
    const platform::DirectoryName folder = system.currentDirectory();
    return folder.error == 0 && system.loginStart(folder.path).on;
}

std::optional<bool> toggleStartAtLogin(platform::System& system, SetupView& view)
{
    return switchStartAtLogin(system, view, std::nullopt);
}

std::optional<bool> setStartAtLogin(platform::System& system, SetupView& view, bool on)
{
    return switchStartAtLogin(system, view, on);
}

} // namespace setup
