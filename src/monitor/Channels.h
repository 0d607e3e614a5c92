#pragma once

#include "monitor/StatusView.h"
#include "settings/ChannelSettings.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace monitor {

// What the one notification tells.
enum class NoticeKind
{
    Arrival,
    Lost,       // the folder went missing
    NoAnswer,   // the folder stopped answering
    Waiting,    // entries wait longer than the user asked
    NotArrived, // nothing came by the time the user asked
};

// The notification as the channels show it.
struct Notice
{
    std::string title;  // the arrival text, or the lost folder's or a reminder's
    std::string text;   // the folder, "3 件 (14:32 から)" and the names, joined by "\n"
    std::string folder; // as stored, for the action that opens it
    bool fresh = false; // a new notification, with its sound; else the one shown, updated in place
    NoticeKind kind = NoticeKind::Arrival;
};

// "report.csv, data.zip ほか 1 件": the names told (a line break in one as a space), and how
// many of `entries` they leave out; empty when no names are told.
[[nodiscard]] std::string namesText(const std::vector<std::string>& names, std::size_t entries);

// What the louder channels need of the front end, which carries each out with its system's calls.
class ChannelView
{
public:
    virtual ~ChannelView() = default;
    // The notification-area icon with this picture and tooltip; or no icon.
    virtual void showTrayIcon(Picture picture, const std::string& tooltip) = 0;
    virtual void hideTrayIcon() = 0;
    // Raises the arrival notification, or updates the one shown in place; withdraws it.
    virtual void showNotice(const Notice& notice) = 0;
    virtual void withdrawNotice() = 0;
    // One short sound: the file named, or the system's notification sound when none is.
    virtual void playSound(const std::string& file) = 0;
    // True while the user works in the tool's window: no notification is needed then.
    [[nodiscard]] virtual bool windowActive() const = 0;
    // A failure the user must hear of: a notification of its own beside the arrival's (the
    // error box with `boxText` where no notification can be shown), or the tool's error box with
    // its one button.
    virtual void showFailureNotice(const std::string& title, const std::string& text, const std::string& boxText) = 0;
    virtual void showErrorBox(const std::string& text) = 0;
};

// What the window shows, as the channels take it.
struct Shown
{
    std::string caption; // the caption's text, no-answer mark included
    Picture picture = Picture::Watching;
    std::optional<Status> status; // the last status shown
    bool marked = false;          // the no-answer mark is shown
    std::string folder;           // as stored
    std::size_t entries = 0;
    std::vector<std::string> names; // the newest entries', newest first
    settings::ChannelSettings switches;
    std::string overdue; // the tooltip's line while a delivery has not come today
};

// The names as a line of their own, put last: where a text is cut to fit, they are what goes.
[[nodiscard]] std::string namesLine(const Shown& shown);

// A reminder that came due, as the notification tells it.
struct Reminder
{
    NoticeKind kind = NoticeKind::Waiting;
    std::string title;
    std::string text;
};

// When each louder channel speaks. The icon follows what the window shows. The notification is
// raised when the folder turns to holding entries while the user looks elsewhere (the moment the
// window asks for attention), updated in place while it stays full, and withdrawn when it
// empties. A folder raises at most one new notification a minute, whatever a server makes of a
// notification shown again: a turn to full sooner than that raises nothing then, and one that
// the folder still holds when the minute is up, the user still elsewhere, is raised then. The
// sound goes with each new notification. A folder seen there that goes missing or stops
// answering raises one notification too, under the same switch and minute (the one on screen
// goes at once), withdrawn when it is back (one never seen there is the start's warning's
// business). A reminder is a new notification as an arrival's is, with its sound; within the
// folder's minute it updates the one on screen in place, or waits for the next.
class Channels
{
public:
    explicit Channels(ChannelView& view) : m_view(view) {}

    // `turnedFull`: the status has just turned to arrival. `nowMs`: a clock in milliseconds;
    // `clock`: the local time of day as the user reads it ("14:32"), empty when the moment the
    // folder turned full was not seen.
    void show(const Shown& shown, bool turnedFull, std::int64_t nowMs, const std::string& clock);

    // A reminder came due: its notification where notifications are wanted and the user looks
    // elsewhere, with the sound (if on).
    void remind(const Reminder& reminder, const Shown& shown, std::int64_t nowMs);

private:
    [[nodiscard]] std::string entriesSince(std::size_t entries) const;
    [[nodiscard]] Notice notice(const Shown& shown, bool fresh) const;
    // Raises `notice` if the folder's last one is a minute old; false when it is not.
    bool raise(const Notice& notice, const Shown& shown, std::int64_t nowMs);
    void shows(const Notice& notice, const Shown& shown);
    void withdraw();

public:
    // A notification waits for the end of its folder's minute.
    [[nodiscard]] bool raiseDue() const { return m_raiseDue || m_lostDue; }

private:
    ChannelView& m_view;
    std::optional<std::string> m_tooltip; // of the icon shown; none when no icon is
    Picture m_trayPicture = Picture::Watching;
    bool m_noticeShown = false;
    NoticeKind m_noticeKind = NoticeKind::Arrival;
    std::size_t m_noticeEntries = 0;
    std::vector<std::string> m_noticeNames;
    std::string m_noticeFolder;
    std::string m_presentFolder; // the folder last seen there and answering
    bool m_lostDue = false;      // its loss waits for the end of its minute
    // When each folder last raised one, kept for a minute.
    std::map<std::string, std::int64_t> m_lastRaised;
    bool m_raiseDue = false; // a turn to full waits for the end of its folder's minute
    std::string m_since;     // the local time the folder turned full
};

// フォルダを開く failed for `folder`: told as a notification where the user wants notifications
// (`popup`), else in the failure box.
void tellFolderNotOpened(ChannelView& view, const std::string& folder, bool popup);

} // namespace monitor
