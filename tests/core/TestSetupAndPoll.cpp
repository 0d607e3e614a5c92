#include "common/Failures.h"
#include "monitor/ArrivalPoll.h"
#include "settings/SettingsFile.h"
#include "setup/CommandGate.h"
#include "setup/FolderChain.h"
#include "setup/FolderSetup.h"
#include "setup/WaitingSystem.h"
#include "support/ByteString.h"
#include "support/MemorySystem.h"
#include "support/RecordingView.h"

#include <QTest>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>

using monitor::Status;
using setup::MessageKind;

namespace {

const std::string noFolderGiven = "監視フォルダを指定して下さい！";
const std::string createQuestion = "入力されたフォルダは存在しません！\r\n作成しますか？";
const std::string creationFailed = "フォルダの作成に失敗しました！\r\n\r\n";
const std::string created = "フォルダを新たに作成しました！\r\n\r\n";
const std::string sjisHyo = "\x95\x5C"; // 表: its trail byte is "\"

std::string stored(const std::string& path)
{
    return "監視フォルダとして\r\n\r\n  " + path + "\r\n\r\nをKelvoran.iniにセットしました！";
}

std::string settingsFile(const std::string& folder)
{
    return "[KansiDir]\r\nfullpath=" + folder + "\r\n";
}

// A box as one line: kind, buttons, text.
QString box(MessageKind kind, unsigned buttons, const std::string& text)
{
    return QStringLiteral("%1 %2 ").arg(static_cast<int>(kind)).arg(buttons) + QString::fromStdString(text);
}

QStringList boxes(const RecordingView& view)
{
    QStringList lines;
    for (const RecordingView::Box& seen : view.boxes)
        lines << box(seen.kind, seen.buttons, seen.text);
    return lines;
}

// Counts the threads its calls come from: a thread's first call counts it, even where a new
// thread takes an ended one's id.
class ThreadCountingSystem : public MemorySystem
{
public:
    using MemorySystem::MemorySystem;

    [[nodiscard]] platform::EntryKind entryKind(const std::string& path) const override
    {
        count();
        return MemorySystem::entryKind(path);
    }
    [[nodiscard]] std::optional<std::string> readFile(const std::string& path) const override
    {
        count();
        return MemorySystem::readFile(path);
    }

    mutable std::atomic<int> threads = 0;
    mutable std::atomic<bool> callerUsed = false;
    std::thread::id caller = std::this_thread::get_id();

private:
    void count() const
    {
        thread_local bool counted = false;
        if (!std::exchange(counted, true))
            ++threads;
        if (std::this_thread::get_id() == caller)
            callerUsed = true;
    }
};

// Waits as a window's loop does, looking every millisecond.
class PollingLoop : public setup::WindowLoop
{
public:
    bool runUntil(const std::function<bool()>& finished) override
    {
        while (!finished())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
    }
};

} // namespace

class TestSetupAndPoll : public QObject
{
    Q_OBJECT

    std::unique_ptr<MemorySystem> windows; // C:\work, Shift-JIS
    RecordingView view;

private slots:
    void init()
    {
        windows = std::make_unique<MemorySystem>(ansi::PathStyle::windows(), ansi::CodePage::shiftJis(), "C:\\work");
        windows->addFolder("C:\\");
        windows->addFolder("C:\\data");
        windows->addFolder("\\\\server\\share");
        view = RecordingView();
    }

