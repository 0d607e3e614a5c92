#pragma once

#include "monitor/StatusDisplay.h"
#include "monitor/TodaysArrivals.h"
#include "settings/ChannelSettings.h"

#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>

class QAction;
class QIcon;
class QMenu;
class QWidget;

namespace app {

// The notification-area icon (a StatusNotifierItem where a watcher runs, an XEmbed icon
// otherwise: Qt picks) and the tool's menu, which the main window shows as its context menu too,
// for desktops without a tray. It asks for what the user chose and carries out none of it.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    // The menu belongs to `window`, so that it goes with it.
    explicit TrayIcon(QWidget& window);

    void show(const QIcon& icon, const QString& tooltip);
    void hide();
    // The switches and the folder as the last check read them.
    void showSettings(const settings::ChannelSettings& switches, const QString& folder);
    // One switch as the menu has just stored it.
    void showSwitch(settings::Switch which, bool on);
    // Whether the system starts the tool at login, as last read or set.
    void showStartAtLogin(bool on);
    // 再開 is offered only while the tool is paused.
    void showPaused(bool paused);
    // The window is hidden behind the icon: the menu offers it back.
    void showWindowHidden(bool hidden);
    // The day's arrivals in `folder` (as stored), newest first, for the menu about to open.
    void showTodaysArrivals(const std::vector<monitor::TodaysArrival>& arrivals, const QString& folder);

    [[nodiscard]] QMenu& menu() const { return *m_menu; }
    // The folder as the last check read it; empty before one has.
    [[nodiscard]] const QString& folder() const { return m_folder; }
    // The notification switch as the menu shows it, which is as stored.
    [[nodiscard]] bool popupOn() const;
    // The icon is asked for; Qt keeps it while no tray (XEmbed or StatusNotifierItem host) shows it.
    [[nodiscard]] bool shown() const;
    // Whether a tray is there; tests answer here.
    std::function<bool()> trayAvailable = &QSystemTrayIcon::isSystemTrayAvailable;

signals:
    void windowWanted();
    void folderWanted(const QString& folder);
    void switchWanted(settings::Switch which);
    void startAtLoginWanted();
    void settingsWanted();
    void folderPickWanted();
    void pauseWanted(monitor::PauseLength length);
    void resumeWanted();
    // An arrival of the day, to be shown selected in its folder.
    void entryWanted(const QString& folder, const QString& name);
    // The menu is about to open: the start at login is read anew, as it lives outside the tool.
    void menuOpening();
    void exitWanted();

private:
    QAction* checkAction(const QString& text, const std::function<void()>& wanted);

    QSystemTrayIcon* m_icon;
    QMenu* m_menu;
    QAction* m_openFolder;
    QAction* m_popup;
    QAction* m_sound;
    QAction* m_startAtLogin;
    QAction* m_resume = nullptr;
    QAction* m_showWindow;
    QAction* m_showWindowSeparator;
    QMenu* m_today;
    QString m_folder;
};

} // namespace app
