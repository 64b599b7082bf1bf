// Two programs at once: a write that finds the archive held waits, and when the
// other program holds it too long the write is kept beside the archive and taken
// in at the next open; nothing a read, an import or an edit made is lost.
#include "ArchiveFixture.h"

#include "history/ArchiveRecordKey.h"
#include "history/PendingWrites.h"

#include <QDir>

#include <functional>
#include <set>
#include <thread>

namespace {

class ArchiveContentionTest : public ArchiveTest {
protected:
    static SArchiveOptions Quick()
    {
        SArchiveOptions options;
        options.nBusyTimeoutMs = 100;
        return options;
    }

    QStringList PendingFiles() const { return CPendingWrites(ArchivePath()).Files(); }
};

struct SHeldWrite {
    const char* name;
    // The write, tried while another connection holds the archive.
    std::function<bool(CHistoryArchive&)> write;
    // What the archive shows once the write is taken in.
    std::function<void(const CEntryList&)> check;
};

TEST_F(ArchiveContentionTest, HeldArchiveKeepsTheWriteForTheNextOpen)
{
    const SCardRead first = MakeRead(kCardA, Commute(1, 20));
    SCardRead next = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 10));
    // Gate times of an archived record and of a new one travel with the kept read.
    next.entries[0]->entryTime = 7 * 60 + 5;
    next.entries[19]->exitTime = 18 * 60 + 5;
    auto imported = std::make_unique<CEntryInfo>(*MakeRead(kCardB, Commute(1, 1)).entries[0]);
    CEntryList imports;
    imports.push_back(std::move(imported));
    CEntryInfo edit = *first.entries[3];
    edit.remarks = QStringLiteral("客先訪問");
    edit.destination = QStringLiteral("本社");

    const std::vector<SHeldWrite> writes = {
        {"read", [&](CHistoryArchive& a) { return a.MergeRead(next.idm, next.blocks, next.entries); },
         [](const CEntryList& all) {
             ASSERT_EQ(all.size(), 30u);
             EXPECT_EQ(all[10]->entryTime, 7 * 60 + 5);
             EXPECT_EQ(all[29]->exitTime, 18 * 60 + 5);
         }},
        {"import", [&](CHistoryArchive& a) { return a.ImportEntries(imports); },
         [](const CEntryList& all) {
             ASSERT_EQ(all.size(), 21u);
             EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const auto& e) { return e->idm == kCardB; }), 1);
         }},
        {"edit", [&](CHistoryArchive& a) { return a.UpdateEntry(4, edit); },
         [](const CEntryList& all) {
             ASSERT_EQ(all.size(), 20u);
             EXPECT_EQ(all[3]->remarks, QStringLiteral("客先訪問"));
             EXPECT_EQ(all[3]->destination, QStringLiteral("本社"));
         }},
    };
    for (const SHeldWrite& held : writes) {
        QDir(m_dir.path()).removeRecursively();
        {
            CHistoryArchive archive(ArchivePath());
            ASSERT_TRUE(Merge(archive, first));
        }
        {
            CHistoryArchive archive(ArchivePath(), Quick());
            ASSERT_TRUE(archive.Open());
            CRawConnection other(ArchivePath());
            ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
            EXPECT_FALSE(held.write(archive)) << held.name;
            EXPECT_TRUE(archive.LastError().contains(QLatin1String("locked"))) << archive.LastError().toStdString();
            EXPECT_TRUE(archive.LastError().contains(CPendingWrites(ArchivePath()).Folder()))
                << archive.LastError().toStdString();
            EXPECT_EQ(PendingFiles().size(), 1u) << held.name;
            ASSERT_TRUE(other.Exec("ROLLBACK"));
        }
        CHistoryArchive reopened(ArchivePath());
        ASSERT_TRUE(reopened.Open()) << reopened.LastError().toStdString();
        EXPECT_TRUE(PendingFiles().isEmpty()) << held.name;
        held.check(Entries(reopened));
    }
}

