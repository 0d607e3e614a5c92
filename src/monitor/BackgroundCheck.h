#pragma once

#include "monitor/StatusView.h"
#include "platform/System.h"
#include "settings/ChannelSettings.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace monitor {

// What one check found: the status to show (none when the settings name no folder), or the
// message of a failure that escaped it. Or, with `noAnswer`, no finding at all: a notice that
// no check has answered for a while. Every answer and notice carries the newest settings read:
// the folder as stored (the one the notice waits for), its switches and the generation the read
// was asked for; a notice before any read has answered carries none. While no check answers, a
// settings read that finds other settings than the last notice, and whose folder's listing has
// hung as long as a notice waits, sends the notice again.
struct CheckResult
{
    std::optional<Status> status;
    std::optional<std::string> failure;
    std::string folder;             // as stored
    std::size_t entries = 0;        // other than "." and ".."
    std::vector<std::string> names; // the newest entries' (see ArrivedNames), newest first
    settings::ChannelSettings channels;
    bool noAnswer = false;
    // The arrivals the check's listings of the folder counted, answered or not, on from
    // `arrivalsFrom`, the count when it started on the folder (see ArrivedNames).
    std::size_t arrivals = 0;
    std::size_t arrivalsFrom = 0;
    unsigned generation = 0; // the setting generation the settings read was asked for
    std::size_t leftOut = 0; // of `entries`, those whose names the notices leave out
    friend bool operator==(const CheckResult&, const CheckResult&) = default;
};

// Runs the arrival check (settings read and folder listing) off the window's thread, so that a
// folder that stops answering never freezes the window, and never stops the tool either:
//
// - A lasting checking thread runs the checks one after another. While it hangs, the next check
//   goes to another thread (started when a tick has waited a quarter of a second), so that a
//   setting moved to another folder shows at the next tick; a thread that finds another one idle
//   ends. Never two settings reads, nor two listings of one folder, at once (piling threads onto
//   a dead share helps nobody): a check whose folder is being listed leaves its answer to that
//   listing, which one more check then follows. So a folder that hangs holds one thread, and a
//   healthy folder is always checked.
// - Each answer is built from the newest settings read, whichever check started its listing: a
//   switch turned off while a listing hangs is not put back by its answer. An answer for a folder
//   the newest read no longer names is dropped, so a hung listing that comes back late never
//   shows another folder's status, nor takes the mark off.
// - When a tick's request has had no answer for `Timing::noAnswerAfterMs`, the owner is sent a
//   no-answer notice, once, until a check answers again (or a read finds the settings changed).
//   A call that has made no progress (no entry listed) for `Timing::giveUpAfterMs` is cancelled
//   where the system can cancel a call, and again each second until it ends; its answer is
//   dropped. A slow listing that goes on listing is let finish.
// - An answer equal to the last one delivered is not delivered again, unless a notice came
//   between: an idle tool wakes the window once a tick, for the tick.
//
// Each result goes to `deliver` on a checking thread; the window passes it on to its own thread
// and drops a result whose generation is older than its setting's. Between the ticks it watches
// the folder it last listed, where the system can, and checks again as soon as entries come or
// go, each extra check waiting nine times as long as the last listing took, and at least 20 ms.
// A check whose watch vouches that nothing came or went since the last whole walk of the folder
// started (see FolderWatch::unchangedSinceListing) answers with that walk instead of walking
// again, for at most `Timing::walkAtLeastEveryMs`: the settings are read at every check all the same.
//
// The threads share the system: one left hanging when the owner goes still has what it uses,
// and delivers nothing.
class BackgroundCheck
{
public:
    using Deliver = std::function<void(CheckResult)>;

    struct Timing
    {
        unsigned noAnswerAfterMs = 5000; // as long as the system gives a window before marking it
        unsigned giveUpAfterMs = 30000;  // without progress
        // However quiet its watch, a folder is walked at least this often: the watch is a help, and
        // a kernel's or a driver's lapse must not hide an arrival for longer.
        unsigned walkAtLeastEveryMs = 60000;
    };

    BackgroundCheck(std::shared_ptr<const platform::System> system, Deliver deliver, Timing timing);
    BackgroundCheck(std::shared_ptr<const platform::System> system, Deliver deliver)
        : BackgroundCheck(std::move(system), std::move(deliver), Timing())
    {}
    // Never waits for a check: one under way ends by itself and delivers nothing.
    ~BackgroundCheck();
    BackgroundCheck(const BackgroundCheck&) = delete;
    BackgroundCheck& operator=(const BackgroundCheck&) = delete;

    // A tick: check the folder the settings name now, for the setting generation `generation`.
    void request(unsigned generation);

    // The state the threads and the folder watch share with the owner; opaque.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};

} // namespace monitor
