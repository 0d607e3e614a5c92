#include "support/VirtualDesktop.h"
#include "support/WorkingDirectory.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>

// Starts the real executable on a virtual X server (with a small window manager, so that focus
// and dialogs behave as on a desktop) and reads what it shows through xprop and xdotool.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private:
    VirtualDesktop m_desktop;
    QProcess m_tool;
    QString m_box;
    // The desktop's configuration, where the autostart entries go, in place of the user's.
    QTemporaryDir m_config;
    QList<qint64> m_started; // copies started by others than the test (dex), ended after each test

    QString run(const QString& program, const QStringList& arguments) { return m_desktop.run(program, arguments); }
    static bool waitFor(const std::function<bool()>& condition, int milliseconds)
    {
        return VirtualDesktop::waitFor(condition, milliseconds);
    }
    QString property(const QString& window, const char* name) { return m_desktop.property(window, name); }

    // Visible windows of the tool whose window type is `type` (NORMAL or DIALOG).
    QStringList windows(const QString& type)
    {
        return m_desktop.windows({QStringLiteral("--pid"), QString::number(m_tool.processId())}, type);
    }

    QString mainWindow()
    {
        QString id;
        waitFor(
            [&] {
                const QStringList found = windows(QStringLiteral("NORMAL"));
                id = found.isEmpty() ? QString() : found.front();
                return !id.isEmpty();
            },
            30000);
        return id;
    }

    // Waits for the one open box of the tool and returns its title, or an empty text.
    QString waitForBox()
    {
        QString title;
        waitFor(
            [&] {
                const QStringList found = windows(QStringLiteral("DIALOG"));
                m_box = found.size() == 1 ? found.front() : QString();
                title = m_box.isEmpty() ? QString() : property(m_box, "_NET_WM_NAME");
                return !title.isEmpty();
            },
            10000);
        return title;
    }

    // Presses Enter in the open box once it has the keyboard focus.
    void pressEnterInBox()
    {
        waitFor([&] { return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowfocus")}) == m_box; }, 5000);
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});
    }

    // Waits until the box last seen has closed.
    bool waitForBoxClosed()
    {
        return waitFor([&] { return !windows(QStringLiteral("DIALOG")).contains(m_box); }, 10000);
    }

    void startTool(QProcess& tool, const QString& folder = QDir::currentPath())
    {
        tool.setProcessEnvironment(m_desktop.environment());
        tool.setWorkingDirectory(folder);
        tool.start(QStringLiteral(KV_EXECUTABLE), {});
        QVERIFY(tool.waitForStarted());
    }
    void startTool() { startTool(m_tool); }

    // The tool's main window, found among all windows, mapped or not, whose WM_STATE reads
    // `state` (Iconic or Normal); its process goes into m_started.
    QString toolWindowIn(const char* state)
    {
        const QStringList ids =
            m_desktop.xdotool({QStringLiteral("search"), QStringLiteral("--class"), QStringLiteral("kelvoran")})
                .split(u'\n', Qt::SkipEmptyParts);
        for (const QString& id : ids) {
            if (property(id, "_NET_WM_WINDOW_TYPE").contains(QStringLiteral("NORMAL")) &&
                property(id, "WM_STATE").contains(QString::fromLatin1(state))) {
                m_started << property(id, "_NET_WM_PID").section(u' ', -1).toLongLong();
                return id;
            }
        }
        return {};
    }

    // Opens the window's context menu, the first item active as the keyboard opens it, and
    // chooses ログイン時に起動, the fourth item.
    void chooseStartAtLogin(const QString& window)
    {
        run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window,
                                        QStringLiteral("key"), QStringLiteral("Menu")});
        QTest::qWait(500);
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down"),
                                        QStringLiteral("Down"), QStringLiteral("Return")});
    }

    // Starts the tool with the empty folder "in" of the working directory stored, and hands back
    // the main window.
    void startWatchingFolder(const WorkingDirectory& work, QString& window)
    {
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path("in") + "\r\n");
        startTool();
        window = mainWindow();
    }

    // Waits up to 3 s for the taskbar text to read `text`.
    bool taskbarTextBecomes(const QString& window, const QString& text)
    {
        return waitFor([&] { return property(window, "_NET_WM_ICON_NAME") == text; }, 3000);
    }

    // Starts the tool where there is no settings file, answers the warning that comes before the
    // window, and hands back the main window.
    void startWithoutSettings(QString& window)
    {
        startTool();
        QCOMPARE(waitForBox(), QStringLiteral("Warning"));
        pressEnterInBox();
        QVERIFY(waitForBoxClosed());
        window = mainWindow();
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("XDG_CONFIG_DIRS", m_config.path().toUtf8());
        m_desktop.start();
    }
    void cleanupTestCase() { m_desktop.stop(); }

    void cleanup()
    {
        m_tool.kill();
        m_tool.waitForFinished();
        for (const qint64 pid : std::as_const(m_started))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        m_started.clear();
    }

    // Each answers without a display and touches no file.
    void commandLineAnswersWithoutAWindow_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QString>("errors");
        const QString tool = QStringLiteral(KV_EXECUTABLE);
        QTest::newRow("help") << "--help" << 0 << "Usage: " + tool + " [-iconic] [-h | --help]" << QString();
        QTest::newRow("version") << "--version" << 0 << QStringLiteral("Kelvoran 1.") << QString();
        QTest::newRow("unknown") << "--bogus" << 2 << QString()
                                 << tool + ": unknown option '--bogus'\nTry '" + tool + " --help'";
    }
    void commandLineAnswersWithoutAWindow()
    {
        QFETCH(QString, argument);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QFETCH(QString, errors);
        const WorkingDirectory work;
        QProcess tool;
        QProcessEnvironment environment = m_desktop.environment();
        environment.remove(QStringLiteral("DISPLAY"));
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(KV_EXECUTABLE), {argument, QStringLiteral("-iconic")});
        QVERIFY(tool.waitForFinished(5000));
        QCOMPARE(tool.exitCode(), exitCode);
        QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()).left(printed.size()), printed);
        QCOMPARE(QString::fromUtf8(tool.readAllStandardError()).left(errors.size()), errors);
        QVERIFY(QDir().isEmpty());
    }

    void emptyValueKeepsTheStartTexts()
    {
        const WorkingDirectory work;
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=\r\n");
        startTool();
        const QString window = mainWindow();
        QVERIFY(!window.isEmpty());
        QTest::qWait(2200);
        QCOMPARE(property(window, "_NET_WM_NAME"), QStringLiteral("Kelvoran"));
        QCOMPARE(property(window, "_NET_WM_ICON_NAME"), QStringLiteral("kelvoran"));
        QCOMPARE(property(window, "WM_ICON_NAME"), QStringLiteral("kelvoran"));
        // SIGTERM ends it as 終了 does, also while the start's warning is open.
        QVERIFY(QFile::remove(QStringLiteral("Kelvoran.ini")));
        for (bool box : {false, true}) {
            if (box) {
                startTool();
                QCOMPARE(waitForBox(), QStringLiteral("Warning"));
            }
            m_tool.terminate();
            QVERIFY(m_tool.waitForFinished(5000) && m_tool.exitCode() == 0);
        }
    }

    void statusFollowsTheFolder()
    {
        const WorkingDirectory work;
        QString window;
        startWatchingFolder(work, window);
        QVERIFY(!window.isEmpty());
        const auto shows = [&](const QString& text) {
            // Some task lists read the older WM_ICON_NAME only.
            return property(window, "_NET_WM_NAME") == text && property(window, "_NET_WM_ICON_NAME") == text &&
                   property(window, "WM_ICON_NAME") == text;
        };
        QVERIFY(waitFor([&] { return shows(QStringLiteral("監視中・・・・")); }, 3000));

        QElapsedTimer arrival;
        writeBytes(work.path("in/data.csv"), "1,2,3\n");
        arrival.start();
        QVERIFY(waitFor([&] { return shows(QStringLiteral("着信！")); }, 3000));
        QVERIFY2(arrival.elapsed() < 1500, qPrintable(QString::number(arrival.elapsed())));

        QVERIFY(QFile::remove(QStringLiteral("in/data.csv")));
        QVERIFY(waitFor([&] { return shows(QStringLiteral("監視中・・・・")); }, 3000));
        QVERIFY(QDir().rmdir(QStringLiteral("in")));
        QVERIFY(waitFor([&] { return shows(QStringLiteral("指定したフォルダは存在しません！")); }, 3000));
    }

    void arrivalShowsAtOnceNotAtTheNextTick()
    {
        const WorkingDirectory work;
        QString window;
        startWatchingFolder(work, window);
        QVERIFY(!window.isEmpty());
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("監視中・・・・")));
        const auto arrivesAtOnce = [&](const std::string& file) {
            QElapsedTimer arrival;
            arrival.start();
            writeBytes(work.path(file), "1");
            QVERIFY(taskbarTextBecomes(window, QStringLiteral("着信！")));
            QVERIFY2(arrival.elapsed() < 250, qPrintable(QString::number(arrival.elapsed())));
            QVERIFY(QFile::remove(QString::fromStdString(file)));
            QVERIFY(taskbarTextBecomes(window, QStringLiteral("監視中・・・・")));
        };
        // At phases spread over the tick, each arrival shows long before the next tick would.
        for (const int phase : {130, 370, 610, 850}) {
            QTest::qWait(phase);
            arrivesAtOnce("in/data.csv");
        }
        // The watch follows a folder removed and created again, and a new setting.
        QVERIFY(QDir().rmdir(QStringLiteral("in")));
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("指定したフォルダは存在しません！")));
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("監視中・・・・")));
        arrivesAtOnce("in/data.csv");
        QVERIFY(QDir().mkdir(QStringLiteral("other")));
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path("other") + "\r\n");
        QTest::qWait(1200); // a tick reads the new setting; the status stays the same
        arrivesAtOnce("other/data.csv");
    }

    void arrivalAsksForAttentionOnceAndTheIconFollows()
    {
        const WorkingDirectory work;
        QString window;
        startWatchingFolder(work, window);
        QVERIFY(!window.isEmpty());
        const auto icon = [&] {
            return run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_WM_ICON")});
        };
        const auto asksForAttention = [&] {
            return property(window, "_NET_WM_STATE").contains(QStringLiteral("_NET_WM_STATE_DEMANDS_ATTENTION"));
        };
        const auto activate = [&](const QString& id) {
            run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
        };
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("監視中・・・・")));
        const QString watchingIcon = icon();

        // The user is looking at the window: an arrival asks for nothing. Openbox drops a request
        // for the focused window, so the requests are read where they go, at the root window.
        QProcess rootMessages;
        rootMessages.setProcessEnvironment(m_desktop.environment());
        rootMessages.start(QStringLiteral("xev"),
                           {QStringLiteral("-root"), QStringLiteral("-event"), QStringLiteral("substructure")});
        QVERIFY(rootMessages.waitForStarted());
        activate(window);
        QTest::qWait(300);
        writeBytes(work.path("in/seen.csv"), "1");
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("着信！")));
        QTest::qWait(500);
        const QRegularExpression stateRequest(
            QStringLiteral("window 0x%1,\\s+message_type 0x\\w+ \\(_NET_WM_STATE\\)").arg(window.toULong(), 0, 16));
        QVERIFY(!QString::fromLocal8Bit(rootMessages.readAllStandardOutput()).contains(stateRequest));
        rootMessages.kill();
        rootMessages.waitForFinished();
        QVERIFY(QFile::remove(QStringLiteral("in/seen.csv")));
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("監視中・・・・")));

        // Another window has the focus, as when the user works elsewhere.
        QProcess other;
        other.setProcessEnvironment(m_desktop.environment());
        other.start(QStringLiteral("xmessage"),
                    {QStringLiteral("-name"), QStringLiteral("elsewhere"), QStringLiteral("elsewhere")});
        QString otherWindow;
        QVERIFY(waitFor(
            [&] {
                otherWindow =
                    run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                    QStringLiteral("--classname"), QStringLiteral("elsewhere")});
                return !otherWindow.isEmpty();
            },
            5000));
        activate(otherWindow);
        // The arrival now shows at once: let the tool hear that it lost the focus first.
        QTest::qWait(300);

        writeBytes(work.path("in/data.csv"), "1");
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("着信！")));
        QVERIFY(waitFor(asksForAttention, 1000));
        QString arrivalIcon;
        QVERIFY(waitFor(
            [&] {
                arrivalIcon = icon();
                return arrivalIcon != watchingIcon;
            },
            1000));
        // Activation ends the request (the window manager's part); the ticks that follow, with
        // the folder still full, ask no more, even with the user elsewhere again.
        activate(window);
        QVERIFY(waitFor([&] { return !asksForAttention(); }, 2000));
        activate(otherWindow);
        QTest::qWait(2500);
        QVERIFY(!asksForAttention());

        // Emptied and filled again: once more.
        QVERIFY(QFile::remove(QStringLiteral("in/data.csv")));
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("監視中・・・・")));
        QVERIFY(waitFor([&] { return icon() == watchingIcon; }, 1000));
        writeBytes(work.path("in/again.csv"), "2");
        QVERIFY(waitFor(asksForAttention, 3000));

        // Emptied before the user looked: nothing waits for them any more.
        QVERIFY(QFile::remove(QStringLiteral("in/again.csv")));
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("監視中・・・・")));
        QVERIFY(waitFor([&] { return !asksForAttention(); }, 2000));
        QVERIFY(QDir().rmdir(QStringLiteral("in")));
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("指定したフォルダは存在しません！")));
        QVERIFY(waitFor([&] { return icon() != watchingIcon && icon() != arrivalIcon; }, 1000));
        other.kill();
        other.waitForFinished();
    }

    void minimisedWindowKeepsTheTaskbarTextCurrent()
    {
        const WorkingDirectory work;
        QString window;
        startWithoutSettings(window);
        QVERIFY(!window.isEmpty());

        const auto minimise = [&] {
            run(QStringLiteral("xdotool"), {QStringLiteral("windowminimize"), QStringLiteral("--sync"), window});
        };
        // Restoring shows the window again without a second warning, though there is still no
        // settings file.
        minimise();
        run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
        QVERIFY(waitFor([&] { return windows(QStringLiteral("NORMAL")).contains(window); }, 5000));
        QTest::qWait(1500);
        QVERIFY(windows(QStringLiteral("DIALOG")).isEmpty());

        // Set by hand while minimised: the taskbar text follows at the next tick.
        minimise();
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path("in") + "\r\n");
        QVERIFY(
            waitFor([&] { return property(window, "_NET_WM_ICON_NAME") == QStringLiteral("監視中・・・・"); }, 3000));
    }

    // The menu's switch writes an entry that a session's autostart (dex) starts minimised in the
    // settings folder; a second start there brings that window up, one elsewhere runs beside it.
    void startsAtLoginMinimisedAndOncePerFolder()
    {
        const WorkingDirectory work;
        QString window;
        startWithoutSettings(window);
        QVERIFY(!window.isEmpty());
        const QString entry = m_config.filePath(QStringLiteral("autostart/org.kelvoran.Kelvoran.desktop"));
        chooseStartAtLogin(window);
        QVERIFY(waitFor([&] { return QFile::exists(entry); }, 5000));
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {entry});
        QVERIFY(validate.waitForFinished(10000));
        const QByteArray complaints = validate.readAll() + validate.readAllStandardError();
        QVERIFY2(validate.exitCode() == 0 && complaints.isEmpty(), complaints.constData());
        m_tool.kill();
        m_tool.waitForFinished();

        // As a session starts it: its output goes to a log, not to a pipe that closes.
        QProcess dex;
        dex.setProcessEnvironment(m_desktop.environment());
        dex.setStandardOutputFile(m_config.filePath(QStringLiteral("session.log")));
        dex.setStandardErrorFile(m_config.filePath(QStringLiteral("session.log")), QIODevice::Append);
        dex.start(QStringLiteral("dex"), {QStringLiteral("--autostart")});
        QVERIFY(dex.waitForFinished(10000));
        QVERIFY(waitFor([&] { return !(window = toolWindowIn("Iconic")).isEmpty(); }, 10000));
        const QString pid = QString::number(m_started.back());
        QVERIFY(property(window, "_NET_WM_STATE").contains(QStringLiteral("_NET_WM_STATE_HIDDEN")));
        QCOMPARE(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).canonicalFilePath(), QDir::currentPath());
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + work.path("in") + "\r\n");
        QVERIFY(taskbarTextBecomes(window, QStringLiteral("監視中・・・・")));
        QVERIFY(m_desktop.windows({QStringLiteral("--pid"), pid}, QStringLiteral("DIALOG")).isEmpty());

        // Started again through another path to the same folder, on a terminal (script's), which it
        // tells: the window comes up, and its first restore runs the display routine, which warns
        // of the settings file now gone.
        QVERIFY(QFile::remove(QStringLiteral("Kelvoran.ini")));
        QVERIFY(QFile::link(QDir::currentPath(), QStringLiteral("in/same")));
        QProcess second;
        second.setWorkingDirectory(QStringLiteral("in/same"));
        second.start(QStringLiteral("script"),
                     {QStringLiteral("-qec"), QStringLiteral(KV_EXECUTABLE), QStringLiteral("/dev/null")});
        QVERIFY(second.waitForFinished(3000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(QString::fromUtf8(second.readAll()).contains(QStringLiteral("Kelvoran を前面に表示しました")));
        QString box;
        QVERIFY(waitFor(
            [&] {
                return !(box = m_desktop.windows({QStringLiteral("--pid"), pid}, QStringLiteral("DIALOG")).value(0))
                            .isEmpty();
            },
            5000));
        QVERIFY(!property(window, "_NET_WM_STATE").contains(QStringLiteral("_NET_WM_STATE_HIDDEN")));
        // Activated, as a click on its taskbar button does: the box has the keyboard.
        QVERIFY(waitFor([&] { return m_desktop.focusedWindow() == box; }, 5000));
        run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")});

        // Another folder has a copy of its own.
        QProcess other;
        startTool(other, QStringLiteral("in"));
        QVERIFY(waitFor(
            [&] {
                return !m_desktop
                            .windows({QStringLiteral("--pid"), QString::number(other.processId())},
                                     QStringLiteral("DIALOG"))
                            .isEmpty();
            },
            10000));
        QCOMPARE(other.state(), QProcess::Running);
        other.kill();
        other.waitForFinished();

        // Off removes the entry; a copy killed outright does not keep the next start away.
        chooseStartAtLogin(window);
        QVERIFY(waitFor([&] { return !QFile::exists(entry); }, 5000));
        ::kill(pid.toInt(), SIGKILL);
        startTool();
        QVERIFY(waitFor([&] { return !windows(QStringLiteral("DIALOG")).isEmpty(); }, 10000));
    }

    void folderIsSetFromTheWindow()
    {
        const WorkingDirectory work;
        QString window;
        startWithoutSettings(window);
        QVERIFY(!window.isEmpty());
        const std::string folder = work.path("arrivals/today");
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("100"),
             QStringLiteral("114"), QStringLiteral("click"), QStringLiteral("1")});
        run(QStringLiteral("xdotool"),
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QString::fromStdString(folder)});
        run(QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("288"),
             QStringLiteral("80"), QStringLiteral("click"), QStringLiteral("1")});

        for (const char* title : {"Warning", "Confirm", "Information"}) {
            QCOMPARE(waitForBox(), QString::fromLatin1(title));
            pressEnterInBox();
            QVERIFY(waitForBoxClosed());
        }
        QVERIFY(QFileInfo(QString::fromStdString(folder)).isDir());
        QCOMPARE(readBytes("Kelvoran.ini"), "[KansiDir]\r\nfullpath=" + folder + "\r\n");
        QVERIFY(
            waitFor([&] { return property(window, "_NET_WM_ICON_NAME") == QStringLiteral("監視中・・・・"); }, 3000));
    }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "TestEndToEnd.moc"
