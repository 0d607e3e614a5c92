#include "common/ByteText.h"

namespace ansi {

namespace {

// Length in bytes of the character that starts at `i`: two for a lead byte that has its trail.
std::size_t characterLength(std::string_view text, std::size_t i, const CodePage& codePage)
{
    return codePage.isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

} // namespace

std::size_t lastCharacterStart(std::string_view text, const CodePage& codePage)
{
    // Walk forward: a trail byte may be 0x5C, so the text cannot be read from its end.
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += characterLength(text, i, codePage))
        last = i;
    return last;
}

std::size_t findFirstCharacter(std::string_view text, char ch, const CodePage& codePage)
{
    for (std::size_t i = 0; i < text.size(); i += characterLength(text, i, codePage)) {
        if (text[i] == ch)
            return i;
    }
    return std::string_view::npos;
}

std::size_t findLastCharacter(std::string_view text, char ch, const CodePage& codePage)
{
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += characterLength(text, i, codePage)) {
        if (text[i] == ch)
            found = i;
    }
    return found;
}

std::string_view prefixWithin(std::string_view text, std::size_t maxBytes, const CodePage& codePage)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + characterLength(text, end, codePage);
        if (next > maxBytes)
            break;
        end = next;
    }
    return text.substr(0, end);
}

bool endsWithSeparator(std::string_view path, PathStyle style, const CodePage& codePage)
{
    const std::size_t last = lastCharacterStart(path, codePage);
    // A final byte that is the trail of a double-byte character starts no character of its own.
    return last != std::string_view::npos && last == path.size() - 1 && path[last] == style.separator;
}

std::string withTrailingSeparator(std::string_view path, PathStyle style, const CodePage& codePage)
{
    std::string result(path);
    if (!endsWithSeparator(path, style, codePage))
        result += style.separator;
    return result;
}

std::string_view withoutTrailingSeparator(std::string_view path, PathStyle style, const CodePage& codePage)
{
    return endsWithSeparator(path, style, codePage) ? path.substr(0, path.size() - 1) : path;
}

std::string_view parentPart(std::string_view path, PathStyle style, const CodePage& codePage)
{
    std::size_t cut = 0;
    for (std::size_t i = 0; i < path.size(); i += characterLength(path, i, codePage)) {
        if (path[i] == style.separator || (style.hasDrives && path[i] == ':'))
            cut = i + 1;
    }
    return path.substr(0, cut);
}

std::string_view trimControls(std::string_view text)
{
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && isControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isControl(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string withFullStop(std::string_view message, const CodePage& codePage)
{
    std::string result(message);
    const std::size_t last = lastCharacterStart(message, codePage);
    // The lead byte decides for a double-byte character, so a Japanese ending always sorts after ".".
    if (last != std::string_view::npos && static_cast<unsigned char>(message[last]) > '.')
        result += '.';
    return result;
}

std::string defaultApplicationTitle(std::string_view executablePath, PathStyle style, const CodePage& codePage)
{
    std::string_view name =
        executablePath.substr(parentPart(executablePath, PathStyle{style.separator, false}, codePage).size());
    const std::size_t dot = findFirstCharacter(name, '.', codePage);
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);

    std::string title(name);
    // The first character keeps its case; double-byte characters are left as they are.
    for (std::size_t i = name.empty() ? 0 : characterLength(name, 0, codePage); i < name.size();) {
        const std::size_t length = characterLength(name, i, codePage);
        if (length == 1 && title[i] >= 'A' && title[i] <= 'Z')
            title[i] = static_cast<char>(title[i] - 'A' + 'a');
        i += length;
    }
    return title;
}

} // namespace ansi
