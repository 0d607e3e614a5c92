#pragma once

#include "platform/System.h"

#include <optional>
#include <string>

namespace platform::posix {

// Starting at login through the XDG autostart folder (${XDG_CONFIG_HOME:-~/.config}/autostart):
// one desktop entry per settings folder, org.kelvoran.Kelvoran.desktop, then -2, -3, ... for
// further folders. The tool's own entries carry X-Kelvoran-Folder, the folder they were made for.

// Whether some desktop entry of the autostart folder starts `executable` with -iconic in
// `settingsFolder`, each known by its identity, not its spelling.
[[nodiscard]] LoginStart autostartEntryFor(const std::string& executable, const std::string& settingsFolder);

// Writes the tool's own entry for `settingsFolder` (rewriting the one it has, else under the first
// free name), or removes the tool's own entries for it. 0, or the error code: loginPathUnwritable
// for a path a desktop entry cannot hold (not UTF-8, control characters, a percent sign in the
// executable's).
[[nodiscard]] int setAutostartEntry(const std::string& executable, const std::string& settingsFolder, bool on);

// The entry's text, nullopt when a path cannot be written in one.
[[nodiscard]] std::optional<std::string> autostartEntryText(const std::string& executable,
                                                            const std::string& settingsFolder);

} // namespace platform::posix
