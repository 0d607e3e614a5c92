#pragma once

#include <array>

namespace ansi {

// The narrow code page text is held in. It only answers which bytes lead a double-byte
// character; every byte rule of the tool walks text with it.
class CodePage
{
public:
    // Lead bytes by byte value; the platform layer fills it from the system's code page.
    using LeadBytes = std::array<bool, 256>;

    // UTF-8, the narrow encoding on Linux: no byte leads a double-byte character.
    [[nodiscard]] static const CodePage& utf8();
    // Shift-JIS (code page 932): lead bytes 0x81-0x9F and 0xE0-0xFC.
    [[nodiscard]] static const CodePage& shiftJis();

    explicit constexpr CodePage(const LeadBytes& leadBytes) : m_leadBytes(leadBytes) {}

    [[nodiscard]] bool isLeadByte(unsigned char byte) const { return m_leadBytes[byte]; }

private:
    LeadBytes m_leadBytes;
};

} // namespace ansi
