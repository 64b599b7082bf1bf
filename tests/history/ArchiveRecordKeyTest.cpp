// The key of an entry without its block, and the counter and day the archive orders by.
#include "ArchiveFixture.h"

#include "history/ArchiveRecordKey.h"

#include <functional>

namespace {

CEntryInfo ShopEntry()
{
    CEntryInfo e;
    e.idm = kCardA;
    e.terminalKind = 0xC7;
    e.processKind = 0x46;
    e.dateTime = QDateTime(QDate(2024, 5, 2), QTime(20, 47)).toSecsSinceEpoch();
    e.balance = 360;
    e.sequence = 0x000105;
    return e;
}

TEST(EntryKey, FieldsThatMakeATripAnother)
{
    const CEntryInfo base = ShopEntry();
    const struct {
        const char* name;
        std::function<void(CEntryInfo&)> change;
        bool sameKey;
    } cases[] = {
        {"nothing", [](CEntryInfo&) {}, true},
        // Fields older entry files lack, or that the person sets, are no part of it.
        {"paymentKind", [](CEntryInfo& e) { e.paymentKind = 2; }, true},
        {"rawByte3", [](CEntryInfo& e) { e.rawByte3 = 9; }, true},
        {"names", [](CEntryInfo& e) { e.entryStationName = QStringLiteral("東京"); }, true},
        {"choices", [](CEntryInfo& e) { e.apply = 0; e.destination = QStringLiteral("本社"); }, true},
        {"amount", [](CEntryInfo& e) { e.amount = 180; }, true},
        {"seconds", [](CEntryInfo& e) { e.dateTime += 30; }, true},
        {"minute at a shop", [](CEntryInfo& e) { e.dateTime += 60; }, false},
        {"day", [](CEntryInfo& e) { e.dateTime += 86400; }, false},
        {"terminalKind", [](CEntryInfo& e) { e.terminalKind = 0xC8; }, false},
        {"processKind", [](CEntryInfo& e) { e.processKind = 0x4A; }, false},
        {"entryStation", [](CEntryInfo& e) { e.entryStation = 1; }, false},
        {"exitLine", [](CEntryInfo& e) { e.exitLine = 1; }, false},
        {"balance", [](CEntryInfo& e) { e.balance = 361; }, false},
        {"sequence", [](CEntryInfo& e) { e.sequence = 0x000106; }, false},
        {"region", [](CEntryInfo& e) { e.region = 1; }, false},
    };
    for (const auto& c : cases) {
        CEntryInfo changed = base;
        c.change(changed);
        EXPECT_EQ(EntryKey(changed) == EntryKey(base), c.sameKey) << c.name;
    }
}

TEST(EntryKey, RailEntriesKeepOnlyTheDay)
{
    // A rail block has no time of day; an entry file dated later the same day is the same trip.
    CEntryInfo rail = ShopEntry();
    rail.terminalKind = 0x16;
    rail.processKind = 0x01;
    CEntryInfo later = rail;
    later.dateTime += 3600;
    EXPECT_EQ(EntryKey(rail), EntryKey(later));
}

TEST(ArchiveCounter, BlockAndEntryGiveTheSameUnsignedCounter)
{
    const HistoryBlock block = FareBlock(0xFFFFFE, QDate(2024, 5, 1), 1000);
    int32_t previous = -1;
    const auto entry = DecodeHistoryBlock(block, kCardA, previous);
    // The decoder's sequence is signed; the archive's counter is not.
    ASSERT_EQ(entry->sequence, -2);
    EXPECT_EQ(BlockSequence(block), 0xFFFFFE);
    EXPECT_EQ(EntrySequence(*entry), 0xFFFFFE);
}

TEST(ArchiveCounter, DayNumbersRoundTrip)
{
    EXPECT_EQ(ArchiveDay(QDate(2024, 12, 31)), 20241231);
    EXPECT_EQ(DateOfArchiveDay(20240229), QDate(2024, 2, 29));
    // Local midnight in Tokyo is the day before in UTC.
    EXPECT_EQ(ArchiveDay(QDateTime(QDate(2024, 5, 1), QTime()).toSecsSinceEpoch()), 20240501);
}

} // namespace
