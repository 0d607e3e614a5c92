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

} // namespace setup
