#include "monitor/ArrivalPoll.h"
#include "monitor/BackgroundCheck.h"
#include "platform/posix/PosixSystem.h"
#include "support/HangingShare.h"
#include "support/HelperProcess.h"
#include "support/RecordingView.h"
#include "support/WorkingDirectory.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string arrival = "着信！";
const std::string watching = "監視中・・・・";
const std::string noFolder = "指定したフォルダは存在しません！";

void storeByHand(const std::string& folder)
{
    writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + folder + "\r\n");
}

// The real system, counting the folder watches it sets up, so that a test knows when one is on.
class WatchCountingSystem : public platform::PosixSystem
{
public:
    WatchCountingSystem() : PosixSystem("kelvoran") {}
    std::unique_ptr<platform::FolderWatch> watchFolder(const std::string& path,
                                                       std::function<void()> changed) const override
    {
        std::unique_ptr<platform::FolderWatch> watch = PosixSystem::watchFolder(path, std::move(changed));
        if (watch != nullptr)
            ++watches;
        return watch;
    }
    platform::Listing listDirectory(const std::string& path, platform::EntryVisitor& visitor) const override
    {
        pid_t first = 0;
        if (!lister.compare_exchange_strong(first, ::gettid()) && first != ::gettid())
            ++otherListers;
        ++listings;
        return PosixSystem::listDirectory(path, visitor);
    }
    mutable std::atomic<int> watches{0};
    mutable std::atomic<int> listings{0};
    mutable std::atomic<pid_t> lister{0}; // the first thread that listed
    mutable std::atomic<int> otherListers{0};
};

} // namespace

class TestArrivalPoll : public QObject
{
    Q_OBJECT

private slots:
    void statusFollowsTheFolder_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("finalSeparator");
        QTest::addColumn<std::string>("expected");

