#include "app/AccessKeyLabel.h"
#include "app/MessageBox.h"
#include "app/SettingsDialog.h"
#include "app/Sound.h"
#include "app/TextCodec.h"
#include "app/TrayIcon.h"
#include "app/Unit1.h"
#include "common/Texts.h"
#include "platform/posix/PosixSystem.h"
#include "support/HangingShare.h"
#include "support/WorkingDirectory.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include <unistd.h>

using app::AccessKeyLabel;
using app::TForm1;

namespace {

// Counts the window-text changes that reach a widget.
class TextChangeCounter : public QObject
{
public:
    int captions = 0;
    int iconTexts = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowTitleChange)
            ++captions;
        if (event->type() == QEvent::IconTextChange)
            ++iconTexts;
        return QObject::eventFilter(watched, event);
    }
};

// Counts the paints that reach a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// Answers every modal box as it opens: notes its title and text and whether the main window
// was on screen at that moment, then presses Enter (or OK for the failure box).
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(QWidget* mainWindow) : m_mainWindow(mainWindow) { qApp->installEventFilter(this); }

    struct Seen
    {
        QString title;
        QString text;
        bool mainWindowOnScreen;
    };
    QList<Seen> seen;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (auto* box = qobject_cast<app::MessageBox*>(widget)) {
                seen.append({box->windowTitle(), box->clipboardText(), onScreen()});
                QTimer::singleShot(0, box, [box] { box->done(6); });
            } else if (auto* failure = qobject_cast<QMessageBox*>(widget)) {
                seen.append({failure->windowTitle(), failure->text(), onScreen()});
                QTimer::singleShot(0, failure, [failure] { failure->accept(); });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool onScreen() const
    {
        return m_mainWindow->windowHandle() != nullptr && m_mainWindow->windowHandle()->isVisible();
    }

    QWidget* m_mainWindow;
};

// The real system, with the listing of one folder held until the test lets it go.
class HeldListing : public platform::PosixSystem
{
public:
    explicit HeldListing(std::string folder) : PosixSystem("kelvoran"), m_folder(std::move(folder)) {}

    platform::Listing listDirectory(const std::string& path, platform::EntryVisitor& visitor) const override
    {
        if (path != m_folder)
            return PosixSystem::listDirectory(path, visitor);
        std::unique_lock lock(m_mutex);
        ++held;
        m_released.wait(lock, [&] { return m_release; });
        lock.unlock();
        const platform::Listing listing = PosixSystem::listDirectory(path, visitor);
        ++answered;
        return listing;
    }

    void release()
    {
        const std::lock_guard lock(m_mutex);
        m_release = true;
        m_released.notify_all();
    }

    mutable std::atomic<int> held{0};
    mutable std::atomic<int> answered{0};

private:
    std::string m_folder;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_released;
    bool m_release = false;
};

