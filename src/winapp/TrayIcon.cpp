#include "winapp/TrayIcon.h"

#include "common/ByteText.h"

#include <cstring>
#include <utility>

// Windows 7 and later; the MinGW headers give it only for NTDDI_VERSION >= NTDDI_WIN7. The value
// is the documented one.
#ifndef NIIF_RESPECT_QUIET_TIME
#define NIIF_RESPECT_QUIET_TIME 0x00000080
#endif

namespace winapp {

namespace {

// The tool has one icon.
constexpr UINT iconId = 1;

// Copies `text` into a field of `size` bytes, cut at a character boundary, with its terminator.
template <std::size_t size> void copyField(char (&field)[size], const std::string& text, const ansi::CodePage& codePage)
{
    const std::string_view cut = ansi::prefixWithin(text, size - 1, codePage);
    std::memcpy(field, cut.data(), cut.size());
    field[cut.size()] = '\0';
}

} // namespace

TrayIcon::TrayIcon(const WindowBase& window, UINT callbackMessage, const ansi::CodePage& codePage)
    : m_window(window), m_callbackMessage(callbackMessage), m_codePage(codePage)
{}

TrayIcon::~TrayIcon()
{
    remove();
}

NOTIFYICONDATAA TrayIcon::data(UINT flags) const
{
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof data;
    data.hWnd = m_window.hwnd();
    data.uID = iconId;
    data.uFlags = flags;
    data.uCallbackMessage = m_callbackMessage;
    data.hIcon = m_icon.get();
    copyField(data.szTip, m_tooltip, m_codePage);
    return data;
}

bool TrayIcon::setIcon(int resourceId, bool paused)
{
    const int resolution = taskbarDpi();
    if (resourceId == m_resourceId && resolution == m_dpi && paused == m_paused)
        return false;
    Icon icon = loadSmallIcon(resourceId, resolution);
    m_icon = paused ? withPauseMark(icon.get()) : std::move(icon);
    m_resourceId = resourceId;
    m_dpi = resolution;
    m_paused = paused;
    return true;
}

void TrayIcon::resolutionChanged()
{
    if (m_resourceId != 0 && setIcon(m_resourceId, m_paused) && m_added)
        modify(NIF_ICON);
}

void TrayIcon::add()
{
    // NIF_SHOWTIP: with version 4 the standard tooltip is shown only when asked for.
    NOTIFYICONDATAA added = data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    // Fails while there is no taskbar yet (at logon): "TaskbarCreated" brings the next try. It
    // fails too when the shell took longer than its timeout, having added the icon all the same:
    // the icon is there when it can be modified.
    if (!notify(NIM_ADD, &added) && !notify(NIM_MODIFY, &added))
        return;
    m_added = true;
    // Events as version 4 gives them: the event in LOWORD(lParam), the anchor point in wParam.
    // Without it the older form comes, whose lParam is the mouse message itself.
    NOTIFYICONDATAA version = data(0);
    version.uVersion = NOTIFYICON_VERSION_4;
    notify(NIM_SETVERSION, &version);
}

void TrayIcon::modify(UINT flags)
{
    NOTIFYICONDATAA modified = data(flags);
    notify(NIM_MODIFY, &modified);
}

void TrayIcon::show(int resourceId, const std::string& tooltip, bool paused)
{
    setIcon(resourceId, paused);
    m_tooltip = tooltip;
    m_wanted = true;
    if (m_added)
        modify(NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    else
        add();
}

void TrayIcon::hide()
{
    m_wanted = false;
    removeUnlessNeeded();
}

bool TrayIcon::showBalloon(int resourceId, const std::string& title, const std::string& text, bool passing)
{
    if (!m_wanted)
        setIcon(resourceId);
    if (!m_added)
        add();
    if (!m_added)
        return false;
    NOTIFYICONDATAA balloon = data(NIF_INFO);
    copyField(balloon.szInfoTitle, title, m_codePage);
    copyField(balloon.szInfo, text, m_codePage);
    // An arrival is not shown during the user's quiet time (the first hour after a new user's
    // first logon); a failure answers a click and is. No sound of its own: the tool plays its
    // sound when the user switched it on.
    balloon.dwInfoFlags = NIIF_INFO | NIIF_NOSOUND | (passing ? 0 : NIIF_RESPECT_QUIET_TIME);
    const bool shown = notify(NIM_MODIFY, &balloon) != FALSE;
    if (shown)
        m_passing = passing;
    if (!passing)
        m_balloon = shown;
    removeUnlessNeeded();
    return shown;
}

void TrayIcon::balloonDismissed()
{
    // An arrival's balloon that timed out lives on among the system's notifications, which the
    // icon's removal would take with it; a failure's need not.
    m_passing = false;
    removeUnlessNeeded();
}

void TrayIcon::withdrawBalloon()
{
    m_passing = false;
    if (!m_balloon) {
        removeUnlessNeeded();
        return;
    }
    m_balloon = false;
    // An empty szInfo with NIF_INFO removes the balloon.
    if (m_added)
        modify(NIF_INFO);
    removeUnlessNeeded();
}

void TrayIcon::taskbarCreated()
{
    // The new taskbar holds none of the icons the old one had.
    m_added = false;
    m_balloon = false;
    m_passing = false;
    // Made again after a change of its resolution, too.
    if (m_resourceId != 0)
        setIcon(m_resourceId, m_paused);
    if (m_wanted)
        add();
}

void TrayIcon::remove()
{
    m_wanted = false;
    m_balloon = false;
    m_passing = false;
    // Tried even when the icon is not counted as added: an add that failed may have added it.
    deleteIcon();
}

void TrayIcon::removeUnlessNeeded()
{
    if (m_added && !m_wanted && !m_balloon && !m_passing)
        deleteIcon();
}

void TrayIcon::deleteIcon()
{
    if (m_window.hwnd() == nullptr)
        return;
    NOTIFYICONDATAA removed = data(0);
    notify(NIM_DELETE, &removed);
    m_added = false;
}

} // namespace winapp
