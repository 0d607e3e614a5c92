#pragma once

#include "common/CodePage.h"
#include "winapp/Dpi.h"
#include "winapp/GdiObjects.h"
#include "winapp/WindowBase.h"

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>

namespace winapp {

// The tool's icon in the notification area, with its tooltip and its balloon (a toast on
// Windows 10 and 11), through Shell_NotifyIconA with NOTIFYICON_VERSION_4. Its events come to
// `window` as `callbackMessage`, the event in LOWORD(lParam). Texts are cut to the structure's
// fields at a character boundary. The balloon belongs to the icon: while one is shown the icon
// is there even when the tray switch is off.
class TrayIcon
{
public:
    TrayIcon(const WindowBase& window, UINT callbackMessage, const ansi::CodePage& codePage);
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The icon with the status icon `resourceId`, marked while the tool is `paused`, and
    // `tooltip`; hidden.
    void show(int resourceId, const std::string& tooltip, bool paused = false);
    void hide();
    // The balloon with `title` and `text`, replacing the one shown; withdrawn. `resourceId` is
    // the icon's picture while the icon is there for the balloon alone. A `passing` balloon (a
    // failure) shows in the user's quiet time too, and keeps an icon the tray switch does not
    // want only until it is dismissed or times out. False when the shell took no balloon.
    bool showBalloon(int resourceId, const std::string& title, const std::string& text, bool passing = false);
    void withdrawBalloon();
    // The shell's word that the balloon shown was clicked or timed out.
    void balloonDismissed();
    // The taskbar was made again (Explorer restarted): the icon shown before is added again.
    void taskbarCreated();
    // The window goes: the icon goes with it.
    void remove();
    // The picture again at the size for the taskbar's resolution, where that has changed.
    void resolutionChanged();

    // The tray switch asks for the icon, and the shell holds it.
    [[nodiscard]] bool wanted() const { return m_wanted; }
    [[nodiscard]] bool added() const { return m_added; }

    // The call that reaches the shell; tests record it here.
    std::function<BOOL(DWORD, NOTIFYICONDATAA*)> notify = &::Shell_NotifyIconA;
    // The resolution of the monitor with the notification area; tests give another here.
    std::function<int()> taskbarDpi = &dpi::ofTaskbar;

private:
    [[nodiscard]] NOTIFYICONDATAA data(UINT flags) const;
    // False when the picture was loaded already, at that resolution.
    bool setIcon(int resourceId, bool paused = false);
    void add();
    void modify(UINT flags);
    void removeUnlessNeeded();
    // NIM_DELETE; the icon counts as gone.
    void deleteIcon();

    const WindowBase& m_window;
    UINT m_callbackMessage;
    const ansi::CodePage& m_codePage;
    Icon m_icon;
    int m_resourceId = 0;
    int m_dpi = 0;
    bool m_paused = false; // the icon has the pause mark
    std::string m_tooltip;
    bool m_wanted = false;  // the tray switch asks for the icon
    bool m_balloon = false; // an arrival's balloon stands
    bool m_passing = false; // a passing balloon is shown
    bool m_added = false;   // the shell holds the icon
};

} // namespace winapp
