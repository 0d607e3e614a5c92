#include "monitor/Channels.h"
#include "monitor/StatusDisplay.h"
#include "settings/ChannelSettings.h"
#include "setup/ChannelSwitch.h"
#include "setup/CommandLine.h"
#include "setup/LoginSwitch.h"
#include "support/MemorySystem.h"
#include "support/RecordingView.h"

#include <QTest>

using monitor::Picture;
using monitor::Status;

namespace {

// Records what the channels were asked to do, one line a call.
class RecordingChannels : public monitor::ChannelView
{
public:
    void showTrayIcon(Picture /*picture*/, const std::string& tooltip) override { calls.push_back("tray:" + tooltip); }
    void hideTrayIcon() override { calls.emplace_back("hide"); }
    void showNotice(const monitor::Notice& notice) override
    {
        calls.push_back((notice.fresh ? "raise:" : "update:") + notice.text);
    }
    void withdrawNotice() override { calls.emplace_back("withdraw"); }
    void playSound(const std::string& file) override { calls.push_back("sound:" + file); }
    [[nodiscard]] bool windowActive() const override { return active; }
    void showFailureNotice(const std::string&, const std::string&, const std::string&) override {}
    void showErrorBox(const std::string& /*text*/) override {}

    std::vector<std::string> calls;
    bool active = false;
};

monitor::Shown shown(std::optional<Status> status, std::size_t entries, bool sound = false)
{
    monitor::Shown state;
    state.status = status;
    state.caption = status == Status::Arrival ? "着信！" : "監視中・・・・";
    state.folder = "/in";
    state.entries = entries;
    state.switches.sound = sound;
    return state;
}

} // namespace

class TestChannels : public QObject
{
    Q_OBJECT

private slots:
    // A folder already full at the start, or when the setting names another one, turned full at
    // a moment nobody saw: its notice claims no time. One seen to turn full says when.
    void theTimeOfAnArrivalIsOnlyToldWhenSeen()
    {
        RecordingView window;
        RecordingChannels channels;
        monitor::StatusDisplay display(window, "Kelvoran", "kelvoran", &channels);
        monitor::CheckResult result;
        result.folder = "/in";
        const auto show = [&](Status status, std::size_t entries) {
            result.status = status;
            result.entries = entries;
            display.show(result);
            return channels.calls.back();
        };
        QCOMPARE(show(Status::Arrival, 2), std::string("raise:/in\n2 件"));
        show(Status::Watching, 0);
        QVERIFY(show(Status::Arrival, 1).find(" から)") != std::string::npos);
        display.settingChanged();
        show(Status::Watching, 0);
        display.settingChanged();
        QCOMPARE(show(Status::Arrival, 3), std::string("tray:着信！ 3 件\n/in"));
        // Named by hand (no store by the tool), or back from missing: no time either.
        show(Status::Watching, 0);
        result.folder = "/other";
        QVERIFY(show(Status::Arrival, 1).find(" から)") == std::string::npos);
        show(Status::NoFolder, 0);
        QVERIFY(show(Status::Arrival, 1).find(" から)") == std::string::npos);
    }

    // One notification per arrival, updated in place while full, withdrawn when empty; a folder
    // that fills again within a minute raises nothing then, but one still full at the minute's end
    // is raised then; the sound goes with new ones only; nothing while the user works in the window.
    void theNotificationNeitherStacksNorSpeaksTwice()
    {
        RecordingChannels view;
        monitor::Channels channels(view);
        channels.show(shown(Status::Watching, 0, true), false, 0, "14:31");
        channels.show(shown(Status::Arrival, 1, true), true, 1000, "14:32");
        channels.show(shown(Status::Arrival, 3, true), false, 2000, "14:32");
        channels.show(shown(Status::Arrival, 3, true), false, 3000, "14:32");
        channels.show(shown(Status::Watching, 0, true), false, 4000, "14:32");
        channels.show(shown(Status::Arrival, 1, true), true, 30000, "14:33");
        channels.show(shown(Status::Watching, 0, true), false, 31000, "14:33");
        channels.show(shown(Status::Arrival, 2, true), true, 40000, "14:33");
        channels.show(shown(Status::Arrival, 2, true), false, 60000, "14:34");
        channels.show(shown(Status::Arrival, 2, true), false, 61000, "14:34");
        view.active = true;
        channels.show(shown(Status::Watching, 0, true), false, 130000, "14:35");
        channels.show(shown(Status::Arrival, 1, true), true, 131000, "14:35");
        const std::vector<std::string> calls{
            "tray:監視中・・・・\n/in",
            "tray:着信！ 1 件 (14:32 から)\n/in",
            "raise:/in\n1 件 (14:32 から)",
            "sound:",
            "tray:着信！ 3 件 (14:32 から)\n/in",
            "update:/in\n3 件 (14:32 から)",
            "tray:監視中・・・・\n/in",
            "withdraw",
            "tray:着信！ 1 件 (14:33 から)\n/in",
            "tray:監視中・・・・\n/in",
            "tray:着信！ 2 件 (14:33 から)\n/in",
            "raise:/in\n2 件 (14:33 から)",
            "sound:",
            "tray:監視中・・・・\n/in",
            "withdraw",
            "tray:着信！ 1 件 (14:35 から)\n/in",
        };
        QCOMPARE(view.calls, calls);
    }

