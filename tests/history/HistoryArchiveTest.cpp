// The archive's merge rules, the oldest record's fare, edits, imports and queries.
#include "ArchiveFixture.h"

#include "history/ArchiveKeys.h"
#include "history/ArchiveRecordKey.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

std::vector<int64_t> Sequences(const CEntryList& entries)
{
    std::vector<int64_t> sequences;
    for (const auto& e : entries)
        sequences.push_back(e->sequence & 0xFFFFFF);
    return sequences;
}

std::vector<int64_t> Range(int64_t first, int64_t last)
{
    std::vector<int64_t> values;
    for (int64_t v = first; v <= last; ++v)
        values.push_back(v);
    return values;
}

TEST_F(ArchiveTest, OverlappingReadsJoinWithoutDuplicates)
{
    CHistoryArchive archive(ArchivePath());
    SMergeOutcome first;
    SMergeOutcome second;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20)), &first));
    // The second read shares records 9-20 with the first and adds 21-28.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 8)), &second));
    EXPECT_EQ(first.nAdded, 20u);
    EXPECT_EQ(second.nAdded, 8u);
    ASSERT_EQ(second.ids.size(), 20u);
    // A shared record is the same archived record in both reads.
    EXPECT_EQ(std::vector<int64_t>(second.ids.begin(), second.ids.begin() + 12),
              std::vector<int64_t>(first.ids.begin() + 8, first.ids.end()));

    const CEntryList entries = Entries(archive);
    EXPECT_EQ(Sequences(entries), Range(1, 28));
    // Record 9 was the second read's oldest, with no fare on the card; the archive
    // had it from the first read, fare and all.
    EXPECT_EQ(entries[8]->amount, 150);
    EXPECT_EQ(entries[8]->balance, 10000 - 150 * 9);
    EXPECT_EQ(entries.front()->amount, 0); // record 1: nothing before it anywhere
    EXPECT_EQ(entries.back()->dateTime, QDateTime(QDate(2024, 5, 14), QTime()).toSecsSinceEpoch());
}

TEST_F(ArchiveTest, TheSameReadTwiceAddsNothing)
{
    CHistoryArchive archive(ArchivePath());
    const SCardRead read = MakeRead(kCardA, Commute(1, 20));
    SMergeOutcome first;
    SMergeOutcome again;
    ASSERT_TRUE(Merge(archive, read, &first));
    ASSERT_TRUE(Merge(archive, read, &again));
    EXPECT_EQ(again.nAdded, 0u);
    EXPECT_EQ(again.ids, first.ids);
    EXPECT_EQ(Entries(archive).size(), 20u);
}

TEST_F(ArchiveTest, TwoCardsStayApart)
{
    CHistoryArchive archive(ArchivePath());
    // The very same blocks on two cards are two histories.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    ASSERT_TRUE(Merge(archive, MakeRead(kCardB, Commute(1, 12))));

    const CEntryList a = Entries(archive, {kCardA, {}, {}});
    const CEntryList b = Entries(archive, {kCardB, {}, {}});
    ASSERT_EQ(a.size(), 20u);
    ASSERT_EQ(b.size(), 12u);
    for (const auto& e : a)
        EXPECT_EQ(e->idm, kCardA);
    for (const auto& e : b)
        EXPECT_EQ(e->idm, kCardB);
    EXPECT_EQ(Entries(archive).size(), 32u);

    std::vector<SArchivedCard> cards;
    ASSERT_TRUE(archive.Cards(cards)) << archive.LastError().toStdString();
    ASSERT_EQ(cards.size(), 2u);
    // The card read last comes first.
    EXPECT_EQ(cards[0].idm, kCardB);
    EXPECT_EQ(cards[0].nEntries, 12);
    EXPECT_EQ(cards[0].firstDay, QDate(2024, 5, 1));
    EXPECT_EQ(cards[0].lastDay, QDate(2024, 5, 6));
    EXPECT_EQ(cards[1].idm, kCardA);
    EXPECT_EQ(cards[1].nEntries, 20);
    EXPECT_EQ(cards[1].lastDay, QDate(2024, 5, 10));
}

