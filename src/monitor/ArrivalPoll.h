#pragma once

#include "monitor/StatusView.h"
#include "platform/System.h"

#include <optional>
#include <string>

namespace monitor {

// The watched folder as the settings file names it, with its separator; empty when there is no
// settings file or no folder in it.
[[nodiscard]] std::string watchedFolder(const platform::System& system);

// The status of `folder` (with its separator) from one listing of it. `identity`, when given,
// receives the listed folder's identity where the system tells it.
[[nodiscard]] Status folderStatus(const platform::System& system, const std::string& folder,
                                  std::optional<platform::FolderIdentity>* identity = nullptr);

// Decides the status from scratch: reads the settings file, tests and lists the watched folder.
// nullopt when there is no settings file or no folder in it, and the status must stay as it is.
[[nodiscard]] std::optional<Status> pollStatus(const platform::System& system);

// Writes the status text into the view, in the order each status asks for.
void showStatus(Status status, StatusView& view);

// One tick of the poll: pollStatus, then showStatus when there is a status.
void pollArrival(const platform::System& system, StatusView& view);

} // namespace monitor
