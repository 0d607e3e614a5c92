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

// When the reminders come due, fed what the window shows and asked at each tick.
//
// Waiting (taiki=N): while the folder holds entries, one reminder N minutes of the monotonic
// clock after the moment the tool saw it turn full (or first saw it full), then N minutes after
// the last; emptying it ends the run. A notice of no answer pauses it.
//
// Not arrived (kigen=HH:MM on the days of kigenyoubi): once the local time of a day is past the
// deadline, one reminder, unless the tool saw an arrival that local day or started after the
// deadline. Each local day is decided once, and never a day before one decided: a clock set
// back, or a time zone moved west, brings no second reminder. A tick that finds the deadline
// passed since the last one, the clocks having run apart (the machine slept) or the monotonic
// one having gone on without ticks, says the tool could not look at the time (a sleep cannot
// be told from a clock set forward, or a window held up). A tool started that day says
// since when it watched. The tooltip's line stays until something arrives or the day ends.
// Nothing is decided while the folder is missing or does not answer, nor after such a tick until
// a listing has answered (what came while the machine slept is seen then) or long enough has
// gone by without a no-answer notice that the listing found nothing new.
class Reminders
{
public:
    // What the window showed; `arrived`: listings of its folder found entries the ones before
    // did not (a folder full at the start, or back from missing, has seen no arrival).
    void seen(const Shown& shown, bool arrived, const Moment& now);
    // A listing of the folder answered.
    void answered(const Moment& now) { m_answeredMs = now.monotonicMs; }
    // Another folder is watched from `now`: nothing of the old one's carries over.
    void folderChanged(const Moment& now);
    // The reminder due now, if any; one at a time.
    [[nodiscard]] std::optional<Reminder> due(const Shown& shown, const Moment& now);
    // "09:30 までの着信なし" while the deadline of the day `now` is in passed with nothing come.
    // None once the deadline is no longer set.
    [[nodiscard]] std::string overdueLine(const Moment& now, const Shown& shown) const;

private:
    [[nodiscard]] std::optional<Reminder> notArrived(const Shown& shown, const Moment& now);

    std::optional<Moment> m_start;
    std::optional<Moment> m_previous;
    std::optional<Moment> m_unseen; // the tick that found the day's deadline passed unseen
    std::int64_t m_answeredMs = 0;
    std::optional<std::int64_t> m_fullSinceMs;
    std::int64_t m_toldMs = 0; // the last reminder of the wait, or its start
    int m_arrivedDate = 0;
    int m_decidedDate = 0;
    int m_newestDate = 0;
    int m_overdueDate = 0;
    int m_overdueDeadline = 0;
};

} // namespace monitor