// The pending write waits while the archive is still held at the next open.
TEST_F(ArchiveContentionTest, PendingWriteWaitsWhileTheArchiveIsHeld)
{
    {
        CHistoryArchive archive(ArchivePath());
        ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    }
    const SCardRead next = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 10));
    {
        CRawConnection other(ArchivePath());
        ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
        CHistoryArchive archive(ArchivePath(), Quick());
        EXPECT_FALSE(archive.MergeRead(next.idm, next.blocks, next.entries));
        CHistoryArchive second(ArchivePath(), Quick());
        EXPECT_TRUE(second.Open()) << second.LastError().toStdString(); // looking needs no lock
        EXPECT_EQ(PendingFiles().size(), 1u);
        ASSERT_TRUE(other.Exec("ROLLBACK"));
    }
    CHistoryArchive archive(ArchivePath());
    EXPECT_EQ(Entries(archive).size(), 30u);
    EXPECT_TRUE(PendingFiles().isEmpty());
}

// An edit kept while the archive was held goes to the trip it was made on, and
// not to another trip that has its key by the next open.
TEST_F(ArchiveContentionTest, PendingEditFindsOnlyItsOwnTrip)
{
    const SCardRead read = MakeRead(kCardA, Commute(1, 4));
    {
        CHistoryArchive archive(ArchivePath(), Quick());
        ASSERT_TRUE(Merge(archive, read));
        CEntryInfo edit = *read.entries[3];
        edit.remarks = QStringLiteral("客先訪問");
        CRawConnection other(ArchivePath());
        ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
        EXPECT_FALSE(archive.UpdateEntry(4, edit));
        ASSERT_TRUE(other.Exec("ROLLBACK"));
        ASSERT_EQ(PendingFiles().size(), 1u);
        // Meanwhile the card goes, and card B's trips take its keys.
        CRawConnection direct(ArchivePath());
        ASSERT_TRUE(direct.Exec("DELETE FROM record; DELETE FROM card;"));
    }
    {
        CRawConnection other(ArchivePath());
        ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE")); // held, so the edit waits once more
        CHistoryArchive archive(ArchivePath(), Quick());
        ASSERT_TRUE(archive.Open());
        ASSERT_EQ(PendingFiles().size(), 1u);
        ASSERT_TRUE(other.Exec("ROLLBACK"));
        ASSERT_TRUE(Merge(archive, MakeRead(kCardB, Commute(1, 4))));
    }
    CHistoryArchive archive(ArchivePath());
    const CEntryList all = Entries(archive);
    ASSERT_EQ(all.size(), 4u);
    for (const auto& e : all)
        EXPECT_TRUE(e->remarks.isEmpty());
    EXPECT_TRUE(PendingFiles().isEmpty());
}

// Twenty programs merge overlapping reads of one card at once: every record is
// there once.
TEST_F(ArchiveContentionTest, TwentyWritersAtOnceLoseNothing)
{
    constexpr int kWriters = 20;
    std::vector<SCardRead> reads;
    for (int i = 0; i < kWriters; ++i)
        reads.push_back(MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), i * 5)));
    {
        CHistoryArchive archive(ArchivePath());
        ASSERT_TRUE(archive.Open());
    }
    std::vector<std::thread> writers;
    std::vector<int> merged(kWriters, 0);
    for (int i = 0; i < kWriters; ++i) {
        writers.emplace_back([&, i] {
            CHistoryArchive archive(ArchivePath());
            merged[static_cast<size_t>(i)] = archive.MergeRead(reads[i].idm, reads[i].blocks, reads[i].entries);
        });
    }
    for (std::thread& writer : writers)
        writer.join();
    CHistoryArchive archive(ArchivePath());
    const CEntryList all = Entries(archive);
    // Reads start 5 records apart and hold 20: records 0 .. 19 * 5 + 19.
    EXPECT_EQ(all.size(), static_cast<size_t>((kWriters - 1) * 5 + 20));
    std::set<int64_t> sequences;
    for (const auto& e : all)
        sequences.insert(EntrySequence(*e));
    EXPECT_EQ(sequences.size(), all.size());
}

} // namespace
