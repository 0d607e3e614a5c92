#pragma once

#include "winapp/WindowBase.h"

#include <string>

namespace winapp {

class TForm1;

// The application's own window: visible with zero size, so that it carries the tool's only
// taskbar button, whose text is the application title. Minimising the main window minimises
// this window instead; restoring it from the taskbar shows the main window again.
class ApplicationWindow : public WindowBase
{
public:
    ApplicationWindow(const std::string& title, HICON icon);

    void setMainWindow(TForm1* form) { m_form = form; }
    void setTitle(const std::string& title);
    [[nodiscard]] const std::string& title() const { return m_title; }

    // Hides the main window and leaves only the taskbar button.
    void minimise();

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::string m_title;
    TForm1* m_form = nullptr;
};

} // namespace winapp
