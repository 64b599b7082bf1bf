// Records a card made that no read caught: where the archive finds them, what a
// read newly leaves, and what closes them again.
#include "ArchiveFixture.h"

#include "history/ArchiveGaps.h"

namespace {

struct SGapCase {
    const char* name;
    int64_t first;        // the commuter's first counter (Commute)
    int secondFrom;       // the second read's first record, 20 records after the first read's first
    int64_t missing;
    int64_t afterSequence;
    int64_t beforeSequence;
    QDate afterDay;
    QDate beforeDay;
};

class ArchiveGapTest : public ArchiveTest, public testing::WithParamInterface<SGapCase> {
protected:
    std::vector<SArchiveGap> Gaps(CHistoryArchive& archive, SArchiveQuery query = {})
    {
        std::vector<SArchiveGap> gaps;
        EXPECT_TRUE(archive.Gaps(query, gaps)) << archive.LastError().toStdString();
        return gaps;
    }
};

const QDate kMay1(2024, 5, 1);
constexpr int64_t kWrapFirst = (int64_t{1} << 24) - 30;

const SGapCase kGapCases[] = {
    // Records 1-20, then 22-41: 21 was never read.
    {"OneRecord", 1, 21, 1, 20, 22, QDate(2024, 5, 10), QDate(2024, 5, 11)},
    // Records 1-20, then 46-65.
    {"Many", 1, 45, 25, 20, 46, QDate(2024, 5, 10), QDate(2024, 5, 23)},
    // FFFFE2-FFFFF5, then 000004-000017: the counter wrapped while nobody read.
    {"WrapInside", kWrapFirst, 34, 14, (int64_t{1} << 24) - 11, 4, QDate(2024, 5, 10), QDate(2024, 5, 18)},
};

TEST_P(ArchiveGapTest, ReadAfterTooManyRidesLeavesAGap)
{
    const SGapCase& c = GetParam();
    CHistoryArchive archive(ArchivePath());
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(c.first, 20, kMay1))));
    SMergeOutcome second;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(c.first, 20, kMay1, c.secondFrom)), &second));

    const std::vector<SArchiveGap> gaps = Gaps(archive);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].idm, kCardA);
    EXPECT_EQ(gaps[0].nMissing, c.missing);
    EXPECT_EQ(gaps[0].afterSequence, c.afterSequence);
    EXPECT_EQ(gaps[0].beforeSequence, c.beforeSequence);
    EXPECT_EQ(gaps[0].afterDay, c.afterDay);
    EXPECT_EQ(gaps[0].beforeDay, c.beforeDay);
    // The read that left it says so; reading the same again finds nothing new.
    ASSERT_EQ(second.newGaps.size(), 1u);
    EXPECT_EQ(second.newGaps[0].nMissing, c.missing);
    SMergeOutcome again;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(c.first, 20, kMay1, c.secondFrom)), &again));
    EXPECT_TRUE(again.newGaps.empty());
}

INSTANTIATE_TEST_SUITE_P(Gaps, ArchiveGapTest, testing::ValuesIn(kGapCases),
                         [](const testing::TestParamInfo<SGapCase>& info) { return std::string(info.param.name); });

TEST_F(ArchiveTest, ReadsThatJoinLeaveNoGap)
{
    CHistoryArchive archive(ArchivePath());
    SMergeOutcome first;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20)), &first));
    SMergeOutcome next;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, kMay1, 20)), &next));
    EXPECT_TRUE(first.newGaps.empty());
    EXPECT_TRUE(next.newGaps.empty());
    std::vector<SArchiveGap> gaps;
    ASSERT_TRUE(archive.Gaps({}, gaps));
    EXPECT_TRUE(gaps.empty());
}

TEST_F(ArchiveTest, NoGapAcrossAReissueButAfterIt)
{
    CHistoryArchive archive(ArchivePath());
    // The old card's 100-119 in January; reissued in March with the counter at 1.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(100, 20, QDate(2024, 1, 2)))));
    HistoryBlockList reissued = Commute(1, 20, QDate(2024, 3, 1));
    reissued.back() = FareBlock(1, QDate(2024, 3, 1), 9850, 0, 0, 0x11);
    SMergeOutcome march;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, reissued), &march));
    EXPECT_TRUE(march.newGaps.empty());
    // June's 101-120: 21-100 of the new counter were never read.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(100, 20, QDate(2024, 6, 3), 1))));
    std::vector<SArchiveGap> gaps;
    ASSERT_TRUE(archive.Gaps({}, gaps));
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].nMissing, 80);
    EXPECT_EQ(gaps[0].afterDay, QDate(2024, 3, 10));
    EXPECT_EQ(gaps[0].beforeDay, QDate(2024, 6, 3));
    // An entry file brings June's 100: the gap shrinks by one.
    ASSERT_TRUE(archive.ImportEntries(MakeRead(kCardA, Commute(100, 1, QDate(2024, 6, 3))).entries));
    ASSERT_TRUE(archive.Gaps({}, gaps));
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].nMissing, 79);
    EXPECT_EQ(gaps[0].beforeSequence, 100);
}

