#include "monitor/BackgroundCheck.h"

#include "monitor/ArrivalPoll.h"
#include "monitor/FolderFollower.h"

// std::chrono's durations come with <condition_variable>: <chrono> itself holds a "µs" literal
// that the Windows build's Shift-JIS execution character set cannot take.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

// Invariants, each kept under `signal->mutex`:
// - At most one settings read (`reading`) and at most one listing of a folder (`calls`) at once;
//   a check that finds its folder listed marks that listing `again` instead of starting another.
// - Every answer is built from `newest`, the newest read; an answer whose listing was cancelled,
//   or whose folder `newest` no longer names, is never delivered.
// - A file-system call is made only with the lock released, by a checking thread; the
//   coordinator and the owner never make one, so nothing that holds the lock can hang.
// - `lastDelivered` is what the owner last got (a failure is always delivered anew); the
//   no-answer notice goes once per `unansweredSince`, cleared by the next answer.
// - The arrivals count of `names` never goes back, and a new folder's starts at
//   `arrivalsCounted`, the highest count any listing ended with.
// - `lastWalk` is the answer of the last whole walk of its folder and `names`, taken out as any
//   listing of that folder starts and put back only by a check that reuses it: so a watch that
//   vouches for the folder since the last listing started vouches for that answer.
// - `threads` counts the checking threads alive; one idle thread at most waits for work, the
//   others end when they find it there.

namespace monitor {

namespace {

using Clock = std::chrono::steady_clock;

// Extra checks come no closer than this, however quick the listing: each one may change the
// texts and the icon, which costs the window more than the listing costs its thread. And no
// further apart than a tick, however slow the last listing was: the ticks go on anyway.
constexpr Clock::duration leastExtraGap = std::chrono::milliseconds(20);
constexpr Clock::duration mostExtraGap = std::chrono::seconds(1);
// A tick that waits this long with every checking thread busy gets a thread of its own: a
// listing that takes longer is slow or hangs, and must not hold back another folder's check.
constexpr Clock::duration busyBeforeAnotherThread = std::chrono::milliseconds(250);
// A cancellation ends the call under way only: a listing makes several, each is ended in turn.
constexpr Clock::duration cancelAgainAfter = std::chrono::seconds(1);

// One checking thread's call under way: the settings read (no folder), or a listing.
struct Call
{
    std::string folder;
    std::atomic<std::size_t> visited{0}; // names listed so far, written by its thread alone
    std::size_t seen = 0;                // `visited` when the coordinator last looked
    Clock::time_point movedAt;           // when it last saw `visited` move, or the call start
    platform::CallCancel* cancel = nullptr;
    bool cancelled = false;
    Clock::time_point cancelAgain{};
    bool again = false; // a settings read named the folder while it was listed: one more check follows
};

// The newest settings read, which every answer is built from.
struct Read
{
    unsigned generation = 0;
    std::optional<std::string> failure;
    std::string stored;
    std::string folder; // with its separator
    settings::ChannelSettings channels;
};

// A whole walk's answer, which a tick reuses while the folder's watch vouches that nothing came
// or went since it started.
struct Walk
{
    std::string folder;
    std::shared_ptr<ArrivedNames> names;
    std::string leftOut; // the patterns it left out
    Listed listed;
    Clock::time_point at;
};

} // namespace

// Shared by the owner, the coordinating thread and the checking threads, and kept alive by
// whichever ends last. Everything but `system`, `deliver`, `timing` and `follower` is guarded by
// `signal->mutex`. Idle checking threads wait on `signal->changed`, which the watch also
// signals; the coordinator waits on `coordinatorWake`, so that a tick wakes one thread only.
struct BackgroundCheck::Shared
{
    Shared(std::shared_ptr<const platform::System> checked, Deliver delivered, Timing timed)
        : system(std::move(checked)), deliver(std::move(delivered)), timing(timed)
    {}

    const std::shared_ptr<const platform::System> system;
    const Deliver deliver;
    const Timing timing;
    const std::shared_ptr<WatchSignal> signal = std::make_shared<WatchSignal>();
    FolderFollower follower;
    std::condition_variable coordinatorWake;