template <typename T> T* child(const QWidget& form, const char* name)
{
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr)
        qFatal("no child %s", name);
    return found;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // Run at 96 dpi and, through QT_FONT_DPI, at 120 and 144 dpi (see tests/CMakeLists.txt).
    void controlsNeitherOverlapNorCutTheirText()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        TForm1 form(system, "kelvoran");
        qInfo("%d dpi, window font %d px", form.logicalDpiY(), form.font().pixelSize());
        const auto apart = [](const QWidget& window, const QWidgetList& controls) {
            for (qsizetype i = 0; i < controls.size(); ++i) {
                QVERIFY2(window.rect().contains(controls[i]->geometry()), qPrintable(controls[i]->objectName()));
                for (qsizetype j = i + 1; j < controls.size(); ++j) {
                    QVERIFY2(
                        !controls[i]->geometry().intersects(controls[j]->geometry()),
                        qPrintable(controls[i]->objectName() + QStringLiteral(" covers ") + controls[j]->objectName()));
                }
            }
        };
        apart(form, {child<AccessKeyLabel>(form, "Label1"), child<AccessKeyLabel>(form, "Label2"),
                     child<AccessKeyLabel>(form, "Label3"), child<AccessKeyLabel>(form, "Label4"),
                     child<QPushButton>(form, "Button1"), child<QLineEdit>(form, "Edit1")});
        // The settings dialog: every text it may show fits, a refusal's line the longest refusal.
        app::Sound sound;
        app::SettingsDialog dialog(sound, &form);
        const QWidgetList parts = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        apart(dialog, parts);
        for (QWidget* part : parts) {
            auto* line = qobject_cast<QLabel*>(part);
            auto* pressed = qobject_cast<QAbstractButton*>(part);
            if (line == nullptr && pressed == nullptr)
                continue; // a field: its text is the user's
            const bool refusal = line != nullptr && line->text().isEmpty();
            for (const auto text : {texts::soundFileRefused, texts::soundFileTooLong, texts::waitRefused,
                                    texts::deadlineRefused, texts::daysRefused, texts::playNoDevice,
                                    texts::playUnreadable, texts::leftOutRefused, texts::leftOutTooLong}) {
                if (refusal)
                    line->setText(app::toQString(text));
                QSize needed = part->fontMetrics().size(Qt::TextShowMnemonic, line ? line->text() : pressed->text());
                if (qobject_cast<QCheckBox*>(part) != nullptr)
                    needed.rwidth() += part->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                                       part->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
                else if (pressed != nullptr)
                    needed += QSize(8, 4);
                QVERIFY2(needed.width() <= part->width() && needed.height() <= part->height(),
                         qPrintable(part->objectName()));
            }
        }
        const auto* button = child<QPushButton>(form, "Button1");
        const QSize caption = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        QVERIFY2(caption.width() + 8 <= button->width() && caption.height() + 4 <= button->height(),
                 "the button's caption fits");
        const auto* edit = child<QLineEdit>(form, "Edit1");
        QVERIFY(edit->fontMetrics().height() + 4 <= edit->height());
    }

    void layoutMatchesTheDesign()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        TForm1 form(system, "kelvoran");
        QVERIFY2(QFontMetrics(form.font()).height() == 13, "the window font must measure 13 pixels at 96 dpi");
        QCOMPARE(form.windowTitle(), QStringLiteral("Kelvoran"));
        QCOMPARE(form.windowIconText(), QStringLiteral("kelvoran"));
        QCOMPARE(form.size(), QSize(372, 142));
        QCOMPARE(form.palette().color(QPalette::Window), QColor(180, 180, 180));

        struct Expected
        {
            const char* name;
            QPoint position;
            QString text;
            int pixelSize;
            QString family;
        };
        const QList<Expected> labels = {
            {"Label1",
             {16, 16},
             QStringLiteral("監視フォルダへのデータ着信を監視します。"),
             16,
             QStringLiteral("ＭＳ Ｐ明朝")},
            {"Label2", {88, 40}, QStringLiteral("未設定"), 13, QStringLiteral("Tahoma")},
            {"Label3", {16, 43}, QStringLiteral("監視フォルダ"), 11, QStringLiteral("Tahoma")},
            {"Label4", {16, 75}, QStringLiteral("（最小化して使用して下さい）"), 11, QStringLiteral("Tahoma")},
        };
        for (const Expected& expected : labels) {
            const auto* label = child<AccessKeyLabel>(form, expected.name);
            QCOMPARE(label->pos(), expected.position);
            QCOMPARE(label->text(), expected.text);
            QCOMPARE(label->font().pixelSize(), expected.pixelSize);
            QCOMPARE(label->font().families().front(), expected.family);
            // Labels are sized to their text on one line.
            QCOMPARE(label->size(), label->fontMetrics().size(Qt::TextShowMnemonic, expected.text));
        }
        QCOMPARE(child<AccessKeyLabel>(form, "Label2")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QCOMPARE(child<AccessKeyLabel>(form, "Label4")->palette().color(QPalette::WindowText), QColor(51, 153, 255));

        const auto* button = child<QPushButton>(form, "Button1");
        QCOMPARE(button->geometry(), QRect(224, 64, 129, 33));
        QCOMPARE(button->text(), QStringLiteral("監視フォルダの変更"));
        const auto* edit = child<QLineEdit>(form, "Edit1");
        QCOMPARE(edit->geometry(), QRect(8, 104, 353, 21));
        QVERIFY(edit->text().isEmpty());
        QCOMPARE(button->nextInFocusChain(), edit);

        const auto* timer = form.findChild<QTimer*>(QStringLiteral("Timer1"));
        QVERIFY(timer && timer->isActive());
        QCOMPARE(timer->interval(), 1000);
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
    }

    void folderLabelResizesAndHidesAccessKeyMark()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        TForm1 form(system, "kelvoran");
        auto* label = child<AccessKeyLabel>(form, "Label2");
        form.setFolderLabel("/srv/R&D/a very long folder name that runs past the window's right edge");
        QCOMPARE(label->pos(), QPoint(88, 40));
        QCOMPARE(label->width(), label->fontMetrics().horizontalAdvance(QStringLiteral(
                                     "/srv/RD/a very long folder name that runs past the window's right edge")));
        QCOMPARE(form.size(), QSize(372, 142));
    }

    void equalTextsAreNotRewritten()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        TForm1 form(system, "kelvoran");
        TextChangeCounter counter;
        form.installEventFilter(&counter);
        form.setCaption("Kelvoran");
        form.setApplicationTitle("kelvoran");
        QCOMPARE(counter.captions, 0);
        QCOMPARE(counter.iconTexts, 0);
        form.setCaption("着信！");
        form.setCaption("着信！");
        form.setApplicationTitle("着信！");
        form.setApplicationTitle("着信！");
        QCOMPARE(counter.captions, 1);
        QCOMPARE(counter.iconTexts, 1);
        QCOMPARE(form.windowTitle(), QStringLiteral("着信！"));
        QCOMPARE(form.windowIconText(), QStringLiteral("着信！"));
    }

    void warningComesBeforeTheWindowAndOnlyOnce()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        const WorkingDirectory work;
        TForm1 form(system, "kelvoran");
        BoxAnswerer answerer(&form);
        app::showMainWindow(form, 1);
        QTRY_COMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].text.contains(QStringLiteral("監視フォルダを指定して下さい！")), true);
        QVERIFY(!answerer.seen[0].mainWindowOnScreen);
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.showMinimized();
        QTest::qWait(50);
        form.showNormal();
        QTest::qWait(50);
        QCOMPARE(answerer.seen.size(), 1);
    }

    void minimisedStartRunsTheRoutineAtRestore()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        const WorkingDirectory work;
        TForm1 form(system, "kelvoran");
        BoxAnswerer answerer(&form);
        app::showMainWindow(form, 7);
        QTest::qWait(50);
        QCOMPARE(answerer.seen.size(), 0);
        form.showNormal();
        QTRY_COMPARE(answerer.seen.size(), 1);
    }

    // The mark shows what the autostart folder holds as the menu opens; an entry another copy
    // made for this folder counts, and the switch removes it.
    void startAtLoginIsReadAsTheMenuOpens()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        const WorkingDirectory work;
        qputenv("XDG_CONFIG_HOME", work.path("config").c_str());
        TForm1 form(system, "kelvoran");
        auto* menu = form.findChild<QMenu*>(QStringLiteral("ChannelMenu"));
        QAction* startAtLogin = menu->actions().at(3);
        QCOMPARE(startAtLogin->text(), QStringLiteral("ログイン時に起動"));
        const auto markAsOpened = [&] {
            emit menu->aboutToShow();
            return startAtLogin->isChecked();
        };
        QVERIFY(!markAsOpened());
        QCOMPARE(system->setLoginStart(work.path(), true), 0);
        QVERIFY(markAsOpened());
        startAtLogin->trigger();
        QVERIFY(!startAtLogin->isChecked());
        QVERIFY(!system->loginStart(work.path()).on);
        qunsetenv("XDG_CONFIG_HOME");
    }

    void enterOnTheButtonRunsTheChangeCommand()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        const WorkingDirectory work;
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path() + "\r\n");
        TForm1 form(system, "kelvoran");
        BoxAnswerer answerer(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(QApplication::focusWidget(), child<QPushButton>(form, "Button1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].title, QStringLiteral("Warning"));
        // Enter in the entry field presses nothing.
        auto* edit = child<QLineEdit>(form, "Edit1");
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Escape);
        QTest::qWait(50);
        QCOMPARE(answerer.seen.size(), 1);
        // 監視フォルダの選択… opens in the folder set; Cancel changes nothing, a folder picked is
        // stored the button's way.
        const QList<QAction*> menu = form.findChild<QMenu*>(QStringLiteral("ChannelMenu"))->actions();
        QCOMPARE(menu.at(5)->text(), QStringLiteral("監視フォルダの選択…"));
        QTRY_VERIFY(menu.at(0)->isEnabled()); // the check has read the folder
        QStringList starts;
        QString picked;
        form.pickFolder = [&](const QString& start) {
            starts << start;
            return picked;
        };
        menu.at(5)->trigger();
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        picked = QString::fromStdString(work.path("in"));
        menu.at(5)->trigger();
        QTRY_COMPARE(answerer.seen.size(), 2);
        QVERIFY(answerer.seen[1].text.contains(picked));
        QCOMPARE(readBytes("Kelvoran.ini"), "[KansiDir]\r\nfullpath=" + work.path("in") + "\r\n");
        QCOMPARE(starts, QStringList(2, QString::fromStdString(work.path())));
    }

    void failedStoreReachesTheFailureBox()
    {
        const auto system = std::make_shared<platform::PosixSystem>("kelvoran");
        const WorkingDirectory work;
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=\r\n");
        TForm1 form(system, "kelvoran");
        BoxAnswerer answerer(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Make the present file impossible to update: it turns into a UTF-16 file.
        writeBytes("Kelvoran.ini", std::string("\xFF\xFE", 2));
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        form.setApplicationTitle("着信！");
        child<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(work.path("in")));
        child<QPushButton>(form, "Button1")->click();
        QTRY_COMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen[0].title, QStringLiteral("着信！"));
        QCOMPARE(answerer.seen[0].text,
                 QStringLiteral("Unable to write to ") + QString::fromStdString(work.path("Kelvoran.ini")) + u'.');
        QCOMPARE(child<AccessKeyLabel>(form, "Label2")->text(), QString());
        // The tool runs on: the timer still ticks.
        QVERIFY(form.findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    }

    // Every window asked to close (the session ends) while the create question is open: that is
    // no answer, so nothing is created or stored, no further box comes, and the window goes.
    void closingDuringTheQuestionChangesNothing()
    {
        const WorkingDirectory work;
        const std::string settings = "[KansiDir]\r\nfullpath=" + work.path() + "\r\n";
        writeBytes("Kelvoran.ini", settings);
        TForm1 form(std::make_shared<platform::PosixSystem>("kelvoran"), "kelvoran");
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        child<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(work.path("new")));
        int boxes = 0;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (QApplication::activeModalWidget() != nullptr) {
                ++boxes;
                form.close();
            }
        });
        closer.start(20);
        child<QPushButton>(form, "Button1")->click();
        closer.stop();
        QCOMPARE(boxes, 1);
        QVERIFY(!QFileInfo::exists(QStringLiteral("new")));
        QCOMPARE(readBytes("Kelvoran.ini"), settings);
        QVERIFY(!form.isVisible());
    }

    // The menu's 設定… opens the dialog on the file: OK (Enter) stores exactly the keys changed,
    // keeping every other byte; Cancel, a refused value and the tool's closing store nothing.
    void settingsDialogStoresOnlyWhatChanged()
    {
        const WorkingDirectory work;
        qputenv("XDG_CONFIG_HOME", work.path("config").c_str());
        const std::string before =
            "[KansiDir]\r\nfullpath=" + work.path() + "\r\n; by hand\r\n[Tsuuchi]\r\npopup=1\r\n";
        writeBytes("Kelvoran.ini", before);
        TForm1 form(std::make_shared<platform::PosixSystem>("kelvoran"), "kelvoran");
        BoxAnswerer answerer(&form);
        const QList<QAction*> menu = form.findChild<QMenu*>(QStringLiteral("ChannelMenu"))->actions();
        QCOMPARE(menu.at(4)->text(), QStringLiteral("設定…"));
        // Edits the dialog from its own loop once it is open (its parent hidden), as the user would.
        const auto edit = [&](const std::function<void(QDialog&)>& user) {
            QTimer poll;
            bool ran = false;
            connect(&poll, &QTimer::timeout, this, [&] {
                if (auto* dialog = qobject_cast<app::SettingsDialog*>(QApplication::activeModalWidget())) {
                    poll.stop();
                    ran = true;
                    user(*dialog);
                    if (dialog->isVisible()) {
                        dialog->reject();
                        QFAIL("the dialog stayed open");
                    }
                }
            });
            poll.start(10);
            menu.at(4)->trigger();
            QVERIFY(ran);
        };
        const auto click = [](QDialog& dialog, const char* name) { child<QAbstractButton>(dialog, name)->click(); };
        const auto type = [](QDialog& dialog, const char* name, const char* text) {
            child<QLineEdit>(dialog, name)->setText(QString::fromUtf8(text));
        };
        edit([&](QDialog& dialog) {
            click(dialog, "tray");
            type(dialog, "soundFile", "ding.wav");
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Backtab);
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(readBytes("Kelvoran.ini"), before);
        edit([&](QDialog& dialog) {
            click(dialog, "wait");
            type(dialog, "waitMinutes", "1441");
            type(dialog, "leftOut", "*.tmp;a/b");
            click(dialog, "ok");
            QVERIFY(dialog.isVisible());
            QCOMPARE(child<QLabel>(dialog, "waitRefusal")->text(), app::toQString(texts::waitRefused));
            QCOMPARE(child<QLabel>(dialog, "leftOutRefusal")->text(), app::toQString(texts::leftOutRefused));
            type(dialog, "waitMinutes", "15");
            QVERIFY(child<QLabel>(dialog, "waitRefusal")->text().isEmpty());
            click(dialog, "deadline");
            for (int day = 0; day < 7; ++day)
                child<QCheckBox>(dialog, qPrintable(QStringLiteral("day%1").arg(day)))->setChecked(false);
            click(dialog, "ok");
            QCOMPARE(dialog.focusWidget(), child<QWidget>(dialog, "day0"));
            // The reminder's line stands between its time and its days.
            const QRect line = child<QLabel>(dialog, "deadlineRefusal")->geometry();
            QVERIFY(line.top() > child<QWidget>(dialog, "deadlineTime")->geometry().bottom() &&
                    line.bottom() < child<QWidget>(dialog, "day0")->geometry().top());
            // 再生 says why it played nothing, and nothing of ALSA's reaches the terminal.
            type(dialog, "soundFile", "/nowhere/ding.wav");
            click(dialog, "play");
            QTRY_COMPARE(child<QLabel>(dialog, "soundFileRefusal")->text(), app::toQString(texts::playUnreadable));
            type(dialog, "soundFile", "");
            const int terminal = ::dup(2);
            QFile said(QString::fromStdString(work.path("stderr")));
            QVERIFY(said.open(QIODevice::ReadWrite) && ::dup2(said.handle(), 2) == 2);
            click(dialog, "play");
            const QLabel* const fileLine = child<QLabel>(dialog, "soundFileRefusal");
            static_cast<void>(QTest::qWaitFor([&] { return said.size() > 0 || !fileLine->text().isEmpty(); }, 2000));
            ::dup2(terminal, 2);
            ::close(terminal);
            QVERIFY2(said.size() == 0, said.readAll().constData());
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        QCOMPARE(readBytes("Kelvoran.ini"), before);
        edit([&](QDialog& dialog) {
            click(dialog, "sound");
            type(dialog, "soundFile", "/音/ding.wav");
            click(dialog, "wait");
            type(dialog, "waitMinutes", "15");
            click(dialog, "deadline");
            type(dialog, "deadlineTime", "8:05");
            click(dialog, "day0");
            QTest::keyClick(&dialog, Qt::Key_Return);
        });
        const std::string after =
            before + "sound=1\r\nsoundfile=/音/ding.wav\r\ntaiki=15\r\nkigen=08:05\r\nkigenyoubi=月火水木金土\r\n";
        QCOMPARE(readBytes("Kelvoran.ini"), after);
        QVERIFY(menu.at(2)->isChecked());
        edit([&](QDialog& dialog) {
            click(dialog, "popup");
            menu.at(1)->trigger(); // refused while the dialog runs: the mark stays as stored
            QVERIFY(menu.at(1)->isChecked());
            form.close();
        });
        QCOMPARE(readBytes("Kelvoran.ini"), after);
        QCOMPARE(answerer.seen.size(), 0);
        qunsetenv("XDG_CONFIG_HOME");
    }

    // A check that read the old folder answers while the change command's last box is open: it
    // was asked for before the store, so it is not shown, though the command has not ended.
    void aCheckOfTheOldFolderIsNotShownOnceTheNewOneIsStored()
    {
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("old")) && QDir().mkdir(QStringLiteral("new")));
        writeBytes("old/data.csv", "1");
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path("old") + "\r\n");
        const auto system = std::make_shared<HeldListing>(work.path("old") + '/');
        TForm1 form(system, "kelvoran");
        form.findChild<QTimer*>(QStringLiteral("Timer1"))->stop(); // the test gives the ticks
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.Timer1Timer();
        QTRY_COMPARE(system->held.load(), 1);

        QString boxTitle;
        QString captionInBox;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<app::MessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            answerer.stop();
            system->release();
            static_cast<void>(QTest::qWaitFor([&] { return system->answered == 1; }, 2000));
            QTest::qWait(100); // the answer's way to the window's thread
            boxTitle = box->windowTitle();
            captionInBox = form.windowTitle();
            box->done(6);
        });
        answerer.start(10);
        child<QLineEdit>(form, "Edit1")->setText(QString::fromStdString(work.path("new")));
        child<QPushButton>(form, "Button1")->click();
        QCOMPARE(boxTitle, QStringLiteral("Information"));
        QCOMPARE(captionInBox, QStringLiteral("Kelvoran"));
        form.Timer1Timer();
        QTRY_COMPARE(form.windowTitle(), QStringLiteral("監視中・・・・"));
        // Edited by hand to a folder that is not there: the window names the folder it watches.
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path("gone") + "\r\n");
        form.Timer1Timer();
        QTRY_COMPARE(form.windowTitle(), QStringLiteral("指定したフォルダは存在しません！"));
        QCOMPARE(child<AccessKeyLabel>(form, "Label2")->text(), QString::fromStdString(work.path("gone")));
    }

    // An arrival while another window is active asks libcanberra for one sound with the sound
    // switched on and none with it off; a second arrival within the minute brings no second one.
    void soundGoesWithANewNoticeOnlyWhenSwitchedOnAlsoClosedToTheTray()
    {
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        for (const bool on : {true, false}) {
            writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path("in") + "\r\n[Tsuuchi]\r\nsound=" +
                                           (on ? "1" : "0") + "\r\nclosetotray=" + (on ? "1" : "0") + "\r\n");
            TForm1 form(std::make_shared<platform::PosixSystem>("kelvoran"), "kelvoran");
            form.trayIcon().trayAvailable = [] { return true; };
            BoxAnswerer answerer(&form);
            form.show();
            QWidget elsewhere;
            elsewhere.show();
            QApplication::setActiveWindow(&elsewhere);
            QTRY_COMPARE(form.windowTitle(), QStringLiteral("監視中・・・・"));
            QVERIFY(!form.isActiveWindow());
            // Closed to the tray, it watches and sounds on.
            QVERIFY(!on || (!form.close() && form.isHidden()));
            for (int arrival = 0; arrival < 2; ++arrival) {
                writeBytes("in/data.csv", "1");
                QTRY_COMPARE(form.windowTitle(), QStringLiteral("着信！"));
                QVERIFY(QFile::remove(QStringLiteral("in/data.csv")));
                QTRY_COMPARE(form.windowTitle(), QStringLiteral("監視中・・・・"));
            }
            QCOMPARE(form.sound().asked(), on ? 1 : 0);
            // 一時停止 → 1 時間: the tooltip's second line says until when, and 再開 is offered.
            QMenu* const pause =
                form.trayIcon().menu().actions().at(form.trayIcon().menu().actions().size() - 4)->menu();
            QVERIFY(pause != nullptr && pause->title() == QStringLiteral("一時停止"));
            pause->actions().at(0)->trigger();
            emit form.trayIcon().menu().aboutToShow();
            QVERIFY(pause->actions().at(2)->isEnabled());
            QVERIFY(form.findChild<QSystemTrayIcon*>()->toolTip().contains(
                QRegularExpression(QStringLiteral("^監視中・・・・\n一時停止中（\\d\\d:\\d\\d まで）\n"))));
            // Hidden, the menu offers the window back, and a tray that goes brings it back by
            // itself. A quit (the session's end) ends the tool hidden in the tray; without the
            // switch, the close does.
            const auto offered = [&] {
                return form.trayIcon().menu().actions().front()->text() == QStringLiteral("ウィンドウを表示");
            };
            QCOMPARE(offered(), on);
            form.trayIcon().trayAvailable = [] { return false; };
            QTRY_VERIFY(form.isVisible());
            QVERIFY(!offered());
            if (on) {
                form.trayIcon().trayAvailable = [] { return true; };
                QVERIFY(!form.close());
                QEvent quit(QEvent::Quit);
                static_cast<QObject&>(form).eventFilter(qApp, &quit);
            }
            QVERIFY(form.close());
        }
    }

    // A share that stops answering: the texts and the icon say so after five seconds, a healthy
    // folder shows at once beside it, the dead one is never listed twice, the change command
    // waits for it with the window answering, and all is well again once it answers.
    void hungFolderIsMarkedAndTheToolHealsAroundIt()
    {
        if (!QFile::exists(QStringLiteral("/dev/fuse")))
            QSKIP("no /dev/fuse: this machine cannot mount the hanging file system");
        const WorkingDirectory work;
        HangingShare share;
        QVERIFY2(share.mounted(), qPrintable(share.errors()));
        const auto store = [&](const std::string& folder) {
            writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path(folder) + "\r\n");
        };
        const auto iconIs = [](const QWidget& window, monitor::Picture picture) {
            return window.windowIcon().pixmap(16).toImage() == app::statusIcon(picture).pixmap(16).toImage();
        };
        store("mnt/in");
        TForm1 form(std::make_shared<platform::PosixSystem>("kelvoran"), "kelvoran");
        BoxAnswerer answerer(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTRY_COMPARE(share.listings(), 1);
        QTest::qWait(4000);
        QCOMPARE(form.windowTitle(), QStringLiteral("Kelvoran"));
        QTRY_COMPARE_WITH_TIMEOUT(form.windowTitle(), QStringLiteral("Kelvoran (応答なし)"), 2000);
        QCOMPARE(form.windowIconText(), QStringLiteral("kelvoran (応答なし)"));
        QVERIFY(iconIs(form, monitor::Picture::NoAnswer));

        QVERIFY(QDir().mkdir(QStringLiteral("ok")));
        writeBytes("ok/data.csv", "1");
        store("ok");
        QTRY_COMPARE_WITH_TIMEOUT(form.windowTitle(), QStringLiteral("着信！"), 2100);
        QCOMPARE(form.windowIconText(), QStringLiteral("着信！"));
        QVERIFY(iconIs(form, monitor::Picture::Arrival));

        // Back to the dead share: the arrival was of the other folder, so the mark follows the name.
        store("mnt/in");
        QTRY_COMPARE_WITH_TIMEOUT(form.windowTitle(), QStringLiteral("Kelvoran (応答なし)"), 7000);
        QCOMPARE(form.windowIconText(), QStringLiteral("kelvoran (応答なし)"));
        QCOMPARE(share.listings(), 1);

        // The change command's directory test hangs inside the share: keys, paints and timers go
        // on, the button waits; the share answering ends the wait and the listing together.
        auto* edit = child<QLineEdit>(form, "Edit1");
        auto* button = child<QPushButton>(form, "Button1");
        edit->setText(QString::fromStdString(work.path("mnt/in/new")));
        edit->setFocus(Qt::MouseFocusReason);
        int keys = 0;
        PaintCounter painted;
        edit->installEventFilter(&painted);
        bool buttonWaited = true;
        qint64 slowest = 0;
        QElapsedTimer clock;
        QTimer typist;
        typist.setTimerType(Qt::PreciseTimer);
        connect(&typist, &QTimer::timeout, this, [&] {
            slowest = std::max(slowest, clock.restart() - 20);
            buttonWaited = buttonWaited && !button->isEnabled();
            QTest::keyClick(edit, 'x');
            if (++keys == 50) {
                typist.stop();
                share.release();
            }
        });
        // From a timer, as a click comes from outside: a command started from a posted call would
        // keep the paints posted before it waiting until it ends.
        QTimer::singleShot(10, button, [&] {
            clock.start();
            typist.start(20);
            button->click();
        });
        QTRY_VERIFY_WITH_TIMEOUT(!typist.isActive() && answerer.seen.size() >= 2, 5000);
        QVERIFY(buttonWaited);
        QCOMPARE_GT(painted.paints, 25);
        QCOMPARE_LT(slowest, 100);
        QVERIFY(edit->text().endsWith(QStringLiteral("xxxxx")));
        QTRY_VERIFY(button->isEnabled());
        QVERIFY(answerer.seen[0].text.contains(QStringLiteral("入力されたフォルダは存在しません！\r\n作成しますか？")));
        QTRY_COMPARE_WITH_TIMEOUT(form.windowTitle(), QStringLiteral("着信！"), 1500);
        QVERIFY(iconIs(form, monitor::Picture::Arrival));
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
