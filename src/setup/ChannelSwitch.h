#pragma once

#include "platform/System.h"
#include "settings/ChannelSettings.h"

namespace setup {

// Turns a switch of the louder channels over, as the menus ask: the file is read as it is now,
// so a hand edit since the last tick counts, and only the one key is written, through the update
// that keeps every other byte. Returns the switch's new state. Throws as storing the folder does.
bool toggleSwitch(platform::System& system, settings::Switch which);

} // namespace setup
