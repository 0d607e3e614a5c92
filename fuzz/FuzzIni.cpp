// Properties of the INI reader and updater on any bytes: a read never returns more than 2047
// bytes; an update of a value the tool can store reads back as that value; every other section
// and key reads as before.
#include "common/ByteText.h"
#include "settings/Ini.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr std::array<std::pair<const char*, const char*>, 6> others{{
    {"KansiDir", "note"},
    {"Other", "fullpath"},
    {"Other", "x"},
    {"A", "b"},
    {"kansidir2", "fullpath"},
    {"", "fullpath"},
}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    const ansi::CodePage& codePage = provider.ConsumeBool() ? ansi::CodePage::shiftJis() : ansi::CodePage::utf8();
    const std::string rawValue = provider.ConsumeRandomLengthString(300);
    const std::string content = provider.ConsumeRemainingBytesAsString();

    const std::string before = settings::readIniValue(content, "KansiDir", "fullpath", codePage);
    check(before.size() <= settings::maxValueLength);

    // Only values the change command lets through: trimmed, no line break or NUL, not quoted.
    const std::string value(ansi::trimControls(rawValue));
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return 0;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return 0;

    const std::optional<std::string> updated =
        settings::updateIniValue(content, "KansiDir", "fullpath", value, codePage);
    if (!updated) {
        check(content.size() >= 2 &&
              ((content[0] == '\xFF' && content[1] == '\xFE') || (content[0] == '\xFE' && content[1] == '\xFF')));
        return 0;
    }
    check(settings::readIniValue(*updated, "KansiDir", "fullpath", codePage) ==
          std::string(ansi::prefixWithin(value, settings::maxValueLength, codePage)));
    for (const auto& [section, key] : others) {
        check(settings::readIniValue(content, section, key, codePage) ==
              settings::readIniValue(*updated, section, key, codePage));
    }
    return 0;
}
