#pragma once

#include <array>
#include <string_view>
#include <vector>

namespace setup {

// One button a message box can show.
struct BoxButton
{
    unsigned bit;             // its bit in the button set
    std::string_view caption; // "&" marks the access key
    int result;               // the code a press returns; 0 does not close the box (Help)
};

// The buttons of a button set in bit order, which is their order left to right.
[[nodiscard]] std::vector<BoxButton> boxButtons(unsigned buttonSet);

// Index into `buttons` of the default button (OK, else Yes, else Retry) and of the cancel button
// (Cancel, else No, else OK) that Escape presses; -1 when there is none.
[[nodiscard]] int defaultButtonIndex(const std::vector<BoxButton>& buttons);
[[nodiscard]] int cancelButtonIndex(const std::vector<BoxButton>& buttons);

// The upper-case letter after the single "&" of a caption; 0 when it has none.
[[nodiscard]] char accessKey(std::string_view caption);

} // namespace setup