    // Every box the change command and the start warning open, with its kind and buttons.
    void boxesOfEveryOutcome_data()
    {
        QTest::addColumn<std::string>("entry");
        QTest::addColumn<QStringList>("expected");
        const unsigned yes = setup::buttons::yes;
        const unsigned yesNo = yes | setup::buttons::no;
        QTest::newRow("blank entry") << std::string(" \t")
                                     << QStringList{box(MessageKind::Warning, yes, noFolderGiven)};
        QTest::newRow("existing folder") << std::string("C:\\data")
                                         << QStringList{box(MessageKind::Information, yes, stored("C:\\data"))};
        // A path pasted with its line break: the break is trimmed, not refused.
        QTest::newRow("existing folder pasted with CR LF")
            << std::string("C:\\data\r\n") << QStringList{box(MessageKind::Information, yes, stored("C:\\data"))};
        QTest::newRow("existing folder pasted with LF")
            << std::string("C:\\data\n") << QStringList{box(MessageKind::Information, yes, stored("C:\\data"))};
        QTest::newRow("missing folder made")
            << std::string("C:\\data\\new")
            << QStringList{box(MessageKind::Warning, yesNo, createQuestion),
                           box(MessageKind::Confirmation, yes, created + "C:\\data\\new"),
                           box(MessageKind::Information, yes, stored("C:\\data\\new"))};
        QTest::newRow("missing drive") << std::string("Q:\\in")
                                       << QStringList{box(MessageKind::Warning, yesNo, createQuestion),
                                                      box(MessageKind::Error, yes, creationFailed + "Q:\\in")};
        // Names no answer could make are not offered, and the box says why.
        const std::string cannot = "入力されたフォルダは作成できません！\r\n\r\n";
        const std::string fullPath = "\r\nフルパスで入力して下さい。";
        const std::string typedHome = "「~」はホームフォルダではなく、入力どおりの名前として扱われます。" + fullPath;
        const std::string relative = "相対パスは、最初のフォルダが作業フォルダにあるときだけ作成できます。" + fullPath;
        QTest::newRow("~ start") << std::string("~\\受信")
                                 << QStringList{box(MessageKind::Warning, yes, cannot + "~\\受信\r\n\r\n" + typedHome)};
        for (const std::string name : {"incoming", "ab", "nothere\\in"})
            QTest::newRow(name.c_str()) << name
                                        << QStringList{
                                               box(MessageKind::Warning, yes, cannot + name + "\r\n\r\n" + relative)};
        QTest::newRow("relative, first folder there")
            << std::string("data\\in")
            << QStringList{box(MessageKind::Warning, yesNo, createQuestion),
                           box(MessageKind::Confirmation, yes, created + "data\\in"),
                           box(MessageKind::Information, yes, stored("data\\in"))};
    }
    void boxesOfEveryOutcome()
    {
        QFETCH(std::string, entry);
        QFETCH(QStringList, expected);
        windows->failingFolders.insert("Q:\\in");
        windows->addFolder("C:\\work\\data");
        view.entry = entry;
        setup::changeCommand(*windows, view);
        QCOMPARE(boxes(view), expected);
    }
    void startWarning()
    {
        setup::displayRoutine(*windows, view);
        QCOMPARE(boxes(view), QStringList{box(MessageKind::Warning, setup::buttons::yes, noFolderGiven)});
        QCOMPARE(view.folderLabel, std::string("未設定"));
    }

    // Windows paths through the change command: what is created and what is stored.
    void windowsEntries_data()
    {
        QTest::addColumn<std::string>("entry");
        QTest::addColumn<std::vector<std::string>>("made");
        QTest::addColumn<bool>("storedIt");
        QTest::newRow("drive root") << std::string("C:\\") << std::vector<std::string>{} << true;
        QTest::newRow("drive-relative") << std::string("C:a") << std::vector<std::string>{"C:\\work\\a"} << true;
        QTest::newRow("share") << std::string("\\\\server\\share\\dir\\")
                               << std::vector<std::string>{"\\\\server\\share\\dir"} << true;
        QTest::newRow("trail byte 0x5C") << "C:\\data\\" + sjisHyo << std::vector<std::string>{"C:\\data\\" + sjisHyo}
                                         << true;
        QTest::newRow("trail byte 0x5C, then separator")
            << "C:\\data\\" + sjisHyo + "\\x"
            << std::vector<std::string>{"C:\\data\\" + sjisHyo, "C:\\data\\" + sjisHyo + "\\x"} << true;
        // Nothing is made when the parent part is all that remains: the folder is still missing.
        QTest::newRow("two separators after a missing drive")
            << std::string("X:\\\\") << std::vector<std::string>{} << false;
    }
    void windowsEntries()
    {
        QFETCH(std::string, entry);
        QFETCH(std::vector<std::string>, made);
        QFETCH(bool, storedIt);
        view.entry = entry;
        setup::changeCommand(*windows, view);
        QCOMPARE(windows->foldersAttempted, made);
        QCOMPARE(windows->content("C:\\work\\Kelvoran.ini"), storedIt ? settingsFile(entry) : std::string());
        QCOMPARE(view.boxes.back().kind, storedIt ? MessageKind::Information : MessageKind::Error);
    }

    void chainStopsAtTheFirstFailure()
    {
        windows->failingFolders.insert("C:\\a\\b");
        QVERIFY(!setup::createFolderChain(*windows, "C:\\a\\b\\c\\d"));
        QCOMPARE(windows->foldersAttempted, (std::vector<std::string>{"C:\\a", "C:\\a\\b"}));
        QVERIFY(windows->isFolder("C:\\a"));

        MemorySystem posix(ansi::PathStyle::posix(), ansi::CodePage::utf8(), "/work");
        QVERIFY(setup::createFolderChain(posix, "/work/a//"));
        QCOMPARE(posix.foldersAttempted, std::vector<std::string>{});
    }

