#pragma once

#include "monitor/Channels.h"
#include "platform/System.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace monitor {

// One reading of the clocks the reminders go by.
struct Moment
{
    std::int64_t monotonicMs = 0; // a clock the user's setting of the time cannot move
    std::int64_t wallSeconds = 0; // the system's time, which the user may set
    int date = 0;                 // local: year * 10000 + month * 100 + day
    int weekday = 0;              // local: 0 Sunday
    int minuteOfDay = 0;          // local
    int secondOfMinute = 0;       // local

    [[nodiscard]] int secondOfDay() const { return minuteOfDay * 60 + secondOfMinute; }
};

class Clock
{
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual Moment now() const = 0;
};

// The system's clocks: a monotonic one of its own, the wall and local time as `system` tells
// them. Read on the window's thread only.
class SystemClock : public Clock
{
public:
    explicit SystemClock(std::shared_ptr<const platform::System> system) : m_system(std::move(system)) {}
    [[nodiscard]] Moment now() const override;

private:
    std::shared_ptr<const platform::System> m_system;
};

// When the reminders come due, fed what the window shows and asked at each tick. Due is not
// told: the channels hold a reminder until they can raise it, while it is still so.
//
// Waiting (taiki=N): while the folder holds entries, one reminder N minutes of the monotonic
// clock after the moment the tool saw it turn full (or first saw it full), then N minutes after
// the last; emptying it ends the run. A notice of no answer pauses it.
//
// Not arrived (kigen=HH:MM on the days of kigenyoubi): one decision a local day, see DayState.
// A tool started that day says since when it watched; one that could not look at the deadline
// (the machine slept, the clock jumped, the folder was missing or silent) says so. The tooltip's
// line stays until something arrives or the day ends.
class Reminders
{
public:
    // What the window showed; `arrived`: it showed an arrival (listings found entries the ones
    // before did not, or the status turned to arrival after another one of this folder).
    void seen(const Shown& shown, bool arrived, const Moment& now);
    // A listing of the folder answered.
    void answered(const Moment& now) { m_answeredMs = now.monotonicMs; }
    // Another folder is watched from `now`: nothing of the old one's carries over.
    void folderChanged(const Moment& now);
    // The reminder that came due now, if any; one at a time.
    [[nodiscard]] std::optional<Reminder> due(const Shown& shown, const Moment& now);
    // "09:30 までの着信なし" while the deadline of the day `now` is in passed with nothing come.
    // None once the deadline is no longer set.
    [[nodiscard]] std::string overdueLine(const Moment& now, const Shown& shown) const;

private:
    // One local day's "not arrived" decision. Invariants:
    // - Decided is final for its date, and a date before the newest one seen is never decided
    //   (a clock set back, or a time zone moved west, brings no second reminder).
    // - Only a tick that sees the folder answering decides. A deadline passed while the tool could
    //   not look (no tick across it, the clocks apart, the folder missing or silent) leaves the
    //   day Undecided until a listing answers after that, or long enough goes by without a
    //   no-answer notice that the listing found nothing new.
    // - The decision is quiet when an arrival was shown that day, whenever it came, or when the
    //   tool watched the folder only from after the deadline's second.
    enum class DayState
    {
        Waiting,   // the deadline is still to come, or no deadline is set for the day
        Undecided, // passed, not yet seen
        Decided,
    };

    [[nodiscard]] std::optional<Reminder> notArrived(const Shown& shown, const Moment& now);
    [[nodiscard]] std::optional<Reminder> decide(const Moment& now, const Shown& shown, int deadline);

    std::optional<Moment> m_start;
    std::optional<Moment> m_previous;
    std::int64_t m_answeredMs = 0;
    std::optional<std::int64_t> m_fullSinceMs;
    std::int64_t m_toldMs = 0; // the last reminder of the wait, or its start

    int m_day = 0; // the date the state is of: the newest seen
    DayState m_dayState = DayState::Waiting;
    std::int64_t m_undecidedMs = 0; // when the day turned Undecided
    bool m_unseen = false;          // the deadline passed while the tool could not look
    int m_arrivedDate = 0;
    int m_overdueDate = 0;
    int m_overdueDeadline = 0;
};

} // namespace monitor
