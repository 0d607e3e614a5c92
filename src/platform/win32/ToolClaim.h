#pragma once

#include "platform/System.h"

#include <functional>
#include <memory>
#include <string>

namespace platform::win32 {

// Claims `settingsFolder` for this process with a named mutex in the session, keyed on the
// folder's identity (volume serial and file index; failing that, the case-folded full path). The
// holder publishes a message-only window, made on the calling thread, in a named file mapping: a
// later start posts it a registered message, which calls `raise` on that thread, and is refused.
// A mutex left by a copy that crashed is free. When the folder cannot be named within about two
// seconds (a share that does not answer), a claim that guards nothing.
[[nodiscard]] std::unique_ptr<ToolClaim> claimFolder(const std::string& settingsFolder, std::function<void()> raise);

} // namespace platform::win32
