#include "common/Failures.h"
#include "monitor/ArrivalPoll.h"
#include "platform/posix/PosixSystem.h"
#include "settings/SettingsFile.h"
#include "support/WorkingDirectory.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using monitor::Status;

Q_DECLARE_METATYPE(std::optional<Status>)

namespace {

// What to put at a path: each row makes one kind of entry there.
enum class Thing
{
    Fifo,
    LinkLoop,
    CharacterDevice,
    HugeFile,
    RandomBytes,
};

void make(Thing thing, const char* path)
{
    switch (thing) {
    case Thing::Fifo:
        QVERIFY(::mkfifo(path, 0666) == 0);
        break;
    case Thing::LinkLoop:
        QVERIFY(::symlink(path, path) == 0);
        break;
    case Thing::CharacterDevice:
        QVERIFY(::symlink("/dev/zero", path) == 0);
        break;
    case Thing::HugeFile:
        writeBytes(path, "[KansiDir]\r\nfullpath=/tmp\r\n" + std::string(3 * 1024 * 1024, ';'));
        break;
    case Thing::RandomBytes: {
        std::string bytes(64 * 1024, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
        writeBytes(path, bytes);
        break;
    }
    }
}

} // namespace

Q_DECLARE_METATYPE(Thing)

class TestHostileInput : public QObject
{
    Q_OBJECT

private slots:
    void atTheSettingsPath_data()
    {
        QTest::addColumn<Thing>("thing");
        QTest::newRow("named pipe") << Thing::Fifo;
        QTest::newRow("link loop") << Thing::LinkLoop;
        QTest::newRow("character device") << Thing::CharacterDevice;
        QTest::newRow("file over the size bound") << Thing::HugeFile;
        QTest::newRow("random bytes") << Thing::RandomBytes;
    }
    void atTheSettingsPath()
    {
        QFETCH(Thing, thing);
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        make(thing, "Kelvoran.ini");
        QElapsedTimer timer;
        timer.start();
        const std::optional<Status> status = monitor::pollStatus(system);
        QVERIFY(!status || *status == Status::NoFolder);
        // A store either works or fails with one of the tool's own messages; it never hangs.
        try {
            settings::storeWatchedFolder(system, settings::settingsPath(system), "/srv/in");
        } catch (const EIniFileException&) {
        } catch (const EFCreateError&) {
        }
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    }

    void atTheWatchedPath_data()
    {
        QTest::addColumn<Thing>("thing");
        QTest::newRow("named pipe") << Thing::Fifo;
        QTest::newRow("link loop") << Thing::LinkLoop;
        QTest::newRow("character device") << Thing::CharacterDevice;
        QTest::newRow("random bytes") << Thing::RandomBytes;
    }
    void atTheWatchedPath()
    {
        QFETCH(Thing, thing);
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        make(thing, "in");
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=in\r\n");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(monitor::pollStatus(system), std::optional<Status>(Status::NoFolder));
        QVERIFY(timer.elapsed() < 1000);
    }

    void oddPaths_data()
    {
        QTest::addColumn<std::string>("path");
        QTest::newRow("longer than the system allows") << "/tmp/" + std::string(5000, 'x');
        QTest::newRow("a name longer than the system allows") << "/tmp/" + std::string(300, 'x') + "/in";
        QTest::newRow("value at the read bound") << "/" + std::string(2046, 'y');
        QTest::newRow("through a regular file") << std::string("/etc/hostname/in");
    }
    void oddPaths()
    {
        QFETCH(std::string, path);
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=" + path + "\r\n");
        QCOMPARE(monitor::pollStatus(system), std::optional<Status>(Status::NoFolder));
    }
};

QTEST_APPLESS_MAIN(TestHostileInput)
#include "TestHostileInput.moc"
