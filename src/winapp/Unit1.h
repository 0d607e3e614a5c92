#pragma once

#include "common/FormLayout.h"
#include "monitor/BackgroundCheck.h"
#include "monitor/Channels.h"
#include "monitor/StatusDisplay.h"
#include "monitor/StatusView.h"
#include "platform/System.h"
#include "setup/ChannelSwitch.h"
#include "setup/CommandGate.h"
#include "setup/SettingsDialog.h"
#include "setup/SetupView.h"
#include "setup/WaitingSystem.h"
#include "winapp/ChannelMenu.h"
#include "winapp/CommandWait.h"
#include "winapp/FolderPicker.h"
#include "winapp/GdiObjects.h"
#include "winapp/Sound.h"
#include "winapp/TrayIcon.h"
#include "winapp/WindowBase.h"

#include <functional>
#include <memory>
#include <string>

namespace winapp {

class ApplicationWindow;
class SettingsDialog;

// The main window, owned by the application window: four labels, the change button, the entry
// field and the one-second window timer. Its three handlers run the tool's logic (FormShow the
// display routine, Button1Click the change command, Timer1Timer the arrival poll), each inside a
// boundary that shows an escaping failure in the failure box and lets the tool run on. The check
// runs on threads of its own; the commands (the display routine, the change command, the menu's
// switches) make their disk calls through a WaitingSystem, the window answering meanwhile. The
// change command runs from a message posted to the window, so that its waits and boxes never run
// inside the handling of the click or key that asked for it.
// It carries out the louder channels (the notification-area icon with its balloon and menu, the
// sound) and has the same menu as its own context menu.
class TForm1 : public WindowBase, public monitor::StatusView, public monitor::ChannelView, public setup::SetupView
{
public:
    TForm1(std::shared_ptr<platform::System> system, ApplicationWindow& application);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    void setCaption(const std::string& text) override;
    void setApplicationTitle(const std::string& text) override;
    void showPicture(monitor::Picture picture) override;
    void askForAttention() override;
    void withdrawAttention() override;
    void showFolder(const std::string& folder) override;
    [[nodiscard]] std::string entryText() override;
    void setFolderLabel(const std::string& text) override;
    int showMessageBox(const std::string& text, setup::MessageKind kind, unsigned buttonSet) override;
    void folderStored() override;

    void showTrayIcon(monitor::Picture picture, bool paused, const std::string& tooltip) override;
    void hideTrayIcon() override;
    void showNotice(const monitor::Notice& notice) override;
    void withdrawNotice() override;
    void playSound(const std::string& file) override;
    [[nodiscard]] bool windowActive() const override;
    void showFailureNotice(const std::string& title, const std::string& text, const std::string& boxText) override;
    void showErrorBox(const std::string& text) override;
    // The channels' calls to the system; tests record them here.
    TrayIcon& trayIcon() { return m_tray; }
    Sound& sound() { return m_sound; }
    FolderOpener& folderOpener() { return m_opener; }

    void FormShow();
    void Button1Click();
    void Timer1Timer();

    // The first showing by the process's start-up show command: 7 leaves only the minimised
    // taskbar button, 3 opens the window maximised, anything else in normal size.
    void showFirst(int showCommand);
    // Shows the window again when the application is restored from the taskbar, once the
    // restore's own handling has ended.
    void restoreFromApplication();
    // Asks for the user's attention on the taskbar button: flashes it until the main window is
    // activated, which stops it. Tests count the calls here.
    std::function<void(HWND)> flashTaskbarButton = &flashUntilActivated;
    std::function<void(HWND)> stopFlashing = &stopFlashingNow;
    static void flashUntilActivated(HWND taskbarWindow);
    static void stopFlashingNow(HWND taskbarWindow);

    // Brings the window up as a click on its taskbar button does (restored, the display routine at
    // the first restore of a minimised start, activated): a later start in the same folder asks.
    void raise() { bringForward(); }

