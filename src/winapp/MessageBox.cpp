#include "winapp/MessageBox.h"

#include "common/BoxLayout.h"
#include "common/BoxText.h"
#include "common/FormLayout.h"
#include "winapp/Dpi.h"
#include "winapp/ModalScope.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <utility>

namespace winapp {

namespace {

constexpr const char* className = "KelvoranMessageBox";
constexpr int firstButtonId = 100;
using layout::box::buttonGap;
using layout::box::iconGap;
using layout::box::margin;
using layout::box::minimumButtonWidth;
using layout::box::textToButtons;
constexpr LCID japaneseLocale = 0x0411;

const char* kindTitle(setup::MessageKind kind)
{
    switch (kind) {
    case setup::MessageKind::Warning:
        return "Warning";
    case setup::MessageKind::Error:
        return "Error";
    case setup::MessageKind::Information:
        return "Information";
    case setup::MessageKind::Confirmation:
        return "Confirm";
    case setup::MessageKind::Custom:
        break;
    }
    return nullptr;
}

LPCSTR kindIcon(setup::MessageKind kind)
{
    switch (kind) {
    case setup::MessageKind::Warning:
        return IDI_EXCLAMATION;
    case setup::MessageKind::Error:
        return IDI_HAND;
    case setup::MessageKind::Information:
        return IDI_ASTERISK;
    case setup::MessageKind::Confirmation:
        return IDI_QUESTION;
    case setup::MessageKind::Custom:
        break;
    }
    return nullptr;
}

bool modifiersDown(int key)
{
    return (::GetKeyState(key) & 0x8000) != 0;
}

} // namespace

MessageBoxWindow::MessageBoxWindow(std::string text, setup::MessageKind kind, unsigned buttonSet,
                                   const std::string& applicationTitle)
    : m_text(std::move(text)), m_title(kindTitle(kind) != nullptr ? kindTitle(kind) : applicationTitle), m_kind(kind),
      m_buttons(setup::boxButtons(buttonSet)), m_cancelIndex(setup::cancelButtonIndex(m_buttons))
{}

void MessageBoxWindow::build(HWND owner)
{
    registerClass(className, nullptr, nullptr, "#32770");
    create(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, className, m_title.c_str(),
           WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 0, 0, owner);

    if (kindIcon(m_kind) != nullptr)
        m_icon = createControl("STATIC", "", SS_ICON, 0, hwnd(), 0);
    m_label = createControl("STATIC", m_text.c_str(), SS_LEFT | SS_EDITCONTROL, 0, hwnd(), 0);
    const int defaultIndex = setup::defaultButtonIndex(m_buttons);
    for (std::size_t i = 0; i < m_buttons.size(); ++i) {
        const int index = static_cast<int>(i);
        m_buttonWindows.push_back(createControl("BUTTON", std::string(m_buttons[i].caption).c_str(),
                                                WS_TABSTOP | (index == defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
                                                0, hwnd(), firstButtonId + index));
    }
    if (defaultIndex >= 0)
        ::SendMessageA(hwnd(), DM_SETDEFID, static_cast<WPARAM>(firstButtonId + defaultIndex), 0);

    // Centred on the screen, just large enough for its content.
    const SIZE size = layOut(dpi::ofWindow(hwnd()), true);
    ::SetWindowPos(hwnd(), nullptr, (::GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE MessageBoxWindow::layOut(int dpi, bool apply)
{
    Font font = messageFont(dpi);
    // The spacing follows the message font, so that the box grows with the system's text size.
    const SIZE sample = singleLineExtent(hwnd(), font.get(), "M");
    const layout::Scale scale(static_cast<int>(sample.cy));
    // Half the width of the monitor the box is on.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoA(::MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor))
        monitor.rcMonitor = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    const int wrapWidth = layout::box::wrapWidth(monitor.rcMonitor.right - monitor.rcMonitor.left);

    RECT textRect{0, 0, wrapWidth, 0};
    {
        const WindowDC dc(hwnd());
        const Selection selected(dc.get(), font.get());
        ::DrawTextA(dc.get(), m_text.c_str(), static_cast<int>(m_text.size()), &textRect,
                    DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_EXPANDTABS);
    }
    const auto textWidth = static_cast<int>(textRect.right);
    const auto textHeight = static_cast<int>(textRect.bottom);

    const int iconSize = m_icon != nullptr ? dpi::metric(SM_CXICON, dpi) : 0;
    const int contentLeft = scale(margin) + (m_icon != nullptr ? iconSize + scale(iconGap) : 0);

    int buttonWidth = scale(minimumButtonWidth);
    for (const setup::BoxButton& button : m_buttons) {
        const SIZE caption = singleLineExtent(hwnd(), font.get(), std::string(button.caption));
        buttonWidth = std::max(buttonWidth, static_cast<int>(caption.cx) + 2 * scale(buttonGap) + 4);
    }
    const int buttonHeight = static_cast<int>(sample.cy) + scale(10);
    const int count = static_cast<int>(m_buttons.size());
    const int rowWidth = count * buttonWidth + std::max(0, count - 1) * scale(buttonGap);

    const int clientWidth = std::max(contentLeft + textWidth + scale(margin), rowWidth + 2 * scale(margin));
    const int contentHeight = std::max(iconSize, textHeight);
    const int buttonTop = scale(margin) + contentHeight + scale(textToButtons);
    const int clientHeight = buttonTop + buttonHeight + scale(margin);
    const RECT frame =
        dpi::frameAround({0, 0, clientWidth, clientHeight}, static_cast<DWORD>(::GetWindowLongPtrA(hwnd(), GWL_STYLE)),
                         static_cast<DWORD>(::GetWindowLongPtrA(hwnd(), GWL_EXSTYLE)), dpi);
    if (!apply)
        return {frame.right - frame.left, frame.bottom - frame.top};

    if (m_icon != nullptr) {
        // The stock icon drawn at the size for the resolution, not stretched from the system's.
        Icon picture(static_cast<HICON>(::LoadImageA(nullptr, kindIcon(m_kind), IMAGE_ICON, iconSize, iconSize, 0)));
        const HICON shown = picture.get() != nullptr ? picture.get() : ::LoadIconA(nullptr, kindIcon(m_kind));
        ::SendMessageA(m_icon, STM_SETICON, reinterpret_cast<WPARAM>(shown), 0);
        ::MoveWindow(m_icon, scale(margin), scale(margin), iconSize, iconSize, FALSE);
        std::swap(m_iconPicture, picture);
    }
    ::SendMessageA(m_label, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    ::MoveWindow(m_label, contentLeft, scale(margin), textWidth, textHeight, FALSE);
    int left = (clientWidth - rowWidth) / 2;
    for (const HWND button : m_buttonWindows) {
        ::SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
        ::MoveWindow(button, left, buttonTop, buttonWidth, buttonHeight, FALSE);
        left += buttonWidth + scale(buttonGap);
    }
    // The font the controls had goes once they have the new one.
    std::swap(m_font, font);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

int MessageBoxWindow::run(HWND owner, const std::function<void()>& shown)
{
    ModalScope modal;
    build(owner);
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd());
    // The leftmost button has the keyboard; the dialog manager gives it back at each activation.
    if (!m_buttonWindows.empty())
        ::SetFocus(m_buttonWindows.front());
    if (shown)
        shown();

    // Timer ticks of the main window are dispatched by this loop too, so the status goes on.
    MSG message{};
    while (!m_closed) {
        const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            // The application is quitting: the outer loop must see the request too.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            m_quitting = true;
            break;
        }
        if (got < 0)
            break;
        if (handleKey(message) || ::IsDialogMessageA(hwnd(), &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    modal.release();
    // Left on the screen, taking no input, for whoever holds it to end it.
    if (::IsWindow(hwnd()))
        ::EnableWindow(hwnd(), FALSE);
    return m_result;
}

bool MessageBoxWindow::handleKey(const MSG& message)
{
    if ((message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) ||
        (message.hwnd != hwnd() && !::IsChild(hwnd(), message.hwnd)))
        return false;
    const bool shift = modifiersDown(VK_SHIFT);
    const bool control = modifiersDown(VK_CONTROL);
    const bool alt = modifiersDown(VK_MENU);
    const auto key = static_cast<int>(message.wParam);

    if (key == 'C' && control && !shift && !alt) {
        ::MessageBeep(MB_OK);
        copyToClipboard(hwnd(), clipboardText());
        return true;
    }
    if (key == VK_RETURN) {
        if (!shift && !control && !alt) {
            if (const int index = buttonIndexOf(::GetFocus()); index >= 0)
                press(static_cast<std::size_t>(index));
        }
        return true;
    }
    if (key == VK_ESCAPE) {
        if (!shift && !control && !alt && m_cancelIndex >= 0)
            press(static_cast<std::size_t>(m_cancelIndex));
        return true;
    }
    if (key >= 'A' && key <= 'Z' && !shift && !control) {
        for (std::size_t i = 0; i < m_buttons.size(); ++i) {
            if (setup::accessKey(m_buttons[i].caption) == static_cast<char>(key)) {
                press(i);
                return true;
            }
        }
    }
    return false;
}

int MessageBoxWindow::buttonIndexOf(HWND control) const
{
    const auto found = std::find(m_buttonWindows.begin(), m_buttonWindows.end(), control);
    return found == m_buttonWindows.end() ? -1 : static_cast<int>(found - m_buttonWindows.begin());
}

void MessageBoxWindow::press(std::size_t index)
{
    // Help answers without closing the box.
    if (m_buttons[index].result == setup::results::none)
        return;
    m_result = m_buttons[index].result;
    m_closed = true;
}

LRESULT MessageBoxWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (const int index = buttonIndexOf(reinterpret_cast<HWND>(lParam)); index >= 0)
                press(static_cast<std::size_t>(index));
            return 0;
        }
        // The dialog manager's IDCANCEL for Escape is answered by handleKey, never here.
        return 0;
    case dpi::scaledSizeMessage:
        return dpi::answerScaledSize(wParam, lParam, [&](int resolution) { return layOut(resolution, false); });
    case WM_DPICHANGED:
        try {
            // On a monitor of another resolution: laid out anew, where the system suggests.
            dpi::moveToSuggested(hwnd(), wParam, lParam, [&](int resolution) { return layOut(resolution, true); });
        } catch (const std::exception&) {
            // Kept as it was: still readable, only at the size of the other monitor.
        }
        return 0;
    case WM_SYSCOMMAND:
        // The close button, the system menu and Alt+F4 answer Cancel's code, whichever buttons
        // are shown.
        if ((wParam & 0xFFF0) != SC_CLOSE)
            return defaultProcedure(message, wParam, lParam);
        m_result = setup::results::cancel;
        m_closed = true;
        return 0;
    case WM_CLOSE:
        // A close request that came by no system command is sent from outside to every window
        // (taskkill without /F, the end of the session): the tool is quitting, and that is no
        // answer, whether or not the main window's own request has arrived yet.
        m_quitting = true;
        m_closed = true;
        return 0;
    case WM_DESTROY:
        // Destroyed with its owner (a close request to the main window, as taskkill sends to
        // every window): the tool is quitting, and that is no answer.
        if (!m_closed)
            m_quitting = true;
        m_closed = true;
        return 0;
    default:
        return defaultProcedure(message, wParam, lParam);
    }
}

std::string MessageBoxWindow::clipboardText() const
{
    std::vector<std::string> captions;
    for (const setup::BoxButton& button : m_buttons)
        captions.emplace_back(button.caption);
    return ansi::boxClipboardText(m_title, m_text, captions);
}

bool copyToClipboard(HWND owner, const std::string& text)
{
    if (!::OpenClipboard(owner))
        return false;
    bool copied = false;
    HGLOBAL textMemory = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    HGLOBAL localeMemory = ::GlobalAlloc(GMEM_MOVEABLE, sizeof(LCID));
    if (textMemory != nullptr && localeMemory != nullptr && ::EmptyClipboard()) {
        std::memcpy(::GlobalLock(textMemory), text.c_str(), text.size() + 1);
        ::GlobalUnlock(textMemory);
        *static_cast<LCID*>(::GlobalLock(localeMemory)) = japaneseLocale;
        ::GlobalUnlock(localeMemory);
        // The clipboard owns what it accepted.
        if (::SetClipboardData(CF_TEXT, textMemory) != nullptr) {
            textMemory = nullptr;
            copied = true;
        }
        if (::SetClipboardData(CF_LOCALE, localeMemory) != nullptr)
            localeMemory = nullptr;
    }
    if (textMemory != nullptr)
        ::GlobalFree(textMemory);
    if (localeMemory != nullptr)
        ::GlobalFree(localeMemory);
    ::CloseClipboard();
    return copied;
}

} // namespace winapp
