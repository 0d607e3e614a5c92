#pragma once

#include "common/CodePage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Private-profile (INI) text, read and updated with the rules of the Windows profile functions
// so that hand-written settings files behave the same everywhere.
namespace settings {

// The longest value a read returns, in bytes.
inline constexpr std::size_t maxValueLength = 2047;

// The value of `key` in the first section named `section` (names match without regard to ASCII
// case), blanks and one pair of matching quotes dropped, at most maxValueLength bytes. Empty
// when the section or key is missing or the text is UTF-16.
[[nodiscard]] std::string readIniValue(std::string_view content, std::string_view section, std::string_view key,
                                       const ansi::CodePage& codePage);

// Whether `section` holds a line for `key`, whatever its value (an empty value is one).
[[nodiscard]] bool hasIniKey(std::string_view content, std::string_view section, std::string_view key,
                             const ansi::CodePage& codePage);

// `content` with `key` in `section` set to `value`: the key's line rewritten in place, or the key
// added at the end of its section, or the section added at the end. Every other byte stays.
// nullopt when the text cannot be updated (UTF-16).
[[nodiscard]] std::optional<std::string> updateIniValue(std::string_view content, std::string_view section,
                                                        std::string_view key, std::string_view value,
                                                        const ansi::CodePage& codePage);

} // namespace settings
