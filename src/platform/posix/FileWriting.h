#pragma once

#include "platform/System.h"

#include <string>
#include <string_view>

namespace platform::posix {

// Creates `path` holding exactly `content`: the content goes to a temporary file beside it,
// is flushed and renamed into place, so a crash or a full disk never leaves a partial file.
[[nodiscard]] WriteResult writeNewFile(const std::string& path, std::string_view content);

// Replaces the content of the present file `path` (through a symbolic link, the file it points
// to) atomically, keeping its permission bits. When the folder allows no temporary file the
// file is rewritten in place, but only with content no longer than the old. False when the file
// may not be written or writing failed.
[[nodiscard]] bool replaceContent(const std::string& path, std::string_view content);

} // namespace platform::posix
