#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ansi {

// A message box as Ctrl+C puts it on the clipboard: a divider, the title, a divider, the
// message, a divider, every button's caption without its "&" marks and with three blanks after
// it, a divider. A divider is 27 "-"; every part ends in CR LF.
[[nodiscard]] std::string boxClipboardText(std::string_view title, std::string_view message,
                                           const std::vector<std::string>& captions);

} // namespace ansi
