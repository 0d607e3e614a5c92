#pragma once

#include <windows.h>

#include <objbase.h>

namespace platform::win32 {

// COM on the calling thread for as long as this lives, in a single-threaded apartment as the
// shell's objects want it. It is undone only when this one did it: on a thread where COM already
// runs in the other model, the calls go on in that model.
class ComScope
{
public:
    ComScope() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope()
    {
        if (SUCCEEDED(m_result))
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    // Why COM cannot be used here; S_OK when it can, in either model.
    [[nodiscard]] HRESULT failure() const { return m_result == RPC_E_CHANGED_MODE ? S_OK : m_result; }

private:
    HRESULT m_result;
};

} // namespace platform::win32
