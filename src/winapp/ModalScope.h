#pragma once

#include <windows.h>

#include <vector>

namespace winapp {

// While a box is open every other window of the tool takes no input: this disables the
// thread's enabled top-level windows and, on leaving, enables them again, reactivates the
// window that was active and gives the focus back. Enabling comes before the box is destroyed,
// or the system hands activation to another program. `leftToTheBox`, the owner of a system box,
// stays enabled: the box disables it and enables it again itself, in time.
class ModalScope
{
public:
    explicit ModalScope(HWND leftToTheBox = nullptr);
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
    ~ModalScope();

    // Enables the windows again now; the destructor then only restores activation and focus.
    void release();

private:
    std::vector<HWND> m_disabled;
    HWND m_active;
    HWND m_focus;
};

} // namespace winapp
