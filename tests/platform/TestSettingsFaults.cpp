#include "common/CodePage.h"
#include "settings/Ini.h"
#include "support/HelperProcess.h"
#include "support/WorkingDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uid_t nobody = 65534;

QStringList folderEntries()
{
    return QDir(QDir::currentPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

std::string fileFor(const std::string& value)
{
    return "[KansiDir]\r\nfullpath=" + value + "\r\n";
}

// Hands the working directory and everything in it to the user the helper runs as.
void giveAway(const WorkingDirectory& work)
{
    if (::geteuid() != 0)
        return;
    QVERIFY(::chown(work.path().c_str(), nobody, nobody) == 0);
    for (const QString& entry : folderEntries())
        QVERIFY(::lchown(work.path(entry.toStdString()).c_str(), nobody, nobody) == 0);
}

} // namespace

class TestSettingsFaults : public QObject
{
    Q_OBJECT

private slots:
    void killedStoresNeverTearTheFile_data()
    {
        QTest::addColumn<bool>("startWithoutFile");
        QTest::newRow("new file") << true;
        QTest::newRow("update of a present file") << false;
    }
    void killedStoresNeverTearTheFile()
    {
        QFETCH(bool, startWithoutFile);
        const WorkingDirectory work;
        const std::string first = "/srv/alpha/" + std::string(300, 'a');
        const std::string second = "/srv/beta/" + std::string(700, 'b');
        int kills = 0;
        int absent = 0;
        for (int round = 0; round < 150; ++round) {
            if (startWithoutFile)
                QFile::remove(QStringLiteral("Kelvoran.ini"));
            else if (round == 0)
                writeBytes("Kelvoran.ini", fileFor(first));

            QProcess loop;
            startHelper(loop, {QStringLiteral("loop"), QString::fromStdString(first), QString::fromStdString(second)});
            QVERIFY(loop.waitForReadyRead(5000));
            std::this_thread::sleep_for(std::chrono::microseconds(QRandomGenerator::global()->bounded(3000)));
            ::kill(static_cast<pid_t>(loop.processId()), SIGKILL);
            QVERIFY(loop.waitForFinished(5000));
            QCOMPARE(loop.exitStatus(), QProcess::CrashExit);
            ++kills;

            if (!QFileInfo::exists(QStringLiteral("Kelvoran.ini"))) {
                // Killed before the first store ended: the file was never there.
                QVERIFY(startWithoutFile);
                ++absent;
                continue;
            }
            const std::string content = readBytes("Kelvoran.ini");
            QVERIFY2(content == fileFor(first) || content == fileFor(second), content.c_str());
            // A kill between writing and renaming leaves a temporary file; it is never read.
            for (const QString& entry : folderEntries()) {
                if (entry != QStringLiteral("Kelvoran.ini"))
                    QVERIFY(QFile::remove(entry));
            }
        }
        qInfo("%d kills, every file whole (%d before the first store ended)", kills, absent);
    }

    void readOnlyFileIsNeverReplaced()
    {
        const WorkingDirectory work;
        writeBytes("Kelvoran.ini", fileFor("old"));
        QVERIFY(::chmod("Kelvoran.ini", 0444) == 0);
        giveAway(work);
        QCOMPARE(runHelper({QStringLiteral("store"), QStringLiteral("new")}, true),
                 QStringLiteral("Unable to write to ") + QString::fromStdString(work.path("Kelvoran.ini")));
        QCOMPARE(readBytes("Kelvoran.ini"), fileFor("old"));
        QCOMPARE(folderEntries(), QStringList{QStringLiteral("Kelvoran.ini")});
    }

    void readOnlyFolderRewritesInPlaceOnlyWhatFits_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("stored");
        QTest::newRow("shorter content") << QStringLiteral("new") << true;
        // A longer content needs blocks a full disk could refuse half way, cutting the path.
        QTest::newRow("longer content") << QStringLiteral("/srv/a value much longer than the old one") << false;
    }
    void readOnlyFolderRewritesInPlaceOnlyWhatFits()
    {
        QFETCH(QString, value);
        QFETCH(bool, stored);
        const WorkingDirectory work;
        const std::string before = fileFor("/srv/the old value");
        writeBytes("Kelvoran.ini", before);
        QVERIFY(::chmod("Kelvoran.ini", 0666) == 0);
        giveAway(work);
        QVERIFY(::chmod(work.path().c_str(), 0555) == 0);
        const QString output = runHelper({QStringLiteral("store"), value}, true);
        QVERIFY(::chmod(work.path().c_str(), 0700) == 0);
        if (stored) {
            QCOMPARE(output, QStringLiteral("ok"));
            QCOMPARE(readBytes("Kelvoran.ini"), fileFor(value.toStdString()));
        } else {
            QCOMPARE(output, QStringLiteral("Unable to write to ") + QString::fromStdString(work.path("Kelvoran.ini")));
            QCOMPARE(readBytes("Kelvoran.ini"), before);
        }
        QCOMPARE(folderEntries(), QStringList{QStringLiteral("Kelvoran.ini")});
    }

    void permissionBitsAndLinksAreKept()
    {
        const WorkingDirectory work;
        writeBytes("real.ini", fileFor("old"));
        QVERIFY(::chmod("real.ini", 0640) == 0);
        QVERIFY(::symlink("real.ini", "Kelvoran.ini") == 0);
        QCOMPARE(runHelper({QStringLiteral("store"), QStringLiteral("new")}), QStringLiteral("ok"));
        QVERIFY(QFileInfo(QStringLiteral("Kelvoran.ini")).isSymLink());
        QCOMPARE(readBytes("real.ini"), fileFor("new"));
        struct stat info
        {};
        QVERIFY(::stat("real.ini", &info) == 0);
        QCOMPARE(info.st_mode & 07777, 0640u);
        QCOMPARE(folderEntries(), (QStringList{QStringLiteral("Kelvoran.ini"), QStringLiteral("real.ini")}));
    }

    void fileSizeLimit_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::addColumn<QString>("message");
        QTest::newRow("new file") << false << false << QStringLiteral("Stream write error");
        QTest::newRow("update") << true << false << QStringLiteral("Unable to write to ");
        // No file beside it: the rewrite in place stops after the limit, past the shared prefix.
        QTest::newRow("update in place") << true << true << QStringLiteral("Unable to write to ");
    }
    void fileSizeLimit()
    {
        QFETCH(bool, present);
        QFETCH(bool, readOnlyFolder);
        QFETCH(QString, message);
        const WorkingDirectory work;
        const std::string before = fileFor("/srv/an old value, longer than the new one");
        if (present)
            writeBytes("Kelvoran.ini", before);
        QVERIFY(!present || ::chmod("Kelvoran.ini", 0666) == 0);
        giveAway(work);
        QVERIFY(!readOnlyFolder || ::chmod(work.path().c_str(), 0555) == 0);
        const QString output = runHelper(
            {QStringLiteral("store-limited"), QStringLiteral("30"), QStringLiteral("/srv/new")}, readOnlyFolder);
        QVERIFY(::chmod(work.path().c_str(), 0700) == 0);
        QVERIFY2(output.startsWith(message), qPrintable(output));
        // Nothing partial stays behind that a later tick could read.
        QCOMPARE(folderEntries(), present ? QStringList{QStringLiteral("Kelvoran.ini")} : QStringList());
        if (present)
            QCOMPARE(readBytes("Kelvoran.ini"), before);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFaults)
#include "TestSettingsFaults.moc"
