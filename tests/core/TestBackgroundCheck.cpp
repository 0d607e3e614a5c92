#include "monitor/ArrivalPoll.h"
#include "monitor/BackgroundCheck.h"
#include "support/MemorySystem.h"

#include <QTest>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <vector>

using monitor::CheckResult;
using monitor::Status;

namespace {

// Watches asked for, by any system of this test: counted where a freed system cannot be read.
std::atomic<int> watchesAsked{0};

// A share whose folders named in `hanging` (and, with `settingsHang`, the settings file) stop
// answering until the test lets them go, as a network share does. Everything the checks touch
// is under one lock, so that the test can change the disk while they run.
class HangingSystem : public MemorySystem
{
public:
    HangingSystem() : MemorySystem(ansi::PathStyle::posix(), ansi::CodePage::utf8(), "/work")
    {
        for (const char* folder : {"/work/dead", "/work/dead2", "/work/dead3", "/work/dead4", "/work/dead5"})
            addFolder(folder);
        addFolder("/work/in");
        addFile("/work/in/data.csv", "1");
        addFolder("/work/slow");
        store("/work/dead");
    }

    void store(const std::string& folder, const std::string& more = {})
    {
        const std::lock_guard lock(m_mutex);
        addFile("/work/Kelvoran.ini", "[KansiDir]\r\nfullpath=" + folder + "\r\n" + more);
    }

    void add(const std::string& file)
    {
        const std::lock_guard lock(m_mutex);
        addFile(file, "1");
    }

    platform::Listing listDirectory(const std::string& path, platform::EntryVisitor& visitor) const override
    {
        std::unique_lock lock(m_mutex);
        const std::string folder = path.substr(0, path.size() - 1);
        ++listings[folder];
        maxListingsAtOnce = std::max(maxListingsAtOnce, ++m_inFlight);
        m_changed.notify_all();
        const auto self = std::this_thread::get_id();
        m_listing.insert(self);
        m_changed.wait(lock, [&] { return !hanging.contains(folder) || m_cancelled.contains(self); });
        // A share on a slow link: an entry every 100 ms, each call its own.
        for (int entry = 0; folder == "/work/slow" && entry < 8 && !m_cancelled.contains(self); ++entry) {
            lock.unlock();
            visitor.visit("entry" + std::to_string(entry));
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            lock.lock();
        }
        --m_inFlight;
        m_listing.erase(self);
        if (m_cancelled.erase(self) > 0)
            return platform::Listing::Unlistable;
        return MemorySystem::listDirectory(path, visitor);
    }

    std::optional<std::string> readFile(const std::string& path) const override
    {
        std::unique_lock lock(m_mutex);
        ++settingsReads;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return !settingsHang; });
        return MemorySystem::readFile(path);
    }

    std::unique_ptr<platform::FolderWatch> watchFolder(const std::string& /*path*/,
                                                       std::function<void()> /*changed*/) const override
    {
        ++watchesAsked;
        return nullptr;
    }

    // Cancels the listing of the thread that made it, as CancelSynchronousIo does.
    std::unique_ptr<platform::CallCancel> cancelForThisThread() const override
    {
        if (!cancellable)
            return nullptr;
        struct Cancel : platform::CallCancel
        {
            Cancel(const HangingSystem& system, std::thread::id thread) : m_system(system), m_thread(thread) {}
            void cancel() override
            {
                // Only a call under way, as CancelSynchronousIo.
                const std::lock_guard lock(m_system.m_mutex);
                if (m_system.m_listing.contains(m_thread))
                    m_system.m_cancelled.insert(m_thread);
                m_system.m_changed.notify_all();
            }
            const HangingSystem& m_system;
            std::thread::id m_thread;
        };
        return std::make_unique<Cancel>(*this, std::this_thread::get_id());
    }

    void release(const std::string& folder)
    {
        const std::lock_guard lock(m_mutex);
        hanging.erase(folder);
        settingsHang = false;
        m_changed.notify_all();
    }

    // Waits until `done` holds, under the lock; false after five seconds.
    template <typename Done> bool waitUntil(Done done) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), done);
    }

    // Read and written under the lock.
    std::set<std::string> hanging{"/work/dead", "/work/dead2", "/work/dead3", "/work/dead4", "/work/dead5"};
    bool settingsHang = false;
    bool cancellable = false;
    mutable std::map<std::string, int> listings;
    mutable int maxListingsAtOnce = 0;
    mutable int settingsReads = 0;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable int m_inFlight = 0;
    mutable std::set<std::thread::id> m_listing;
    mutable std::set<std::thread::id> m_cancelled;
};

