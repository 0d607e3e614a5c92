#pragma once

#include "platform/System.h"
#include "setup/SetupView.h"

#include <optional>

namespace setup {

// Whether the system starts the tool at login in its settings folder (the working directory),
// as the menus' check mark shows it: an entry made by hand counts when it starts this
// executable there. False when the folder cannot be named.
[[nodiscard]] bool startsAtLogin(const platform::System& system);

// Turns starting at login over, as the menus ask, and returns the new state. Nothing changes,
// after a box that says why, when the folder cannot be named, the system refuses, or the entry
// that starts the tool is not one the tool made (it is the user's to remove).
std::optional<bool> toggleStartAtLogin(platform::System& system, SetupView& view);

// Sets starting at login to `on` as the settings dialog asks, with the same boxes; nothing is
// written when it is so already.
std::optional<bool> setStartAtLogin(platform::System& system, SetupView& view, bool on);

} // namespace setup
