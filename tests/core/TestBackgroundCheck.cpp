#include "monitor/BackgroundCheck.h"
#include "support/MemorySystem.h"

#include <QElapsedTimer>
#include <QTest>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

// A folder whose listing hangs until the test releases it, as a network share that stopped
// answering does.
class HangingSystem : public MemorySystem
{
public:
    HangingSystem() : MemorySystem(ansi::PathStyle::posix(), ansi::CodePage::utf8(), "/work")
    {
        addFolder("/work/in");
        addFile("/work/Kelvoran.ini", "[KansiDir]\r\nfullpath=/work/in\r\n");
    }

    platform::Listing listDirectory(const std::string& path, platform::EntryVisitor& visitor) const override
    {
        std::unique_lock lock(m_mutex);
        ++m_inFlight;
        maxInFlight = std::max(maxInFlight, m_inFlight);
        ++listings;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released; });
        --m_inFlight;
        lock.unlock();
        return MemorySystem::listDirectory(path, visitor);
    }

    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

    void waitForListings(int count) const
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return listings >= count; });
    }

    mutable int listings = 0;
    mutable int maxInFlight = 0;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable int m_inFlight = 0;
    bool m_released = false;
};

} // namespace

class TestBackgroundCheck : public QObject
{
    Q_OBJECT

private slots:
    void oneCheckInFlightAndTheLatestRequestAfterIt()
    {
        HangingSystem system;
        std::mutex mutex;
        std::vector<monitor::CheckResult> results;
        {
            monitor::BackgroundCheck check(system, [&](monitor::CheckResult result) {
                std::lock_guard lock(mutex);
                results.push_back(std::move(result));
            });
            check.request(1);
            system.waitForListings(1);
            // Ticks while the folder hangs: remembered, not started.
            check.request(2);
            check.request(3);
            QTest::qWait(50);
            QCOMPARE(system.listings, 1);
            system.release();
            QVERIFY(QTest::qWaitFor(
                [&] {
                    std::lock_guard lock(mutex);
                    return results.size() == 2;
                },
                5000));
        }
        QCOMPARE(system.maxInFlight, 1);
        QCOMPARE(results[0].generation, 1U);
        QCOMPARE(results[1].generation, 3U);
        QVERIFY(results[0].status == monitor::Status::Watching);
        QVERIFY(!results[0].failure);
    }

    void aHangingCheckNeitherHoldsItsOwnerNorDeliversLate()
    {
        auto system = std::make_shared<HangingSystem>();
        int delivered = 0;
        QElapsedTimer closing;
        {
            monitor::BackgroundCheck check(*system, [&](const monitor::CheckResult&) { ++delivered; });
            check.request(1);
            system->waitForListings(1);
            closing.start();
        }
        QVERIFY(closing.elapsed() < 3000);
        system->release();
        QTest::qWait(100);
        QCOMPARE(delivered, 0);
    }
};

QTEST_GUILESS_MAIN(TestBackgroundCheck)
#include "TestBackgroundCheck.moc"
