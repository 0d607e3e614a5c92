#include "common/Failures.h"
#include "monitor/ArrivalPoll.h"
#include "platform/posix/AutostartEntry.h"
#include "platform/posix/FolderClaim.h"
#include "platform/posix/PosixSystem.h"
#include "settings/SettingsFile.h"
#include "support/WorkingDirectory.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cerrno>
#include <fcntl.h>

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

    // A folder and an executable whose names the desktop entry must quote and escape, or cannot
    // carry. GLib's loader starts the entry, as a desktop does at login.
    void oddFoldersStartAtLogin_data()
    {
        QTest::addColumn<std::string>("name");
        QTest::addColumn<int>("error");
        QTest::newRow("plain") << std::string("in") << 0;
        QTest::newRow("quotes, blanks, tabs") << std::string(" R&D \"$HOME\" 'q' \ta\\b;`x` ") << 0;
        QTest::newRow("only blanks and tabs") << std::string(" kel\tvoran ") << 0;
        QTest::newRow("percent") << std::string("100%") << platform::loginPathUnwritable;
        QTest::newRow("not UTF-8") << std::string("in\xFF") << platform::loginPathUnwritable;
        QTest::newRow("line break") << std::string("in\nout") << platform::loginPathUnwritable;
    }
    void oddFoldersStartAtLogin()
    {
        QFETCH(std::string, name);
        QFETCH(int, error);
        const WorkingDirectory work;
        qputenv("XDG_CONFIG_HOME", work.path("config").c_str());
        const std::string folder = work.path(name);
        const std::string tool = folder + "/" + name;
        // Bytes as they are: a QString would change what is not UTF-8. The tool tells how it ran.
        writeBytes(work.path("run"), "#!/bin/sh\n{ pwd; printf '%s\\n' \"$@\"; } >" + work.path("started") + "\n");
        QVERIFY(::chmod(work.path("run").c_str(), 0755) == 0);
        QVERIFY(::mkdir(folder.c_str(), 0755) == 0 && ::symlink(work.path("run").c_str(), tool.c_str()) == 0);
        QCOMPARE(platform::posix::setAutostartEntry(tool, folder, true), error);
        const QString autostart = QString::fromStdString(work.path("config/autostart/"));
        if (error != 0) {
            QVERIFY(!QFile::exists(autostart));
            QVERIFY(::unlink(tool.c_str()) == 0 && ::rmdir(folder.c_str()) == 0);
            return;
        }
        const platform::LoginStart made = platform::posix::autostartEntryFor(tool, folder);
        QVERIFY(made.on && made.own);
        QProcess validate;
        validate.setProcessChannelMode(QProcess::MergedChannels);
        validate.start(QStringLiteral("desktop-file-validate"), {QString::fromStdString(made.entry)});
        QVERIFY(validate.waitForFinished(10000));
        QVERIFY2(validate.exitCode() == 0 && validate.peek(1).isEmpty(), validate.readAll().constData());
        const QStringList launch{QStringLiteral("launch"), QString::fromStdString(made.entry)};
        QCOMPARE(QProcess::execute(QStringLiteral("gio"), launch), 0);
        QTRY_COMPARE(readBytes(work.path("started")), folder + "\n-iconic\n");

        // Another folder's entry takes the next name; one made by hand (the tool's own text
        // without its mark, through a link to the folder) counts, and stays when switched off.
        QVERIFY(QDir().mkdir(QStringLiteral("other")));
        QCOMPARE(platform::posix::setAutostartEntry(tool, work.path("other"), true), 0);
        QVERIFY(QFile::link(QString::fromStdString(folder), QStringLiteral("link")));
        std::string hand = *platform::posix::autostartEntryText(tool, work.path("link"));
        hand.erase(hand.find("X-Kelvoran-Folder"));
        writeBytes(autostart.toStdString() + "hand.desktop", hand);
        QCOMPARE(platform::posix::autostartEntryFor(tool, folder).entry, autostart.toStdString() + "hand.desktop");
        QCOMPARE(platform::posix::setAutostartEntry(tool, folder, false), 0);
        QCOMPARE(QDir(autostart).entryList(QDir::Files),
                 QStringList({QStringLiteral("hand.desktop"), QStringLiteral("org.kelvoran.Kelvoran-2.desktop")}));
    }

    // Anyone may bind the name of this user's claim of a folder: another user's socket there (as
    // nobody) is no copy of the tool's, and the start goes on. It was asked: the name is the claim's.
    void anotherUsersSocketIsNoClaim()
    {
        if (::geteuid() != 0)
            QSKIP("another user needs root");
        const WorkingDirectory work;
        QProcess holder;
        holder.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral(R"(import os, socket, sys
f = os.stat(sys.argv[1]); os.setgid(65534); os.setuid(65534); s = socket.socket(socket.AF_UNIX)
s.bind(b"\0org.kelvoran.Kelvoran/0/%d-%d" % (f.st_dev, f.st_ino)); s.listen(); print(flush=True); s.accept())"),
                                                 QString::fromStdString(work.path())});
        QVERIFY(holder.waitForReadyRead(5000));
        QVERIFY(platform::posix::claimFolder(work.path(), [] {}) != nullptr);
        QVERIFY(holder.waitForFinished(5000) && holder.exitCode() == 0);
    }
};

QTEST_APPLESS_MAIN(TestHostileInput)
#include "TestHostileInput.moc"
