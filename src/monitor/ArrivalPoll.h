#pragma once

#include "monitor/StatusView.h"
#include "platform/System.h"

#include <optional>
#include <string>

namespace monitor {

// A check's outcome and the folder it listed (with its separator), empty when there was none.
struct FolderCheck
{
    std::optional<Status> status;
    std::string folder;
};
[[nodiscard]] FolderCheck checkFolder(const platform::System& system);

// Decides the status from scratch: reads the settings file, tests and lists the watched folder.
// nullopt when there is no settings file or no folder in it, and the status must stay as it is.
[[nodiscard]] std::optional<Status> pollStatus(const platform::System& system);

// Writes the status text into the view, in the order each status asks for.
void showStatus(Status status, StatusView& view);

// One tick of the poll: pollStatus, then showStatus when there is a status.
void pollArrival(const platform::System& system, StatusView& view);

} // namespace monitor
