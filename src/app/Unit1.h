#pragma once

#include "monitor/BackgroundCheck.h"
#include "monitor/Channels.h"
#include "monitor/StatusDisplay.h"
#include "monitor/StatusView.h"
#include "platform/System.h"
#include "settings/ChannelSettings.h"
#include "setup/ChannelSwitch.h"
#include "setup/CommandGate.h"
#include "setup/SettingsDialog.h"
#include "setup/SetupView.h"
#include "setup/WaitingSystem.h"

#include <QIcon>
#include <QWidget>

#include <memory>
#include <string>

class QDialog;
class QLineEdit;
class QPushButton;
class QTimer;

namespace app {

class AccessKeyLabel;
class FolderOpener;
class Notifications;
class Sound;
class TrayIcon;

// The main window: four labels, the change button, the entry field and the one-second timer.
// Its three handlers run the tool's logic (FormShow the display routine, Button1Click the
// change command, Timer1Timer the arrival poll), each inside a boundary that shows an escaping
// failure in the failure box and lets the tool run on. No file-system call runs on the window's
// thread without the window's loop running meanwhile: the check runs on threads of its own, the
// commands' calls through a WaitingSystem. It keeps the caption and the application title (the
// taskbar text, X11's icon name) and rewrites neither when the text is unchanged. The louder
// channels (tray icon, notification, sound) are objects of their own that it hands the rule's
// calls to; their menu is its context menu too.
class TForm1 : public QWidget,
               public monitor::StatusView,
               public setup::SetupView,
               public monitor::ChannelView,
               private setup::WindowLoop
{
    Q_OBJECT

public:
    TForm1(std::shared_ptr<platform::System> system, std::string applicationTitle, QWidget* parent = nullptr);
    ~TForm1() override;

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

    [[nodiscard]] const std::string& caption() const { return m_caption; }
    [[nodiscard]] const std::string& applicationTitle() const { return m_applicationTitle; }
    [[nodiscard]] const Sound& sound() const { return *m_sound; }
    [[nodiscard]] TrayIcon& trayIcon() { return *m_trayIcon; }

    void FormShow();
    void Button1Click();
    void Timer1Timer();

    // Restored if minimised and activated, as a click on its taskbar button or tray icon does.
    void bringToFront();
    // Ends the tool, as 終了, a signal or the session's end does: the window is closed, whatever
    // closetotray says. True when it went.
    bool endTool();

    // The folder the user picks, starting in `start` (empty: the picker's own start), or empty
    // when cancelled; tests pick here.
    std::function<QString(const QString& start)> pickFolder;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    [[nodiscard]] bool runUntil(const std::function<bool()>& finished) override;
    template <typename Handler> void runGuarded(Handler&& handler);
    void checkDone(const monitor::CheckResult& result);
    void runDisplayRoutineOnce();
    void layOut();
    void toggleSwitch(settings::Switch which);
    void readStartAtLogin();
    void toggleStartAtLogin();
    void changeSettings();
    void chooseWatchedFolder();
    [[nodiscard]] QString askForFolder(const QString& start);

    std::shared_ptr<platform::System> m_system;
    // What the commands use: the same system, its calls waited for with the window answering.
    setup::WaitingSystem m_commandSystem;
    std::string m_caption;
    std::string m_applicationTitle;
    bool m_displayRoutineRan = false;
    setup::CommandGate m_commands;
    bool m_closing = false;
    // The tool is to end: the session ends, or 終了 or a signal asked.
    bool m_ending = false;
    // closetotray as the last check or store read it, and the close's rule for this run.
    bool m_closeToTray = false;
    setup::CloseRule m_closeRule;
    bool m_inTray = false; // hidden by a close, behind the icon
    QDialog* m_openBox = nullptr;
    // Counts the stored settings: a check started before the last store is not shown.
    unsigned m_generation = 0;
    setup::SettingsCommand m_settings{m_generation};
    std::unique_ptr<monitor::BackgroundCheck> m_check;
    TrayIcon* m_trayIcon;
    Notifications* m_notifications;
    FolderOpener* m_opener;
    std::unique_ptr<Sound> m_sound;
    monitor::StatusDisplay m_display;

    AccessKeyLabel* Label1;
    AccessKeyLabel* Label2;
    AccessKeyLabel* Label3;
    AccessKeyLabel* Label4;
    QPushButton* Button1;
    QLineEdit* Edit1;
    QTimer* Timer1;
};

// The application icon (the icon theme's where one is installed) and the icon of each status.
[[nodiscard]] QIcon applicationIcon();
[[nodiscard]] QIcon statusIcon(monitor::Picture picture);
// `icon` with the mark of a paused tool in its lower right corner.
[[nodiscard]] QIcon pausedIcon(const QIcon& icon);

// Shows the window by the process's start-up show command: 7 minimised without activation,
// 3 maximised, anything else in normal size.
void showMainWindow(TForm1& form, int showCommand);

} // namespace app
