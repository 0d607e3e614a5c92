#pragma once

#include "platform/System.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace platform::win32 {

// Whether the process `process` runs as the user this one runs as.
[[nodiscard]] bool runsAsThisUser(DWORD process);

// The claim's name for `settingsFolder`, a mutex's (its window's mapping adds "-window"); empty when
// the folder or the user cannot be named.
[[nodiscard]] std::wstring claimName(const std::string& settingsFolder);

// Claims `settingsFolder` for this process with a named mutex in the session, keyed on the user's
// SID and the folder's identity (volume serial and file index; failing that, the case-folded full
// path). The holder publishes a message-only window, made on the calling thread, in a named file
// mapping: a later start sends it a registered message, which calls `raise` on that thread, and
// is refused. A holder that does not answer within about two seconds (hung, or ending) is given
// three more to let go, and the later start then holds the claim; else it is refused too. A mutex
// left by a copy that crashed is free. When the folder cannot be named within about two seconds
// (a share that does not answer), or the names are another account's, a claim that guards nothing.
// The mapping that names the window is this user's alone; one that another account made first
// publishes nothing, and the foreground goes only to a window whose process runs as this user
// (`sameUser`, which tests replace: Wine runs every process as one user).
[[nodiscard]] std::unique_ptr<ToolClaim>
claimFolder(const std::string& settingsFolder, std::function<void()> raise,
            const std::function<bool(DWORD process)>& sameUser = &runsAsThisUser);

} // namespace platform::win32