TEST_F(ArchiveTest, OldestRecordGetsItsFareFromTheRecordBefore)
{
    CHistoryArchive archive(ArchivePath());
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    // The next read begins right after the first one's newest record (21 after 20).
    const SCardRead next = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 20));
    ASSERT_EQ(next.entries.front()->amount, 0);
    ASSERT_EQ(next.entries.front()->apply, 0);

    // What the read pass asks before decoding: the balance the record 20 left.
    EXPECT_EQ(archive.BalanceBefore(kCardA, next.blocks.back()), 10000 - 150 * 20);

    std::vector<int64_t> ids;
    ASSERT_TRUE(Merge(archive, next));
    const CEntryList entries = Entries(archive, {}, &ids);
    ASSERT_EQ(entries.size(), 40u);
    EXPECT_EQ(entries[20]->sequence, 21);
    EXPECT_EQ(entries[20]->amount, 150);
    EXPECT_EQ(entries[20]->apply, 1); // a fare, ticked as the decoder ticks fares
}

TEST_F(ArchiveTest, UnknownFareIsFilledWhenTheRecordBeforeArrivesLater)
{
    CHistoryArchive archive(ArchivePath());
    // Records 23-42 first: 22 is on no read yet, so 23 has no fare.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 22))));
    ASSERT_EQ(Entries(archive).front()->amount, 0);
    // An older read (records 3-22) turns up afterwards, from another computer's file say.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 2))));
    const CEntryList entries = Entries(archive);
    ASSERT_EQ(entries.size(), 40u);
    EXPECT_EQ(entries[20]->sequence, 23);
    EXPECT_EQ(entries[20]->amount, 150);
    EXPECT_EQ(entries[0]->amount, 0); // record 3 still has nothing before it
}

TEST_F(ArchiveTest, NoFareAcrossAGapOfTheCounter)
{
    CHistoryArchive archive(ArchivePath());
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    // 21 was never read: 22's record before is not archived.
    const SCardRead later = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 21));
    EXPECT_EQ(archive.BalanceBefore(kCardA, later.blocks.back()), -1);
    ASSERT_TRUE(Merge(archive, later));
    EXPECT_EQ(Entries(archive)[20]->amount, 0);
}

TEST_F(ArchiveTest, CounterWrapKeepsOrderAndFare)
{
    CHistoryArchive archive(ArchivePath());
    // Records 16777205 .. 16777215, then 0 .. 8, two a day: the counter wraps on
    // 6 May, FFFFFF in the morning and 000000 in the evening.
    const int64_t first = (int64_t{1} << 24) - 11;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(first, 11))));
    const SCardRead after = MakeRead(kCardA, Commute(first, 9, QDate(2024, 5, 1), 11));
    ASSERT_EQ(BlockSequence(after.blocks.back()), 0);
    EXPECT_EQ(archive.BalanceBefore(kCardA, after.blocks.back()), 10000 - 150 * 11);
    ASSERT_TRUE(Merge(archive, after));

    const CEntryList entries = Entries(archive);
    std::vector<int64_t> expected = Range(first, (int64_t{1} << 24) - 1);
    const std::vector<int64_t> low = Range(0, 8);
    expected.insert(expected.end(), low.begin(), low.end());
    EXPECT_EQ(Sequences(entries), expected);
    EXPECT_EQ(entries[10]->dateTime, entries[11]->dateTime);
    EXPECT_EQ(entries[11]->amount, 150);
}

TEST_F(ArchiveTest, ReissuedCardStartsAgainWithoutLosingOrJoiningRecords)
{
    CHistoryArchive archive(ArchivePath());
    // The old card: records 100-119 in January.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(100, 20, QDate(2024, 1, 2)))));
    // Reissued under the same IDm in March, the counter starts at 1 with the reissue record.
    HistoryBlockList reissued = Commute(1, 20, QDate(2024, 3, 1));
    reissued.back() = FareBlock(1, QDate(2024, 3, 1), 9850, 0, 0, 0x11);
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, reissued)));
    // By June the new counter has reached 100 again: same numbers, other blocks.
    SMergeOutcome june;
    const SCardRead juneRead = MakeRead(kCardA, Commute(100, 20, QDate(2024, 6, 3), 1));
    ASSERT_TRUE(Merge(archive, juneRead, &june));
    EXPECT_EQ(june.nAdded, 20u);

    const CEntryList entries = Entries(archive);
    ASSERT_EQ(entries.size(), 60u);
    // 101 in June has a January 100 before it by number only: the old card's 101-119
    // lie between them, so its fare stays unknown.
    EXPECT_EQ(archive.BalanceBefore(kCardA, juneRead.blocks.back()), -1);
    EXPECT_EQ(entries[40]->dateTime, QDateTime(QDate(2024, 6, 3), QTime()).toSecsSinceEpoch());
    EXPECT_EQ(entries[40]->sequence, 101);
    EXPECT_EQ(entries[40]->amount, 0);
    // The reissue record begins a counter; nothing comes before it.
    EXPECT_EQ(entries[20]->processKind, 0x11);
    EXPECT_EQ(entries[20]->amount, 0);

    // An entry file brings the new card's 100 of 3 June: of the two 100s, it is the
    // one right before 101, which gets its fare.
    const SCardRead hundred = MakeRead(kCardA, Commute(100, 1, QDate(2024, 6, 3)));
    ASSERT_TRUE(archive.ImportEntries(hundred.entries)) << archive.LastError().toStdString();
    EXPECT_EQ(archive.BalanceBefore(kCardA, juneRead.blocks.back()), 10000 - 150);
    const CEntryList after = Entries(archive);
    ASSERT_EQ(after.size(), 61u);
    EXPECT_EQ(after[41]->sequence, 101);
    EXPECT_EQ(after[41]->amount, 150);
}