        QTest::newRow("empty") << QStringList() << QStringList() << false << watching;
        QTest::newRow("empty, final separator") << QStringList() << QStringList() << true << watching;
        QTest::newRow("one file") << QStringList{QStringLiteral("data.csv")} << QStringList() << false << arrival;
        QTest::newRow("one file, final separator")
            << QStringList{QStringLiteral("data.csv")} << QStringList() << true << arrival;
        QTest::newRow("only a hidden file")
            << QStringList{QStringLiteral(".hidden")} << QStringList() << false << arrival;
        QTest::newRow("only an empty sub-folder")
            << QStringList() << QStringList{QStringLiteral("sub")} << false << arrival;
    }
    void statusFollowsTheFolder()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, folders);
        QFETCH(bool, finalSeparator);
        QFETCH(std::string, expected);

        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        for (const QString& file : files)
            writeBytes(work.path("in/" + file.toStdString()), "x");
        for (const QString& folder : folders)
            QVERIFY(QDir().mkdir(QStringLiteral("in/") + folder));
        storeByHand(work.path("in") + (finalSeparator ? "/" : ""));

        RecordingView view;
        monitor::pollArrival(system, view);
        QCOMPARE(view.caption, expected);
        QCOMPARE(view.applicationTitle, expected);
        // The taskbar text goes first, the text a minimised user watches.
        QCOMPARE(view.writes, (std::vector<std::string>{"title:" + expected, "caption:" + expected}));
    }

    void arrivalComesAndGoes()
    {
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        // A relative path is taken from the working directory at each tick.
        storeByHand("in");
        RecordingView view;
        monitor::pollArrival(system, view);
        QCOMPARE(view.caption, watching);
        writeBytes("in/a.txt", "x");
        monitor::pollArrival(system, view);
        QCOMPARE(view.caption, arrival);
        QVERIFY(QFile::remove(QStringLiteral("in/a.txt")));
        monitor::pollArrival(system, view);
        QCOMPARE(view.applicationTitle, watching);
    }

    void missingFolder_data()
    {
        QTest::addColumn<bool>("regularFile");
        QTest::newRow("regular file") << true;
        QTest::newRow("deleted folder") << false;
    }
    void missingFolder()
    {
        QFETCH(bool, regularFile);
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        if (regularFile) {
            writeBytes("in", "not a folder");
        } else {
            QVERIFY(QDir().mkdir(QStringLiteral("in")));
            QVERIFY(QDir().rmdir(QStringLiteral("in")));
        }
        storeByHand(work.path("in"));
        RecordingView view;
        monitor::pollArrival(system, view);
        QCOMPARE(view.writes, (std::vector<std::string>{"caption:" + noFolder, "title:" + noFolder}));
    }

    void nothingToReadKeepsTheStatus()
    {
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        RecordingView view;
        monitor::pollArrival(system, view); // no settings file
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=\r\n");
        monitor::pollArrival(system, view); // empty value
        QVERIFY(view.writes.empty());
        QCOMPARE(view.caption, std::string("Kelvoran"));

        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        storeByHand("in");
        monitor::pollArrival(system, view);
        QCOMPARE(view.caption, watching);
        QVERIFY(QFile::remove(QStringLiteral("Kelvoran.ini")));
        QVERIFY(QDir().rmdir(QStringLiteral("in")));
        monitor::pollArrival(system, view);
        QCOMPARE(view.caption, watching);
    }

    void handEditTakesEffectAtTheNextTick()
    {
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("empty")));
        QVERIFY(QDir().mkdir(QStringLiteral("full")));
        writeBytes("full/x", "x");
        storeByHand("empty");
        RecordingView view;
        monitor::pollArrival(system, view);
        QCOMPARE(view.caption, watching);
        writeBytes("Kelvoran.ini", "[KansiDir]\nfullpath = full\n");
        monitor::pollArrival(system, view);
        QCOMPARE(view.caption, arrival);
    }

    void longListingIsWalkedToTheEnd()
    {
        // Far more than one read buffer holds: every name must come by exactly once.
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        constexpr int count = 20000;
        for (int i = 0; i < count; ++i)
            writeBytes(work.path("in/an entry with a long enough name " + std::to_string(i)), {});
        struct Names : platform::EntryVisitor
        {
            std::vector<std::string> seen;
            void visit(std::string_view name) override { seen.emplace_back(name); }
        } names;
        QCOMPARE(system.listDirectory("in", names), platform::Listing::Listed);
        QCOMPARE(names.seen.size(), std::size_t{count + 2});
        QCOMPARE(std::set<std::string>(names.seen.begin(), names.seen.end()).size(), std::size_t{count + 2});
    }

    // The change notification on a folder that changes all the time: extra checks come, but no
    // closer than 20 ms apart, on one lasting thread, and unchanged answers are not delivered.
    void aChurningFolderGetsAtMostFiftyExtraChecksASecond()
    {
        const auto system = std::make_shared<WatchCountingSystem>();
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        storeByHand(work.path("in"));
        std::atomic<int> delivered{0};
        monitor::BackgroundCheck check(system, [&](const monitor::CheckResult&) { ++delivered; });
        check.request(0); // the first check starts the watch
        QTRY_COMPARE(system->watches.load(), 1);
        std::atomic<bool> stop{false};
        std::thread churn([&] {
            while (!stop) {
                ::close(::open("in/churn", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
                ::unlink("in/churn");
            }
        });
        QTest::qWait(1000);
        stop = true;
        churn.join();
        const int extra = system->listings - 1;
        QVERIFY2(extra >= 5 && extra <= 55, qPrintable(QString::number(extra)));
        QVERIFY(delivered < system->listings);
        QCOMPARE(system->otherListers.load(), 0);
    }

    // Between the ticks the folder watch starts a check, however the entry comes: a finished file
    // renamed in from a sibling folder is how writers publish one. The tick is the floor for a
    // folder made again under the same name; from then on the watch is on the new folder.
    void anEntryShowsAtOnceWithoutATick_data()
    {
        QTest::addColumn<bool>("renamedIn");
        QTest::addColumn<bool>("folderMadeAgain");
        QTest::newRow("created") << false << false;
        QTest::newRow("renamed in from a sibling folder") << true << false;
        QTest::newRow("created in the folder made again") << false << true;
    }
    void anEntryShowsAtOnceWithoutATick()
    {
        QFETCH(bool, renamedIn);
        QFETCH(bool, folderMadeAgain);
        const auto system = std::make_shared<WatchCountingSystem>();
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")) && QDir().mkdir(QStringLiteral("outside")));
        storeByHand(work.path("in"));
        // The watch vouches for a quiet local folder until an entry comes or it goes; on FUSE never.
        const auto watch = platform::PosixSystem("kelvoran").watchFolder(work.path("in"), [] {});
        watch->listingStarts();
        QVERIFY(watch->unchangedSinceListing());
        std::atomic<int> arrivals{0};
        monitor::BackgroundCheck check(system, [&](const monitor::CheckResult& result) {
            if (result.status == monitor::Status::Arrival)
                ++arrivals;
        });
        // Only waited for, not checked: an entry that comes before the watch is on is the tick's.
        check.request(0);
        static_cast<void>(QTest::qWaitFor([&] { return system->watches == 1; }, 2000));
        if (folderMadeAgain) {
            QVERIFY(::rmdir("in") == 0 && ::mkdir("in", 0755) == 0);
            check.request(0);
            static_cast<void>(QTest::qWaitFor([&] { return system->watches == 2; }, 2000));
        }
        writeBytes(renamedIn ? "outside/data.csv" : "in/data.csv", "1");
        if (renamedIn)
            QVERIFY(::rename("outside/data.csv", "in/data.csv") == 0);
        QTRY_VERIFY_WITH_TIMEOUT(arrivals > 0, 500);
        QTRY_VERIFY(!watch->unchangedSinceListing());
        if (folderMadeAgain && QFile::exists(QStringLiteral("/dev/fuse"))) {
            HangingShare share;
            QVERIFY2(share.mounted(), qPrintable(share.errors()));
            const auto onFuse = platform::PosixSystem("kelvoran").watchFolder(work.path("mnt/in"), [] {});
            onFuse->listingStarts();
            QVERIFY(!onFuse->unchangedSinceListing());
        }
    }

    void unlistableFolderReadsAsWatching()
    {
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        writeBytes("in/x", "x");
        storeByHand(work.path("in"));
        // Search permission only: the folder exists but cannot be listed. Root lists anything,
        // so the tick runs as nobody there.
        QVERIFY(QFile::setPermissions(QStringLiteral("in"), QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
        QVERIFY(::chmod(work.path().c_str(), 0755) == 0);
        const QString status = runHelper({QStringLiteral("poll")}, true);
        QFile::setPermissions(QStringLiteral("in"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(status, QStringLiteral("watching"));
    }

    // The reminders' local time: a zone changed while the tool runs counts at once.
    void localTimeFollowsTheZone()
    {
        const platform::PosixSystem system("kelvoran");
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "UTC0");
        const platform::LocalTime utc = system.localTime();
        qputenv("TZ", "EAST-9");
        const platform::LocalTime east = system.localTime();
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        QCOMPARE(utc.minuteOfDay, int(utc.wallSeconds / 60 % 1440));
        QCOMPARE(east.minuteOfDay, int((east.wallSeconds / 60 + 9 * 60) % 1440));
    }
};

QTEST_APPLESS_MAIN(TestArrivalPoll)
#include "TestArrivalPoll.moc"
