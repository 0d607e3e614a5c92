#pragma once

#include "settings/ChannelSettings.h"

#include <QObject>
#include <QString>

class QAction;
class QIcon;
class QMenu;
class QSystemTrayIcon;
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

    [[nodiscard]] QMenu& menu() const { return *m_menu; }
    // The notification switch as the menu shows it, which is as stored.
    [[nodiscard]] bool popupOn() const;

signals:
    void windowWanted();
    void folderWanted(const QString& folder);
    void switchWanted(settings::Switch which);
    void exitWanted();

private:
    QAction* switchAction(const QString& text, settings::Switch which);

    QSystemTrayIcon* m_icon;
    QMenu* m_menu;
    QAction* m_openFolder;
    QAction* m_popup;
    QAction* m_sound;
    QString m_folder;
};

} // namespace app
