#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace platform::win32 {

// `text` from the ANSI code page in UTF-16; empty when it holds bytes the code page does not map.
inline std::wstring toWide(std::string_view text)
{
    const int size = static_cast<int>(text.size());
    const int length = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length <= 0 ||
        ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length) != length)
        return {};
    return wide;
}

// A name from the system in the ANSI code page, as the A functions give it: a character the code
// page lacks becomes the system's default character.
inline std::string toAnsi(const wchar_t* name)
{
    const int length = ::WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(length, 1)), '\0');
    if (length <= 0 || ::WideCharToMultiByte(CP_ACP, 0, name, -1, narrow.data(), length, nullptr, nullptr) != length)
        return {};
    narrow.resize(static_cast<std::size_t>(length) - 1); // without the terminating NUL
    return narrow;
}

} // namespace platform::win32
