// The automatic read's watch: a card counts as laid only where there was none.
#include "app/CardWatcher.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using P = ECardPresence;

// One tick, its answer taken back on this thread.
bool LookAndWait(CCardWatcher& watcher)
{
    watcher.Look();
    return QTest::qWaitFor([&] { return !watcher.IsLooking(); }, 5000);
}

struct WatchCase {
    const char* name;
    std::vector<ECardPresence> looks;
    int laid;
};

class CardWatcherTest : public testing::TestWithParam<WatchCase> {};

} // namespace

TEST_P(CardWatcherTest, CountsTheCardsLaid)
{
    const std::vector<ECardPresence>& looks = GetParam().looks;
    size_t next = 0;
    CCardWatcher watcher([&] { return next < looks.size() ? looks[next++] : P::Absent; }, 1000);
    QSignalSpy laid(&watcher, &CCardWatcher::CardLaid);
    watcher.SetWatching(true);
    for (size_t i = 0; i < looks.size(); ++i)
        ASSERT_TRUE(LookAndWait(watcher));
    EXPECT_EQ(laid.count(), GetParam().laid);
}

INSTANTIATE_TEST_SUITE_P(Looks, CardWatcherTest, testing::Values(
    WatchCase{"CardThereAtTheStartIsNotLaid", {P::Present, P::Present}, 0},
    WatchCase{"LaidAfterAnEmptyReader", {P::Absent, P::Present, P::Present}, 1},
    WatchCase{"LiftedAndLaidAgain", {P::Absent, P::Present, P::Absent, P::Present}, 2},
    WatchCase{"AReaderThatCannotBeAskedChangesNothing", {P::Absent, P::Unknown, P::Present, P::Unknown, P::Present}, 1}),
    [](const testing::TestParamInfo<WatchCase>& info) { return info.param.name; });

TEST(CardWatcherPauseTest, APausedWatchLooksAtNothing)
{
    int looks = 0;
    CCardWatcher watcher([&] {
        ++looks;
        return P::Absent;
    }, 1000);
    watcher.SetWatching(true);
    watcher.SetPaused(true);
    ASSERT_TRUE(LookAndWait(watcher));
    EXPECT_EQ(looks, 0);
    watcher.SetPaused(false);
    ASSERT_TRUE(LookAndWait(watcher));
    EXPECT_EQ(looks, 1);
    watcher.SetWatching(false);
    EXPECT_FALSE(watcher.IsWatching());
}

// A look that hangs (a service stopped) holds neither the caller nor the next ticks, and
// its late answer reaches no watcher that has gone.
TEST(CardWatcherThreadTest, AHangingLookHoldsNothing)
{
    struct SGate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        std::atomic<int> looks = 0;
    };
    auto gate = std::make_shared<SGate>();
    {
        CCardWatcher watcher([gate] {
            ++gate->looks;
            std::unique_lock lock(gate->mutex);
            gate->opened.wait_for(lock, std::chrono::seconds(5), [&] { return gate->open; });
            return P::Present;
        }, 1000);
        QSignalSpy laid(&watcher, &CCardWatcher::CardLaid);
        watcher.SetWatching(true);
        watcher.Look();
        EXPECT_TRUE(watcher.IsLooking());
        watcher.Look();
        QTest::qWait(50);
        EXPECT_EQ(gate->looks, 1) << "one look at a time";
        EXPECT_EQ(laid.count(), 0);
    }
    {
        const std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    QTest::qWait(50);
}
