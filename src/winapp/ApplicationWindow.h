#pragma once

#include "winapp/TaskbarOverlay.h"
#include "winapp/WindowBase.h"

#include <string>

namespace winapp {

class TForm1;

// The application's own window: visible with zero size, so that it carries the tool's only
// taskbar button, whose text is the application title. Minimising the main window minimises
// this window instead; restoring it from the taskbar shows the main window again. The button's
// status overlay is set on it.
class ApplicationWindow : public WindowBase
{
public:
    ApplicationWindow(const std::string& title, HICON icon);

    void setMainWindow(TForm1* form) { m_form = form; }
    void setTitle(const std::string& title);
    [[nodiscard]] const std::string& title() const { return m_title; }

    // Hides the main window and leaves only the taskbar button.
    void minimise();
    // The status badge on the taskbar button; tests record its calls here.
    TaskbarOverlay& overlay() { return m_overlay; }

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::string m_title;
    TForm1* m_form = nullptr;
    TaskbarOverlay m_overlay{*this};
};

} // namespace winapp
