// The automatic read's watch: a card counts as laid only where there was none.
#include "app/CardWatcher.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <vector>

namespace {

using P = ECardPresence;

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
        watcher.Look();
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
    watcher.Look();
    EXPECT_EQ(looks, 0);
    watcher.SetPaused(false);
    watcher.Look();
    EXPECT_EQ(looks, 1);
    watcher.SetWatching(false);
    EXPECT_FALSE(watcher.IsWatching());
}
