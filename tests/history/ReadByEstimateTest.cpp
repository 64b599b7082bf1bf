// The day by which a card must be read again, from the pace of its archived records.
#include "ArchiveFixture.h"

#include "history/ReadByEstimate.h"

#include <vector>

namespace {

// Two records on every weekday from first to last, none at weekends.
std::vector<SDayRecords> Weekdays(QDate first, QDate last, int64_t perDay = 2)
{
    std::vector<SDayRecords> days;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        if (day.dayOfWeek() <= 5)
            days.push_back({day, perDay});
    }
    return days;
}

struct SReadByCase {
    const char* name;
    std::vector<SDayRecords> days;
    std::optional<QDate> readBy;
};

class ReadByEstimateTest : public testing::TestWithParam<SReadByCase> {};

TEST_P(ReadByEstimateTest, EstimatesTheDay)
{
    EXPECT_EQ(EstimateReadBy(GetParam().days), GetParam().readBy);
}

const SReadByCase kCases[] = {
    // Eight weeks ending on Friday 31 May: the last four hold 40 records in 28 days,
    // so 20 more take 14 days, the 20th made on the Friday two weeks on.
    {"Commuter", Weekdays(QDate(2024, 4, 8), QDate(2024, 5, 31)), QDate(2024, 6, 14)},
    // A week of it: 10 records over 5 days (Monday to Friday), 2 a day.
    {"CommuterFirstWeek", Weekdays(QDate(2024, 5, 27), QDate(2024, 5, 31)), QDate(2024, 6, 10)},
    {"OneDay", {{QDate(2024, 5, 31), 6}}, std::nullopt},
    {"Nothing", {}, std::nullopt},
    // Two records 27 days apart: 20 records take 280 days at that pace.
    {"Seldom", {{QDate(2024, 5, 4), 1}, {QDate(2024, 5, 31), 1}}, QDate(2025, 3, 7)},
    // Three records over three days: 20 take 20 days.
    {"PartDay", {{QDate(2024, 5, 31), 1}, {QDate(2024, 5, 29), 2}}, QDate(2024, 6, 20)},
};

INSTANTIATE_TEST_SUITE_P(Cases, ReadByEstimateTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SReadByCase>& info) { return std::string(info.param.name); });

TEST_F(ArchiveTest, ReadByFollowsTheCardsRecords)
{
    CHistoryArchive archive(ArchivePath());
    // Records 0-19 over ten days from 1 May, two a day: 20 more by 20 May.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(0, 20))));
    ASSERT_TRUE(Merge(archive, MakeRead(kCardB, Commute(0, 2))));
    EXPECT_EQ(archive.ReadBy(kCardA), QDate(2024, 5, 20));
    EXPECT_EQ(archive.ReadBy(kCardB), std::nullopt) << "one day of records";
    std::vector<SArchivedCard> cards;
    ASSERT_TRUE(archive.Cards(cards)) << archive.LastError().toStdString();
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].readBy, std::nullopt);
    EXPECT_EQ(cards[1].readBy, QDate(2024, 5, 20));

    // Records on 40 days, one a day from 1 May: the last 28 days count, 20 more days.
    CHistoryArchive other(m_dir.filePath(QStringLiteral("other/history.sqlite")));
    HistoryBlockList blocks;
    for (int k = 39; k >= 0; --k)
        blocks.push_back(FareBlock(k + 1, QDate(2024, 5, 1).addDays(k), 9000 - 10 * k));
    ASSERT_TRUE(Merge(other, MakeRead(kCardA, blocks)));
    EXPECT_EQ(other.ReadBy(kCardA), QDate(2024, 6, 9).addDays(20));
}

} // namespace
