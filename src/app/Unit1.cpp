#include "app/Unit1.h"

#include "app/AccessKeyLabel.h"
#include "app/FailureBox.h"
#include "app/FolderOpener.h"
#include "app/Fonts.h"
#include "app/MessageBox.h"
#include "app/Notifications.h"
#include "app/SettingsDialog.h"
#include "app/Sound.h"
#include "app/TextCodec.h"
#include "app/TrayIcon.h"
#include "app/X11Window.h"
#include "common/FormLayout.h"
#include "common/Texts.h"
#include "monitor/ArrivalPoll.h"
#include "setup/ChannelSwitch.h"
#include "setup/FolderSetup.h"
#include "setup/LoginSwitch.h"
#include "setup/SettingsDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <exception>
#include <utility>

namespace app {

namespace {

const QColor activeBorderColour(180, 180, 180);
const QColor menuHighlightColour(51, 153, 255);
const QColor folderColour(0, 0, 255);

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

TForm1::TForm1(std::shared_ptr<platform::System> system, std::string applicationTitle, QWidget* parent)
    : QWidget(parent), m_system(std::move(system)), m_commandSystem(m_system, *this), m_caption(texts::windowCaption),
      m_applicationTitle(std::move(applicationTitle)), m_trayIcon(new TrayIcon(*this)),
      m_notifications(new Notifications(this)), m_opener(new FolderOpener(this)), m_sound(std::make_unique<Sound>()),
      m_display(*this, m_caption, m_applicationTitle, this, m_system),
      Label1(new AccessKeyLabel(toQString(texts::label1), this)),
      Label2(new AccessKeyLabel(toQString(texts::label2), this)),
      Label3(new AccessKeyLabel(toQString(texts::label3), this)),
      Label4(new AccessKeyLabel(toQString(texts::label4), this)),
      Button1(new QPushButton(toQString(texts::button1), this)), Edit1(new QLineEdit(this)), Timer1(new QTimer(this))
{
    setObjectName(QStringLiteral("Form1"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4->setObjectName(QStringLiteral("Label4"));
    Button1->setObjectName(QStringLiteral("Button1"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Timer1->setObjectName(QStringLiteral("Timer1"));

    setWindowTitle(toQString(m_caption));
    setWindowIconText(toQString(m_applicationTitle));

    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, activeBorderColour);
    setPalette(palette);
    setAutoFillBackground(true);
    setTextColour(Label2, folderColour);
    setTextColour(Label4, menuHighlightColour);

    // A focused button answers Enter as well as Space; nothing answers Enter in the entry field.
    Button1->setAutoDefault(true);
    setTabOrder(Button1, Edit1);
    Button1->setFocus(Qt::OtherFocusReason);

    layOut();

    // Each result comes back to this thread; one for a window already gone is never delivered.
    m_check = std::make_unique<monitor::BackgroundCheck>(m_system, [this](monitor::CheckResult result) {
        QMetaObject::invokeMethod(
            this, [this, result = std::move(result)] { checkDone(result); }, Qt::QueuedConnection);
    });

    connect(m_trayIcon, &TrayIcon::windowWanted, this, &TForm1::bringToFront);
    connect(m_trayIcon, &TrayIcon::folderWanted, m_opener, &FolderOpener::open);
    connect(m_trayIcon, &TrayIcon::switchWanted, this, &TForm1::toggleSwitch);
    connect(m_trayIcon, &TrayIcon::startAtLoginWanted, this, &TForm1::toggleStartAtLogin);
    connect(m_trayIcon, &TrayIcon::settingsWanted, this, &TForm1::changeSettings);
    connect(m_trayIcon, &TrayIcon::folderPickWanted, this, &TForm1::chooseWatchedFolder);
    pickFolder = [this](const QString& start) { return askForFolder(start); };
    connect(m_trayIcon, &TrayIcon::menuOpening, this, &TForm1::readStartAtLogin);
    // The pause ends by itself: 再開 is set as the menu opens.
    connect(m_trayIcon, &TrayIcon::menuOpening, this, [this] { m_trayIcon->showPaused(m_display.paused()); });
    connect(m_trayIcon, &TrayIcon::pauseWanted, this,
            [this](monitor::PauseLength length) { runGuarded([&] { m_display.pause(length); }); });
    connect(m_trayIcon, &TrayIcon::resumeWanted, this, [this] { runGuarded([&] { m_display.resume(); }); });
    connect(m_trayIcon, &TrayIcon::menuOpening, this, [this] {
        m_trayIcon->showTodaysArrivals(m_display.todaysArrivals(), toQString(m_display.todaysFolder()));
    });
    connect(m_trayIcon, &TrayIcon::entryWanted, m_opener, &FolderOpener::showEntry);
    connect(m_trayIcon, &TrayIcon::exitWanted, this, [this] {
        // Hidden in the tray, its close would not end the loop by itself.
        const bool hidden = isHidden();
        if (endTool() && hidden)
            QCoreApplication::quit();
    });
    // The session's end quits (a session manager's "die" reaches Qt as a quit): see eventFilter.
    qApp->installEventFilter(this);
    connect(m_notifications, &Notifications::windowWanted, this, &TForm1::bringToFront);
    connect(m_notifications, &Notifications::folderWanted, m_opener, &FolderOpener::open);
    connect(m_opener, &FolderOpener::failed, this, [this](const QString& folder, const QString& reason) {
        // The reason under the folder, in the notice's text and in the box.
        if (!m_closing)
            runGuarded([&] {
                monitor::tellFolderNotOpened(*this, toBytes(folder) + "\n" + toBytes(reason), m_trayIcon->popupOn());
            });
    });

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    // The coarse timer stretches a 1000 ms interval by up to 5 %; the status must not lag.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(1000);
    Timer1->start();
}

void TForm1::layOut()
{
    // Only the window font is sized for the screen's resolution; every position, size and font
    // is then scaled once, by how far the window font's measured text height is from the design's.
    const QFont resolutionFont = designFont(tahoma(), layout::fontHeightAt(layout::windowFontHeight, logicalDpiY()));
    const layout::Scale scale(QFontMetrics(resolutionFont).height());
    const auto place = [&](QWidget* widget, const layout::Rect& design, bool sized) {
        const layout::Rect rect = scale(design);
        if (sized)
            widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
        else
            widget->move(rect.left, rect.top);
    };

    setFont(designFont(tahoma(), scale.font(layout::windowFontHeight)));
    Label1->setFont(designFont(mincho(), scale.font(layout::label1FontHeight)));
    Label2->setFont(designFont(tahoma(), scale.font(layout::label2FontHeight)));
    Label4->setFont(designFont(tahoma(), scale.font(layout::label4FontHeight)));

    place(Label1, layout::label1, false);
    place(Label2, layout::label2, false);
    place(Label3, layout::label3, false);
    place(Label4, layout::label4, false);
    place(Button1, layout::button1, true);
    place(Edit1, layout::edit1, true);
    // The window manager draws the frame here, so the client area is what is sized.
    const layout::Rect client = scale(layout::client);
    resize(client.width, client.height);
}

void TForm1::setCaption(const std::string& text)
{
    if (text == m_caption)
        return;
    m_caption = text;
    setWindowTitle(toQString(text));
}

void TForm1::setApplicationTitle(const std::string& text)
{
    if (text == m_applicationTitle)
        return;
    m_applicationTitle = text;
    setWindowIconText(toQString(text));
    setLegacyIconName(*this);
}

void TForm1::showPicture(monitor::Picture picture)
{
    // The icon shows the status too, for task bars that show icons only.
    setWindowIcon(statusIcon(picture));
}

void TForm1::askForAttention()
{
    // Only when the user is looking elsewhere; the window manager shows it until the window is
    // activated. A window hidden in the tray has nothing to mark: the notice and the icon tell.
    if (!isActiveWindow() && !m_inTray)
        demandAttention(*this);
}

void TForm1::withdrawAttention()
{
    demandAttention(*this, false);
}

void TForm1::showFolder(const std::string& folder)
{
    // The window names the folder the status is of, also after the file was edited by hand.
    const QString text = toQString(folder);
    if (Label2->text() != text)
        Label2->setText(text);
}

std::string TForm1::entryText()
{
    return toBytes(Edit1->text());
}

void TForm1::setFolderLabel(const std::string& text)
{
    Label2->setText(toQString(text));
}

int TForm1::showMessageBox(const std::string& text, setup::MessageKind kind, unsigned buttonSet)
{
    MessageBox box(text, kind, buttonSet, toQString(m_applicationTitle), this);
    // A box may open while another waits (a failure told during a command): the outer one is
    // the one a close must end after this one.
    QDialog* const outer = std::exchange(m_openBox, &box);
    const int result = box.exec();
    m_openBox = outer;
    // A box ended by the tool's quitting is no answer: the command ends with no change.
    if (m_closing)
        throw setup::CommandAbandoned();
    return result;
}

void TForm1::showTrayIcon(monitor::Picture picture, bool paused, const std::string& tooltip)
{
    m_trayIcon->show(paused ? pausedIcon(statusIcon(picture)) : statusIcon(picture), toQString(tooltip));
}

void TForm1::hideTrayIcon()
{
    m_trayIcon->hide();
    // Hidden behind the icon, nothing but a second start would bring the window back.
    if (m_inTray && !m_closing)
        bringToFront();
}

void TForm1::showNotice(const monitor::Notice& notice)
{
    m_notifications->show(toQString(notice.title), toQString(notice.text), toQString(notice.folder), notice.fresh,
                          notice.kind == monitor::NoticeKind::Arrival);
}

void TForm1::withdrawNotice()
{
    m_notifications->withdraw();
}

void TForm1::playSound(const std::string& file)
{
    m_sound->play(file);
}

bool TForm1::windowActive() const
{
    return isActiveWindow();
}

void TForm1::showFailureNotice(const std::string& title, const std::string& text, const std::string& boxText)
{
    // With no notification service to show it, nobody would learn of the failure: the box tells.
    m_notifications->tell(toQString(title), toQString(text),
                          [this, boxText] { runGuarded([&] { showErrorBox(boxText); }); });
}

void TForm1::showErrorBox(const std::string& text)
{
    showMessageBox(text, setup::MessageKind::Error, setup::buttons::yes);
}

void TForm1::bringToFront()
{
    m_inTray = false;
    m_trayIcon->showWindowHidden(false);
    // Restored if minimised, kept maximised if it was.
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TForm1::toggleSwitch(settings::Switch which)
{
    // One command at a time, the change command included: both rewrite the settings file. A
    // store that fails is told like any other; the check keeps showing what is stored.
    m_commands.run([&] {
        runGuarded([&] {
            if (const std::optional<bool> on = setup::toggleSwitch(m_commandSystem, *this, which)) {
                m_trayIcon->showSwitch(which, *on);
                // A check that read the switches before the store must not put the old one back.
                ++m_generation;
            }
        });
    });
}

void TForm1::readStartAtLogin()
{
    // Not while a command waits for the disk: the menu keeps the mark it showed last.
    m_commands.run([&] { runGuarded([&] { m_trayIcon->showStartAtLogin(setup::startsAtLogin(m_commandSystem)); }); });
}

void TForm1::toggleStartAtLogin()
{
    m_commands.run([&] {
        runGuarded([&] {
            if (const std::optional<bool> on = setup::toggleStartAtLogin(m_commandSystem, *this))
                m_trayIcon->showStartAtLogin(*on);
        });
    });
}

void TForm1::changeSettings()
{
    m_commands.run([&] {
        runGuarded([&] {
            // Parented to the window, shown or not, and ended when the tool closes: the command
            // then stores nothing.
            SettingsDialog dialog(*m_sound, this);
            if (const std::optional<setup::StoredSettings> stored = m_settings.run(m_commandSystem, *this, dialog)) {
                m_closeToTray = stored->switches.closeToTray;
                m_trayIcon->showSwitch(settings::Switch::Popup, stored->switches.popup);
                m_trayIcon->showSwitch(settings::Switch::Sound, stored->switches.sound);
                m_trayIcon->showStartAtLogin(stored->startsAtLogin);
            }
        });
    });
}

void TForm1::chooseWatchedFolder()
{
    // Not while a command or a box is under way; the picker holds the gate while it is open, and
    // the change command runs once it has let go, as from the button.
    if (m_openBox != nullptr)
        return;
    bool picked = false;
    m_commands.run([&] {
        runGuarded([&] {
            const std::string start = setup::pickerStartFolder(m_system, toBytes(m_trayIcon->folder()), *this);
            const QString chosen = m_closing ? QString() : pickFolder(toQString(start));
            if (chosen.isEmpty() || m_closing)
                return;
            Edit1->setText(chosen);
            picked = true;
        });
    });
    if (picked)
        Button1Click();
}

QString TForm1::askForFolder(const QString& start)
{
    // What QFileDialog::getExistingDirectory shows (the desktop's own picker where it offers one),
    // kept as a box of the window's so that the tool's closing ends it.
    QFileDialog picker(this, toQString(texts::folderPickerTitle), start.isEmpty() ? QDir::homePath() : start);
    picker.setFileMode(QFileDialog::Directory);
    picker.setOption(QFileDialog::ShowDirsOnly);
    QDialog* const outer = std::exchange(m_openBox, &picker);
    const bool chosen = picker.exec() == QDialog::Accepted && !picker.selectedFiles().isEmpty();
    m_openBox = outer;
    return chosen ? QDir::toNativeSeparators(picker.selectedFiles().front()) : QString();
}

void TForm1::contextMenuEvent(QContextMenuEvent* event)
{
    m_trayIcon->menu().popup(event->globalPos());
}

void TForm1::folderStored()
{
    // From here on a check may have read the old setting: it is not shown.
    ++m_generation;
    m_display.settingChanged();
}

TForm1::~TForm1()
{
    // A store the window gave up waiting for (it was closed) is let finish, for a while: cut
    // off half way, it could leave the settings file replaced by nothing.
    m_commandSystem.finishWrites(10000);
}

void TForm1::FormShow()
{
    runGuarded([this] { setup::displayRoutine(m_commandSystem, *this); });
}

void TForm1::Button1Click()
{
    // A key may reach the button while the command waits for the disk: one command at a time.
    m_commands.run([this] { runGuarded([this] { setup::changeCommand(m_commandSystem, *this); }); });
}

void TForm1::Timer1Timer()
{
    // The settings read and the listing run off this thread, so that a folder that stops
    // answering never freezes the window; the status keeps its last text meanwhile.
    m_check->request(m_generation);
    m_display.tick();
    // A tray that went away (its panel ended) would leave nothing to bring the window back.
    if (m_inTray && !m_trayIcon->trayAvailable())
        bringToFront();
}

void TForm1::checkDone(const monitor::CheckResult& result)
{
    // A check started before the last store may have read the old setting.
    const std::optional<monitor::CheckResult> current = monitor::currentOnly(result, m_generation);
    if (!current)
        return;
    // The menu's switches and the folder it opens are those of the newest settings read (a
    // notice names none when no read has answered yet).
    if (!current->failure && !(current->noAnswer && current->folder.empty())) {
        m_trayIcon->showSettings(current->channels, toQString(current->folder));
        m_closeToTray = current->channels.closeToTray;
    }
    runGuarded([&] { m_display.show(*current); });
}

bool TForm1::runUntil(const std::function<bool()>& finished)
{
    // Keys, paints and ticks go on; the button waits, and has the focus back afterwards.
    const bool buttonFocused = Button1->hasFocus();
    const bool wasEnabled = Button1->isEnabled();
    Button1->setEnabled(false);
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (m_closing || finished())
            loop.quit();
    });
    poll.start(10);
    loop.exec();
    if (wasEnabled)
        Button1->setEnabled(true);
    if (buttonFocused)
        Button1->setFocus(Qt::OtherFocusReason);
    return !m_closing && finished();
}

bool TForm1::endTool()
{
    m_ending = true;
    return close();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // A quit ends the tool whatever closetotray says; Qt closes only the windows shown, so a
    // window hidden in the tray is closed here, which withdraws what it showed.
    if (watched == qApp && event->type() == QEvent::Quit) {
        m_ending = true;
        if (isHidden() && !m_closing)
            close();
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    const setup::CloseAction action =
        m_closeRule.close({m_closeToTray, m_trayIcon->shown(), m_trayIcon->trayAvailable(), m_ending || m_closing});
    if (action != setup::CloseAction::End) {
        // The window and its taskbar button go; the watch goes on, and the icon brings it back.
        event->ignore();
        hide();
        m_inTray = true;
        m_trayIcon->showWindowHidden(true);
        if (action == setup::CloseAction::HideAndTell)
            m_notifications->tell(
                toQString(m_applicationTitle), toQString(texts::closedToTray), [] {}, true);
        return;
    }
    // Closing ends the tool at once, also while a command waits for the disk or on a box (as
    // when the session ends): the command gives up.
    m_closing = true;
    if (m_openBox != nullptr)
        m_openBox->done(setup::results::cancel);
    // The Qt dialog goes at once: nothing waits.
    static_cast<void>(m_settings.close());
    // A notification left behind would tell of an arrival nobody watches any more.
    m_notifications->withdrawNow();
    QWidget::closeEvent(event);
}

template <typename Handler> void TForm1::runGuarded(Handler&& handler)
{
    // An exception must not leave a Qt slot: the handler ends, the user is told, the tool runs on.
    try {
        handler();
    } catch (const setup::CommandAbandoned&) {
        // The window closed while the command waited: nothing to tell.
    } catch (const std::exception& failure) {
        app::showFailureBox(failure.what(), toQString(m_applicationTitle), m_system->codePage(), this);
    }
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The X11 window exists from the first show on.
    setLegacyIconName(*this);
    // The first show comes before the window is mapped, so a warning opens before the window.
    // A minimised start waits for the first restore.
    if (!isMinimized())
        runDisplayRoutineOnce();
}

void TForm1::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isVisible() && !isMinimized())
        runDisplayRoutineOnce();
}

void TForm1::runDisplayRoutineOnce()
{
    // Restoring after a minimise shows the window again; the routine must not run again. A
    // command of its own: shown while another waits for the disk (a menu switch of a tool started
    // minimised), it runs once that one has ended.
    if (m_displayRoutineRan)
        return;
    m_displayRoutineRan = true;
    m_commands.runWhenFree([this] {
        // Deferred behind a command that ended by the window's closing: nothing to show.
        if (!m_closing)
            FormShow();
    });
}

namespace {

// One of the project's drawings, built in at 16, 32 and 48 pixels.
QIcon iconNamed(const QString& name)
{
    QIcon drawn;
    for (const int size : {16, 32, 48})
        drawn.addFile(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(size), QSize(size, size));
    return drawn;
}

} // namespace

QIcon pausedIcon(const QIcon& icon)
{
    // Drawn over each size, so that the mark stays sharp where the tray scales the icon.
    QIcon marked;
    for (const int size : {16, 32, 48}) {
        QPixmap pixmap = icon.pixmap(QSize(size, size));
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal side = size * 0.55;
        const QRectF mark(size - side, size - side, side, side);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 235));
        painter.drawEllipse(mark);
        painter.setBrush(QColor(40, 40, 40));
        const qreal bar = side * 0.18;
        for (const qreal left : {mark.left() + side * 0.28, mark.right() - side * 0.28 - bar})
            painter.drawRect(QRectF(left, mark.top() + side * 0.25, bar, side * 0.5));
        painter.end();
        marked.addPixmap(pixmap);
    }
    return marked;
}

QIcon applicationIcon()
{
    // The icon theme's, where the package installed it, so that the menu and the window agree.
    return QIcon::fromTheme(QStringLiteral("kelvoran"), iconNamed(QStringLiteral("kelvoran")));
}

QIcon statusIcon(monitor::Picture picture)
{
    switch (picture) {
    case monitor::Picture::Arrival:
        return iconNamed(QStringLiteral("status-arrival"));
    case monitor::Picture::Watching:
        break;
    case monitor::Picture::NoFolder:
        return iconNamed(QStringLiteral("status-nofolder"));
    case monitor::Picture::NoAnswer:
        return iconNamed(QStringLiteral("status-noanswer"));
    case monitor::Picture::NotArrived:
        return iconNamed(QStringLiteral("status-notarrived"));
    }
    return iconNamed(QStringLiteral("status-watching"));
}

void showMainWindow(TForm1& form, int showCommand)
{
    if (showCommand == platform::showCommands::minimisedNoActivate) {
        form.setAttribute(Qt::WA_ShowWithoutActivating);
        form.showMinimized();
    } else if (showCommand == platform::showCommands::maximised) {
        form.showMaximized();
    } else {
        form.show();
    }
}

} // namespace app
