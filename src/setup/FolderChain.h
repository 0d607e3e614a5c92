#pragma once

#include "platform/System.h"

#include <string_view>

namespace setup {

// Creates every missing level of `path` from the top down. An empty path fails, so a relative
// path whose first folder is missing fails; a path of fewer than three bytes (a bare drive)
// counts as done without creating anything. Levels created before a failure stay.
[[nodiscard]] bool createFolderChain(platform::System& system, std::string_view path);

// Why createFolderChain cannot make `path` whatever the disk allows: a start of "~", which is
// taken as typed, or a relative path whose first folder is missing. Asks the disk as it would.
enum class ChainRefusal
{
    None,
    TypedHome,
    RelativeStart,
};
[[nodiscard]] ChainRefusal chainRefusal(const platform::System& system, std::string_view path);

} // namespace setup
