#include "winapp/ModalScope.h"

namespace winapp {

ModalScope::ModalScope(HWND leftToTheBox) : m_active(::GetActiveWindow()), m_focus(::GetFocus())
{
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM list) -> BOOL {
            if (::IsWindowEnabled(hwnd)) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&m_disabled));
    // A box of the system only enables an owner again that it found enabled; one it found
    // disabled stays so until the box is gone, and the activation goes to another program.
    std::erase(m_disabled, leftToTheBox);
    for (const HWND hwnd : m_disabled)
        ::EnableWindow(hwnd, FALSE);
}

void ModalScope::release()
{
    for (const HWND hwnd : m_disabled) {
        if (::IsWindow(hwnd))
            ::EnableWindow(hwnd, TRUE);
    }
    m_disabled.clear();
}

ModalScope::~ModalScope()
{
    release();
    if (m_active != nullptr && ::IsWindow(m_active))
        ::SetActiveWindow(m_active);
    if (m_focus != nullptr && ::IsWindow(m_focus))
        ::SetFocus(m_focus);
}

} // namespace winapp
