#include "support/VirtualDesktop.h"
#include "support/WorkingDirectory.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

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

    void startTool()
    {
        m_tool.setProcessEnvironment(m_desktop.environment());
        m_tool.setWorkingDirectory(QDir::currentPath());
        m_tool.start(QStringLiteral(KV_EXECUTABLE), {});
        QVERIFY(m_tool.waitForStarted());
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
    void initTestCase() { m_desktop.start(); }
    void cleanupTestCase() { m_desktop.stop(); }

    void cleanup()
    {
        m_tool.kill();
        m_tool.waitForFinished();
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
