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
    // The notification-area icon with this picture, marked while the tool is paused, and tooltip;
    // or no icon.
    virtual void showTrayIcon(Picture picture, bool paused, const std::string& tooltip) = 0;
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
    bool current = true; // `folder` is the one set now: not between a store and its first answer
    std::string paused;  // the tooltip's line while the tool is paused; empty when it is not
    // Entries whose names the notices leave out; not among `entries`.
    std::size_t leftOut = 0;
};

// The names as a line of their own, put last: where a text is cut to fit, they are what goes.
[[nodiscard]] std::string namesLine(const Shown& shown);

// A reminder that came due, as the notification tells it.
struct Reminder
{
    NoticeKind kind = NoticeKind::Waiting;
    std::string title;
    std::string text;         // as it came due; one of waiting is told anew when raised
    std::int64_t sinceMs = 0; // waiting: when the folder was seen to turn full
};

// The text of the reminder of entries that have waited `waitedMs`: the folder, how long, and
// what it holds now.
[[nodiscard]] std::string waitingText(const Shown& shown, std::int64_t waitedMs);

// When each louder channel speaks. The icon follows what the window shows.
//
// The notification, one at a time on screen. What is to pop up waits in one queue, at most one
// of each kind, raised first to last in order of urgency: a lost folder, an arrival, the
// reminders. Invariants:
// - A folder raises at most one new notification a minute, whatever a server makes of one
//   shown again; a lost folder's is held back only by another lost folder's.
// - Nothing pops up while the popup switch is off or the user works in the window: an arrival or
//   a lost folder is no news then and leaves the queue; a reminder waits. While the tool is
//   paused, everything waits.
// - What waits pops up only while still so (the folder still full, lost, the delivery still
//   missing) of the folder set now; between a store and the folder's first answer it waits, and
//   what no longer is leaves the queue then. The one on screen that no longer is goes.
// - Within its folder's minute, an arrival or reminder updates the one on screen in place
//   (no popup, no sound), or waits for the minute's end when none is.
// - The sound goes with each new popup but a lost folder's.
// An arrival pops up when the folder turns to holding entries (the moment the window asks for
// attention), is updated in place while it stays full, and withdrawn when it empties. A lost
// folder (one seen there, now missing or not answering) pops up once, withdrawn when it is back
// (one never seen there is the start's warning's business).
class Channels
{
public:
    explicit Channels(ChannelView& view) : m_view(view) {}

    // `turnedFull`: the status has just turned to arrival. `nowMs`: a clock in milliseconds;
    // `clock`: the local time of day as the user reads it ("14:32"), empty when the moment the
    // folder turned full was not seen.
    void show(const Shown& shown, bool turnedFull, std::int64_t nowMs, const std::string& clock);

    // A reminder came due: queued, and raised as soon as the rules allow, while still so.
    void remind(const Reminder& reminder, const Shown& shown, std::int64_t nowMs);

    // A notification waits in the queue.
    [[nodiscard]] bool pending() const { return !m_pending.empty(); }

private:
    [[nodiscard]] std::string entriesSince(std::size_t entries) const;
    [[nodiscard]] Notice notice(const Shown& shown, bool fresh) const;
    void showTray(const Shown& shown);
    // Whether `kind` is still so of what the window shows; `lost`: the folder set is lost.
    [[nodiscard]] bool stillSo(NoticeKind kind, const Shown& shown, bool lost) const;
    void queue(Notice notice, std::int64_t sinceMs = 0);
    // Raises the first of the queue that may pop up now, or updates the one on screen with it.
    void raiseQueued(const Shown& shown, std::int64_t nowMs);
    void shows(const Notice& notice, const Shown& shown);
    void withdraw();

    struct Queued
    {
        Notice notice;
        std::int64_t sinceMs = 0; // of a waiting reminder
    };

    ChannelView& m_view;
    std::optional<std::string> m_tooltip; // of the icon shown; none when no icon is
    Picture m_trayPicture = Picture::Watching;
    bool m_trayPaused = false;
    bool m_noticeShown = false;
    NoticeKind m_noticeKind = NoticeKind::Arrival;
    std::size_t m_noticeEntries = 0;
    std::vector<std::string> m_noticeNames;
    std::string m_noticeFolder;
    std::string m_presentFolder;   // the folder last seen there and answering
    std::vector<Queued> m_pending; // in order of urgency
    // When each folder last raised one, and one of a lost folder, kept for a minute.
    std::map<std::string, std::int64_t> m_lastRaised;
    std::map<std::string, std::int64_t> m_lastLostRaised;
    std::string m_since; // the local time the folder turned full
};

// フォルダを開く failed for `folder`: told as a notification where the user wants notifications
// (`popup`), else in the failure box.
void tellFolderNotOpened(ChannelView& view, const std::string& folder, bool popup);

} // namespace monitor
