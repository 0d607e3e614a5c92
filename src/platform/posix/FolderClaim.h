#pragma once

#include "platform/System.h"

#include <functional>
#include <memory>
#include <string>

namespace platform::posix {

// One tool per settings folder: a listening socket in the abstract namespace, named by the user
// and the folder's device and inode, so that nothing is written to disk and the name goes with
// the process however it ends. A later start connects and asks the holder to bring its window
// up; only the holder's own user is heard. Null when a running copy holds the folder; a claim
// that guards nothing when the folder cannot be known within two seconds or no socket can be had.
[[nodiscard]] std::unique_ptr<ToolClaim> claimFolder(const std::string& settingsFolder, std::function<void()> raise);

} // namespace platform::posix
