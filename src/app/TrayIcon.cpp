#include "app/TrayIcon.h"

#include "app/TextCodec.h"
#include "common/Texts.h"

#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace app {

TrayIcon::TrayIcon(QWidget& window)
    : QObject(&window), m_icon(new QSystemTrayIcon(this)), m_menu(new QMenu(&window)),
      m_openFolder(m_menu->addAction(toQString(texts::menuOpenFolder))),
      m_popup(checkAction(toQString(texts::menuPopup), [this] { emit switchWanted(settings::Switch::Popup); })),
      m_sound(checkAction(toQString(texts::menuSound), [this] { emit switchWanted(settings::Switch::Sound); })),
      m_startAtLogin(checkAction(toQString(texts::menuStartAtLogin), [this] { emit startAtLoginWanted(); })),
      m_showWindow(new QAction(toQString(texts::menuShowWindow), m_menu)), m_showWindowSeparator(new QAction(m_menu))
{
    m_showWindowSeparator->setSeparator(true);
    connect(m_showWindow, &QAction::triggered, this, &TrayIcon::windowWanted);
    m_menu->setObjectName(QStringLiteral("ChannelMenu"));
    m_openFolder->setEnabled(false);
    connect(m_openFolder, &QAction::triggered, this, [this] { emit folderWanted(m_folder); });
    connect(m_menu, &QMenu::aboutToShow, this, &TrayIcon::menuOpening);
    connect(m_menu->addAction(toQString(texts::menuSettings)), &QAction::triggered, this, &TrayIcon::settingsWanted);
    connect(m_menu->addAction(toQString(texts::menuPickFolder)), &QAction::triggered, this,
            &TrayIcon::folderPickWanted);
    QMenu* const pause = m_menu->addMenu(toQString(texts::menuPause));
    connect(pause->addAction(toQString(texts::menuPauseHour)), &QAction::triggered, this,
            [this] { emit pauseWanted(monitor::PauseLength::Hour); });
    connect(pause->addAction(toQString(texts::menuPauseToDayEnd)), &QAction::triggered, this,
            [this] { emit pauseWanted(monitor::PauseLength::ToDayEnd); });
    m_resume = pause->addAction(toQString(texts::menuResume));
    m_resume->setEnabled(false);
    connect(m_resume, &QAction::triggered, this, &TrayIcon::resumeWanted);
    m_today = m_menu->addMenu(toQString(texts::menuToday));
    m_menu->addSeparator();
    connect(m_menu->addAction(toQString(texts::menuExit)), &QAction::triggered, this, &TrayIcon::exitWanted);

    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit windowWanted();
    });
}

QAction* TrayIcon::checkAction(const QString& text, const std::function<void()>& wanted)
{
    QAction* action = m_menu->addAction(text);
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [action, wanted] {
        // Qt has turned the check over already; it shows what is stored, so it waits for the store.
        action->setChecked(!action->isChecked());
        wanted();
    });
    return action;
}

void TrayIcon::show(const QIcon& icon, const QString& tooltip)
{
    // Where no tray exists, Qt keeps the icon and docks it when a tray appears.
    m_icon->setIcon(icon);
    m_icon->setToolTip(tooltip);
    m_icon->show();
}

void TrayIcon::hide()
{
    m_icon->hide();
}

void TrayIcon::showWindowHidden(bool hidden)
{
    // In the menu only while hidden: it is the window's context menu too.
    m_menu->removeAction(m_showWindow);
    m_menu->removeAction(m_showWindowSeparator);
    if (hidden)
        m_menu->insertActions(m_menu->actions().value(0), {m_showWindow, m_showWindowSeparator});
}

void TrayIcon::showSettings(const settings::ChannelSettings& switches, const QString& folder)
{
    m_popup->setChecked(switches.popup);
    m_sound->setChecked(switches.sound);
    m_folder = folder;
    m_openFolder->setEnabled(!folder.isEmpty());
}

bool TrayIcon::popupOn() const
{
    return m_popup->isChecked();
}

bool TrayIcon::shown() const
{
    return m_icon->isVisible();
}

void TrayIcon::showStartAtLogin(bool on)
{
    m_startAtLogin->setChecked(on);
}

void TrayIcon::showTodaysArrivals(const std::vector<monitor::TodaysArrival>& arrivals, const QString& folder)
{
    m_today->clear();
    if (arrivals.empty())
        m_today->addAction(toQString(texts::todayNone))->setEnabled(false);
    for (const monitor::TodaysArrival& arrival : arrivals) {
        connect(m_today->addAction(toQString(monitor::menuText(arrival))), &QAction::triggered, this,
                [this, folder, name = toQString(arrival.name)] { emit entryWanted(folder, name); });
    }
}

void TrayIcon::showPaused(bool paused)
{
    m_resume->setEnabled(paused);
}

void TrayIcon::showSwitch(settings::Switch which, bool on)
{
    if (which == settings::Switch::Popup)
        m_popup->setChecked(on);
    else if (which == settings::Switch::Sound)
        m_sound->setChecked(on);
}

} // namespace app
