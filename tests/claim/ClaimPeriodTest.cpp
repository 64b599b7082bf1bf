// The claim period: months, open ends, the local day of an entry.
#include "ClaimFixture.h"

#include "claim/ClaimPeriod.h"

#include <gtest/gtest.h>

namespace {

TEST(ClaimPeriodTest, MonthsEndOnTheirLastDay)
{
    const CClaimPeriod february = CClaimPeriod::Month(QDate(2024, 2, 10));
    EXPECT_EQ(february.m_from, QDate(2024, 2, 1));
    EXPECT_EQ(february.m_to, QDate(2024, 2, 29));
    const CClaimPeriod december = CClaimPeriod::MonthBefore(QDate(2024, 1, 31));
    EXPECT_EQ(december.m_from, QDate(2023, 12, 1));
    EXPECT_EQ(december.m_to, QDate(2023, 12, 31));
    EXPECT_EQ(february.Text(), QStringLiteral("2024/02/01 〜 2024/02/29"));
    EXPECT_EQ(CClaimPeriod().Text(), QStringLiteral("全期間"));
    EXPECT_EQ(CClaimPeriod(QDate(2024, 5, 1), QDate()).Text(), QStringLiteral("2024/05/01 〜"));
}

TEST(ClaimPeriodTest, EntriesCountByTheirLocalDay)
{
    CEntryInfo lastMinute;
    lastMinute.dateTime = kJanuary1Tokyo + 31 * kDay - 60;  // 2021/01/31 23:59 in Tokyo
    CEntryInfo nextDay;
    nextDay.dateTime = kJanuary1Tokyo + 31 * kDay;          // 2021/02/01 00:00
    const CClaimPeriod january = CClaimPeriod::Month(QDate(2021, 1, 15));
    EXPECT_TRUE(january.Contains(lastMinute));
    EXPECT_FALSE(january.Contains(nextDay));
    EXPECT_TRUE(CClaimPeriod(QDate(2021, 2, 1), QDate()).Contains(nextDay));
    EXPECT_FALSE(CClaimPeriod(QDate(), QDate(2021, 1, 30)).Contains(lastMinute));
    EXPECT_TRUE(CClaimPeriod().Contains(nextDay));

    const CEntryList entries = ClaimFixture();
    const auto second = EntriesInPeriod(entries, CClaimPeriod(QDate(2021, 1, 2), QDate(2021, 1, 2)));
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0], entries[1].get());
}

TEST(ClaimPeriodTest, DatesParseInEitherForm)
{
    EXPECT_EQ(ParseClaimDate(QStringLiteral("2024-05-31")), QDate(2024, 5, 31));
    EXPECT_EQ(ParseClaimDate(QStringLiteral("2024/05/31")), QDate(2024, 5, 31));
    EXPECT_FALSE(ParseClaimDate(QStringLiteral("2024-02-30")).isValid());
    EXPECT_FALSE(ParseClaimDate(QStringLiteral("31.05.2024")).isValid());
}

} // namespace