    void pollListsTheValueAsRead_data()
    {
        QTest::addColumn<std::string>("value");
        QTest::addColumn<std::string>("listed");
        QTest::addColumn<std::optional<Status>>("status");
        QTest::newRow("separator appended")
            << std::string("C:\\data") << std::string("C:\\data\\") << std::optional(Status::Arrival);
        QTest::newRow("separator kept") << std::string("C:\\data\\") << std::string("C:\\data\\")
                                        << std::optional(Status::Arrival);
        QTest::newRow("trail byte 0x5C is no separator")
            << "C:\\" + sjisHyo << "C:\\" + sjisHyo + "\\" << std::optional(Status::Watching);
        QTest::newRow("control bytes kept inside quotes") << std::string("\"\x01"
                                                                         "C:\\data\x02\"")
                                                          << std::string("\x01"
                                                                         "C:\\data\x02\\")
                                                          << std::optional(Status::NoFolder);
        QTest::newRow("missing folder") << std::string("C:\\gone") << std::string("C:\\gone\\")
                                        << std::optional(Status::NoFolder);
    }
    void pollListsTheValueAsRead()
    {
        QFETCH(std::string, value);
        QFETCH(std::string, listed);
        QFETCH(std::optional<Status>, status);
        windows->addFolder("C:\\" + sjisHyo);
        // The only entry other than "." and ".." comes last in the listing.
        windows->addFile("C:\\data\\zz", "x");
        windows->addFile("C:\\work\\Kelvoran.ini", settingsFile(value));
        QCOMPARE(monitor::pollStatus(*windows), status);
        QCOMPARE(windows->listed, std::vector<std::string>{listed});
    }

    void displayTrimsWhatThePollKeeps()
    {
        windows->addFile("C:\\work\\Kelvoran.ini", "[KansiDir]\r\nfullpath=\"\x01\x1F"
                                                   "C:\\data \x7F\x02\"\r\n");
        setup::displayRoutine(*windows, view);
        QCOMPARE(view.folderLabel, std::string("C:\\data \x7F"));
        QVERIFY(view.boxes.empty());
    }

    void storeRouteFollowsPresenceNotReadability()
    {
        windows->addFile("C:\\work\\Kelvoran.ini", "[KansiDir]\r\nfullpath=C:\\old\r\n");
        windows->filesReadable = false;
        QVERIFY_THROWS_EXCEPTION(EIniFileException,
                                 settings::storeWatchedFolder(*windows, "C:\\work\\Kelvoran.ini", "C:\\new"));
        QCOMPARE(windows->writes, 0);
    }

    void handEditBetweenDisplayAndChangeIsKept()
    {
        windows->addFile("C:\\work\\Kelvoran.ini", settingsFile("C:\\old"));
        setup::displayRoutine(*windows, view);
        windows->addFile("C:\\work\\Kelvoran.ini", "[kansidir]\r\nFULLPATH = C:\\hand  \r\n[Mine]\r\nkeep=1\r\n");
        view.entry = "C:\\data";
        setup::changeCommand(*windows, view);
        QCOMPARE(windows->content("C:\\work\\Kelvoran.ini"),
                 std::string("[kansidir]\r\nFULLPATH = C:\\data\r\n[Mine]\r\nkeep=1\r\n"));
    }

    // The commands' disk calls all run on the one thread the waiting system keeps, never on the
    // window's: a thread started for each call made thread creation stall under Wine.
    void waitingSystemKeepsOneThreadForItsCalls()
    {
        const auto system =
            std::make_shared<ThreadCountingSystem>(ansi::PathStyle::windows(), ansi::CodePage::shiftJis(), "C:\\work");
        system->addFolder("C:\\");
        system->addFolder("C:\\data");
        PollingLoop loop;
        setup::WaitingSystem waiting(system, loop);
        view.entry = "C:\\data";
        for (int i = 0; i < 100; ++i)
            setup::changeCommand(waiting, view);
        QCOMPARE(system->content("C:\\work\\Kelvoran.ini"), settingsFile("C:\\data"));
        QCOMPARE(system->threads, 1);
        QVERIFY(!system->callerUsed);
    }

    // A command asked for while another runs is let go; the display routine waits for its end.
    void oneCommandAtATimeAndTheDisplayRoutineWaitsForTheEnd()
    {
        setup::CommandGate gate;
        QStringList ran;
        QVERIFY(gate.run([&] {
            QVERIFY(!gate.run([&] { ran << "second"; }));
            gate.runWhenFree([&] { ran << "replaced"; });
            gate.runWhenFree([&] { ran << (gate.running() ? "routine" : "outside the gate"); });
            ran << "first";
        }));
        gate.runWhenFree([&] { ran << "at once"; });
        QCOMPARE(ran, (QStringList{"first", "routine", "at once"}));
    }

    void unnamedWorkingDirectoryHoldsNoSettings()
    {
        windows->addFile("C:\\work\\Kelvoran.ini", settingsFile("C:\\data"));
        windows->workingDirectoryError = 2;
        QCOMPARE(monitor::pollStatus(*windows), std::optional<Status>());
        setup::displayRoutine(*windows, view);
        QCOMPARE(boxes(view), QStringList{box(MessageKind::Warning, setup::buttons::yes, noFolderGiven)});
        view.entry = "C:\\data";
        try {
            setup::changeCommand(*windows, view);
            QFAIL("the store must fail");
        } catch (const EFCreateError& failure) {
            QCOMPARE(std::string(failure.what()), std::string("Cannot create file \"Kelvoran.ini\". error 2"));
        }
        QCOMPARE(windows->writes, 0);
    }
};

QTEST_APPLESS_MAIN(TestSetupAndPoll)
#include "TestSetupAndPoll.moc"