TEST_F(ArchiveTest, EditsSurviveALaterRead)
{
    CHistoryArchive archive(ArchivePath());
    SMergeOutcome first;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20)), &first));
    CEntryInfo edit;
    edit.apply = 0;
    edit.destination = QStringLiteral("株式会社サンプル 本社");
    edit.remarks = QStringLiteral("私用");
    ASSERT_TRUE(archive.UpdateEntry(first.ids[15], edit)) << archive.LastError().toStdString();

    // A later read holds record 16 again, decoded afresh and ticked.
    SCardRead later = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 8));
    ASSERT_EQ(later.entries[7]->apply, 1);
    SMergeOutcome second;
    ASSERT_TRUE(Merge(archive, later, &second));
    ASSERT_EQ(second.ids[7], first.ids[15]);

    const CEntryList entries = Entries(archive);
    EXPECT_EQ(entries[15]->apply, 0);
    EXPECT_EQ(entries[15]->destination, QStringLiteral("株式会社サンプル 本社"));
    EXPECT_EQ(entries[15]->remarks, QStringLiteral("私用"));
    EXPECT_EQ(entries[16]->apply, 1);

    // The viewer may show the new read with the person's choices.
    ASSERT_TRUE(archive.RestoreChoices(later.entries, second.ids)) << archive.LastError().toStdString();
    EXPECT_EQ(later.entries[7]->apply, 0);
    EXPECT_EQ(later.entries[7]->remarks, QStringLiteral("私用"));
    EXPECT_EQ(later.entries[8]->apply, 1);

    EXPECT_FALSE(archive.UpdateEntry(999999, edit));
    EXPECT_TRUE(archive.LastError().contains(QStringLiteral("999999")));
}

TEST_F(ArchiveTest, GateTimesOnceKnownStayThroughLaterReads)
{
    CHistoryArchive archive(ArchivePath());
    SCardRead first = MakeRead(kCardA, Commute(1, 20));
    first.entries[19]->entryTime = 8 * 60 + 12;
    first.entries[19]->exitTime = 8 * 60 + 40;
    first.entries[18]->entryTime = 7 * 60;
    SMergeOutcome merged;
    ASSERT_TRUE(Merge(archive, first, &merged));

    // A later read whose gate log has moved on: no times for records 19 and 20,
    // the exit of record 19 learnt late, and a time for a new record.
    SCardRead later = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 2));
    ASSERT_EQ(later.entries[17]->sequence, 20);
    later.entries[16]->exitTime = 7 * 60 + 25;
    later.entries[19]->exitTime = 18 * 60 + 5;
    SMergeOutcome second;
    ASSERT_TRUE(Merge(archive, later, &second));

    const CEntryList entries = Entries(archive);
    ASSERT_EQ(entries.size(), 22u);
    EXPECT_EQ(entries[19]->entryTime, 8 * 60 + 12);
    EXPECT_EQ(entries[19]->exitTime, 8 * 60 + 40);
    EXPECT_EQ(entries[18]->entryTime, 7 * 60);
    EXPECT_EQ(entries[18]->exitTime, 7 * 60 + 25);
    EXPECT_EQ(entries[21]->exitTime, 18 * 60 + 5);
    EXPECT_EQ(entries[21]->entryTime, -1);
    EXPECT_EQ(entries[0]->entryTime, -1);

    // The later read shows what the archive kept.
    ASSERT_TRUE(archive.RestoreTimes(later.entries, second.ids)) << archive.LastError().toStdString();
    EXPECT_EQ(later.entries[17]->exitTime, 8 * 60 + 40);
    EXPECT_EQ(later.entries[16]->entryTime, 7 * 60);
}

