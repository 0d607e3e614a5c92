#pragma once

namespace ansi {

// The narrow code page text is held in. It only answers which bytes lead a double-byte
// character; every byte rule of the tool walks text with it.
class CodePage
{
public:
    // UTF-8, the narrow encoding on Linux: no byte leads a double-byte character.
    [[nodiscard]] static const CodePage& utf8();
    // Shift-JIS (code page 932): lead bytes 0x81-0x9F and 0xE0-0xFC.
    [[nodiscard]] static const CodePage& shiftJis();

    [[nodiscard]] bool isLeadByte(unsigned char byte) const
    {
        return m_doubleByte && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
    }

private:
    explicit constexpr CodePage(bool doubleByte) : m_doubleByte(doubleByte) {}

    bool m_doubleByte;
};

} // namespace ansi
