#include "common/Texts.h"
#include "monitor/ArrivalPoll.h"
#include "monitor/ArrivedNames.h"
#include "monitor/Channels.h"
#include "monitor/Reminders.h"
#include "monitor/StatusDisplay.h"
#include "settings/ChannelSettings.h"
#include "settings/NamePatterns.h"
#include "setup/ChannelSwitch.h"
#include "setup/CommandLine.h"
#include "setup/LoginSwitch.h"
#include "setup/SettingsDialog.h"
#include "support/MemorySystem.h"
#include "support/RecordingView.h"

#include <QTest>

#include <functional>
#include <map>
#include <random>
#include <set>

using monitor::Picture;
using monitor::Status;

namespace {

// Records what the channels were asked to do, one line a call.
class RecordingChannels : public monitor::ChannelView
{
public:
    void showTrayIcon(Picture picture, bool paused, const std::string& tooltip) override
    {
        trayPicture = picture;
        trayPaused = paused;
        calls.push_back("tray:" + tooltip);
    }
    void hideTrayIcon() override { calls.emplace_back("hide"); }
    void showNotice(const monitor::Notice& notice) override
    {
        if (noticed)
            noticed(notice);
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
    bool trayPaused = false;
    bool active = false;
    std::function<void(const monitor::Notice&)> noticed;
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
    // Local `date` (in December), `minute` of the day and `second` of it; the monotonic clock
    // moves `monotonicMs`.
    const monitor::Moment& at(int date, int minute, std::int64_t monotonicMs = 1000, int second = 0)
    {
        moment.monotonicMs += monotonicMs;
        moment.wallSeconds = (date % 100) * 86400LL + minute * 60LL + second;
        moment.date = date;
        moment.weekday = (date % 100 + 1) % 7; // 2026-12-06 is a Sunday
        moment.minuteOfDay = minute;
        moment.secondOfMinute = second;
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

    // Names of what arrived: newest listing first, then the highest name; the rest counted; above
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
        QCOMPARE(list({"a", "b"}), std::string("b, a"));
        // A burst in the file system's order: the highest name first, numbers by their value.
        QCOMPARE(list({"伝票_9", "a", "伝票_12", "b", "伝票_03"}), std::string("伝票_12, 伝票_9, 伝票_03 ほか 2 件"));
        QCOMPARE(list({"f", "a", "b", "伝票_12", "伝票_9", "伝票_03"}), std::string("f, 伝票_12, 伝票_9 ほか 3 件"));
        // A listing that fails part way has seen what came: the next one does not count it again.
        names.listingStarts();
        names.visit("g");
        names.listingEnds(false, 1);
        QCOMPARE(list({"f", "a", "g", "b", "伝票_12", "伝票_9", "伝票_03"}), std::string("g, f, 伝票_12 ほか 4 件"));
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

        // The day's list: the names the count says are new, newest first, one come again on top
        // with its new time, at most 20; another folder and the next day start it over.
        RecordingView window;
        RecordingChannels channels;
        FakeClock clock;
        monitor::StatusDisplay display(window, "Kelvoran", "kelvoran", &channels, clock);
        monitor::CheckResult result;
        result.status = Status::Arrival;
        result.folder = "/in";
        const auto arrive = [&](std::vector<std::string> newest, std::size_t count, int date, int minute) {
            clock.at(date, minute);
            result.names = std::move(newest);
            result.arrivals += count;
            display.show(result);
            std::string text;
            for (const monitor::TodaysArrival& arrival : display.todaysArrivals())
                text += monitor::menuText(arrival) + "|";
            return text;
        };
        QCOMPARE(arrive({"old"}, 0, 20261209, 600), std::string());
        QCOMPARE(arrive({"b&c", "a", "old"}, 2, 20261209, 601), std::string("10:01  b&&c|10:01  a|"));
        QCOMPARE(arrive({"a", "b&c", "old"}, 1, 20261209, 602), std::string("10:02  a|10:01  b&&c|"));
        many.clear();
        for (int i = 30; i > 0; --i)
            many.push_back("n" + std::to_string(i));
        QCOMPARE(arrive(many, 30, 20261209, 603).substr(0, 11), std::string("10:03  n30|"));
        QCOMPARE(display.todaysArrivals().size(), monitor::TodaysArrivals::most);
        QCOMPARE(arrive({"n30"}, 0, 20261210, 0), std::string());
        QCOMPARE(arrive({"x", "n30"}, 1, 20261210, 1), std::string("00:01  x|"));
        result.folder = "/other";
        result.arrivalsFrom = result.arrivals;
        QCOMPARE(arrive({"x"}, 0, 20261210, 2), std::string());

        // Names left out: 着信！ all the same, but unnamed, untold, uncounted as arrivals, no
        // attention; the tooltip counts them.
        MemorySystem system(ansi::PathStyle::posix(), ansi::CodePage::utf8(), "/work");
        system.addFolder("/in");
        system.addFile("/in/~$x.xlsx", "");
        monitor::ArrivedNames kept;
        result = {};
        const monitor::Listed listed = monitor::listFolder(system, "/in/", nullptr, &kept, texts::leftOutDefault);
        QVERIFY(listed.status == Status::Arrival && listed.newest.empty() && listed.leftOut == 1);
        result.status = Status::Arrival;
        result.folder = "/in";
        result.entries = result.leftOut = 1;
        monitor::StatusDisplay quiet(window, "Kelvoran", "kelvoran", &channels, clock);
        channels.calls.clear();
        const int attention = window.attentionAsked;
        quiet.show(result);
        QCOMPARE(window.caption, std::string("着信！"));
        QCOMPARE(window.attentionAsked, attention);
        QCOMPARE(channels.calls, std::vector<std::string>{"tray:着信！（除外 1 件）\n/in"});
    }

    // A folder seen there that goes missing or stops answering is told once, under the popup
    // switch and its own minute, not an arrival's; withdrawn when back. Never there at the start:
    // nothing.
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
        show(std::nullopt, 1); // not held back by the arrival's popup
        show(Status::Arrival, 1);
        channels.calls.erase(std::remove_if(channels.calls.begin(), channels.calls.end(),
                                            [](const std::string& call) { return call.starts_with("tray:"); }),
                             channels.calls.end());
        const std::vector<std::string> calls{
            "raise:指定したフォルダは存在しません！//in", "withdraw", "raise:/in\n1 件",
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
        QCOMPARE(due(20261212, 9 * 60 + 29), std::string("-")); // a Saturday, not among the days
        QCOMPARE(due(20261212, 9 * 60 + 30), std::string("-"));
        QCOMPARE(due(20261211, 10 * 60), std::string("-"));
        QCOMPARE(due(20261214, 10 * 60, 86400000), std::string("-"));
        QCOMPARE(due(20261214, 10 * 60, 10000),
                 std::string("/in\n09:30 までに着信はありませんでした\n（この時刻には確認できませんでした）"));

        monitor::Reminders late;
        QVERIFY(!late.due(state, clock.at(20261215, 9 * 60 + 30, 1000, 40))); // after the deadline's second
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
        // Back from missing with an entry no listing could count: the arrival shown counts.
        result.status = Status::NoFolder;
        tell(20261228, 9 * 60 + 10, 0);
        result.status = Status::Arrival;
        tell(20261228, 9 * 60 + 11, 0);
        QCOMPARE(tell(20261228, 9 * 60 + 30, 0), std::string("-"));
        QCOMPARE(channels.trayPicture, Picture::Arrival);
    }

    // A reminder due within the folder's popup minute waits for its end, while still so; a lost
    // folder is not held back by a reminder's popup.
    void aReminderWaitsForItsMinute()
    {
        RecordingView window;
        RecordingChannels channels;
        FakeClock clock;
        clock.at(20261208, 9 * 60 + 29);
        monitor::CheckResult result = {Status::Watching, {}, "/in", 0, {}, {}};
        result.channels.deadline = 9 * 60 + 30;
        monitor::StatusDisplay display(window, "Kelvoran", "kelvoran", &channels, clock);
        int seconds = 0; // since 09:29
        int date = 20261208;
        const auto show = [&](std::optional<Status> status, int at) {
            clock.at(date, 9 * 60 + 29 + at / 60, std::max(at - seconds, 1) * 1000, at % 60);
            seconds = at;
            result.status = status.value_or(Status::Watching);
            result.noAnswer = !status;
            display.show(result);
            display.tick();
            const auto notice = std::find_if(channels.calls.rbegin(), channels.calls.rend(),
                                             [](const std::string& call) { return !call.starts_with("tray:"); });
            return notice == channels.calls.rend() ? std::string() : notice->substr(0, 15);
        };
        show(Status::Watching, 0);
        QCOMPARE(show(std::nullopt, 10), std::string("raise:監視フ"));
        QCOMPARE(show(Status::Watching, 20), std::string("withdraw"));
        QCOMPARE(show(Status::Watching, 60), std::string("withdraw"));
        QCOMPARE(show(Status::Watching, 69), std::string("withdraw"));
        QCOMPARE(show(Status::Watching, 70), std::string("raise:着信が"));
        QCOMPARE(show(std::nullopt, 80), std::string("raise:監視フ"));
        // Due while the user is in the window, it waits, and never covers a lost folder's notice.
        date = 20261209;
        for (const int at : {0, 30})
            show(Status::Watching, at);
        channels.active = true;
        show(Status::Watching, 60);
        show(Status::NoFolder, 65);
        channels.active = false;
        QCOMPARE(show(Status::NoFolder, 70), std::string("raise:指定し"));
        const std::size_t told = channels.calls.size();
        show(Status::NoFolder, 130);
        QCOMPARE(show(Status::NoFolder, 131), std::string("raise:指定し"));
        QCOMPARE(channels.calls.size(), told);
        QCOMPARE(show(Status::Watching, 140), std::string("raise:着信が"));

        // Paused for an hour over the deadline: nothing raised, sounded or asked for meanwhile; at
        // its end what is still so is told, the delivery missed or the arrival still there.
        result.channels.sound = true;
        const auto toldSince = [&](std::size_t from) {
            std::string text;
            for (std::size_t at = from; at < channels.calls.size(); ++at)
                text += channels.calls[at].starts_with("tray:") ? "" : channels.calls[at].substr(0, 15) + ";";
            return text;
        };
        for (const bool arrives : {false, true}) {
            date = 20261210 + int(arrives);
            result.entries = std::size_t(arrives);
            show(Status::Watching, 0);
            display.pause(monitor::PauseLength::Hour);
            QCOMPARE(channels.calls.back(), std::string("tray:監視中・・・・\n一時停止中（10:29 まで）\n/in"));
            const std::size_t from = channels.calls.size();
            const int attention = window.attentionAsked;
            // A second entry late in the pause: the popup at its end tells both.
            for (const int at : {30, 60, 90, 3599}) {
                result.entries = std::size_t(arrives) * (at < 3599 ? 1 : 2);
                show(arrives && at > 60 ? Status::Arrival : Status::Watching, at);
            }
            QVERIFY(toldSince(from).empty() && window.attentionAsked == attention && channels.trayPaused);
            for (const int at : {3600, 3601})
                show(arrives ? Status::Arrival : Status::Watching, at);
            QCOMPARE(toldSince(from), std::string(arrives ? "raise:/in\n2 件;sound:;" : "raise:着信が;sound:;"));
            QVERIFY(window.attentionAsked == attention + int(arrives) && !channels.trayPaused && !display.paused());
        }
        display.pause(monitor::PauseLength::ToDayEnd);
        QVERIFY(channels.calls.back().find("\n一時停止中（今日の終わりまで）\n") != std::string::npos);
        clock.at(date, 23 * 60 + 59, 1000, 59);
        display.tick();
        QVERIFY(display.paused());
        clock.at(date + 1, 0);
        display.tick();
        QVERIFY(!display.paused() && !channels.trayPaused);
    }

    // Seeded random timelines around a deadline: arrivals, a folder that goes missing or stops
    // answering, stores, sleeps and clock changes, the user looking or not. After every step:
    // no "not arrived" on a day an arrival was shown, at most one a day and never before its
    // time, each reminder raised within a tick of its due time and of the minute of the popup
    // before, at most one popup a minute but a lost folder's, and nothing of a folder no longer set.
    void aDayOfTimelinesKeepsTheLaws()
    {
        using monitor::NoticeKind;
        for (unsigned seed = 1; seed <= 300; ++seed) {
            std::mt19937 random(seed);
            const auto chance = [&](int perMille) { return std::uniform_int_distribution(0, 999)(random) < perMille; };
            const auto between = [&](int low, int high) { return std::uniform_int_distribution(low, high)(random); };
            FakeClock clock;
            std::int64_t ms = 1000000;
            int wall = between(9 * 3600, 10 * 3600); // seconds since the first day's midnight
            const auto setClock = [&] {
                const int day = wall / 86400;
                clock.moment = {ms, wall + 8 * 86400LL, 20261208 + day, (9 + day) % 7, wall % 86400 / 60, wall % 60};
            };
            setClock();
            RecordingView window;
            RecordingChannels channels;
            monitor::StatusDisplay display(window, "Kelvoran", "kelvoran", &channels, clock);
            monitor::CheckResult result = {Status::Watching, {}, "/in", 0, {}, {}};
            result.channels.deadline = between(9 * 60 + 5, 10 * 60 + 20);
            result.channels.deadlineDays = chance(200) ? 0b0111110 : settings::ChannelSettings::allDays;
            const std::int64_t wait = between(0, 2) * 60000LL;
            result.channels.waitMinutes = unsigned(wait / 60000);
            bool exists = true;
            bool hangs = false;
            bool shownBefore = false; // since the start or the last store
            Status lastShown = Status::Watching;
            std::size_t arrivalsShown = 0;
            std::set<int> arrivalDays, notArrivedDays, setBackDays;
            monitor::Moment session = clock.moment; // watched since
            int newestDate = 0;
            std::int64_t steadySince = ms; // since when nothing but a popup's minute held a reminder
            std::optional<std::int64_t> fullSince, waitingDue;
            std::int64_t waitingTold = 0;
            bool waitingKnown = true;
            int unanswered = 0;    // ticks until the check of a store answers
            bool lostTold = false; // since the folder last answered
            std::map<std::string, std::int64_t> lastPopup, lastLostPopup;
            std::string broken;
            channels.noticed = [&](const monitor::Notice& notice) {
                if (notice.folder != result.folder)
                    broken = "a notice of a folder no longer set";
                if (notice.kind == NoticeKind::NotArrived) {
                    if (!notArrivedDays.insert(clock.moment.date).second)
                        broken = "a second 'not arrived' that day";
                    if (arrivalDays.contains(clock.moment.date))
                        broken = "'not arrived' on a day an arrival was shown";
                    if (clock.moment.secondOfDay() < *result.channels.deadline * 60)
                        broken = "'not arrived' before its time";
                    if (session.date == clock.moment.date && session.secondOfDay() > *result.channels.deadline * 60)
                        broken = "'not arrived' of time not watched";
                }
                if (notice.kind == NoticeKind::Waiting)
                    waitingDue.reset();
                if (!notice.fresh)
                    return;
                const bool lost = notice.kind == NoticeKind::Lost || notice.kind == NoticeKind::NoAnswer;
                if (lost && lostTold)
                    broken = "a lost folder told twice";
                lostTold = lostTold || lost;
                auto& last = lost ? lastLostPopup : lastPopup;
                if (last.contains(notice.folder) && ms - last[notice.folder] < 60000)
                    broken = "two popups within a minute";
                lastPopup[notice.folder] = ms;
                if (lost)
                    lastLostPopup[notice.folder] = ms;
            };
            for (int step = 0; step < 1800 && broken.empty(); ++step) {
                ms += 1000;
                wall += 1;
                bool held = channels.active || !result.channels.popup || hangs || !exists;
                if (chance(3)) { // asleep, a clock set, or a window held up
                    const int jump = between(-900, 1800);
                    if (jump < 0)
                        setBackDays.insert(clock.moment.date);
                    wall = std::max(wall + jump, 1);
                    ms += chance(500) ? std::max(jump, 0) * 1000LL : 0;
                    held = true;
                }
                setClock();
                newestDate = std::max(newestDate, clock.moment.date);
                if (chance(30) && exists) {
                    ++result.entries;
                    ++result.arrivals;
                }
                if (chance(20))
                    result.entries = 0;
                if (chance(5) || (!exists && chance(10))) {
                    exists = !exists;
                    result.entries = exists ? std::size_t(between(0, 2)) : 0;
                }
                if (chance(5) || (hangs && chance(50)))
                    hangs = !hangs;
                if (chance(channels.active ? 30 : 2))
                    channels.active = !channels.active;
                if (chance(result.channels.popup ? 1 : 30))
                    result.channels.popup = !result.channels.popup;
                if (chance(3)) { // a store of this folder or of the other, its answer a few ticks later
                    display.settingChanged();
                    unanswered = between(0, 3);
                    if (chance(500)) {
                        result.folder = result.folder == "/in" ? "/B" : "/in";
                        result.arrivalsFrom = arrivalsShown = result.arrivals;
                        arrivalDays.clear();
                        notArrivedDays.clear();
                        session = clock.moment;
                    } else {
                        waitingKnown = false; // the same folder's run may go on, or start anew
                    }
                    shownBefore = false;
                    fullSince.reset();
                    waitingDue.reset();
                    held = true;
                }
                held = held || channels.active || !result.channels.popup || hangs || !exists;
                lostTold = lostTold && (hangs || !exists) && result.channels.popup && unanswered == 0;
                if (held)
                    steadySince = ms;
                const Status status = !exists              ? Status::NoFolder
                                      : result.entries > 0 ? Status::Arrival
                                                           : Status::Watching;
                result.status = status;
                result.noAnswer = hangs;
                const bool answers = unanswered == 0;
                if (answers && !hangs) {
                    // A listing's count tells an arrival too, one emptied before it showed.
                    if ((status == Status::Arrival && shownBefore && lastShown != Status::Arrival) ||
                        result.arrivals > arrivalsShown)
                        arrivalDays.insert(clock.moment.date);
                    if (status != Status::Arrival) {
                        fullSince.reset();
                        waitingDue.reset();
                        waitingKnown = true;
                    } else if (!fullSince) {
                        fullSince = waitingTold = ms;
                    }
                    lastShown = status;
                    shownBefore = true;
                    arrivalsShown = result.arrivals;
                }
                if (wait > 0 && waitingKnown && fullSince && !hangs && ms - waitingTold >= wait) {
                    waitingTold = ms;
                    waitingDue = waitingDue.value_or(ms);
                }
                if (answers)
                    display.show(result);
                else
                    --unanswered;
                display.tick();
                // Due and held by nothing but the minute of the popup before: raised by now.
                const std::int64_t minuteOver =
                    lastPopup.contains(result.folder) ? lastPopup[result.folder] + 60000 : std::int64_t{0};
                const int deadline = *result.channels.deadline * 60;
                const int past = clock.moment.secondOfDay() - deadline;
                const monitor::Moment& now = clock.moment;
                const bool watchedFromBefore = session.date < now.date || session.secondOfDay() <= deadline - 5;
                if (past >= 0 && watchedFromBefore && now.date >= newestDate && !setBackDays.contains(now.date) &&
                    !arrivalDays.contains(now.date) && !notArrivedDays.contains(now.date) &&
                    (result.channels.deadlineDays & (1U << now.weekday)) != 0 &&
                    ms - std::max({ms - past * std::int64_t{1000}, steadySince, minuteOver}) >= 2000)
                    broken = "'not arrived' not raised";
                if (waitingDue && ms - std::max({*waitingDue, steadySince, minuteOver}) >= 2000)
                    broken = "'still there' not raised";
                if (!broken.empty())
                    QFAIL(qPrintable(QStringLiteral("seed %1, %2 %3 s: %4")
                                         .arg(seed)
                                         .arg(now.date)
                                         .arg(now.secondOfDay())
                                         .arg(QString::fromStdString(broken))));
            }
        }
    }

    // The switches: defaults where keys are missing, hand-written values read, and a menu's
    // toggle writes its one key and keeps every other byte.
    void switchesReadDefaultsAndToggleOneKey()
    {
        const ansi::CodePage& utf8 = ansi::CodePage::utf8();
        QVERIFY(settings::parseChannelSettings("[KansiDir]\r\nfullpath=/in\r\n", utf8) == settings::ChannelSettings());
        const settings::ChannelSettings read = settings::parseChannelSettings(
            "[tsuuchi]\r\nTRAY = off\r\npopup=No\r\nsound=1\r\nsoundfile=/a b.oga\r\ntaiki=15\r\nkigen=9:05\r\n"
            "kigenyoubi=月金\r\nclosetotray=Yes\r\nmushi=\r\n",
            utf8);
        QVERIFY(!read.tray && !read.popup && read.sound && read.soundFile == "/a b.oga" && read.closeToTray);
        QVERIFY(read.waitMinutes == 15 && read.deadline == 9 * 60 + 5 && read.deadlineDays == 0b100010);
        QVERIFY(read.leftOut.empty());
        for (const std::string kigen : {"25:00", "0:00"}) {
            QVERIFY(settings::parseChannelSettings("[Tsuuchi]\r\ntaiki=abc\r\nkigen=" + kigen +
                                                       "\r\nkigenyoubi=月x\r\nmushi=a\x01;b/c\r\n",
                                                   utf8) == settings::ChannelSettings());
        }
        // mushi's patterns: the default list, "?" as one character (a double-byte one whole under
        // code page 932, where "表" ends in the byte of "\"), ASCII case alike on Windows alone.
        const std::string defaults(texts::leftOutDefault);
        const auto posix = ansi::PathStyle::posix();
        const auto windows = ansi::PathStyle::windows();
        QVERIFY(settings::matchesAny(defaults, "~$見積書.xlsx", utf8, posix) &&
                settings::matchesAny("見積?.xlsx", "見積書.xlsx", utf8, posix));
        QVERIFY(settings::matchesAny(defaults, ".~lock.a.odt#", utf8, posix));
        QVERIFY(!settings::matchesAny(defaults, "a.tmp.txt", utf8, posix) &&
                !settings::matchesAny("", "a", utf8, posix));
        QVERIFY(settings::matchesAny(defaults, "THUMBS.DB", utf8, windows));
        QVERIFY(!settings::matchesAny(defaults, "THUMBS.DB", utf8, posix));
        const ansi::CodePage& sjis = ansi::CodePage::shiftJis();
        QVERIFY(settings::matchesAny("x; a?.csv ", "a\x95\x5c.csv", sjis, windows));
        QVERIFY(!settings::matchesAny("a??.csv", "a\x95\x5c.csv", sjis, windows));
        QVERIFY(settings::matchesAny("a??.csv", "a\x95\x5c.csv", utf8, posix));
        QVERIFY(settings::validPatterns("\x95\x5c*", sjis) && !settings::validPatterns("\x95\x5c*", utf8));

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

        // The close: closetotray, icon shown, tray there, the tool ending; End, Hide, hide and Tell once.
        setup::CloseRule rule;
        for (const std::string_view row : {"0110E", "1010E", "1100E", "1111E", "1110T", "1110H"}) {
            const auto on = [&](std::size_t at) { return row[at] == '1'; };
            QCOMPARE("EHT"[static_cast<int>(rule.close({on(0), on(1), on(2), on(3)}))], row[4]);
        }
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
        QCOMPARE(dialog.opened.leftOut, std::string(texts::leftOutDefault));

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
        chosen.leftOut = "~$*; a/b";
        QVERIFY((setup::checkFields(chosen, dialog.opened).back() ==
                 setup::FieldRefusal{R::LeftOut, texts::leftOutRefused}));

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
            fields.closeToTray = true;
            return fields;
        };
        const std::optional<setup::StoredSettings> stored = setup::settingsCommand(system, window, dialog);
        QCOMPARE(system.content("/work/Kelvoran.ini"),
                 std::string("[KansiDir]\r\nfullpath=/in\r\n[Tsuuchi]\r\ntaiki=15\r\nsound=0\r\nsoundfile=\" x\"\r\n"
                             "tray=0\r\nclosetotray=1\r\nkigen=07:05\r\nkigenyoubi=月火水木金\r\n"));
        QVERIFY(stored && !stored->switches.tray && stored->switches.deadline == 7 * 60 + 5 && stored->startsAtLogin);
        dialog.edit = [](setup::SettingsFields fields) {
            fields.soundFile = " 'q' ";
            fields.leftOut = " ";
            return fields;
        };
        QVERIFY(setup::settingsCommand(system, window, dialog) && window.boxes.size() == 1);
        QVERIFY(system.content("/work/Kelvoran.ini")
                    .ends_with("soundfile=\"'q'\"\r\ntray=0\r\nclosetotray=1\r\nkigen=07:05\r\nkigenyoubi="
                               "月火水木金\r\nmushi=\r\n"));
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
        system.loginStartError = platform::loginPathUnwritable;
        QVERIFY(!setup::toggleStartAtLogin(system, window));
        system.workingDirectoryError = 2;
        QVERIFY(!setup::toggleStartAtLogin(system, window) && !setup::startsAtLogin(system));
        QCOMPARE(window.boxes.size(), 4u);
        QVERIFY(window.boxes[2].text.find("制御文字") != std::string::npos);
        QCOMPARE(window.boxes[0].text,
                 std::string("ログイン時の起動は Kelvoran が作成していない登録によるものです。\r\n"
                             "解除するにはこの登録を削除して下さい：\r\n\r\n"
                             "/home/u/.config/autostart/mine.desktop"));
        QCOMPARE(window.boxes[1].text, std::string("ログイン時の起動を設定できませんでした！\r\n\r\nerror 13"));
        QCOMPARE(window.boxes[3].text, std::string("ログイン時の起動を設定できませんでした！\r\n\r\nerror 2"));
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
        QTest::newRow("help, as Windows asks") << QStringList{"/?"} << int(Action::Help) << false << 0;
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
