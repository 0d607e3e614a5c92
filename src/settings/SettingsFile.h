#pragma once

#include "platform/System.h"

#include <optional>
#include <string>
#include <string_view>

// The settings file "Kelvoran.ini" in the working directory, holding the watched folder as
// `fullpath` in section `KansiDir`. Nothing is cached: every call consults the file as it is.
namespace settings {

// The working directory, one separator and the file name, computed afresh at each call. Empty
// when the working directory cannot be named: there is then no settings file to read or make.
[[nodiscard]] std::string settingsPath(const platform::System& system);

// True when an entry of that name exists and is not a directory.
[[nodiscard]] bool settingsPresent(const platform::System& system, const std::string& path);

// The stored folder, or the empty text when file, section or key cannot be found or read.
[[nodiscard]] std::string readWatchedFolder(const platform::System& system, const std::string& path);

// Stores `folder`: a new two-line file when none is present, an update of the present one
// otherwise. With no path (see settingsPath) it fails as a file that cannot be created. Throws EFCreateError,
// EWriteError or EIniFileException with the user's message.
void storeWatchedFolder(platform::System& system, const std::string& path, const std::string& folder);

// Stores `value` as `key` in `section` the same way: a new file holding the section when none is
// present, an update of the present one otherwise, with the same failures.
void storeValue(platform::System& system, const std::string& path, std::string_view section, std::string_view key,
                std::string_view value);

// The settings file's whole content, or nullopt when there is none or it cannot be read.
[[nodiscard]] std::optional<std::string> readSettings(const platform::System& system, const std::string& path);

} // namespace settings
