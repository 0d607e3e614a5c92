#pragma once

#include "monitor/StatusView.h"
#include "platform/System.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace monitor {

// What one check found: the status to show (none when the settings name no folder), or the
// message of a failure that escaped it.
struct CheckResult
{
    std::optional<Status> status;
    std::optional<std::string> failure;
    unsigned generation = 0; // the setting generation the check was started for
};

// Runs the arrival check (settings read and folder listing) on a thread of its own, so that a
// folder that stops answering never freezes the window. At most one check is in flight: a
// request while one runs is remembered and runs once, right after it. Each result goes to
// `deliver` on the checking thread; the window passes it on to its own thread and drops a result
// whose generation is older than its setting's.
//
// Between the ticks' requests it watches the folder it last listed, where the system can, and
// checks again as soon as entries come or go, so that an arrival shows at once. Those extra
// checks keep to a tenth of one core: each waits nine times as long as the last check took, and
// at least 20 ms.
class BackgroundCheck
{
public:
    using Deliver = std::function<void(CheckResult)>;

    BackgroundCheck(const platform::System& system, Deliver deliver);
    // Never waits for a check that hangs: the thread finishes on its own and delivers nothing.
    ~BackgroundCheck();
    BackgroundCheck(const BackgroundCheck&) = delete;
    BackgroundCheck& operator=(const BackgroundCheck&) = delete;

    void request(unsigned generation);

    // The state the checking thread and the folder watch share with the owner; opaque.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};

// Shows a finished check in the view: its status, when it found one, or its failure, thrown as
// the failure it was, for the window's failure boundary.
void showCheck(const CheckResult& result, StatusView& view);

} // namespace monitor
