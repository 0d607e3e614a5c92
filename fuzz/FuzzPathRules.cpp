// Properties of the path rules on any bytes: with Shift-JIS, no rule ever cuts a path inside a
// double-byte character, and a trail byte "\" is never taken for a separator.
#include "common/ByteText.h"

#include <cstdlib>
#include <set>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Every offset at which a character starts, and the end.
std::set<std::size_t> boundaries(std::string_view text, const ansi::CodePage& codePage)
{
    std::set<std::size_t> found;
    std::size_t i = 0;
    while (i < text.size()) {
        found.insert(i);
        i += codePage.isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    }
    found.insert(text.size());
    return found;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    const ansi::CodePage& codePage = ansi::CodePage::shiftJis();
    const std::set<std::size_t> cuts = boundaries(path, codePage);

    for (const ansi::PathStyle style : {ansi::PathStyle::windows(), ansi::PathStyle::posix()}) {
        check(cuts.contains(ansi::parentPart(path, style, codePage).size()));
        check(cuts.contains(ansi::withoutTrailingSeparator(path, style, codePage).size()));
        check(cuts.contains(ansi::prefixWithin(path, size / 2, codePage).size()));

        const bool ends = ansi::endsWithSeparator(path, style, codePage);
        if (ends)
            check(cuts.contains(path.size() - 1) && path.back() == style.separator);
        const std::string withSeparator = ansi::withTrailingSeparator(path, style, codePage);
        check(withSeparator == (ends ? std::string(path) : std::string(path) + style.separator));
    }
    const std::size_t last = ansi::lastCharacterStart(path, codePage);
    check(size == 0 ? last == std::string_view::npos : cuts.contains(last));
    return 0;
}
