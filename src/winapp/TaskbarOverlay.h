#pragma once

#include "winapp/WindowBase.h"

#include <windows.h>

#include <shobjidl.h>

#include <functional>
#include <string>

namespace winapp {

// The status on the taskbar button itself, as an overlay badge (the status icon at 16 px) with
// the status text as its description, so that a pinned button shows it too. Set through
// ITaskbarList3 on the window that carries the button, and only once the taskbar has told that
// window "TaskbarButtonCreated"; a status before then waits for it. Where the taskbar has no
// ITaskbarList3 there is no overlay, and nothing else changes.
class TaskbarOverlay
{
public:
    explicit TaskbarOverlay(const WindowBase& button);
    ~TaskbarOverlay();
    TaskbarOverlay(const TaskbarOverlay&) = delete;
    TaskbarOverlay& operator=(const TaskbarOverlay&) = delete;

    // The taskbar made the button (again, after Explorer restarted).
    void buttonCreated();
    // The overlay of the status icon `resourceId`, described by `description`.
    void show(int resourceId, const std::string& description);

    // Sets the overlay on the button's window; through ITaskbarList3 unless a test records it.
    std::function<void(HWND, int, const std::string&)> setOverlay;

private:
    void setThroughTaskbar(HWND button, int resourceId, const std::string& description);

    const WindowBase& m_button;
    ITaskbarList3* m_taskbar = nullptr; // owned: released once
    bool m_unavailable = false;
    bool m_buttonCreated = false;
    int m_resourceId = 0;
    std::string m_description;
};

} // namespace winapp
