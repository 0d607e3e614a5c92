#include "monitor/StatusDisplay.h"

#include "common/Texts.h"
#include "monitor/ArrivalPoll.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace monitor {

namespace {

constexpr std::int64_t hourMs = 60 * 60 * 1000;

Picture pictureOf(Status status)
{
    switch (status) {
    case Status::Arrival:
        return Picture::Arrival;
    case Status::NoFolder:
        return Picture::NoFolder;
    case Status::Watching:
        break;
    }
    return Picture::Watching;
}

std::string statusText(Status status)
{
    switch (status) {
    case Status::Arrival:
        return std::string(texts::statusArrival);
    case Status::NoFolder:
        return std::string(texts::statusNoFolder);
    case Status::Watching:
        break;
    }
    return std::string(texts::statusWatching);
}

} // namespace

StatusDisplay::StatusDisplay(StatusView& view, std::string caption, std::string applicationTitle, ChannelView* channels,
                             const Clock& clock)
    : m_view(view), m_startCaption(std::move(caption)), m_startTitle(std::move(applicationTitle)),
      m_caption(m_startCaption), m_applicationTitle(m_startTitle), m_clock(clock)
{
    if (channels != nullptr)
        m_channels.emplace(*channels);
    m_shown.caption = m_caption;
}

StatusDisplay::StatusDisplay(StatusView& view, std::string caption, std::string applicationTitle, ChannelView* channels,
                             std::shared_ptr<const platform::System> system)
    : m_view(view), m_startCaption(std::move(caption)), m_startTitle(std::move(applicationTitle)),
      m_caption(m_startCaption), m_applicationTitle(m_startTitle), m_systemClock(std::in_place, std::move(system)),
      m_clock(*m_systemClock)
{
    if (channels != nullptr)
        m_channels.emplace(*channels);
    m_shown.caption = m_caption;
}

void StatusDisplay::tellChannels(bool turnedFull, bool sawItTurn, bool arrived)
{
    if (!m_channels)
        return;
    m_shown.picture = m_picture.value_or(Picture::Watching);
    m_shown.status = m_status == Status::Arrival && !m_noticedFull ? std::optional(Status::Watching) : m_status;
    m_shown.marked = m_marked;
    m_shown.caption = m_marked ? m_caption + std::string(texts::noAnswerMark) : m_caption;
    // The gap between notifications on a clock the user's setting of the time cannot move; the
    // local time for the text.
    const Moment now = m_clock.now();
    m_reminders.seen(m_shown, arrived, now);
    m_shown.overdue = m_reminders.overdueLine(now, m_shown);
    m_channels->show(m_shown, turnedFull, now.monotonicMs,
                     sawItTurn ? settings::timeOfDayText(now.minuteOfDay) : std::string());
}

void StatusDisplay::show(const CheckResult& result)
{
    if (result.noAnswer) {
        showNoAnswer(result);
        return;
    }
    if (!result.status) {
        unmark();
        if (result.failure)
            throw std::runtime_error(*result.failure);
        m_shown.switches = result.channels;
        tellChannels(false);
        return;
    }

    // The moment the folder turned full was seen only when this display showed the same folder
    // there and empty before, or holding only names the notices leave out (not at the start, not
    // just named, not back from missing).
    const bool sawItTurn =
        m_status && !m_noticedFull && *m_status != Status::NoFolder && m_shown.folder == result.folder;
    // A turn to arrival after another status of this folder is one, whatever the listings counted
    // (back from missing, a listing holds nothing to compare with).
    const bool shownBefore = m_status && m_shown.folder == result.folder;
    // Named by hand in the file: as when the tool stores it.
    if (!m_shown.folder.empty() && m_shown.folder != result.folder)
        m_reminders.folderChanged(m_storedAt.value_or(m_clock.now()));
    m_storedAt.reset();
    m_shown.folder = result.folder;
    m_shown.current = true;
    m_shown.entries = result.entries - std::min(result.leftOut, result.entries);
    m_shown.leftOut = result.leftOut;
    m_shown.names.assign(result.names.begin(),
                         result.names.begin() + std::min(result.names.size(), ArrivedNames::namesTold));
    m_shown.switches = result.channels;
    m_today.watch(result.folder);
    const Status status = *result.status;
    m_marked = false;
    showStatus(status, m_view);
    m_caption = m_applicationTitle = statusText(status);
    showPicture(pictureOf(status));
    m_view.showFolder(result.folder);
    // Once per arrival: a folder that answers again after a pause has not turned full again.
    const bool noticedFull = status == Status::Arrival && (result.leftOut == 0 || result.entries > result.leftOut);
    const bool turnedFull = noticedFull && !m_noticedFull;
    m_attentionHeld = m_attentionHeld && noticedFull;
    if (turnedFull && m_pause) {
        m_attentionHeld = true;
    } else if (turnedFull) {
        m_view.askForAttention();
        m_attentionAsked = true;
    } else if (!noticedFull && m_attentionAsked) {
        // Emptied (or gone) before the user looked: nothing waits for them any more.
        m_view.withdrawAttention();
        m_attentionAsked = false;
    }
    m_status = status;
    m_noticedFull = noticedFull;
    m_reminders.answered(m_clock.now());
    // Against the count last shown of this folder: an arrival seen by a listing whose answer was
    // dropped (cancelled, failed, or made stale) counts with the next answer.
    const std::size_t before =
        result.folder == m_arrivalsFolder ? std::max(m_arrivalsSeen, result.arrivalsFrom) : result.arrivalsFrom;
    m_arrivalsSeen = result.arrivals;
    m_arrivalsFolder = result.folder;
    // The newest names are the arrivals counted since, as far as the check named them.
    if (result.arrivals > before)
        m_today.arrived(
            {result.names.begin(), result.names.begin() + std::min(result.names.size(), result.arrivals - before)},
            m_clock.now());
    tellChannels(turnedFull, sawItTurn, result.arrivals > before || (turnedFull && shownBefore));
}