TEST_F(ArchiveTest, GapClosesWhenTheMissingRecordsArrive)
{
    // By an entry file holding the one missing trip, or by another reader's dump of the card in between.
    for (const bool byImport : {true, false}) {
        QTemporaryDir dir;
        CHistoryArchive archive(dir.filePath(QStringLiteral("history.sqlite")));
        ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
        ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, kMay1, 21))));
        std::vector<SArchiveGap> gaps;
        ASSERT_TRUE(archive.Gaps({}, gaps));
        ASSERT_EQ(gaps.size(), 1u) << byImport;
        EXPECT_FALSE(Entries(archive)[20]->amountKnown) << "the first record after the gap";
        if (byImport) {
            ASSERT_TRUE(archive.ImportEntries(MakeRead(kCardA, Commute(1, 1, kMay1, 20)).entries));
        } else {
            SMergeOutcome dump;
            ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, kMay1, 10)), &dump));
            EXPECT_TRUE(dump.newGaps.empty());
        }
        ASSERT_TRUE(archive.Gaps({}, gaps));
        EXPECT_TRUE(gaps.empty()) << byImport;
        // The fare after the old gap is known now.
        EXPECT_EQ(Entries(archive)[21]->amount, 150) << byImport;
        EXPECT_TRUE(Entries(archive)[21]->amountKnown) << byImport;
    }
}

TEST_F(ArchiveTest, GapsOfAPeriodAndOfACard)
{
    CHistoryArchive archive(ArchivePath());
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, kMay1, 45)))); // 10 May .. 23 May
    ASSERT_TRUE(Merge(archive, MakeRead(kCardB, Commute(1, 20))));
    ASSERT_TRUE(Merge(archive, MakeRead(kCardB, Commute(1, 20, kMay1, 22)))); // 10 May .. 12 May
    const auto count = [&archive](SArchiveQuery query) {
        std::vector<SArchiveGap> gaps;
        EXPECT_TRUE(archive.Gaps(query, gaps));
        return gaps.size();
    };
    EXPECT_EQ(count({}), 2u);
    EXPECT_EQ(count({kCardB, {}, {}}), 1u);
    EXPECT_EQ(count({{}, QDate(2024, 5, 13), QDate(2024, 5, 31)}), 1u);
    EXPECT_EQ(count({{}, QDate(2024, 5, 23), QDate(2024, 5, 23)}), 1u);
    EXPECT_EQ(count({{}, QDate(2024, 5, 1), QDate(2024, 5, 9)}), 0u);
    EXPECT_EQ(count({{}, QDate(2024, 5, 24), {}}), 0u);
    // One card's period reads its own days and the nearest with records on either side.
    EXPECT_EQ(count({kCardA, QDate(2024, 5, 13), QDate(2024, 5, 20)}), 1u) << "no record of the card within";
    EXPECT_EQ(count({kCardA, QDate(2024, 5, 23), QDate(2024, 5, 31)}), 1u);
    EXPECT_EQ(count({kCardA, QDate(2024, 5, 1), QDate(2024, 5, 10)}), 1u);
    EXPECT_EQ(count({kCardA, QDate(2024, 5, 1), QDate(2024, 5, 9)}), 0u);
    EXPECT_EQ(count({kCardA, QDate(2024, 5, 24), {}}), 0u);
    EXPECT_EQ(count({kCardB, QDate(2024, 5, 11), QDate(2024, 5, 11)}), 1u);
}

TEST(FindGapsTest, ACounterThatGoesBackStartsARun)
{
    // A reissue whose first record was never read: nothing to count across it.
    const std::vector<SCounterMark> marks = {
        {kCardA, 1, 500, 20240101, false},
        {kCardA, 2, 5, 20240301, false},
        {kCardA, 3, 7, 20240301, false},
    };
    const std::vector<SArchiveGap> gaps = FindGaps(marks);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].afterId, 2);
    EXPECT_EQ(gaps[0].nMissing, 1);
}

} // namespace
