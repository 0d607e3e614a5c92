#pragma once

#include "platform/System.h"

#include <string>

namespace platform::win32 {

// Starting at login through shortcuts in the user's Startup folder (FOLDERID_Startup), one per
// settings folder: this executable, "Start in" the folder, show command 7. The tool's own carry
// the description "Kelvoran" and are named Kelvoran.lnk, Kelvoran-2.lnk, ...; no registry is used.
// Each call sets COM up on its thread for itself, as it runs off the window's thread.

// Whether a shortcut there starts this executable minimised in `settingsFolder` (both compared
// by identity); the tool's own is named when there are several.
[[nodiscard]] LoginStart startupShortcut(const std::string& settingsFolder);

// Writes the tool's shortcut for `settingsFolder` (rewriting its own one, else under the first
// free name), or removes the tool's own ones for it. 0, or the system's error code.
int setStartupShortcut(const std::string& settingsFolder, bool on);

} // namespace platform::win32
