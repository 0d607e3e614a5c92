#pragma once

#include "common/CodePage.h"
#include "common/PathStyle.h"

#include <cstddef>
#include <string>
#include <string_view>

// Byte-text rules shared by the whole tool. Text is bytes in the narrow code page; every rule
// that could meet a double-byte character walks the text forward with the code page, because a
// Shift-JIS trail byte can be 0x5C ("\") or 0x5D ("]") and so a text cannot be read from its end.
namespace ansi {

// Index of the first byte of the last character of `text`, or npos when it is empty.
// A double-byte character counts as one.
[[nodiscard]] std::size_t lastCharacterStart(std::string_view text, const CodePage& codePage);

// Index of the first character equal to the single-byte `ch`, or npos; trail bytes never match.
[[nodiscard]] std::size_t findFirstCharacter(std::string_view text, char ch, const CodePage& codePage);

// Index of the last character equal to the single-byte `ch`, or npos; trail bytes never match.
[[nodiscard]] std::size_t findLastCharacter(std::string_view text, char ch, const CodePage& codePage);

// The longest prefix of `text` that is at most `maxBytes` long and splits no double-byte character.
[[nodiscard]] std::string_view prefixWithin(std::string_view text, std::size_t maxBytes, const CodePage& codePage);

// True when the last character of `path` is the style's separator (a trail byte is not).
[[nodiscard]] bool endsWithSeparator(std::string_view path, PathStyle style, const CodePage& codePage);

// `path` with the separator appended unless its last character already is one.
[[nodiscard]] std::string withTrailingSeparator(std::string_view path, PathStyle style, const CodePage& codePage);

// `path` without one trailing separator, when it has one.
[[nodiscard]] std::string_view withoutTrailingSeparator(std::string_view path, PathStyle style,
                                                        const CodePage& codePage);

// Everything up to and including the last separator (or drive ":" in the Windows style);
// empty when there is none.
[[nodiscard]] std::string_view parentPart(std::string_view path, PathStyle style, const CodePage& codePage);

// `text` without characters of code 0x00-0x20 at either end. A double-byte blank stays.
[[nodiscard]] std::string_view trimControls(std::string_view text);

// The message of the failure box: a "." is appended unless the text is empty or its last
// character (a double-byte one taken whole, by its lead byte) sorts at or before ".".
[[nodiscard]] std::string withFullStop(std::string_view message, const CodePage& codePage);

// The application title derived from the executable's path: the name after the last
// separator, cut at its first ".", every character after the first in lower case.
[[nodiscard]] std::string defaultApplicationTitle(std::string_view executablePath, PathStyle style,
                                                  const CodePage& codePage);

} // namespace ansi
