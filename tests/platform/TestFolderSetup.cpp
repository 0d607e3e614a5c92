#include "common/Failures.h"
#include "platform/posix/PosixSystem.h"
#include "setup/FolderChain.h"
#include "setup/FolderSetup.h"
#include "support/RecordingView.h"
#include "support/WorkingDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using setup::MessageKind;

namespace {

const std::string noFolderGiven = "監視フォルダを指定して下さい！";
const std::string createQuestion = "入力されたフォルダは存在しません！\r\n作成しますか？";

std::string storedText(const std::string& path)
{
    return "監視フォルダとして\r\n\r\n  " + path + "\r\n\r\nをKelvoran.iniにセットしました！";
}

bool isDir(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).isDir();
}

} // namespace

class TestFolderSetup : public QObject
{
    Q_OBJECT

private slots:
    void blankEntryWarns()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        RecordingView view;
        view.entry = " \t  ";
        setup::changeCommand(system, view);
        QCOMPARE(view.boxes.size(), 1u);
        QCOMPARE(view.boxes[0].text, noFolderGiven);
        QCOMPARE(view.boxes[0].kind, MessageKind::Warning);
        QCOMPARE(view.boxes[0].buttons, setup::buttons::yes);
        QVERIFY(!QFileInfo::exists(QStringLiteral("Kelvoran.ini")));
    }

    void existingFolderIsStoredWithoutQuestion()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        RecordingView view;
        view.entry = "  " + work.path("in") + "  ";
        setup::changeCommand(system, view);
        QCOMPARE(view.boxes.size(), 1u);
        QCOMPARE(view.boxes[0].text, storedText(work.path("in")));
        QCOMPARE(view.boxes[0].kind, MessageKind::Information);
        QCOMPARE(view.folderLabel, work.path("in"));
        QCOMPARE(readBytes("Kelvoran.ini"), "[KansiDir]\r\nfullpath=" + work.path("in") + "\r\n");
    }

    void presentFileChangesOnlyTheValue()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("in")));
        writeBytes("Kelvoran.ini", "[A]\nb=c\n[KansiDir]\nfullpath=old\nnote=1\n");
        RecordingView view;
        view.entry = "in";
        setup::changeCommand(system, view);
        QCOMPARE(readBytes("Kelvoran.ini"), std::string("[A]\nb=c\n[KansiDir]\nfullpath=in\nnote=1\n"));
    }

    void missingLevelsAreCreatedAfterYes()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        RecordingView view;
        const std::string entry = work.path("a/b");
        view.entry = entry;
        view.answers = {setup::results::yes};
        setup::changeCommand(system, view);
        QVERIFY(isDir(entry));
        QCOMPARE(view.boxes.size(), 3u);
        QCOMPARE(view.boxes[0].text, createQuestion);
        QCOMPARE(view.boxes[0].buttons, setup::buttons::yes | setup::buttons::no);
        QCOMPARE(view.boxes[1].text, "フォルダを新たに作成しました！\r\n\r\n" + entry);
        QCOMPARE(view.boxes[1].kind, MessageKind::Confirmation);
        QCOMPARE(view.boxes[2].text, storedText(entry));
        QCOMPARE(view.folderLabel, entry);
    }

    void closingTheQuestionCountsAsYes()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        RecordingView view;
        view.entry = work.path("made");
        view.answers = {setup::results::cancel};
        setup::changeCommand(system, view);
        QVERIFY(isDir(work.path("made")));
        QCOMPARE(readBytes("Kelvoran.ini"), "[KansiDir]\r\nfullpath=" + work.path("made") + "\r\n");
    }

    void noLeavesEverythingUntouched()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=old\r\n");
        RecordingView view;
        view.entry = work.path("new");
        view.answers = {setup::results::no};
        setup::changeCommand(system, view);
        QCOMPARE(view.boxes.size(), 1u);
        QVERIFY(!QFileInfo::exists(QStringLiteral("new")));
        QCOMPARE(readBytes("Kelvoran.ini"), std::string("[KansiDir]\r\nfullpath=old\r\n"));
        QCOMPARE(view.folderLabel, std::string("未設定"));
    }

    void creationFailures_data()
    {
        QTest::addColumn<std::string>("entry");
        QTest::addColumn<bool>("offered");
        QTest::newRow("existing regular file") << std::string("./file") << true;
        QTest::newRow("relative, first folder missing") << std::string("data/in") << false;
        QTest::newRow("short name") << std::string("ab") << false;
    }
    void creationFailures()
    {
        QFETCH(std::string, entry);
        QFETCH(bool, offered);
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        writeBytes("file", "x");
        RecordingView view;
        view.entry = entry;
        setup::changeCommand(system, view);
        QCOMPARE(view.boxes.size(), offered ? 2u : 1u);
        // Offered: the question and the failure; not offered: a box that names it, with why.
        const std::string first = offered ? createQuestion : "入力されたフォルダは作成できません！\r\n\r\n" + entry;
        QCOMPARE(view.boxes[0].text.substr(0, first.size()), first);
        if (offered)
            QCOMPARE(view.boxes[1].text, "フォルダの作成に失敗しました！\r\n\r\n" + entry);
        QCOMPARE(view.boxes.back().kind, offered ? MessageKind::Error : MessageKind::Warning);
        QVERIFY(!QFileInfo::exists(QStringLiteral("Kelvoran.ini")));
        QCOMPARE(view.folderLabel, std::string("未設定"));
    }

    void lineBreakOrNulIsRefused_data()
    {
        QTest::addColumn<std::string>("entry");
        QTest::newRow("line feed") << std::string("in\nfullpath=/etc");
        QTest::newRow("carriage return") << std::string("in\rx");
        QTest::newRow("NUL") << std::string("in\0x", 4);
    }
    void lineBreakOrNulIsRefused()
    {
        QFETCH(std::string, entry);
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        RecordingView view;
        view.entry = entry;
        setup::changeCommand(system, view);
        QCOMPARE(view.boxes.size(), 1u);
        QCOMPARE(view.boxes[0].text, std::string("入力されたフォルダ名に使用できない文字が含まれています！"));
        QCOMPARE(view.boxes[0].kind, MessageKind::Warning);
        QVERIFY(!QFileInfo::exists(QStringLiteral("Kelvoran.ini")));
        QCOMPARE(QDir(QDir::currentPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 0);
    }

    void failedStorePropagatesAndKeepsTheFolder()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        QVERIFY(QDir().mkdir(QStringLiteral("Kelvoran.ini")));
        RecordingView view;
        view.entry = work.path("made");
        QVERIFY_THROWS_EXCEPTION(EFCreateError, setup::changeCommand(system, view));
        QVERIFY(isDir(work.path("made")));
        QCOMPARE(view.folderLabel, std::string("未設定"));
        QCOMPARE(view.boxes.size(), 2u); // question and created, never stored
    }

    void displayRoutine()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        RecordingView view;
        setup::displayRoutine(system, view);
        QCOMPARE(view.boxes.size(), 1u);
        QCOMPARE(view.boxes[0].text, noFolderGiven);
        QCOMPARE(view.folderLabel, std::string("未設定"));

        writeBytes("Kelvoran.ini", "[KansiDir]\r\nfullpath=  /srv/R&D  \r\n");
        setup::displayRoutine(system, view);
        QCOMPARE(view.folderLabel, std::string("/srv/R&D"));
        writeBytes("Kelvoran.ini", "[KansiDir]\r\nother=1\r\n");
        setup::displayRoutine(system, view);
        QCOMPARE(view.folderLabel, std::string());
        QCOMPARE(view.boxes.size(), 1u);
    }

    void folderChainRules()
    {
        platform::PosixSystem system("kelvoran");
        const WorkingDirectory work;
        QVERIFY(!setup::createFolderChain(system, ""));
        QVERIFY(setup::createFolderChain(system, "xy")); // too short to be tried
        QVERIFY(!QFileInfo::exists(QStringLiteral("xy")));
        QVERIFY(setup::createFolderChain(system, work.path("p/q/r/")));
        QVERIFY(isDir(work.path("p/q/r")));
        QVERIFY(QDir().mkdir(QStringLiteral("top")));
        QVERIFY(setup::createFolderChain(system, "top/a/b"));
        QVERIFY(isDir(work.path("top/a/b")));
    }
};

QTEST_APPLESS_MAIN(TestFolderSetup)
#include "TestFolderSetup.moc"
