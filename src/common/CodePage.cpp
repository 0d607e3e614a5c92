#include "common/CodePage.h"

namespace ansi {

const CodePage& CodePage::utf8()
{
    static constexpr CodePage codePage(CodePage::LeadBytes{});
    return codePage;
}

const CodePage& CodePage::shiftJis()
{
    static constexpr CodePage codePage([] {
        CodePage::LeadBytes lead{};
        for (unsigned byte = 0; byte < lead.size(); ++byte)
            lead[byte] = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        return lead;
    }());
    return codePage;
}

} // namespace ansi
