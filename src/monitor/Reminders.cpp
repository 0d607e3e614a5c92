#include "monitor/Reminders.h"

#include "common/Texts.h"

#include <algorithm>
#include <thread> // the clocks; <chrono> spells "µs", which code page 932 has no byte for

namespace monitor {

namespace {

constexpr std::int64_t minuteMs = 60 * 1000;
// Twice what a check is given before the no-answer mark: a listing that changed nothing sends no
// answer, one that hangs sends the notice.
constexpr std::int64_t answerWaitMs = 10 * 1000;

} // namespace

Moment SystemClock::now() const
{
    Moment moment;
    const auto sinceBoot = std::chrono::steady_clock::now().time_since_epoch();
    moment.monotonicMs = std::chrono::duration_cast<std::chrono::milliseconds>(sinceBoot).count();
    const platform::LocalTime local = m_system->localTime();
    moment.wallSeconds = local.wallSeconds;
    moment.date = local.date;
    moment.weekday = local.weekday;
    moment.minuteOfDay = local.minuteOfDay;
    return moment;
}

void Reminders::seen(const Shown& shown, bool arrived, const Moment& now)
{
    if (arrived)
        m_arrivedDate = std::max(m_arrivedDate, now.date);
    if (shown.status != Status::Arrival) {
        m_fullSinceMs.reset();
    } else if (!m_fullSinceMs) {
        m_fullSinceMs = m_toldMs = now.monotonicMs;
    }
}

void Reminders::folderChanged(const Moment& now)
{
    m_start = now;
    m_fullSinceMs.reset();
    m_arrivedDate = 0;
    m_overdueDate = 0;
}

std::optional<Reminder> Reminders::due(const Shown& shown, const Moment& now)
{
    if (!m_start)
        m_start = now;
    std::optional<Reminder> reminder;
    const unsigned wait = shown.switches.waitMinutes;
    if (wait > 0 && m_fullSinceMs && !shown.marked && shown.status == Status::Arrival) {
        const std::int64_t waited = now.monotonicMs - *m_fullSinceMs;
        // From the last one: a wait changed meanwhile counts from there, and a tool held up past
        // several gives one for them all.
        if (now.monotonicMs - m_toldMs >= wait * minuteMs) {
            m_toldMs = now.monotonicMs;
            std::string text = shown.folder + "\n" + std::to_string(waited / minuteMs) +
                               std::string(texts::waitingMinutesAfter) + std::to_string(shown.entries) +
                               std::string(texts::waitingEntriesAfter) + namesLine(shown);
            reminder = Reminder{NoticeKind::Waiting, std::string(texts::waitingTitle), std::move(text)};
        }
    }
    if (!reminder)
        reminder = notArrived(shown, now);
    m_previous = now;
    return reminder;
}

std::optional<Reminder> Reminders::notArrived(const Shown& shown, const Moment& now)
{
    // A day before one seen is over, whatever the clock says now.
    const bool setBack = now.date < m_newestDate;
    m_newestDate = std::max(m_newestDate, now.date);
    const std::optional<int> deadline = shown.switches.deadline;
    if (!deadline || setBack || shown.folder.empty() || now.date <= m_decidedDate ||
        (shown.switches.deadlineDays & (1U << now.weekday)) == 0 || now.minuteOfDay < *deadline)
        return std::nullopt;
    if (m_previous && (m_previous->date < now.date || m_previous->minuteOfDay < *deadline)) {
        const std::int64_t monotonicGap = now.monotonicMs - m_previous->monotonicMs;
        const std::int64_t wallGap = (now.wallSeconds - m_previous->wallSeconds) * 1000;
        if ((monotonicGap >= minuteMs || wallGap - monotonicGap >= minuteMs) &&
            (!m_unseen || m_unseen->date != now.date))
            m_unseen = now;
    }
    // Not seen now, or not yet since: decided when a listing answers.
    const bool unseenToday = m_unseen && m_unseen->date == now.date;
    if (shown.marked || !shown.status || *shown.status == Status::NoFolder ||
        (unseenToday && m_answeredMs <= m_unseen->monotonicMs &&
         now.monotonicMs - m_unseen->monotonicMs < answerWaitMs)) {
        if (!unseenToday)
            m_unseen = now;
        return std::nullopt;
    }
    m_unseen.reset();
    m_decidedDate = now.date;
    // Started after the deadline: the tool cannot tell what came before.
    if (m_arrivedDate >= now.date || (m_start->date == now.date && m_start->minuteOfDay > *deadline))
        return std::nullopt;
    m_overdueDate = now.date;
    m_overdueDeadline = *deadline;
    std::string text = shown.folder + "\n" + settings::timeOfDayText(*deadline) + std::string(texts::notArrivedAfter);
    if (m_start->date == now.date)
        text += std::string(texts::watchedSinceBefore) + settings::timeOfDayText(m_start->minuteOfDay) +
                std::string(texts::watchedSinceAfter);
    if (unseenToday)
        text += "\n" + std::string(texts::notArrivedUnseen);
    return Reminder{NoticeKind::NotArrived, std::string(texts::notArrivedTitle), std::move(text)};
}

std::string Reminders::overdueLine(const Moment& now, const Shown& shown) const
{
    if (!shown.switches.deadline || m_overdueDate != now.date || m_arrivedDate >= now.date)
        return {};
    return settings::timeOfDayText(m_overdueDeadline) + std::string(texts::notArrivedTooltipAfter);
}

} // namespace monitor
