// A damaged archive is not written into, and what can be read of it is saved:
// a byte flipped in the unique index, which SQLite does not notice at open.
#include "ArchiveFixture.h"

#include "history/PendingWrites.h"

#include <QDir>

namespace {

class ArchiveDamageTest : public ArchiveTest {
protected:
    // An archive of 40 records of card A, closed, with one byte of one block
    // flipped where the unique index of (idm, block) keeps it.
    void MakeDamagedArchive()
    {
        {
            CHistoryArchive archive(ArchivePath());
            ASSERT_TRUE(Merge(archive, m_read));
        }
        int64_t page = 0;
        int64_t pageSize = 0;
        {
            CRawConnection other(ArchivePath());
            page = other.Integer("SELECT rootpage FROM sqlite_master WHERE name = 'sqlite_autoindex_record_1'");
            pageSize = other.Integer("PRAGMA page_size");
        }
        ASSERT_GT(page, 1);
        QFile file(ArchivePath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek((page - 1) * pageSize));
        QByteArray bytes = file.read(pageSize);
        const HistoryBlock& block = m_read.blocks[5];
        const qsizetype at = bytes.indexOf(QByteArray(reinterpret_cast<const char*>(block.data()), 16));
        ASSERT_GE(at, 0) << "the block is in the index's first page";
        bytes[at + 14] = static_cast<char>(bytes[at + 14] ^ 0x40); // the counter's low byte
        ASSERT_TRUE(file.seek((page - 1) * pageSize));
        ASSERT_EQ(file.write(bytes), pageSize);
    }

    SCardRead m_read = MakeRead(kCardA, Commute(1, 40));
};

TEST_F(ArchiveDamageTest, DamagedArchiveIsNotWrittenAndTheReadWaits)
{
    MakeDamagedArchive();
    const QByteArray before = FileBytes(ArchivePath());
    CHistoryArchive archive(ArchivePath());
    // Looking still works, as far as the file can be read.
    EXPECT_EQ(Entries(archive).size(), 40u);
    EXPECT_FALSE(archive.MergeRead(m_read.idm, m_read.blocks, m_read.entries));
    EXPECT_TRUE(archive.IsDamaged());
    EXPECT_TRUE(archive.LastError().startsWith(QStringLiteral("履歴ファイルが壊れています: ") + ArchivePath()))
        << archive.LastError().toStdString();
    EXPECT_FALSE(archive.UpdateEntry(1, *m_read.entries[0]));
    EXPECT_FALSE(archive.ImportEntries(m_read.entries));
    archive.Close();
    EXPECT_EQ(FileBytes(ArchivePath()), before);
    EXPECT_EQ(CPendingWrites(ArchivePath()).Files().size(), 3u);
}

TEST_F(ArchiveDamageTest, RecoveryKeepsTheDamagedFileAsideAndSavesEveryRecord)
{
    MakeDamagedArchive();
    const QByteArray damaged = FileBytes(ArchivePath());
    {
        // A read while the archive is damaged waits for the recovery.
        CHistoryArchive archive(ArchivePath());
        const SCardRead next = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 40));
        EXPECT_FALSE(archive.MergeRead(next.idm, next.blocks, next.entries));
    }
    SArchiveRecovery outcome;
    QString error;
    ASSERT_TRUE(CHistoryArchive::Recover(ArchivePath(), outcome, error)) << error.toStdString();
    EXPECT_EQ(outcome.nRecords, 40);
    EXPECT_EQ(outcome.nCards, 1);
    EXPECT_EQ(outcome.strDamagedPath,
              ArchivePath() + QStringLiteral(".damaged-") + QDate::currentDate().toString(Qt::ISODate));
    EXPECT_EQ(FileBytes(outcome.strDamagedPath), damaged);

    CHistoryArchive archive(ArchivePath());
    ASSERT_TRUE(archive.Open()) << archive.LastError().toStdString();
    EXPECT_EQ(Entries(archive).size(), 60u); // the waiting read came in
    // The same read again adds nothing: the index is whole again.
    SMergeOutcome merged;
    ASSERT_TRUE(Merge(archive, m_read, &merged));
    EXPECT_EQ(merged.nAdded, 0u);
    EXPECT_EQ(Entries(archive).size(), 60u);
    {
        CRawConnection check(ArchivePath());
        EXPECT_EQ(check.Integer("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"), 1);
    }

    // A second recovery the same day does not overwrite the first damaged file.
    ASSERT_TRUE(CHistoryArchive::Recover(ArchivePath(), outcome, error)) << error.toStdString();
    EXPECT_TRUE(outcome.strDamagedPath.endsWith(QLatin1String("-2")));
    EXPECT_EQ(outcome.nRecords, 60);
}

TEST_F(ArchiveDamageTest, NoArchiveIsNotRecovered)
{
    SArchiveRecovery outcome;
    QString error;
    EXPECT_FALSE(CHistoryArchive::Recover(ArchivePath(), outcome, error));
    QDir().mkpath(QFileInfo(ArchivePath()).absolutePath());
    {
        CRawConnection other(ArchivePath());
        ASSERT_TRUE(other.Exec("CREATE TABLE notes (text TEXT)"));
    }
    const QByteArray before = FileBytes(ArchivePath());
    EXPECT_FALSE(CHistoryArchive::Recover(ArchivePath(), outcome, error));
    EXPECT_TRUE(error.contains(QLatin1String("no history archive"))) << error.toStdString();
    EXPECT_EQ(FileBytes(ArchivePath()), before);
    EXPECT_FALSE(QFileInfo::exists(ArchivePath() + QStringLiteral(".recovering")));
}

} // namespace