// A system whose first watch fails, whose second throws and whose later ones hold; its listings
// tell the folder's identity, which the test changes as a rename of a parent would.
class WatchedSystem : public MemorySystem
{
public:
    WatchedSystem() : MemorySystem(ansi::PathStyle::posix(), ansi::CodePage::utf8(), "/work")
    {
        addFolder("/work/in");
        addFile("/work/Kelvoran.ini", "[KansiDir]\r\nfullpath=/work/in\r\n");
        watching = true;
        watchTrusted = false; // until the test turns to the walks saved
    }

    platform::Listing listDirectory(const std::string& path, platform::EntryVisitor& visitor) const override
    {
        visitor.identify({1, identity});
        return MemorySystem::listDirectory(path, visitor);
    }

    std::unique_ptr<platform::FolderWatch> watchFolder(const std::string& path,
                                                       std::function<void()> changed) const override
    {
        const int call = ++watches;
        if (call == 1)
            return nullptr;
        if (call == 2)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return MemorySystem::watchFolder(path, std::move(changed));
    }

    mutable std::atomic<int> watches{0};
    std::atomic<unsigned long long> identity{1};
};

// The results delivered so far, taken from the checking threads.
class Results
{
public:
    monitor::BackgroundCheck::Deliver deliver()
    {
        return [this](CheckResult result) {
            const std::lock_guard lock(m_mutex);
            m_results.push_back(std::move(result));
        };
    }
    // Waits until `count` results came; the last one.
    std::optional<CheckResult> waitFor(std::size_t count)
    {
        if (!QTest::qWaitFor([&] { return size() >= count; }, 5000))
            return std::nullopt;
        const std::lock_guard lock(m_mutex);
        return m_results[count - 1];
    }
    std::size_t size()
    {
        const std::lock_guard lock(m_mutex);
        return m_results.size();
    }

private:
    std::mutex m_mutex;
    std::vector<CheckResult> m_results;
};

constexpr monitor::BackgroundCheck::Timing quick{300, 60000};

} // namespace

class TestBackgroundCheck : public QObject
{
    Q_OBJECT

private slots:
    // A dead share: marked once, never listed twice at once, and the tool heals around it.
    void aHungListingIsMarkedAndNeitherPilesUpNorHoldsOthersBack()
    {
        const auto system = std::make_shared<HangingSystem>();
        Results results;
        monitor::BackgroundCheck check(system, results.deliver(), quick);
        for (int tick = 0; tick < 6; ++tick) {
            check.request(1);
            QTest::qWait(100);
        }
        const std::optional<CheckResult> notice = results.waitFor(1);
        QVERIFY(notice && notice->noAnswer && !notice->status && notice->folder == "/work/dead");
        QCOMPARE(results.size(), std::size_t{1});
        QCOMPARE(system->waitUntil([&] { return system->listings["/work/dead"] == 1; }), true);

        // Moved by hand to a healthy folder: its status at the next tick.
        system->store("/work/in");
        check.request(1);
        const std::optional<CheckResult> healthy = results.waitFor(2);
        QVERIFY(healthy && healthy->status == Status::Arrival && !healthy->noAnswer);
        // An arrival is counted; the same folder spelt another way counts anew.
        system->add("/work/in/more.csv");
        check.request(1);
        const std::optional<CheckResult> more = results.waitFor(3);
        QVERIFY(more && more->arrivals == more->arrivalsFrom + 1);
        system->store("/work/in/");
        check.request(1);
        const std::optional<CheckResult> respelt = results.waitFor(4);
        QVERIFY(respelt && respelt->arrivals == respelt->arrivalsFrom);

        // The dead share answers late: older than what was shown, so dropped.
        system->release("/work/dead");
        QTest::qWait(200);
        QCOMPARE(results.size(), std::size_t{4});

        // Back to it, now answering: listed afresh.
        system->store("/work/dead");
        check.request(2);
        const std::optional<CheckResult> back = results.waitFor(5);
        QVERIFY(back && back->status == Status::Watching && back->generation == 2U);
        QCOMPARE(system->waitUntil([&] { return system->listings["/work/dead"] == 2; }), true);

        // Each dead folder holds one thread; a healthy one is checked all the same.
        for (const char* dead : {"/work/dead2", "/work/dead3", "/work/dead4", "/work/dead5"}) {
            system->store(dead);
            check.request(2);
            QCOMPARE(system->waitUntil([&] { return system->listings[dead] == 1; }), true);
        }
        system->store("/work/in");
        check.request(2);
        QCOMPARE(system->waitUntil([&] { return system->listings["/work/in"] == 4; }), true);
        QCOMPARE(system->waitUntil([&] { return system->maxListingsAtOnce == 5; }), true);
        for (const char* dead : {"/work/dead2", "/work/dead3", "/work/dead4", "/work/dead5"})
            system->release(dead);
    }