TEST_F(ArchiveTest, PersonsTickWinsOverALaterFare)
{
    CHistoryArchive archive(ArchivePath());
    // Record 23 comes first with no fare and unticked; the person ticks it anyway.
    SMergeOutcome first;
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 22)), &first));
    CEntryInfo edit;
    edit.apply = 1;
    ASSERT_TRUE(archive.UpdateEntry(first.ids[0], edit));
    // Then a private trip: unticked again, by hand.
    edit.apply = 0;
    ASSERT_TRUE(archive.UpdateEntry(first.ids[0], edit));
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 2))));
    const CEntryList entries = Entries(archive);
    EXPECT_EQ(entries[20]->amount, 150);
    EXPECT_EQ(entries[20]->apply, 0);
}

TEST_F(ArchiveTest, EntryFileEntriesJoinTheBlocksTheyCameFrom)
{
    CHistoryArchive archive(ArchivePath());
    // A file saved from a read before the archive existed: named, with a
    // destination, stored in the version 1 layout (no payment kind, no byte 3).
    SCardRead read = MakeRead(kCardA, Commute(1, 20));
    CEntryList file;
    for (const auto& e : read.entries) {
        auto copy = std::make_unique<CEntryInfo>(*e);
        copy->paymentKind = 0;
        copy->rawByte3 = 0;
        copy->destination = QStringLiteral("支店");
        file.push_back(std::move(copy));
    }
    file[3]->paymentKind = 2;
    SMergeOutcome imported;
    ASSERT_TRUE(archive.ImportEntries(file, &imported)) << archive.LastError().toStdString();
    EXPECT_EQ(imported.nAdded, 20u);
    SMergeOutcome again;
    ASSERT_TRUE(archive.ImportEntries(file, &again));
    EXPECT_EQ(again.nAdded, 0u);
    EXPECT_EQ(again.ids, imported.ids);

    // Reading the card afterwards finds the same trips: they get their blocks, nothing is added.
    SMergeOutcome merged;
    ASSERT_TRUE(Merge(archive, read, &merged));
    EXPECT_EQ(merged.nAdded, 0u);
    EXPECT_EQ(merged.ids, imported.ids);
    const CEntryList entries = Entries(archive);
    ASSERT_EQ(entries.size(), 20u);
    EXPECT_EQ(entries[5]->destination, QStringLiteral("支店"));
    // And reading it again is the block rule's business: still nothing new.
    ASSERT_TRUE(Merge(archive, read, &merged));
    EXPECT_EQ(merged.nAdded, 0u);

    // An entry that differs in a key field is another trip.
    auto other = std::make_unique<CEntryInfo>(*file[0]);
    other->balance += 10;
    CEntryList one;
    one.push_back(std::move(other));
    ASSERT_TRUE(archive.ImportEntries(one, &imported));
    EXPECT_EQ(imported.nAdded, 1u);
}

TEST_F(ArchiveTest, QueriesByDayAndDeletesOneCard)
{
    CHistoryArchive archive(ArchivePath());
    // Two a day from 1 May: 20 records up to 10 May.
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    ASSERT_TRUE(Merge(archive, MakeRead(kCardB, Commute(1, 20, QDate(2024, 4, 25)))));

    const CEntryList week = Entries(archive, {kCardA, QDate(2024, 5, 3), QDate(2024, 5, 5)});
    EXPECT_EQ(Sequences(week), Range(5, 10));
    EXPECT_EQ(Entries(archive, {kCardA, QDate(2024, 5, 9), {}}).size(), 4u);
    EXPECT_EQ(Entries(archive, {kCardA, {}, QDate(2024, 5, 1)}).size(), 2u);
    // Every card, by day: card B's 30 April then both cards' 1 May.
    const CEntryList both = Entries(archive, {std::nullopt, QDate(2024, 4, 30), QDate(2024, 5, 1)});
    ASSERT_EQ(both.size(), 6u);
    EXPECT_EQ(both[0]->idm, kCardB);
    EXPECT_EQ(both[2]->dateTime, QDateTime(QDate(2024, 5, 1), QTime()).toSecsSinceEpoch());

    ASSERT_TRUE(archive.SetCardName(kCardA, QStringLiteral("通勤用")));
    EXPECT_FALSE(archive.SetCardName({}, QStringLiteral("無い")));
    int64_t deleted = 0;
    ASSERT_TRUE(archive.DeleteCard(kCardB, &deleted));
    EXPECT_EQ(deleted, 20);
    std::vector<SArchivedCard> cards;
    ASSERT_TRUE(archive.Cards(cards));
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].strName, QStringLiteral("通勤用"));
    EXPECT_EQ(Entries(archive, {kCardB, {}, {}}).size(), 0u);
    EXPECT_EQ(Entries(archive).size(), 20u);
}

