#include "winapp/TaskbarOverlay.h"

#include "winapp/Dpi.h"
#include "winapp/GdiObjects.h"

namespace winapp {

namespace {

// The description as the taskbar takes it: UTF-16, from the ANSI code page.
std::wstring wide(const std::string& text)
{
    if (text.empty())
        return {};
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring converted(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), converted.data(), length);
    return converted;
}

} // namespace

TaskbarOverlay::TaskbarOverlay(const WindowBase& button)
    : setOverlay([this](HWND window, int resourceId, const std::string& description) {
          setThroughTaskbar(window, resourceId, description);
      }),
      m_button(button)
{}

TaskbarOverlay::~TaskbarOverlay()
{
    if (m_taskbar != nullptr)
        m_taskbar->Release();
}

void TaskbarOverlay::buttonCreated()
{
    m_buttonCreated = true;
    if (m_resourceId != 0)
        setOverlay(m_button.hwnd(), m_resourceId, m_description);
}

void TaskbarOverlay::show(int resourceId, const std::string& description)
{
    m_resourceId = resourceId;
    m_description = description;
    if (m_buttonCreated)
        setOverlay(m_button.hwnd(), m_resourceId, m_description);
}

void TaskbarOverlay::setThroughTaskbar(HWND button, int resourceId, const std::string& description)
{
    if (m_unavailable)
        return;
    if (m_taskbar == nullptr) {
        void* taskbar = nullptr;
        if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &taskbar)) ||
            taskbar == nullptr) {
            m_unavailable = true;
            return;
        }
        m_taskbar = static_cast<ITaskbarList3*>(taskbar);
        if (FAILED(m_taskbar->HrInit())) {
            m_taskbar->Release();
            m_taskbar = nullptr;
            m_unavailable = true;
            return;
        }
    }
    // The taskbar keeps a copy of the icon: ours goes at the end of the call.
    const Icon icon = loadSmallIcon(resourceId, dpi::ofTaskbar());
    m_taskbar->SetOverlayIcon(button, icon.get(), wide(description).c_str());
}

} // namespace winapp
