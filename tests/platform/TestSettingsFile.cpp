#include "common/Failures.h"
#include "platform/posix/PosixSystem.h"
#include "settings/SettingsFile.h"
#include "support/WorkingDirectory.h"

#include "monitor/ArrivalPoll.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The message of the EFCreateError that storing `folder` throws, or "" when the store works.
std::string createFailure(platform::System& system, const std::string& folder)
{
    try {
        settings::storeWatchedFolder(system, settings::settingsPath(system), folder);
    } catch (const EFCreateError& failure) {
        return failure.what();
    }
    return {};
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void pathFollowsTheWorkingDirectory()
    {
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory first;
        QCOMPARE(settings::settingsPath(system), first.path("Kelvoran.ini"));
        const WorkingDirectory second;
        QCOMPARE(settings::settingsPath(system), second.path("Kelvoran.ini"));
    }

    void newFileHasExactlyTwoLines()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        const std::string path = settings::settingsPath(system);
        QVERIFY(!settings::settingsPresent(system, path));
        settings::storeWatchedFolder(system, path, "/srv/in box");
        QCOMPARE(readBytes(path), std::string("[KansiDir]\r\nfullpath=/srv/in box\r\n"));
        QVERIFY(settings::settingsPresent(system, path));
        QCOMPARE(settings::readWatchedFolder(system, path), std::string("/srv/in box"));
        // Nothing but the settings file was written.
        QCOMPARE(QDir(QDir::currentPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("Kelvoran.ini")});
    }

    void updateKeepsEverythingElse()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        const std::string path = settings::settingsPath(system);
        const std::string before = "[Other]\r\nfullpath=keep\r\n\r\n[kansidir]\r\nFULLPATH = D:\\in  \r\n[Last]\nx=1";
        writeBytes(path, before);
        QCOMPARE(settings::readWatchedFolder(system, path), std::string("D:\\in"));
        settings::storeWatchedFolder(system, path, "/srv/new");
        QCOMPARE(readBytes(path),
                 std::string("[Other]\r\nfullpath=keep\r\n\r\n[kansidir]\r\nFULLPATH = /srv/new\r\n[Last]\nx=1"));
    }

    void presentFileWithoutSectionGetsOne()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        const std::string path = settings::settingsPath(system);
        writeBytes(path, "");
        settings::storeWatchedFolder(system, path, "in");
        QCOMPARE(readBytes(path), std::string("[KansiDir]\r\nfullpath=in\r\n"));
    }

    void directoryInTheWayCountsAsAbsent()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        QVERIFY(QDir().mkdir(QStringLiteral("Kelvoran.ini")));
        const std::string path = settings::settingsPath(system);
        QVERIFY(!settings::settingsPresent(system, path));
        QCOMPARE(settings::readWatchedFolder(system, path), std::string());
        try {
            settings::storeWatchedFolder(system, path, "/srv/in");
            QFAIL("store succeeded");
        } catch (const EFCreateError& failure) {
            QCOMPARE(std::string(failure.what()), "Cannot create file \"" + path + "\". Is a directory");
        }
        // No temporary file is left behind.
        QCOMPARE(QDir(QDir::currentPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 1);
    }

    void linkIsNeverReplaced()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        QVERIFY(QDir().mkdir(QStringLiteral("dir")));
        QVERIFY(::symlink("dir", "Kelvoran.ini") == 0);
        QCOMPARE(createFailure(system, "/srv/in"),
                 "Cannot create file \"" + folder.path("Kelvoran.ini") + "\". Is a directory");
        QCOMPARE(QFileInfo(QStringLiteral("Kelvoran.ini")).symLinkTarget(),
                 QDir::current().filePath(QStringLiteral("dir")));

        // A dangling link gets its target made, as creating a file through a link does.
        QVERIFY(::unlink("Kelvoran.ini") == 0 && ::symlink("sub/../real.ini", "Kelvoran.ini") == 0);
        QVERIFY(QDir().mkdir(QStringLiteral("sub")));
        QCOMPARE(createFailure(system, "/srv/in"), std::string());
        QVERIFY(QFileInfo(QStringLiteral("Kelvoran.ini")).isSymLink());
        QCOMPARE(readBytes("real.ini"), std::string("[KansiDir]\r\nfullpath=/srv/in\r\n"));
    }

    void oversizedFileIsNeverReplaced()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        const std::string before = "[KansiDir]\r\nfullpath=/srv/old\r\n" + std::string(2 * 1024 * 1024, ';');
        writeBytes("Kelvoran.ini", before);
        QVERIFY_THROWS_EXCEPTION(EIniFileException,
                                 settings::storeWatchedFolder(system, settings::settingsPath(system), "/srv/in"));
        QCOMPARE(readBytes("Kelvoran.ini"), before);
    }

    void fileUpToOneMebibyteIsRead_data()
    {
        QTest::addColumn<std::size_t>("size");
        QTest::addColumn<std::string>("expected");
        constexpr std::size_t bound = 1024 * 1024;
        QTest::newRow("at the bound") << bound << std::string("/srv/in");
        QTest::newRow("one byte over") << bound + 1 << std::string();
    }
    void fileUpToOneMebibyteIsRead()
    {
        QFETCH(std::size_t, size);
        QFETCH(std::string, expected);
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        std::string content = "[KansiDir]\r\nfullpath=/srv/in\r\n";
        content.resize(size, ';');
        writeBytes("Kelvoran.ini", content);
        QCOMPARE(settings::readWatchedFolder(system, settings::settingsPath(system)), expected);
    }

    void deletedWorkingDirectoryHoldsNoSettings()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        QVERIFY(!QFileInfo::exists(QStringLiteral("/Kelvoran.ini")));
        QVERIFY(QDir().mkdir(QStringLiteral("gone")) && QDir::setCurrent(QStringLiteral("gone")));
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=/tmp\r\n");
        QVERIFY(::unlink(folder.path("gone/Kelvoran.ini").c_str()) == 0 && ::rmdir(folder.path("gone").c_str()) == 0);

        QCOMPARE(settings::settingsPath(system), std::string());
        QCOMPARE(monitor::pollStatus(system), std::optional<monitor::Status>());
        QCOMPARE(createFailure(system, "/srv/in"),
                 std::string("Cannot create file \"Kelvoran.ini\". No such file or directory"));
        QVERIFY(!QFileInfo::exists(QStringLiteral("/Kelvoran.ini")));
    }

    void deepWorkingDirectoryHoldsTheSettings()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        // Gone down one level at a time: the whole path is longer than any system call takes.
        const std::string level(250, 'd');
        constexpr int depth = 20;
        for (int i = 0; i < depth; ++i)
            QVERIFY(::mkdir(level.c_str(), 0700) == 0 && ::chdir(level.c_str()) == 0);
        const std::string path = settings::settingsPath(system);
        QVERIFY(path.size() > 5000);

        settings::storeWatchedFolder(system, path, "/srv/in");
        QVERIFY(settings::settingsPresent(system, path));
        settings::storeWatchedFolder(system, path, "/srv/new");
        QCOMPARE(settings::readWatchedFolder(system, path), std::string("/srv/new"));
        QCOMPARE(readBytes("Kelvoran.ini"), std::string("[KansiDir]\r\nfullpath=/srv/new\r\n"));
        // Messages still name the file by its full path.
        QVERIFY(::unlink("Kelvoran.ini") == 0 && ::mkdir("Kelvoran.ini", 0700) == 0);
        QCOMPARE(createFailure(system, "/srv/in"), "Cannot create file \"" + path + "\". Is a directory");

        QVERIFY(::rmdir("Kelvoran.ini") == 0);
        for (int i = 0; i < depth; ++i)
            QVERIFY(::chdir("..") == 0 && ::rmdir(level.c_str()) == 0);
    }

    void utf16FileIsNotUpdated()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        const std::string path = settings::settingsPath(system);
        const std::string before("\xFF\xFE[\0K\0", 6);
        writeBytes(path, before);
        QVERIFY_THROWS_EXCEPTION(EIniFileException, settings::storeWatchedFolder(system, path, "/srv/in"));
        try {
            settings::storeWatchedFolder(system, path, "/srv/in");
        } catch (const EIniFileException& failure) {
            QCOMPARE(std::string(failure.what()), "Unable to write to " + path);
        }
        QCOMPARE(readBytes(path), before);
    }

    void fullPathNameFoldsDots()
    {
        const platform::PosixSystem system("kelvoran");
        const WorkingDirectory folder;
        QCOMPARE(system.fullPathName("a/./b/../c"), folder.path("a/c"));
        QCOMPARE(system.fullPathName("/x//y/../z"), std::string("/x/z"));
        QCOMPARE(system.errorText(ENOENT), std::string("No such file or directory"));
    }
};

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"
