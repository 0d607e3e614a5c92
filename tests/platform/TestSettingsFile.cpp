#include "common/Failures.h"
#include "platform/posix/PosixSystem.h"
#include "settings/SettingsFile.h"
#include "support/WorkingDirectory.h"

#include <QDir>
#include <QTest>

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