    // Two dead folders in turn: the first answers while the settings name the second, and shows
    // nothing, nor takes the mark off; the second's answer shows.
    void aLateAnswerForAFolderNoLongerNamedIsNotShown()
    {
        const auto system = std::make_shared<HangingSystem>();
        Results results;
        monitor::BackgroundCheck check(system, results.deliver(), {1000, 60000});
        check.request(1);
        QCOMPARE(system->waitUntil([&] { return system->listings["/work/dead"] == 1; }), true);
        system->store("/work/dead2");
        check.request(1);
        QCOMPARE(system->waitUntil([&] { return system->listings["/work/dead2"] == 1; }), true);
        system->release("/work/dead");
        const std::optional<CheckResult> notice = results.waitFor(1);
        QVERIFY(notice && notice->noAnswer && notice->folder == "/work/dead2");
        QTest::qWait(1000);
        QCOMPARE(results.size(), std::size_t{1});
        // The notification switched off while the listing hangs: the mark and the answer say so.
        system->store("/work/dead2", "[Tsuuchi]\r\npopup=0\r\n");
        check.request(1);
        const std::optional<CheckResult> again = results.waitFor(2);
        QVERIFY(again && again->noAnswer && !again->channels.popup);
        system->release("/work/dead2");
        const std::optional<CheckResult> answer = results.waitFor(3);
        QVERIFY(answer && answer->status == Status::Watching && !answer->channels.popup);
    }

    // A working directory on a dead share: the settings read hangs, once, and is marked the same.
    void aHungSettingsReadIsMarkedToo()
    {
        const auto system = std::make_shared<HangingSystem>();
        system->store("/work/in");
        system->settingsHang = true;
        Results results;
        monitor::BackgroundCheck check(system, results.deliver(), quick);
        for (int tick = 0; tick < 5; ++tick) {
            check.request(1);
            QTest::qWait(100);
        }
        const std::optional<CheckResult> notice = results.waitFor(1);
        QVERIFY(notice && notice->noAnswer);
        QCOMPARE(system->waitUntil([&] { return system->settingsReads == 1; }), true);
        system->release({});
        const std::optional<CheckResult> answer = results.waitFor(2);
        QVERIFY(answer && answer->status == Status::Arrival);
    }

    // Where the system can end a call, a listing that lists nothing for a while is ended; its
    // answer (the cancelled call's failure) is never shown, and the next tick lists again. A
    // slow listing that goes on listing is let finish.
    void aListingWithoutProgressIsCancelledAndItsAnswerDropped()
    {
        const auto system = std::make_shared<HangingSystem>();
        system->cancellable = true;
        system->store("/work/slow");
        Results results;
        monitor::BackgroundCheck check(system, results.deliver(), {5000, 200});
        for (int tick = 0; tick < 20 && results.size() == 0; ++tick, QTest::qWait(100))
            check.request(1);
        const std::optional<CheckResult> slow = results.waitFor(1);
        QVERIFY(slow && slow->status == Status::Arrival && slow->entries == 8U);

        system->store("/work/dead");
        for (int tick = 0; tick < 5; ++tick, QTest::qWait(100))
            check.request(1);
        QCOMPARE(system->waitUntil([&] { return system->listings["/work/dead"] >= 2; }), true);
        QCOMPARE(results.size(), std::size_t{1});
    }

