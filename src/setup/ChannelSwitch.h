#pragma once

#include "platform/System.h"
#include "settings/ChannelSettings.h"
#include "setup/SetupView.h"

#include <optional>

namespace setup {

// Turns a switch of the louder channels over, as the menus ask: the file is read as it is now,
// so a hand edit since the last tick counts, and only the one key is written, through the update
// that keeps every other byte. Returns the switch's new state. Without a settings file nothing is
// written (a file would stand for a folder given, and the start's warning would no longer come):
// the user is asked for the folder first, and the switch stays. Throws as storing the folder does.
std::optional<bool> toggleSwitch(platform::System& system, SetupView& view, settings::Switch which);

// What the window's close (its ×, Alt+F4, the window manager's or the taskbar's) does.
enum class CloseAction
{
    End,
    Hide,
    // Hide, and say once that the tool watches on from the notification area.
    HideAndTell,
};

// The close of one run of the window: it ends the tool unless the user switched closetotray on and
// the icon is shown in a tray there is, which alone can bring the window back. The session's end
// and 終了 end it always. The first hide of a run is told, no later one.
class CloseRule
{
public:
    struct Situation
    {
        bool closeToTray = false;
        bool iconShown = false;
        bool trayPresent = false;
        bool ending = false; // the session ends, a signal or 終了 ends the tool
    };

    [[nodiscard]] CloseAction close(const Situation& now);

private:
    bool m_told = false;
};

} // namespace setup
