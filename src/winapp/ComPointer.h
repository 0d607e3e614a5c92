#pragma once

#include <windows.h>

#include <string>

namespace winapp {

// Empty when the path holds a character the ANSI code page lacks: the A functions could not open it.
inline std::string narrow(const wchar_t* text)
{
    BOOL lossy = FALSE;
    const int size = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &lossy);
    if (size <= 1 || lossy)
        return {};
    std::string converted(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, converted.data(), size, nullptr, nullptr);
    converted.resize(static_cast<std::size_t>(size - 1));
    return converted;
}

// Releases a COM interface once.
template <typename Interface> class ComPointer
{
public:
    ComPointer() = default;
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    ~ComPointer()
    {
        if (m_pointer != nullptr)
            m_pointer->Release();
    }
    Interface* operator->() const { return m_pointer; }
    [[nodiscard]] Interface* get() const { return m_pointer; }
    Interface** put() { return &m_pointer; }
    [[nodiscard]] void** putVoid() { return reinterpret_cast<void**>(&m_pointer); }

private:
    Interface* m_pointer = nullptr;
};

} // namespace winapp