    std::optional<unsigned> requested; // a tick's request: the generation of the next check
    Clock::time_point requestedAt{};
    unsigned lastGeneration = 0;
    std::optional<Read> newest;
    bool reading = false;
    std::vector<std::shared_ptr<Call>> calls; // under way
    unsigned idleThreads = 0;
    unsigned threads = 0;
    bool coordinatorResting = false; // it waits with nothing to time
    Clock::time_point nextExtraCheck{};
    std::optional<Clock::time_point> unansweredSince; // the first tick no check has answered yet
    bool noAnswerSent = false;
    std::optional<CheckResult> lastDelivered; // but a failure
    // The names of the folder the settings named last; a listing of that folder alone uses them.
    std::shared_ptr<ArrivedNames> names;
    std::string namesFolder;
    std::string namesLeftOut; // the patterns they were listed with
    // The highest count of arrivals a listing ended with: another folder's names count on from it.
    std::size_t arrivalsCounted = 0;
    std::optional<Walk> lastWalk;

    unsigned long long answers = 0;
    bool stopping = false;
};

namespace {

using Shared = BackgroundCheck::Shared;
using Lock = std::unique_lock<std::mutex>;

void checkingThread(const std::shared_ptr<Shared>& shared);

std::chrono::milliseconds noAnswerAfter(const Shared& shared)
{
    return std::chrono::milliseconds(shared.timing.noAnswerAfterMs);
}

void startThread(const std::shared_ptr<Shared>& shared)
{
    try {
        std::thread(checkingThread, shared).detach();
        ++shared->threads;
    } catch (const std::exception&) {
        // No thread to be had now: the next tick asks again.
    }
}

std::shared_ptr<Call> callStarts(Shared& shared, std::string folder, platform::CallCancel* cancel)
{
    auto call = std::make_shared<Call>();
    call->folder = std::move(folder);
    call->cancel = cancel;
    call->movedAt = Clock::now();
    shared.calls.push_back(call);
    return call;
}

// Sends the no-answer notice with the newest read's folder and switches, unless the one sent
// last says the same.
void sendNotice(Shared& shared)
{
    CheckResult notice;
    notice.noAnswer = true;
    if (shared.newest) {
        notice.folder = shared.newest->stored;
        notice.channels = shared.newest->channels;
        notice.generation = shared.newest->generation;
    }
    shared.noAnswerSent = true;
    if (notice == shared.lastDelivered)
        return;
    shared.lastDelivered = notice;
    shared.deliver(std::move(notice));
}

// Hands on the answer built from the newest read and `listed` (none when the read names no
// folder or failed), unless it equals the last one delivered; then watches the folder listed.
void answer(const std::shared_ptr<Shared>& shared, Lock& lock, const std::optional<Listed>& listed,
            const std::optional<std::string>& listingFailure)
{
    const Read& read = *shared->newest;
    CheckResult result;
    result.folder = read.stored;
    result.channels = read.channels;
    result.generation = read.generation;
    result.failure = read.failure ? read.failure : listingFailure;
    if (listed && !listingFailure) {
        result.status = listed->status;
        result.entries = listed->entries;
        result.names = listed->newest;
        result.leftOut = listed->leftOut;
        result.arrivals = listed->arrivals;
        result.arrivalsFrom = listed->arrivalsFrom;
    }
    const std::string folder = result.status && *result.status != Status::NoFolder ? read.folder : std::string();
    const std::optional<platform::FolderIdentity> identity = listed ? listed->identity : std::nullopt;
    const unsigned long long sequence = ++shared->answers;
    shared->unansweredSince.reset();
    shared->noAnswerSent = false;
    if (result.failure || result != shared->lastDelivered) {
        shared->lastDelivered = result.failure ? std::nullopt : std::optional(result);
        shared->deliver(std::move(result));
    }
    lock.unlock();
    // Outside the lock: setting a watch up may hang on a folder that stopped answering just now.
    shared->follower.follow(*shared->system, folder, identity, sequence, shared->signal);
    lock.lock();
}

// One check: the settings read, then the listing of the folder it names, unless that folder is
// being listed already; the answer is built from the newest read once the listing ends.
void check(const std::shared_ptr<Shared>& shared, Lock& lock, platform::CallCancel* cancel)
{
    const platform::System& system = *shared->system;
    Read read;
    read.generation = shared->requested.value_or(shared->lastGeneration);
    shared->requested.reset();
    shared->signal->folderChanged = false;
    shared->reading = true;
    const std::shared_ptr<Call> settingsRead = callStarts(*shared, {}, cancel);
    lock.unlock();
    try {
        Setting setting = readSetting(system);
        read.stored = std::move(setting.stored);
        read.folder = std::move(setting.folder);
        read.channels = std::move(setting.channels);
    } catch (const std::exception& failure) {
        read.failure = failure.what();
    }
    lock.lock();
    shared->reading = false;
    std::erase(shared->calls, settingsRead);
    // Another thread may take the next check: this one lists first.
    if (shared->requested || shared->signal->folderChanged)
        shared->signal->changed.notify_one();
    if (shared->requested)
        shared->coordinatorWake.notify_one();
    // A cancelled read may answer the cancellation's failure: it is not shown.
    if (shared->stopping || settingsRead->cancelled)
        return;
    shared->newest = std::move(read);
    const std::string folder = shared->newest->folder;
    if (shared->newest->failure || folder.empty()) {
        answer(shared, lock, std::nullopt, std::nullopt);
        return;
    }
    for (const std::shared_ptr<Call>& call : shared->calls) {
        if (call->folder == folder) {
            // The listing under way answers with this read; it may have passed an entry that
            // came after this check was asked for. While it hangs, the mark names what is set.
            call->again = true;
            if (shared->noAnswerSent && Clock::now() - call->movedAt >= noAnswerAfter(*shared))
                sendNotice(*shared);
            return;
        }
    }
    const std::shared_ptr<Call> listing = callStarts(*shared, folder, cancel);
    // By the folder as stored: the display tells folders apart by that spelling, and another
    // spelling of the same folder starts its count anew there.
    // Other names left out start anew too: a name no longer left out is no arrival.
    if (!shared->names || shared->namesFolder != shared->newest->stored ||
        shared->namesLeftOut != shared->newest->channels.leftOut) {
        shared->names = std::make_shared<ArrivedNames>(shared->arrivalsCounted);
        shared->namesFolder = shared->newest->stored;
        shared->namesLeftOut = shared->newest->channels.leftOut;
    }
    const std::shared_ptr<ArrivedNames> names = shared->names;
    const std::size_t countedBefore = names->arrivals();
    // Taken out whatever this check does: a listing that starts may be the one after a change.
    std::optional<Walk> last = std::exchange(shared->lastWalk, std::nullopt);
    const Clock::time_point started = Clock::now();
    const std::string leftOut = shared->newest->channels.leftOut;
    if (last && (last->folder != folder || last->names != names || last->leftOut != leftOut ||
                 started - last->at >= std::chrono::milliseconds(shared->timing.walkAtLeastEveryMs)))
        last.reset();
    lock.unlock();
    std::optional<Listed> listed;
    std::optional<std::string> failure;
    // Asked here, with the lock released: the watch may look at the folder's path.
    const bool reused = last && shared->follower.unchanged(folder);
    if (reused) {
        listed = last->listed;
    } else {
        // Armed again before the walk: whatever comes while it runs keeps the next check walking.
        shared->follower.listingStarts(folder);
        try {
            listed = listFolder(system, folder, &listing->visited, names.get(), leftOut);
        } catch (const std::exception& caught) {
            failure = caught.what();
        }
    }
    const Clock::time_point now = Clock::now();
    lock.lock();
    std::erase(shared->calls, listing);
    shared->arrivalsCounted = std::max(shared->arrivalsCounted, names->arrivals());
    if (reused)
        shared->lastWalk = std::move(last);
    else if (listed && listed->whole && !failure && !listing->cancelled)
        shared->lastWalk = Walk{folder, names, leftOut, *listed, started};
    if (!reused)
        shared->nextExtraCheck = now + std::clamp<Clock::duration>(9 * (now - started), leastExtraGap, mostExtraGap);
    if (listing->again)
        shared->signal->folderChanged = true;
    // Cancelled, its answer may be the cancellation's failure; for a folder the settings no
    // longer name, it is another folder's.
    if (shared->stopping || listing->cancelled || shared->newest->failure || shared->newest->folder != folder)
        return;
    // The folder was set again while this listing ran (to another and back): only what it saw
    // itself is news to the display, which has shown the other folder since.
    if (listed && names != shared->names)
        listed->arrivalsFrom = std::max(listed->arrivalsFrom, countedBefore);
    // Stored in another spelling while it ran: the display starts that spelling's count here.
    else if (listed && shared->namesFolder != shared->newest->stored)
        listed->arrivalsFrom = listed->arrivals;
    answer(shared, lock, listed, failure);
}

// A lasting checking thread: runs the checks that the ticks and the watch ask for while it is
// the idle one, and ends once it finds another idle.
void checkingThread(const std::shared_ptr<Shared>& shared)
{
    std::unique_ptr<platform::CallCancel> cancel;
    try {
        cancel = shared->system->cancelForThisThread();
    } catch (const std::exception&) {
        // Then its calls cannot be cancelled: a hung one holds this thread only.
    }
    Lock lock(shared->signal->mutex);
    for (;;) {
        if (shared->stopping || shared->idleThreads > 0) {
            --shared->threads;
            // The idle one takes what this one left, such as the check that follows its listing.
            shared->signal->changed.notify_all();
            return;
        }
        ++shared->idleThreads;
        for (;;) {
            if (shared->stopping)
                break;
            const bool extra = shared->signal->folderChanged;
            if (!shared->reading && (shared->requested || (extra && Clock::now() >= shared->nextExtraCheck)))
                break;
            if (!shared->reading && extra)
                shared->signal->changed.wait_until(lock, shared->nextExtraCheck);
            else
                shared->signal->changed.wait(lock);
        }
        --shared->idleThreads;
        if (!shared->stopping)
            check(shared, lock, cancel.get());
    }
}

// Sends the no-answer notice, cancels calls that make no progress and starts a checking thread
// when a tick waits with every one busy. It never touches the file system itself, so that
// nothing it does can hang; it waits untimed while nothing needs timing, so that an idle tool
// does not wake it.
void coordinate(const std::shared_ptr<Shared>& shared)
{
    const BackgroundCheck::Timing& timing = shared->timing;
    const auto giveUpAfter = std::chrono::milliseconds(timing.giveUpAfterMs);
    Lock lock(shared->signal->mutex);
    while (!shared->stopping) {
        const Clock::time_point now = Clock::now();
        Clock::time_point wakeAt = Clock::time_point::max();

        if (shared->unansweredSince && !shared->noAnswerSent) {
            if (now - *shared->unansweredSince >= noAnswerAfter(*shared)) {
                sendNotice(*shared);
            } else {
                wakeAt = std::min(wakeAt, *shared->unansweredSince + noAnswerAfter(*shared));
            }
        }

        for (const std::shared_ptr<Call>& call : shared->calls) {
            if (call->cancel == nullptr)
                continue;
            const std::size_t visited = call->visited.load(std::memory_order_relaxed);
            if (visited != call->seen) {
                call->seen = visited;
                call->movedAt = now;
            }
            const Clock::time_point due = call->cancelled ? call->cancelAgain : call->movedAt + giveUpAfter;
            if (now >= due) {
                call->cancelled = true;
                call->cancelAgain = now + cancelAgainAfter;
                call->cancel->cancel();
            }
            wakeAt = std::min(wakeAt, call->cancelled ? call->cancelAgain : due);
        }

        if (shared->requested && shared->idleThreads == 0 && !shared->reading) {
            const Clock::time_point due = shared->threads == 0 ? now : shared->requestedAt + busyBeforeAnotherThread;
            if (now >= due)
                startThread(shared);
            else
                wakeAt = std::min(wakeAt, due);
        }

        shared->coordinatorResting = wakeAt == Clock::time_point::max();
        if (shared->coordinatorResting)
            shared->coordinatorWake.wait(lock);
        else
            shared->coordinatorWake.wait_until(lock, wakeAt);
    }
}

} // namespace

BackgroundCheck::BackgroundCheck(std::shared_ptr<const platform::System> system, Deliver deliver, Timing timing)
    : m_shared(std::make_shared<Shared>(std::move(system), std::move(deliver), timing))
{
    {
        const std::lock_guard lock(m_shared->signal->mutex);
        startThread(m_shared);
    }
    std::thread(coordinate, m_shared).detach();
}

BackgroundCheck::~BackgroundCheck()
{
    const std::lock_guard lock(m_shared->signal->mutex);
    m_shared->stopping = true;
    m_shared->signal->changed.notify_all();
    m_shared->coordinatorWake.notify_all();
}

void BackgroundCheck::request(unsigned generation)
{
    Shared& shared = *m_shared;
    const std::lock_guard lock(shared.signal->mutex);
    const Clock::time_point now = Clock::now();
    if (!shared.requested)
        shared.requestedAt = now;
    shared.requested = generation;
    shared.lastGeneration = generation;
    // The last tick still unanswered, or a call under way at a tick: the coordinator times them.
    const bool timed = shared.unansweredSince.has_value() || !shared.calls.empty();
    if (!shared.unansweredSince)
        shared.unansweredSince = now;
    if (shared.idleThreads > 0)
        shared.signal->changed.notify_one();
    else if (!shared.reading)
        shared.coordinatorWake.notify_one();
    if (timed && shared.coordinatorResting)
        shared.coordinatorWake.notify_one();
}

} // namespace monitor
