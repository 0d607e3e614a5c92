#pragma once

#include "common/CodePage.h"
#include "common/PathStyle.h"

#include <string_view>

namespace settings {

// Name patterns as mushi holds them: "*" (any run of characters) and "?" (one character, a
// double-byte one taken whole), parted by ";", blanks around each dropped. Compared in the
// system's own text; without regard to ASCII case in the Windows path style, as its file names are.

// Whether `name` matches one of `patterns`.
[[nodiscard]] bool matchesAny(std::string_view patterns, std::string_view name, const ansi::CodePage& codePage,
                              ansi::PathStyle style);

// Whether `patterns` may be stored: no path separator ("/" or "\") and no control character in it.
[[nodiscard]] bool validPatterns(std::string_view patterns, const ansi::CodePage& codePage);

} // namespace settings
