#include "settings/Ini.h"

#include "common/ByteText.h"

#include <vector>

namespace settings {

namespace {

constexpr std::string_view utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view crLf = "\r\n";

bool isBlank(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x09 && byte <= 0x0D) || byte == 0x1A || byte == 0x20;
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isUtf16(std::string_view content)
{
    return content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF");
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names match without regard to ASCII case; double-byte characters must match exactly.
bool namesEqual(std::string_view a, std::string_view b, const ansi::CodePage& codePage)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (codePage.isLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
            ++i;
        } else if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// One line of the text: [begin, end) is its content, [end, next) its line end.
struct Line
{
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

// Lines end at CR LF, a lone LF or a lone CR; neither byte can be a Shift-JIS trail byte.
std::vector<Line> splitLines(std::string_view content, std::size_t from)
{
    std::vector<Line> lines;
    std::size_t begin = from;
    while (begin < content.size()) {
        std::size_t end = content.find_first_of("\r\n", begin);
        if (end == std::string_view::npos) {
            lines.push_back({begin, content.size(), content.size()});
            break;
        }
        const std::size_t next = content.compare(end, 2, crLf) == 0 ? end + 2 : end + 1;
        lines.push_back({begin, end, next});
        begin = next;
    }
    return lines;
}

// The section name of a "[name]" line; the last "]" closes it, text after it is ignored.
std::optional<std::string_view> sectionName(std::string_view line, const ansi::CodePage& codePage)
{
    while (!line.empty() && isBlank(line.front()))
        line.remove_prefix(1);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const std::size_t close = ansi::findLastCharacter(line, ']', codePage);
    if (close == std::string_view::npos)
        return std::nullopt;
    return trimBlanks(line.substr(1, close - 1));
}

// Where the key stands in the text, or where it would go.
struct Location
{
    std::optional<Line> sectionEnd; // last non-blank line of the first matching section
    std::optional<Line> keyLine;
    std::size_t equals = 0; // offset of the key line's first "=" from its begin
};

Location locate(std::string_view content, std::string_view section, std::string_view key,
                const ansi::CodePage& codePage)
{
    Location location;
    const std::size_t body = content.starts_with(utf8Bom) ? utf8Bom.size() : 0;
    bool inSection = false;
    for (const Line& line : splitLines(content, body)) {
        const std::string_view text = content.substr(line.begin, line.end - line.begin);
        if (const auto name = sectionName(text, codePage)) {
            // Only the first matching section counts.
            if (location.sectionEnd)
                break;
            inSection = namesEqual(*name, section, codePage);
            if (inSection)
                location.sectionEnd = line;
            continue;
        }
        if (!inSection)
            continue;
        if (!trimBlanks(text).empty())
            location.sectionEnd = line;
        const std::size_t equals = ansi::findFirstCharacter(text, '=', codePage);
        if (equals != std::string_view::npos && namesEqual(trimBlanks(text.substr(0, equals)), key, codePage)) {
            location.keyLine = line;
            location.equals = equals;
            break;
        }
    }
    return location;
}

// The raw value of a key line after its "=": up to a NUL byte, blanks dropped.
std::string_view rawValue(std::string_view afterEquals)
{
    return trimBlanks(afterEquals.substr(0, afterEquals.find('\0')));
}

} // namespace

std::string readIniValue(std::string_view content, std::string_view section, std::string_view key,
                         const ansi::CodePage& codePage)
{
    if (isUtf16(content))
        return {};
    const Location location = locate(content, section, key, codePage);
    if (!location.keyLine)
        return {};
    const Line& line = *location.keyLine;
    std::string_view value =
        rawValue(content.substr(line.begin + location.equals + 1, line.end - line.begin - location.equals - 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(ansi::prefixWithin(value, maxValueLength, codePage));
}

bool hasIniKey(std::string_view content, std::string_view section, std::string_view key, const ansi::CodePage& codePage)
{
    return !isUtf16(content) && locate(content, section, key, codePage).keyLine.has_value();
}

std::optional<std::string> updateIniValue(std::string_view content, std::string_view section, std::string_view key,
                                          std::string_view value, const ansi::CodePage& codePage)
{
    if (isUtf16(content))
        return std::nullopt;
    const Location location = locate(content, section, key, codePage);
    std::string updated;
    updated.reserve(content.size() + section.size() + key.size() + value.size() + 8);

    if (location.keyLine) {
        // Keep the line's own spelling up to "=", and the blanks before an old value.
        const Line& line = *location.keyLine;
        const std::size_t valueStart = line.begin + location.equals + 1;
        const std::string_view after = content.substr(valueStart, line.end - valueStart);
        std::size_t blanks = 0;
        if (!rawValue(after).empty()) {
            while (blanks < after.size() && isBlank(after[blanks]))
                ++blanks;
        }
        updated.append(content.substr(0, valueStart + blanks));
        updated.append(value);
        updated.append(content.substr(line.end));
    } else if (location.sectionEnd) {
        const Line& last = *location.sectionEnd;
        updated.append(content.substr(0, last.next));
        if (last.next == last.end)
            updated.append(crLf);
        updated.append(key).append("=").append(value).append(crLf);
        updated.append(content.substr(last.next));
    } else {
        updated.append(content);
        const std::size_t body = content.starts_with(utf8Bom) ? utf8Bom.size() : 0;
        if (content.size() > body && content.back() != '\r' && content.back() != '\n')
            updated.append(crLf);
        updated.append("[").append(section).append("]").append(crLf);
        updated.append(key).append("=").append(value).append(crLf);
    }
    return updated;
}

} // namespace settings