    // Shows the switches' menu and returns the choice; tests choose here.
    std::function<MenuChoice(HWND, POINT, const settings::ChannelSettings&, bool startsAtLogin,
                             const std::vector<monitor::TodaysArrival>& today, bool paused)>
        chooseFromMenu = &trackChannelMenu;

    // Called as the session ends (logging off, shutting down), before the process may be cut off:
    // what only the process's end would let go of goes here.
    std::function<void()> sessionEnding;

    // The folder the user picks, starting in `start` (empty: the picker's own start), or empty
    // when cancelled; tests pick here.
    std::function<std::string(HWND owner, const std::string& start)> chooseFolder;

    // Called with the settings dialog once it is up; tests drive it here.
    std::function<void(HWND)> settingsDialogShown;

    // The window's own key rules, ahead of the dialog manager: Enter presses a focused
    // Button1 and nothing else; Escape does nothing. True when the message was taken.
    bool preTranslate(const MSG& message);
    // Hands one message taken from the queue on: the key rules, the dialog keys, then the window.
    void dispatch(MSG& message);

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void runChangeCommand();
    // Runs a command through the gate and the failure boundary; false when another ran.
    template <typename Command> bool runCommand(Command&& command);
    template <typename Handler> void runGuarded(Handler&& handler);
    void checkDone(const monitor::CheckResult& result);
    void runDisplayRoutineOnce();
    void showRestored();
    // The controls' fonts and places at `dpi`; the window's size around them.
    [[nodiscard]] layout::Scale scaleAt(int dpi) const;
    [[nodiscard]] static SIZE frameSize(const layout::Scale& scale, int dpi);
    SIZE layOut(int dpi);
    void sizeLabel(HWND label, HFONT font);
    void trayEvent(UINT event, WPARAM anchor);
    void bringForward();
    void activate();
    void closeAfterPicker();
    // The window's close: to the notification area where the user wants it and the icon is there.
    void closeAsked();
    void showMenu(POINT at);
    void carryOut(MenuChoice choice);

    std::shared_ptr<platform::System> m_system;
    // The window's loop while a command waits, with its focus rules.
    CommandWait m_commandWait;
    // What the commands use: the same system, its calls waited for with the window answering.
    setup::WaitingSystem m_commandSystem;
    ApplicationWindow& m_application;
    std::string m_caption;
    bool m_displayRoutineRan = false;
    setup::CommandGate m_commands;
    // The change command is asked for and on its way to the window's loop.
    bool m_changePosted = false;
    // Counts the stored settings: a check started before the last store is not shown.
    unsigned m_generation = 0;
    // The settings command, with its dialog while it is open.
    setup::SettingsCommand m_settings{m_generation};
    std::unique_ptr<monitor::BackgroundCheck> m_check;
    std::unique_ptr<monitor::StatusDisplay> m_display;
    TrayIcon m_tray;
    Sound m_sound;
    FolderOpener m_opener;
    FolderPicker m_folderPicker;
    // A folder was picked: the change command follows once the menu's command has ended.
    bool m_folderPicked = false;
    bool m_closeAfterFolderPicker = false;
    // The session ends: no check runs or shows any more, though a modal may keep the window.
    bool m_sessionEnded = false;
    // As the last check read them, for the menu.
    std::string m_folder;
    settings::ChannelSettings m_switches;
    // The day's arrivals and their folder as the menu listed them.
    std::vector<monitor::TodaysArrival> m_menuArrivals;
    std::string m_menuArrivalsFolder;
    setup::CloseRule m_closeRule;
    bool m_ending = false; // 終了, or a close that ends the tool, was asked for
    bool m_inTray = false; // hidden by a close, behind the icon

    Font m_windowFont;
    Font m_label1Font;
    Font m_label2Font;
    Font m_label4Font;

    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND Label3 = nullptr;
    HWND Label4 = nullptr;
    HWND Button1 = nullptr;
    HWND Edit1 = nullptr;
};

} // namespace winapp
