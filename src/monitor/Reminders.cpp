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
    moment.secondOfMinute = local.secondOfMinute;
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
    const std::int64_t wait = shown.switches.waitMinutes;
    // From the last one: a wait changed meanwhile counts from there, and a tool held up past
    // several gives one for them all.
    if (wait > 0 && m_fullSinceMs && !shown.marked && shown.status == Status::Arrival &&
        now.monotonicMs - m_toldMs >= wait * minuteMs) {
        m_toldMs = now.monotonicMs;
        reminder = Reminder{NoticeKind::Waiting, std::string(texts::waitingTitle),
                            waitingText(shown, now.monotonicMs - *m_fullSinceMs), *m_fullSinceMs};
    }
    if (!reminder)
        reminder = notArrived(shown, now);
    m_previous = now;
    return reminder;
}

std::optional<Reminder> Reminders::notArrived(const Shown& shown, const Moment& now)
{
    if (now.date < m_day)
        return std::nullopt;
    if (now.date > m_day) {
        m_day = now.date;
        m_dayState = DayState::Waiting;
        m_unseen = false;
    }
    const std::optional<int> deadline = shown.switches.deadline;
    if (m_dayState == DayState::Decided || !deadline || shown.folder.empty() ||
        (shown.switches.deadlineDays & (1U << now.weekday)) == 0 || now.secondOfDay() < *deadline * 60)
        return std::nullopt;
    const bool seenNow = !shown.marked && shown.status && *shown.status != Status::NoFolder;
    if (m_dayState == DayState::Waiting) {
        // Passed since the last tick: watched only when the ticks went on across it with the
        // clocks together (a sleep cannot be told from a clock set forward, or a window held up).
        bool missed = false;
        if (m_previous && (m_previous->date < now.date || m_previous->secondOfDay() < *deadline * 60)) {
            const std::int64_t monotonicGap = now.monotonicMs - m_previous->monotonicMs;
            const std::int64_t wallGap = (now.wallSeconds - m_previous->wallSeconds) * 1000;
            missed = monotonicGap >= minuteMs || wallGap - monotonicGap >= minuteMs;
        }
        if (!missed && seenNow)
            return decide(now, shown, *deadline);
        m_dayState = DayState::Undecided;
        m_undecidedMs = now.monotonicMs;
        m_unseen = true;
        return std::nullopt;
    }
    // What came while the tool could not look is seen by the next listing that answers.
    if (!seenNow || (m_answeredMs <= m_undecidedMs && now.monotonicMs - m_undecidedMs < answerWaitMs))
        return std::nullopt;
    return decide(now, shown, *deadline);
}

std::optional<Reminder> Reminders::decide(const Moment& now, const Shown& shown, int deadline)
{
    m_dayState = DayState::Decided;
    // Watched only from after the deadline: the tool cannot tell what came before.
    if (m_arrivedDate >= now.date || (m_start->date == now.date && m_start->secondOfDay() > deadline * 60))
        return std::nullopt;
    m_overdueDate = now.date;
    m_overdueDeadline = deadline;
    std::string text = shown.folder + "\n" + settings::timeOfDayText(deadline) + std::string(texts::notArrivedAfter);
    if (m_start->date == now.date)
        text += std::string(texts::watchedSinceBefore) + settings::timeOfDayText(m_start->minuteOfDay) +
                std::string(texts::watchedSinceAfter);
    if (m_unseen)
        text += "\n" + std::string(texts::notArrivedUnseen);
    return Reminder{NoticeKind::NotArrived, std::string(texts::notArrivedTitle), std::move(text)};
}

std::string Reminders::overdueLine(const Moment& now, const Shown& shown) const
{
    // A clock set back before the deadline has it still to come.
    if (!shown.switches.deadline || m_overdueDate != now.date || m_arrivedDate >= now.date ||
        now.secondOfDay() < m_overdueDeadline * 60)
        return {};
    return settings::timeOfDayText(m_overdueDeadline) + std::string(texts::notArrivedTooltipAfter);
}

} // namespace monitor
