#include "common/Texts.h"
#include "monitor/ArrivedNames.h"
#include "monitor/Channels.h"
#include "monitor/Reminders.h"
#include "monitor/StatusDisplay.h"
#include "settings/ChannelSettings.h"
#include "setup/ChannelSwitch.h"
#include "setup/CommandLine.h"
#include "setup/LoginSwitch.h"
#include "setup/SettingsDialog.h"
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
    void showTrayIcon(Picture picture, const std::string& tooltip) override
    {
        trayPicture = picture;
        calls.push_back("tray:" + tooltip);
    }
    void hideTrayIcon() override { calls.emplace_back("hide"); }
    void showNotice(const monitor::Notice& notice) override
    {
        calls.push_back((notice.fresh ? "raise:" : "update:") +
                        (notice.kind == monitor::NoticeKind::Arrival ? "" : notice.title + "/") + notice.text);
    }
    void withdrawNotice() override { calls.emplace_back("withdraw"); }
    void playSound(const std::string& file) override { calls.push_back("sound:" + file); }
    [[nodiscard]] bool windowActive() const override { return active; }
    void showFailureNotice(const std::string&, const std::string&, const std::string&) override {}
    void showErrorBox(const std::string& /*text*/) override {}

    std::vector<std::string> calls;
    Picture trayPicture = Picture::Watching;
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