void StatusDisplay::showNoAnswer(const CheckResult& notice)
{
    // The notice names the folder the newest settings read found set (none when no read has
    // answered yet). A status found in another folder says nothing of this one: it goes, and the
    // mark follows the texts of the start, as before the first status.
    const bool elsewhere = !notice.folder.empty() && notice.folder != m_shown.folder;
    if (!notice.folder.empty())
        m_shown.current = true;
    if (elsewhere) {
        forgetStatus();
        m_reminders.folderChanged(m_storedAt.value_or(m_clock.now()));
        m_storedAt.reset();
        m_shown.folder = notice.folder;
        m_shown.entries = 0;
        m_shown.leftOut = 0;
        m_shown.names.clear();
        m_shown.switches = notice.channels;
        m_today.watch(notice.folder);
        m_view.showFolder(notice.folder);
    } else if (m_marked) {
        return;
    }
    if (!m_status) {
        m_caption = m_startCaption;
        m_applicationTitle = m_startTitle;
    }
    m_marked = true;
    // The taskbar text first: it is what a minimised user is watching.
    m_view.setApplicationTitle(m_applicationTitle + std::string(texts::noAnswerMark));
    m_view.setCaption(m_caption + std::string(texts::noAnswerMark));
    showPicture(Picture::NoAnswer);
    tellChannels(false);
}

void StatusDisplay::settingChanged()
{
    forgetStatus();
    // Until the folder answers, a tick has nothing to remind of; the reminders start over only
    // when the answer names another folder (storing the same one again keeps the day's arrivals).
    m_storedAt = m_clock.now();
    m_shown.status.reset();
    m_shown.current = false;
    m_shown.entries = 0;
    m_shown.leftOut = 0;
    m_shown.names.clear();
}

void StatusDisplay::pause(PauseLength length)
{
    const Moment now = m_clock.now();
    if (length == PauseLength::Hour) {
        m_pause = Pause{now.monotonicMs + hourMs, 0};
        m_shown.paused = std::string(texts::pausedBefore) +
                         settings::timeOfDayText((now.minuteOfDay + 60) % (24 * 60)) +
                         std::string(texts::pausedUntilAfter);
    } else {
        m_pause = Pause{std::nullopt, now.date};
        m_shown.paused = texts::pausedToDayEnd;
    }
    tellChannels(false);
}

void StatusDisplay::resume()
{
    if (!m_pause)
        return;
    m_pause.reset();
    m_shown.paused.clear();
    // Asked anew, as a reminder does: a request still standing is easily overlooked.
    if (std::exchange(m_attentionHeld, false)) {
        if (m_attentionAsked)
            m_view.withdrawAttention();
        m_view.askForAttention();
        m_attentionAsked = true;
    }
    tellChannels(false);
}

void StatusDisplay::tick()
{
    const Moment now = m_clock.now();
    // The day's end is the local date's change, whichever way the clock went.
    if (m_pause && (m_pause->endMs ? now.monotonicMs >= *m_pause->endMs : now.date != m_pause->date))
        resume();
    if (!m_channels)
        return;
    if (const std::optional<Reminder> reminder = m_reminders.due(m_shown, now)) {
        // What waits is asked for anew: a request still standing is one the user has learnt to
        // overlook. What did not come has nothing to look at. Paused, it is asked at the end.
        if (reminder->kind == NoticeKind::Waiting && m_pause) {
            m_attentionHeld = true;
        } else if (reminder->kind == NoticeKind::Waiting) {
            if (m_attentionAsked)
                m_view.withdrawAttention();
            m_view.askForAttention();
            m_attentionAsked = true;
        }
        m_channels->remind(*reminder, m_shown, now.monotonicMs);
    }
    // The day's end takes the missed delivery off the icon.
    if (m_channels->pending() || m_reminders.overdueLine(now, m_shown) != m_shown.overdue)
        tellChannels(false);
}

std::optional<CheckResult> currentOnly(CheckResult result, unsigned generation)
{
    if (result.generation == generation)
        return result;
    if (!result.noAnswer)
        return std::nullopt;
    result.folder.clear();
    result.channels = {};
    return result;
}

void StatusDisplay::forgetStatus()
{
    // What the old folder held asks nobody to look any more; the new folder's first status is
    // news, whatever the old one's was.
    m_status.reset();
    m_noticedFull = false;
    m_attentionHeld = false;
    if (m_attentionAsked) {
        m_view.withdrawAttention();
        m_attentionAsked = false;
    }
}

void StatusDisplay::showPicture(Picture picture)
{
    if (picture == m_picture)
        return;
    m_picture = picture;
    m_view.showPicture(picture);
}

void StatusDisplay::unmark()
{
    if (!m_marked)
        return;
    m_marked = false;
    m_view.setApplicationTitle(m_applicationTitle);
    m_view.setCaption(m_caption);
    showPicture(m_status ? pictureOf(*m_status) : Picture::Watching);
    tellChannels(false);
}

} // namespace monitor