    // The switches: defaults where keys are missing, hand-written values read, and a menu's
    // toggle writes its one key and keeps every other byte.
    void switchesReadDefaultsAndToggleOneKey()
    {
        const ansi::CodePage& utf8 = ansi::CodePage::utf8();
        QVERIFY(settings::parseChannelSettings("[KansiDir]\r\nfullpath=/in\r\n", utf8) == settings::ChannelSettings());
        const settings::ChannelSettings read = settings::parseChannelSettings(
            "[tsuuchi]\r\nTRAY = off\r\npopup=No\r\nsound=1\r\nsoundfile=/a b.oga\r\n", utf8);
        QVERIFY(!read.tray && !read.popup && read.sound && read.soundFile == "/a b.oga");

        MemorySystem system(ansi::PathStyle::posix(), utf8, "/work");
        RecordingView window;
        // No settings file: no folder given yet, and a file would hide the start's warning.
        QVERIFY(!setup::toggleSwitch(system, window, settings::Switch::Sound));
        QCOMPARE(system.writes, 0);
        QCOMPARE(window.boxes.size(), 1u);
        QCOMPARE(window.boxes[0].text, std::string("監視フォルダを指定して下さい！"));
        const std::string file = "; mine\r\n[KansiDir]\r\nfullpath=/in\r\n";
        system.addFile("/work/Kelvoran.ini", file);
        QCOMPARE(setup::toggleSwitch(system, window, settings::Switch::Sound), std::optional(true));
        QCOMPARE(system.content("/work/Kelvoran.ini"), file + "[Tsuuchi]\r\nsound=1\r\n");
        QCOMPARE(setup::toggleSwitch(system, window, settings::Switch::Sound), std::optional(false));
        QCOMPARE(system.content("/work/Kelvoran.ini"), file + "[Tsuuchi]\r\nsound=0\r\n");
    }

    // ログイン時に起動: turned over in the working directory's own entry; an entry made by hand is
    // left alone, and a refusal changes nothing; each after a box that says why.
    void loginSwitchTurnsOnlyTheToolsOwnEntry()
    {
        MemorySystem system(ansi::PathStyle::posix(), ansi::CodePage::utf8(), "/work");
        RecordingView window;
        QCOMPARE(setup::toggleStartAtLogin(system, window), std::optional(true));
        QVERIFY(setup::startsAtLogin(system) && system.loginStarts.count("/work") == 1);
        QCOMPARE(setup::toggleStartAtLogin(system, window), std::optional(false));
        QVERIFY(!setup::startsAtLogin(system) && system.loginStarts.empty());

        system.loginStarts["/work"] = {true, false, "/home/u/.config/autostart/mine.desktop"};
        system.loginStartError = 13;
        QVERIFY(!setup::toggleStartAtLogin(system, window));
        system.loginStarts.clear();
        QVERIFY(!setup::toggleStartAtLogin(system, window));
        system.workingDirectoryError = 2;
        QVERIFY(!setup::toggleStartAtLogin(system, window) && !setup::startsAtLogin(system));
        QCOMPARE(window.boxes.size(), 3u);
        QCOMPARE(window.boxes[0].text,
                 std::string("ログイン時の起動は Kelvoran が作成していない登録によるものです。\r\n"
                             "解除するにはこの登録を削除して下さい：\r\n\r\n"
                             "/home/u/.config/autostart/mine.desktop"));
        QCOMPARE(window.boxes[1].text, std::string("ログイン時の起動を設定できませんでした！\r\n\r\nerror 13"));
        QCOMPARE(window.boxes[2].text, std::string("ログイン時の起動を設定できませんでした！\r\n\r\nerror 2"));
        QVERIFY(system.loginStarts.empty());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("iconic");
        QTest::addColumn<int>("exitCode");
        using Action = setup::CommandLine::Action;
        QTest::newRow("none") << QStringList{} << int(Action::Run) << false << 0;
        QTest::newRow("iconic, restored")
            << QStringList{"-session", "1a2b", "-iconic"} << int(Action::Run) << true << 0;
        QTest::newRow("help after iconic") << QStringList{"-iconic", "--help"} << int(Action::Help) << true << 0;
        QTest::newRow("the first decides") << QStringList{"--version", "--bogus"} << int(Action::Version) << false << 0;
        QTest::newRow("unknown option") << QStringList{"--bogus", "--help"} << int(Action::Wrong) << false << 2;
        QTest::newRow("argument") << QStringList{"/srv/in"} << int(Action::Wrong) << false << 2;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, action);
        std::vector<std::string> words;
        for (const QString& argument : arguments)
            words.push_back(argument.toStdString());
        const setup::CommandLine line = setup::parseCommandLine(words);
        QCOMPARE(int(line.action), action);
        QTEST(line.iconic, "iconic");
        QTEST(setup::exitCodeFor(line), "exitCode");
        if (line.action == setup::CommandLine::Action::Wrong)
            QCOMPARE(setup::wrongArgumentText("kelvoran", line),
                     "kelvoran: " + std::string(words[0] == "--bogus" ? "unknown option" : "unexpected argument") +
                         " '" + words[0] + "'\nTry 'kelvoran --help' for more information.\n");
    }
};

QTEST_APPLESS_MAIN(TestChannels)
#include "TestChannels.moc"