// The clocks as a test sets them; the wall clock follows the local date and time.
struct FakeClock : monitor::Clock
{
    monitor::Moment moment;
    [[nodiscard]] monitor::Moment now() const override { return moment; }
    // Local `date` (in December), `minute` of the day; the monotonic clock moves `monotonicMs`.
    const monitor::Moment& at(int date, int minute, std::int64_t monotonicMs = 1000)
    {
        moment.monotonicMs += monotonicMs;
        moment.wallSeconds = (date % 100) * 86400LL + minute * 60LL;
        moment.date = date;
        moment.weekday = (date % 100 + 1) % 7; // 2026-12-06 is a Sunday
        moment.minuteOfDay = minute;
        return moment;
    }
};

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
        FakeClock clock;
        monitor::StatusDisplay display(window, "Kelvoran", "kelvoran", &channels, clock);
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

    // Names of what arrived: newest listing first, its own order kept; the rest counted; above
    // the bound none, and from the listing after one back under it only what came since.
    void theNamesTellWhatArrivedNewestFirst()
    {
        monitor::ArrivedNames names;
        const auto list = [&](std::vector<std::string> entries) {
            names.listingStarts();
            for (const std::string& entry : entries)
                names.visit(entry);
            names.listingEnds(true, entries.size());
            return monitor::namesText(names.newest(monitor::ArrivedNames::namesTold), entries.size());
        };
        QCOMPARE(list({"a", "b"}), std::string("a, b"));
        QCOMPARE(list({"c", "a", "d", "b", "e"}), std::string("c, d, e ほか 2 件"));
        QCOMPARE(list({"f", "a", "b", "c", "d", "e"}), std::string("f, c, d ほか 3 件"));
        // A listing that fails part way has seen what came: the next one does not count it again.
        names.listingStarts();
        names.visit("g");
        names.listingEnds(false, 1);
        QCOMPARE(list({"f", "a", "g", "b", "c", "d", "e"}), std::string("g, f, c ほか 4 件"));
        QCOMPARE(names.arrivals(), 5u);
        std::vector<std::string> many(monitor::ArrivedNames::mostNames + 1);
        for (std::size_t i = 0; i < many.size(); ++i)
            many[i] = std::to_string(i);
        QCOMPARE(list(many), std::string());
        QCOMPARE(monitor::namesText({"a\nb"}, 1), std::string("a b"));
        QCOMPARE(list({"x"}), std::string());
        const std::size_t arrivals = names.arrivals();
        QCOMPARE(list({"x", "y"}), std::string());
        QCOMPARE(list({"x", "y", "z"}), std::string("z ほか 2 件"));
        QCOMPARE(names.arrivals(), arrivals + 2);
        // A listing that names two, then passes the bound and fails: the next, counting only,
        // does not count the two again.
        many.resize(monitor::ArrivedNames::mostNames - 1);
        list(many);
        const std::size_t counted = names.arrivals();
        names.listingStarts();
        for (const char* entry : {"n1", "n2"})
            names.visit(entry);
        for (const std::string& entry : many)
            names.visit(entry);
        names.listingEnds(false, many.size() + 2);
        many.insert(many.end(), {"n1", "n2"});
        list(many);
        QCOMPARE(names.arrivals(), counted + 2);
    }

    // A folder seen there that goes missing or stops answering is told once, under the popup
    // switch and the minute; withdrawn when back. Never there at the start: nothing.
    void aLostFolderIsToldAndWithdrawnWhenBack()
    {
        RecordingView window;
        RecordingChannels channels;
        FakeClock clock;
        monitor::StatusDisplay display(window, "Kelvoran", "kelvoran", &channels, clock);
        monitor::CheckResult result;
        result.folder = "/in";
        result.entries = 1;
        const auto show = [&](std::optional<Status> status, std::int64_t seconds) {
            clock.at(20261208, 600, seconds * 1000);
            result.status = status;
            result.noAnswer = !status;
            display.show(result);
            display.tick();
        };
        show(Status::NoFolder, 1);
        show(Status::Watching, 61);
        show(Status::NoFolder, 1);
        show(Status::Watching, 1);
        show(Status::NoFolder, 1); // within its minute
        show(Status::Arrival, 61);
        show(std::nullopt, 1);
        show(std::nullopt, 60); // its minute is up
        show(Status::Arrival, 1);
        channels.calls.erase(std::remove_if(channels.calls.begin(), channels.calls.end(),
                                            [](const std::string& call) { return call.starts_with("tray:"); }),
                             channels.calls.end());
        const std::vector<std::string> calls{
            "raise:指定したフォルダは存在しません！//in", "withdraw", "raise:/in\n1 件", "withdraw",
            "raise:監視フォルダが応答しません！//in",     "withdraw",
        };
        QCOMPARE(channels.calls, calls);
    }

    // Waiting: every N minutes while full, with sound and attention; emptying ends it.
    void aWaitingArrivalIsRemindedEveryNMinutes()
    {
        RecordingView window;
        RecordingChannels channels;
        FakeClock clock;
        monitor::StatusDisplay display(window, "Kelvoran", "kelvoran", &channels, clock);
        monitor::CheckResult result = {Status::Arrival, {}, "/in", 2, {"b", "a"}, {}};
        result.channels.waitMinutes = 2;
        result.channels.sound = true;
        const auto tick = [&](std::int64_t seconds) {
            clock.at(20261208, 600, seconds * 1000);
            display.tick();
            return channels.calls.empty() ? std::string() : channels.calls.back();
        };
        display.show(result);
        channels.calls.clear();
        tick(119);
        QCOMPARE(channels.calls.size(), 0u);
        QCOMPARE(tick(1), std::string("sound:"));
        QCOMPARE(
            channels.calls.front(),
            std::string("raise:着信したデータが残っています！//in\n2 分以上前から残っています（現在 2 件）\nb, a"));
        QCOMPARE(window.attentionAsked, 2);
        tick(60);
        QCOMPARE(tick(60), std::string("sound:"));
        QCOMPARE(channels.calls.size(), 4u);
        result.status = Status::Watching;
        display.show(result);
        tick(300);
        QCOMPARE(channels.calls.back(), std::string("withdraw"));
        result.status = Status::Arrival;
        display.show(result);
        const std::size_t calls = channels.calls.size();
        tick(1);
        QCOMPARE(channels.calls.size(), calls);
        // Another folder set: nothing of the old one, and its wait starts when it answers.
        display.settingChanged();
        tick(600);
        QCOMPARE(channels.calls.size(), calls);
        result.folder = "/B";
        display.show(result);
        QVERIFY(tick(120) == "sound:" &&
                channels.calls.end()[-2].starts_with("raise:着信したデータが残っています！//B\n"));
    }

    // Not arrived: once a local day, on its days, not after an arrival nor for a start after the
    // time; since when for a start that day; said so after a sleep across it; a clock set back
    // (the same day or the day before) brings none again.
    void aDeliveryThatDidNotComeIsToldOnceADay()
    {
        monitor::Reminders reminders;
        FakeClock clock;
        monitor::Shown state = shown(Status::Watching, 0);
        state.switches.deadline = 9 * 60 + 30;
        state.switches.deadlineDays = 0b0111110;
        const auto due = [&](int date, int minute, std::int64_t monotonicMs = 1000) {
            const std::optional<monitor::Reminder> reminder = reminders.due(state, clock.at(date, minute, monotonicMs));
            return reminder ? reminder->text : std::string("-");
        };
        QCOMPARE(due(20261208, 8 * 60 + 12), std::string("-"));
        QCOMPARE(due(20261208, 9 * 60 + 29), std::string("-"));
        QCOMPARE(due(20261208, 9 * 60 + 30), std::string("/in\n09:30 までに着信はありませんでした（08:12 から監視）"));
        QCOMPARE(reminders.overdueLine(clock.moment, state), std::string("09:30 までの着信なし"));
        QCOMPARE(due(20261208, 9 * 60), std::string("-"));
        QCOMPARE(due(20261208, 9 * 60 + 31), std::string("-"));
        QCOMPARE(due(20261209, 9 * 60), std::string("-"));
        QCOMPARE(reminders.overdueLine(clock.moment, state), std::string());
        reminders.seen(shown(Status::Arrival, 1), true, clock.moment);
        QCOMPARE(due(20261209, 9 * 60 + 45), std::string("-"));
        QCOMPARE(due(20261210, 9 * 60), std::string("-"));
        QCOMPARE(due(20261210, 11 * 60), std::string("-"));
        QCOMPARE(due(20261210, 11 * 60, 10000),
                 std::string("/in\n09:30 までに着信はありませんでした\n（この時刻には確認できませんでした）"));
        QCOMPARE(due(20261212, 10 * 60), std::string("-"));
        QCOMPARE(due(20261211, 10 * 60), std::string("-"));
        QCOMPARE(due(20261214, 10 * 60, 86400000), std::string("-"));
        QCOMPARE(due(20261214, 10 * 60, 10000),
                 std::string("/in\n09:30 までに着信はありませんでした\n（この時刻には確認できませんでした）"));

        monitor::Reminders late;
        QVERIFY(!late.due(state, clock.at(20261215, 10 * 60)));
        QVERIFY(!late.due(state, clock.at(20261215, 10 * 60 + 1)));
        QVERIFY(!late.due(state, clock.at(20261216, 9 * 60 + 30)));
        QVERIFY(late.due(state, clock.at(20261216, 9 * 60 + 30, 10000)));
        // Through the display: full at the start is no arrival; a new entry in a full folder is.
        RecordingView window;
        RecordingChannels channels;
        monitor::StatusDisplay display(window, "Kelvoran", "kelvoran", &channels, clock);
        monitor::CheckResult result = {Status::Arrival, {}, "/in", 1, {}, state.switches};
        const auto tell = [&](int date, int minute, int arrived) { // -1: no answer
            const std::size_t before = channels.calls.size();
            clock.at(date, minute - 1, 60000);
            display.tick(); // the minute before: a tick for each
            clock.at(date, minute);
            result.arrivals += std::max(arrived, 0);
            result.noAnswer = arrived < 0;
            display.show(result);
            display.tick();
            const auto said =
                std::find_if(channels.calls.begin() + before, channels.calls.end(),
                             [](const std::string& call) { return call.find(":着信があ") != std::string::npos; });
            return said == channels.calls.end() ? std::string("-") : said->substr(said->rfind('\n') + 1);
        };
        QCOMPARE(tell(20261217, 9 * 60 + 30, 0), std::string("09:30 までに着信はありませんでした（09:29 から監視）"));
        QCOMPARE(channels.trayPicture, Picture::NotArrived);
        tell(20261217, 9 * 60 + 40, 1);
        QCOMPARE(channels.trayPicture, Picture::Arrival);
        tell(20261218, 9 * 60, 1);
        QCOMPARE(tell(20261218, 9 * 60 + 30, 0), std::string("-"));
        // The same folder stored again keeps the day's arrival; another starts over when stored.
        tell(20261221, 9 * 60 + 5, 1);
        display.settingChanged();
        QCOMPARE(tell(20261221, 9 * 60 + 30, 0), std::string("-"));
        clock.at(20261222, 9 * 60);
        display.settingChanged();
        result.folder = "/B";
        result.arrivalsFrom = result.arrivals;
        QCOMPARE(tell(20261222, 9 * 60 + 30, 0), std::string("09:30 までに着信はありませんでした（09:00 から監視）"));
        // Unseen at the time (asleep, or no answer): the next answer decides, and may hold an arrival.
        QCOMPARE(tell(20261223, 9 * 60 + 41, 1), std::string("-"));
        QCOMPARE(tell(20261224, 9 * 60 + 30, -1), std::string("-"));
        QCOMPARE(tell(20261224, 9 * 60 + 31, 0), std::string("（この時刻には確認できませんでした）"));
        tell(20261224, 9 * 60 + 40, -1); // a silent folder keeps its own picture
        QCOMPARE(channels.trayPicture, Picture::NoAnswer);
        // Counted by a listing whose answer was dropped: the next answer brings it.
        ++result.arrivals;
        QCOMPARE(tell(20261225, 9 * 60 + 30, 0), std::string("-"));
    }

    // The switches: defaults where keys are missing, hand-written values read, and a menu's
    // toggle writes its one key and keeps every other byte.
    void switchesReadDefaultsAndToggleOneKey()
    {
        const ansi::CodePage& utf8 = ansi::CodePage::utf8();
        QVERIFY(settings::parseChannelSettings("[KansiDir]\r\nfullpath=/in\r\n", utf8) == settings::ChannelSettings());
        const settings::ChannelSettings read = settings::parseChannelSettings(
            "[tsuuchi]\r\nTRAY = off\r\npopup=No\r\nsound=1\r\nsoundfile=/a b.oga\r\ntaiki=15\r\nkigen=9:05\r\n"
            "kigenyoubi=月金\r\n",
            utf8);
        QVERIFY(!read.tray && !read.popup && read.sound && read.soundFile == "/a b.oga");
        QVERIFY(read.waitMinutes == 15 && read.deadline == 9 * 60 + 5 && read.deadlineDays == 0b100010);
        for (const std::string kigen : {"25:00", "0:00"}) {
            QVERIFY(
                settings::parseChannelSettings("[Tsuuchi]\r\ntaiki=abc\r\nkigen=" + kigen + "\r\nkigenyoubi=月x\r\n",
                                               utf8) == settings::ChannelSettings());
        }

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

    // 設定…: refusals only of values changed, then exactly the changed keys stored in the
    // dialog's order, and nothing at all for a dialog left as it opened or without a folder.
    void settingsDialogStoresOnlyWhatChanged()
    {
        MemorySystem system(ansi::PathStyle::posix(), ansi::CodePage::utf8(), "/work");
        RecordingView window;
        struct Dialog : setup::SettingsDialogView
        {
            std::optional<setup::SettingsFields> editSettings(const setup::SettingsFields& fields) override
            {
                opened = fields;
                return edit ? std::optional(edit(fields)) : std::nullopt;
            }
            bool abandon() override { return false; }
            std::function<setup::SettingsFields(setup::SettingsFields)> edit;
            setup::SettingsFields opened;
        } dialog;
        QVERIFY(!setup::settingsCommand(system, window, dialog) && window.boxes.size() == 1);
        const std::string file =
            "[KansiDir]\r\nfullpath=/in\r\n[Tsuuchi]\r\ntaiki=2000\r\nsound=1\r\nsoundfile=\" x\"\r\n";
        system.addFile("/work/Kelvoran.ini", file);
        dialog.edit = [](setup::SettingsFields fields) { return fields; };
        QVERIFY(!setup::settingsCommand(system, window, dialog));
        QVERIFY(dialog.opened.waitOn && dialog.opened.waitMinutes == "2000" && dialog.opened.deadline == "09:30");

        setup::SettingsFields chosen = dialog.opened;
        QVERIFY(setup::checkFields(chosen, dialog.opened).empty());
        chosen.waitMinutes = "1441";
        chosen.soundFile = "/a\nb.wav";
        chosen.deadlineOn = true;
        chosen.deadline = "24:00";
        using R = setup::RefusedField;
        const std::vector<setup::FieldRefusal> refused = setup::checkFields(chosen, dialog.opened);
        QCOMPARE(refused.size(), 3u);
        QVERIFY(refused[0].field == R::SoundFile && refused[1].field == R::WaitMinutes &&
                refused[2].field == R::Deadline);
        chosen.waitMinutes = "00";
        chosen.deadline = "0:00";
        QVERIFY(setup::checkFields(chosen, dialog.opened) == refused);
        chosen.deadline = " 7:05 ";
        chosen.deadlineDays = 0;
        const setup::FieldRefusal noDay{R::Deadline, texts::daysRefused};
        QVERIFY(setup::checkFields(chosen, dialog.opened).back() == noDay);
        chosen.soundFile.assign(2100, 'a');
        QVERIFY(setup::checkFields(chosen, dialog.opened).front().text == texts::soundFileTooLong);

        // The start at login comes first; a key that cannot be stored ends the command.
        dialog.edit = [](setup::SettingsFields fields) {
            fields.startAtLogin = true;
            fields.popup = false;
            return fields;
        };
        system.filesWritable = false;
        QVERIFY_THROWS_EXCEPTION(std::exception, setup::settingsCommand(system, window, dialog));
        QVERIFY(setup::startsAtLogin(system) && system.content("/work/Kelvoran.ini") == file);
        system.filesWritable = true;

        dialog.edit = [](setup::SettingsFields fields) {
            fields.tray = false;
            fields.sound = false;
            fields.waitMinutes = " 15";
            fields.deadlineOn = true;
            fields.deadline = "7:05";
            fields.deadlineDays = 0b0111110;
            return fields;
        };
        const std::optional<setup::StoredSettings> stored = setup::settingsCommand(system, window, dialog);
        QCOMPARE(system.content("/work/Kelvoran.ini"),
                 std::string("[KansiDir]\r\nfullpath=/in\r\n[Tsuuchi]\r\ntaiki=15\r\nsound=0\r\nsoundfile=\" x\"\r\n"
                             "tray=0\r\nkigen=07:05\r\nkigenyoubi=月火水木金\r\n"));
        QVERIFY(stored && !stored->switches.tray && stored->switches.deadline == 7 * 60 + 5 && stored->startsAtLogin);
        dialog.edit = [](setup::SettingsFields fields) {
            fields.soundFile = " 'q' ";
            return fields;
        };
        QVERIFY(setup::settingsCommand(system, window, dialog) && window.boxes.size() == 1);
        QVERIFY(system.content("/work/Kelvoran.ini")
                    .ends_with("soundfile=\"'q'\"\r\ntray=0\r\nkigen=07:05\r\nkigenyoubi=月火水木金\r\n"));
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
