#include "monitor/BackgroundCheck.h"

#include "monitor/ArrivalPoll.h"
#include "monitor/FolderFollower.h"

// std::chrono's durations come with <condition_variable>: <chrono> itself holds a "µs" literal
// that the Windows build's Shift-JIS execution character set cannot take.
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace monitor {

namespace {

using Clock = std::chrono::steady_clock;

// Extra checks come no closer than this, however quick the listing: each one may change the
// texts and the icon, which costs the window more than the listing costs its thread. And no
// further apart than a tick, however slow the last listing was: the ticks go on anyway.
constexpr Clock::duration leastExtraGap = std::chrono::milliseconds(20);
constexpr Clock::duration mostExtraGap = std::chrono::seconds(1);

// One check under way, from its settings read to its answer.
struct Check
{
    unsigned long long sequence = 0; // the order checks started in; a later answer replaces an earlier one
    unsigned generation = 0;
    Clock::time_point started;
    std::unique_ptr<platform::CallCancel> cancel; // made by the check's own thread
    bool cancelled = false;
    Clock::time_point cancelAgain{}; // a cancellation ends the call under way only: the next one is ended too
    bool superseded = false;         // a later settings read named another folder
    bool again = false;              // a later check came while this one listed: one more check follows it
};

} // namespace

// Shared by the owner, the coordinating thread and each checking thread, and kept alive by
// whichever ends last. Everything but `system`, `deliver`, `timing` and `follower` is guarded by
// `signal->mutex`.
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

    std::optional<unsigned> requested; // a tick's request: the generation of the next check
    unsigned lastGeneration = 0;
    Clock::time_point nextExtraCheck{};
    std::optional<Clock::time_point> unansweredSince; // the first tick no check has answered yet
    bool noAnswerSent = false;
    bool settingsReadBusy = false;
    std::vector<std::shared_ptr<Check>> checks;             // under way
    std::map<std::string, std::shared_ptr<Check>> listings; // folder -> the check listing it
    unsigned long long nextSequence = 0;
    unsigned long long answeredSequence = 0;
    bool stopping = false;
};

