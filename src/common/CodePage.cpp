#include "common/CodePage.h"

namespace ansi {

const CodePage& CodePage::utf8()
{
    static constexpr CodePage codePage(false);
    return codePage;
}

const CodePage& CodePage::shiftJis()
{
    static constexpr CodePage codePage(true);
    return codePage;
}

} // namespace ansi
