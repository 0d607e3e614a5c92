#pragma once

#include "monitor/BackgroundCheck.h"
#include "monitor/Channels.h"
#include "monitor/Reminders.h"
#include "monitor/StatusView.h"
#include "monitor/TodaysArrivals.h"

#include <memory>
#include <optional>
#include <string>

namespace monitor {

// What the window shows of the checks, kept by the window and fed on its thread. A status sets
// both texts, the picture and the folder named, and asks for attention when the folder turns to
// holding an entry (not again while it keeps holding one; the request is taken back when it no
// longer does). While no check answers, both texts carry the no-answer mark and the picture is
// the no-answer one, as the system marks a window that stopped answering; when the folder now set
// is not the one the last status was found in, that status goes and the mark follows the texts
// of the start. What it shows goes on to the louder channels, where the window has them.
// What of `result` the window may act on under its setting generation `generation`: nothing of a
// check that read an older setting; a no-answer notice from such a read without the folder and
// switches that read found.
[[nodiscard]] std::optional<CheckResult> currentOnly(CheckResult result, unsigned generation);

// How long the user quiets the tool: an hour of the monotonic clock, or to the local day's end.
enum class PauseLength
{
    Hour,
    ToDayEnd,
};

class StatusDisplay
{
public:
    // `caption` and `applicationTitle` are the texts the window shows before the first status;
    // `clock` is what the channels' times and the reminders go by: the clocks of `system`, in the
    // second form.
    StatusDisplay(StatusView& view, std::string caption, std::string applicationTitle, ChannelView* channels,
                  const Clock& clock);
    StatusDisplay(StatusView& view, std::string caption, std::string applicationTitle, ChannelView* channels,
                  std::shared_ptr<const platform::System> system);
    // The clock may be one of its own, held by reference.
    StatusDisplay(const StatusDisplay&) = delete;
    StatusDisplay& operator=(const StatusDisplay&) = delete;

    // Shows a finished check or the no-answer notice. A check without a status takes the mark
    // off and leaves the texts as they were; a failure is thrown as the failure it was, for the
    // window's failure boundary.
    void show(const CheckResult& result);

    // A new folder was stored: its first status is news, whatever the old folder's was (an
    // arrival in it asks for attention even when the old one was full too).
    void settingChanged();

    // The window's tick: a notification held back until its folder's minute is up is raised when
    // due, as no check may answer in between (an answer that changes nothing is not sent); a
    // reminder due is told, and one of entries waiting asks for attention again.
    void tick();

    // Quiets the tool for `length` from now (again, when paused already): no notification, sound,
    // attention request or reminder. The texts, pictures and icon go on following the folder.
    // What comes due meanwhile, and an arrival not seen in the window, wait for the pause's end
    // and are told then if still so, as after a popup's minute. Kept in memory only.
    void pause(PauseLength length);
    void resume();
    [[nodiscard]] bool paused() const { return m_pause.has_value(); }
    // The arrivals seen today in the folder now set, newest first; and that folder, as stored.
    [[nodiscard]] const std::vector<TodaysArrival>& todaysArrivals() { return m_today.list(m_clock.now()); }
    [[nodiscard]] const std::string& todaysFolder() const { return m_today.folder(); }

private:
    void showNoAnswer(const CheckResult& notice);
    void showPicture(Picture picture);
    void unmark();
    void forgetStatus();
    // `sawItTurn`: this display showed the folder empty just before, so it turned full about now;
    // `arrived`: an arrival was shown (counted by the check, or a turn to arrival after another status).
    void tellChannels(bool turnedFull, bool sawItTurn = false, bool arrived = false);

    StatusView& m_view;
    const std::string m_startCaption; // both texts before the first status
    const std::string m_startTitle;
    std::string m_caption; // both texts as the last status (or the start) left them, unmarked
    std::string m_applicationTitle;
    std::optional<Status> m_status;
    // The last status held entries the notices tell of: one holding only names they leave out is
    // 着信！ to the window, and as good as empty to the notices, the attention and the reminders.
    bool m_noticedFull = false;
    std::optional<Picture> m_picture;
    bool m_marked = false;
    bool m_attentionAsked = false;
    // While paused: the folder turned full, and asks for attention at the pause's end if still so.
    bool m_attentionHeld = false;
    struct Pause
    {
        std::optional<std::int64_t> endMs; // of the monotonic clock; none: the day's end
        int date = 0;                      // local, the day it ends at the end of
    };
    std::optional<Pause> m_pause;
    std::optional<Channels> m_channels;
    std::optional<SystemClock> m_systemClock;
    const Clock& m_clock;
    Reminders m_reminders;
    // When a folder was last stored: the reminders of another folder start from then, once it
    // answers. The same folder stored again changes nothing of them.
    std::optional<Moment> m_storedAt;
    Shown m_shown; // what the channels were last told
    // The check's count of arrivals in the last status shown, and its folder.
    std::size_t m_arrivalsSeen = 0;
    std::string m_arrivalsFolder;
    TodaysArrivals m_today;
};

} // namespace monitor
