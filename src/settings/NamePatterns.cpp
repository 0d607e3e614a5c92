#include "settings/NamePatterns.h"

#include "common/ByteText.h"

#include <algorithm>

namespace settings {

namespace {

// The bytes of the character that starts at `at`: two for a lead byte with its trail; in UTF-8,
// a leading byte with the continuation bytes after it.
std::size_t characterSize(std::string_view text, std::size_t at, const ansi::CodePage& codePage)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (&codePage == &ansi::CodePage::utf8()) {
        std::size_t size = 1;
        if (byte(at) >= 0xC0)
            while (at + size < text.size() && (byte(at + size) & 0xC0) == 0x80)
                ++size;
        return size;
    }
    return codePage.isLeadByte(byte(at)) && at + 1 < text.size() ? 2 : 1;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameCharacter(std::string_view a, std::string_view b, bool ignoreCase)
{
    if (a.size() != b.size())
        return false;
    return a.size() == 1 && ignoreCase ? lowerAscii(a[0]) == lowerAscii(b[0]) : a == b;
}

// One pattern against the whole name, a character at a time; a "*" takes one more character
// of the name each time what follows it fails.
bool matches(std::string_view pattern, std::string_view name, const ansi::CodePage& codePage, bool ignoreCase)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t afterStar = std::string_view::npos;
    std::size_t starTakes = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            afterStar = ++p;
            starTakes = n;
            continue;
        }
        const std::size_t nameSize = characterSize(name, n, codePage);
        if (p < pattern.size()) {
            const std::size_t patternSize = characterSize(pattern, p, codePage);
            if ((patternSize == 1 && pattern[p] == '?') ||
                sameCharacter(pattern.substr(p, patternSize), name.substr(n, nameSize), ignoreCase)) {
                p += patternSize;
                n += nameSize;
                continue;
            }
        }
        if (afterStar == std::string_view::npos)
            return false;
        p = afterStar;
        starTakes += characterSize(name, starTakes, codePage);
        n = starTakes;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool matchesAny(std::string_view patterns, std::string_view name, const ansi::CodePage& codePage, ansi::PathStyle style)
{
    while (!patterns.empty()) {
        // No trail byte of code page 932 is ";" (0x3B).
        const std::size_t end = std::min(patterns.find(';'), patterns.size());
        const std::string_view pattern = ansi::trimControls(patterns.substr(0, end));
        if (!pattern.empty() && matches(pattern, name, codePage, style.hasDrives))
            return true;
        patterns.remove_prefix(std::min(end + 1, patterns.size()));
    }
    return false;
}

bool validPatterns(std::string_view patterns, const ansi::CodePage& codePage)
{
    for (std::size_t at = 0; at < patterns.size(); at += characterSize(patterns, at, codePage)) {
        const auto byte = static_cast<unsigned char>(patterns[at]);
        if (byte < 0x20 || byte == 0x7F || byte == '/' || byte == '\\')
            return false;
    }
    return true;
}

} // namespace settings