namespace {

using Shared = BackgroundCheck::Shared;

void forget(Shared& shared, const std::shared_ptr<Check>& check)
{
    std::erase(shared.checks, check);
    shared.signal->changed.notify_all();
}

// Runs one check on its own thread: the settings read, then the listing, unless a listing of
// the same folder is under way already; then hands on the answer if no later one came first.
void runCheck(const std::shared_ptr<Shared>& shared, const std::shared_ptr<Check>& check)
{
    const platform::System& system = *shared->system;
    std::unique_ptr<platform::CallCancel> cancel;
    try {
        cancel = system.cancelForThisThread();
    } catch (const std::exception&) {
        // Then this check cannot be cancelled; it is still bounded by the checks in flight.
    }
    std::unique_lock lock(shared->signal->mutex);
    check->cancel = std::move(cancel);
    // Its give-up time is armed from now on.
    shared->signal->changed.notify_all();
    lock.unlock();

    CheckResult result;
    std::string folder;
    try {
        Setting setting = readSetting(system);
        folder = std::move(setting.folder);
        result.folder = std::move(setting.stored);
        result.channels = std::move(setting.channels);
    } catch (const std::exception& failure) {
        result.failure = failure.what();
    }

    lock.lock();
    shared->settingsReadBusy = false;
    if (shared->stopping || check->cancelled) {
        forget(*shared, check);
        return;
    }
    // Listings under way of folders the settings no longer name answer nothing shown: a hung
    // one that comes back late must not show another folder's status, nor take the mark off.
    for (const auto& [listed, under] : shared->listings) {
        if (listed != folder && under->sequence < check->sequence)
            under->superseded = true;
    }
    const bool listing = !result.failure && !folder.empty();
    if (listing) {
        if (const auto under = shared->listings.find(folder); under != shared->listings.end()) {
            // The listing under way answers for this check too, with its place in the order; it
            // may have passed an entry that came after this check was asked for, so one more
            // check follows it.
            under->second->sequence = check->sequence;
            under->second->generation = check->generation;
            under->second->again = true;
            under->second->superseded = false;
            forget(*shared, check);
            return;
        }
        shared->listings.emplace(folder, check);
    }
    shared->signal->changed.notify_all();
    lock.unlock();

    std::optional<platform::FolderIdentity> identity;
    if (listing) {
        shared->follower.listingStarts();
        const Clock::time_point started = Clock::now();
        try {
            const Listed listed = listFolder(system, folder);
            result.status = listed.status;
            result.entries = listed.entries;
            identity = listed.identity;
        } catch (const std::exception& failure) {
            result.failure = failure.what();
        }
        const Clock::duration took = Clock::now() - started;
        lock.lock();
        shared->listings.erase(folder);
        if (check->again)
            shared->signal->folderChanged = true;
        shared->nextExtraCheck = Clock::now() + std::clamp<Clock::duration>(9 * took, leastExtraGap, mostExtraGap);
    } else {
        lock.lock();
    }
    forget(*shared, check);
    if (shared->stopping || check->cancelled || check->superseded || check->sequence <= shared->answeredSequence)
        return;
    shared->answeredSequence = check->sequence;
    shared->unansweredSince.reset();
    shared->noAnswerSent = false;
    result.generation = check->generation;
    const unsigned long long sequence = check->sequence;
    const bool watchable = result.status && *result.status != Status::NoFolder;
    shared->deliver(std::move(result));
    lock.unlock();

    // Watches the folder this answer listed, or none when it has none to watch. Outside the
    // lock: setting a watch up may hang on a folder that stopped answering just now.
    shared->follower.follow(system, watchable ? folder : std::string(), identity, sequence, shared->signal);
}

// Starts the checks the ticks and the watch ask for, sends the no-answer notice and cancels
// checks that are overdue. It never touches the file system itself, so that nothing it does
// can hang.
void coordinate(const std::shared_ptr<Shared>& shared)
{
    const BackgroundCheck::Timing& timing = shared->timing;
    const auto noAnswerAfter = std::chrono::milliseconds(timing.noAnswerAfterMs);
    const auto giveUpAfter = std::chrono::milliseconds(timing.giveUpAfterMs);
    std::unique_lock lock(shared->signal->mutex);
    for (;;) {
        if (shared->stopping)
            return;
        const Clock::time_point now = Clock::now();
        Clock::time_point wakeAt = Clock::time_point::max();

        if (shared->unansweredSince && !shared->noAnswerSent) {
            if (now - *shared->unansweredSince >= noAnswerAfter) {
                shared->noAnswerSent = true;
                CheckResult notice;
                notice.noAnswer = true;
                notice.generation = shared->lastGeneration;
                shared->deliver(std::move(notice));
            } else {
                wakeAt = std::min(wakeAt, *shared->unansweredSince + noAnswerAfter);
            }
        }

        for (const std::shared_ptr<Check>& check : shared->checks) {
            if (check->cancel == nullptr)
                continue;
            // Its answer, if one still comes, is dropped: it may be the cancellation's failure.
            // A listing makes several calls in a row: each is cancelled, once a second, until
            // the check ends.
            const Clock::time_point due = check->cancelled ? check->cancelAgain : check->started + giveUpAfter;
            if (now >= due) {
                check->cancelled = true;
                check->cancelAgain = now + std::chrono::seconds(1);
                check->cancel->cancel();
            }
            wakeAt = std::min(wakeAt, check->cancelled ? check->cancelAgain : due);
        }

        const bool blocked = shared->settingsReadBusy || shared->checks.size() >= timing.checksInFlight;
        // An extra check waits for the checks under way, but for those that hang: one under way
        // takes the change in (or is followed by another), and two at once would slip past the
        // gap between them.
        const bool checking = std::any_of(shared->checks.begin(), shared->checks.end(),
                                          [&](const auto& check) { return now - check->started < noAnswerAfter; });
        const bool extraDue = shared->signal->folderChanged && !checking && now >= shared->nextExtraCheck;
        if (!blocked && (shared->requested || extraDue)) {
            auto check = std::make_shared<Check>();
            check->sequence = ++shared->nextSequence;
            check->generation = shared->requested.value_or(shared->lastGeneration);
            check->started = now;
            shared->requested.reset();
            shared->signal->folderChanged = false;
            shared->settingsReadBusy = true;
            shared->checks.push_back(check);
            // Outside the lock, which the window's thread takes at each tick: starting a thread
            // may take a while (under Wine it has stalled).
            lock.unlock();
            bool started = true;
            try {
                std::thread(runCheck, shared, check).detach();
            } catch (const std::exception&) {
                started = false;
            }
            lock.lock();
            // Its give-up time counts from here: the start itself may have been slow.
            check->started = Clock::now();
            if (!started) {
                // No thread to be had now: the next tick asks again.
                shared->settingsReadBusy = false;
                forget(*shared, check);
            }
            continue;
        }
        if (!blocked && shared->signal->folderChanged && !checking)
            wakeAt = std::min(wakeAt, shared->nextExtraCheck);

        if (wakeAt == Clock::time_point::max())
            shared->signal->changed.wait(lock);
        else
            shared->signal->changed.wait_until(lock, wakeAt);
    }
}

} // namespace

BackgroundCheck::BackgroundCheck(std::shared_ptr<const platform::System> system, Deliver deliver, Timing timing)
    : m_shared(std::make_shared<Shared>(std::move(system), std::move(deliver), timing))
{
    std::thread(coordinate, m_shared).detach();
}

BackgroundCheck::~BackgroundCheck()
{
    const std::lock_guard lock(m_shared->signal->mutex);
    m_shared->stopping = true;
    m_shared->signal->changed.notify_all();
}

void BackgroundCheck::request(unsigned generation)
{
    const std::lock_guard lock(m_shared->signal->mutex);
    m_shared->requested = generation;
    m_shared->lastGeneration = generation;
    if (!m_shared->unansweredSince)
        m_shared->unansweredSince = Clock::now();
    m_shared->signal->changed.notify_all();
}

} // namespace monitor