    // The owner goes while a listing hangs: it does not wait, the check keeps the system alive
    // and, when the listing returns, neither delivers nor calls the system again.
    void anAbandonedCheckOwnsWhatItTouchesAndStops()
    {
        auto system = std::make_shared<HangingSystem>();
        const std::weak_ptr<HangingSystem> alive = system;
        HangingSystem& share = *system;
        int delivered = 0;
        {
            monitor::BackgroundCheck check(
                system, [&](const CheckResult&) { ++delivered; }, quick);
            check.request(1);
            QCOMPARE(share.waitUntil([&] { return share.listings["/work/dead"] == 1; }), true);
        }
        system.reset();
        QVERIFY(!alive.expired());
        const int watches = watchesAsked;
        share.release("/work/dead");
        QTRY_VERIFY(alive.expired());
        QCOMPARE(delivered, 0);
        QCOMPARE(watchesAsked.load(), watches);
    }

    // A watch that failed or threw is tried again at a later answer, not at every one; one that
    // holds is kept until the path comes to name another folder.
    void theWatchIsRetriedAndFollowsTheFolderItself()
    {
        const auto system = std::make_shared<WatchedSystem>();
        Results results;
        monitor::BackgroundCheck check(system, results.deliver(), {300, 60000, 1500});
        const auto answer = [&](std::size_t count) {
            check.request(static_cast<unsigned>(count)); // a new generation each time: an equal answer is not delivered
            QVERIFY(results.waitFor(count));
            QTest::qWait(50);
        };
        answer(1);
        QCOMPARE(system->watches.load(), 1);
        answer(2);
        QCOMPARE(system->watches.load(), 1);
        QTest::qWait(1000);
        answer(3);
        QCOMPARE(system->watches.load(), 2);
        QTest::qWait(2000);
        answer(4);
        QCOMPARE(system->watches.load(), 3);
        answer(5);
        QCOMPARE(system->watches.load(), 3);
        system->identity = 2;
        answer(6);
        QCOMPARE(system->watches.load(), 4);

        // The walk is skipped only while the watch vouches for the folder, with a walk's answer.
        const std::vector<std::pair<std::function<void()>, bool>> steps = {
            {[&] { system->watchTrusted = true; }, true}, // the new watch's first listing
            {[] {}, false},
            {[&] { system->addFile("/work/in/b", std::to_string(++system->watchChanges)); }, true},
            {[&] { ++system->watchesLost; }, true},
            {[&] { system->watchTrusted = false; }, true}, // a share
            {[&] { system->watchTrusted = true; }, false},
            {[&] { system->addFile("/work/Kelvoran.ini", "[KansiDir]\r\nfullpath=/work/in/\r\n"); }, true},
            {[] { QTest::qWait(1600); }, true}, // walked at least every 1.5 s
            // Other names left out: the walk before left out others.
            {[&] {
                 system->addFile("/work/Kelvoran.ini", "[KansiDir]\r\nfullpath=/work/in/\r\n[Tsuuchi]\r\nmushi=b\r\n");
             },
             true},
        };
        for (std::size_t step = 0; step < steps.size(); ++step) {
            const std::size_t listings = system->listed.size();
            steps[step].first();
            answer(7 + step);
            QVERIFY2((system->listed.size() != listings) == steps[step].second, qPrintable(QString::number(step)));
            const std::optional<CheckResult> got = results.waitFor(7 + step);
            const monitor::Listed walk =
                monitor::listFolder(*system, "/work/in/", nullptr, nullptr, got->channels.leftOut);
            QVERIFY(got->entries == walk.entries && got->leftOut == walk.leftOut);
        }
        // A name no longer left out is no arrival: it was there all along.
        const std::size_t arrivals = results.waitFor(6 + steps.size())->arrivals;
        system->addFile("/work/Kelvoran.ini", "[KansiDir]\r\nfullpath=/work/in/\r\n[Tsuuchi]\r\nmushi=\r\n");
        answer(7 + steps.size());
        QCOMPARE(results.waitFor(7 + steps.size())->arrivals, arrivals);
    }
};

QTEST_GUILESS_MAIN(TestBackgroundCheck)
#include "TestBackgroundCheck.moc"
