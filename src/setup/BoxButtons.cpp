#include "setup/BoxButtons.h"

#include "setup/SetupView.h"

namespace setup {

namespace {

constexpr std::array<BoxButton, 11> buttonTable{{
    {buttons::yes, "&Yes", results::yes},
    {buttons::no, "&No", results::no},
    {buttons::ok, "OK", results::ok},
    {buttons::cancel, "Cancel", results::cancel},
    {buttons::abort, "&Abort", results::abort},
    {buttons::retry, "&Retry", results::retry},
    {buttons::ignore, "&Ignore", results::ignore},
    {buttons::all, "&All", results::all},
    {buttons::noToAll, "N&o to All", results::noToAll},
    {buttons::yesToAll, "Yes to &All", results::yesToAll},
    {buttons::help, "&Help", results::none},
}};

int indexOfFirst(const std::vector<BoxButton>& buttons, std::initializer_list<int> results)
{
    for (const int result : results) {
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (buttons[i].result == result)
                return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

std::vector<BoxButton> boxButtons(unsigned buttonSet)
{
    std::vector<BoxButton> shown;
    for (const BoxButton& button : buttonTable) {
        if ((buttonSet & button.bit) != 0)
            shown.push_back(button);
    }
    return shown;
}

int defaultButtonIndex(const std::vector<BoxButton>& buttons)
{
    return indexOfFirst(buttons, {results::ok, results::yes, results::retry});
}

int cancelButtonIndex(const std::vector<BoxButton>& buttons)
{
    return indexOfFirst(buttons, {results::cancel, results::no, results::ok});
}

char accessKey(std::string_view caption)
{
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (caption[i + 1] != '&') {
                const char letter = caption[i + 1];
                return letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
            }
            ++i;
        }
    }
    return 0;
}

} // namespace setup