TEST_F(ArchiveTest, KeysFollowTheEntriesIntoAnotherList)
{
    CHistoryArchive archive(ArchivePath());
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    CEntryList entries;
    std::vector<int64_t> ids;
    ASSERT_TRUE(archive.Entries({kCardA, QDate(2024, 5, 2), QDate(2024, 5, 2)}, entries, ids));
    CArchiveKeys keys;
    keys.Assign(entries, ids);
    const CEntryInfo* second = entries[1].get();
    CEntryList document = std::move(entries);
    ASSERT_EQ(keys.Find(second), ids[1]);
    EXPECT_FALSE(keys.Find(nullptr));

    document[1]->remarks = QStringLiteral("会議");
    ASSERT_TRUE(archive.UpdateEntry(*keys.Find(document[1].get()), *document[1]));
    EXPECT_EQ(Entries(archive, {kCardA, QDate(2024, 5, 2), QDate(2024, 5, 2)})[1]->remarks, QStringLiteral("会議"));
}

TEST_F(ArchiveTest, StoresTheEntryAsDecodedAndNamed)
{
    CHistoryArchive archive(ArchivePath());
    SCardRead read = MakeRead(kCardA, Commute(1, 2));
    CEntryInfo& e = *read.entries[1];
    e.entryStationName = QStringLiteral("東京");
    e.entryLineName = QStringLiteral("東海道");
    e.entryCompany = QStringLiteral("ＪＲ東日本");
    e.entryLatitude = 35.681264;
    e.exitLongitude = 139.763;
    e.distance = 1234;
    e.bearing = 287.5f;
    e.remarks = QString(); // an empty text comes back empty, not missing
    ASSERT_TRUE(Merge(archive, read));
    const CEntryList entries = Entries(archive);
    ASSERT_EQ(entries.size(), 2u);
    const CEntryInfo& back = *entries[1];
    EXPECT_EQ(back.idm, kCardA);
    EXPECT_EQ(back.terminalKind, 0x16);
    EXPECT_EQ(back.entryStation, 2);
    EXPECT_EQ(back.exitStation, 1);
    EXPECT_EQ(back.entryStationName, QStringLiteral("東京"));
    EXPECT_EQ(back.entryLineName, QStringLiteral("東海道"));
    EXPECT_EQ(back.entryCompany, QStringLiteral("ＪＲ東日本"));
    EXPECT_EQ(back.entryLatitude, 35.681264);
    EXPECT_EQ(back.exitLongitude, 139.763);
    EXPECT_EQ(back.distance, 1234);
    EXPECT_EQ(back.bearing, 287.5f);
    EXPECT_EQ(back.balance, 9700);
    EXPECT_EQ(back.amount, 150);
    EXPECT_TRUE(back.remarks.isEmpty());
}

TEST_F(ArchiveTest, FileAndFolderAreMadeForTheUserAlone)
{
    const QString path = m_dir.filePath(QStringLiteral("a/b/c/history.sqlite"));
    CHistoryArchive archive(path);
    ASSERT_TRUE(archive.Open()) << archive.LastError().toStdString();
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 3))));
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Each folder made for it; the one that was there keeps its mode.
    for (const char* folder : {"a", "a/b", "a/b/c"}) {
        ASSERT_EQ(stat(QFile::encodeName(m_dir.filePath(QLatin1String(folder))).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    // The write-ahead log, while the archive is open, is no more readable than the file.
    ASSERT_EQ(stat(QFile::encodeName(path + QStringLiteral("-wal")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ArchiveTest, DefaultPathIsTheViewersDataFolder)
{
    QCoreApplication::setApplicationName(QStringLiteral("voluni"));
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    ASSERT_FALSE(dataHome.isEmpty());
    EXPECT_EQ(CHistoryArchive::DefaultPath(),
              QString::fromLocal8Bit(dataHome) + QStringLiteral("/Ombrel/Voluni_Viewer/history.sqlite"));
    // The program keeps its own name.
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("voluni"));
}

} // namespace
