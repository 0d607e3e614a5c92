#include "common/BoxText.h"

namespace ansi {

std::string boxClipboardText(std::string_view title, std::string_view message, const std::vector<std::string>& captions)
{
    const std::string divider = std::string(27, '-') + "\r\n";
    std::string text = divider;
    text.append(title).append("\r\n").append(divider);
    text.append(message).append("\r\n").append(divider);
    for (const std::string& caption : captions) {
        for (const char c : caption) {
            if (c != '&')
                text += c;
        }
        text.append("   ");
    }
    text.append("\r\n").append(divider);
    return text;
}

} // namespace ansi
