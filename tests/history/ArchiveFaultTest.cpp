// An archive that cannot be used says why and is left as it was: damaged, foreign,
// locked, full, unreadable, newer, or halfway through a failed migration.
#include "ArchiveFixture.h"

#include <QDir>
#include <QFileDevice>

#include <chrono>
#include <functional>
#include <thread>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs body in a child process, as the user nobody when this process is root, with folder
// given to that user; the child's exit code (body's result), or -1 when it did not end by
// itself within ten seconds. The child's failed checks are printed where it runs.
int RunUnprivileged(const QString& folder, const std::function<int()>& body)
{
    const passwd* nobody = geteuid() == 0 ? getpwnam("nobody") : nullptr;
    if (geteuid() == 0 && (!nobody || chown(QFile::encodeName(folder).constData(), nobody->pw_uid, nobody->pw_gid) != 0))
        return -1;
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (nobody && (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0))
            _exit(2);
        _exit(body());
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ArchiveFaultTest : public ArchiveTest {
protected:
    // An archive holding one read of card A, closed.
    void MakeArchive()
    {
        CHistoryArchive archive(ArchivePath());
        ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    }

    // The archive as the first schema left it: no gate times.
    void MakeVersionOneArchive()
    {
        MakeArchive();
        CRawConnection other(ArchivePath());
        ASSERT_TRUE(other.Exec("ALTER TABLE record DROP COLUMN entry_time; ALTER TABLE record DROP COLUMN exit_time; "
                               "UPDATE schema_version SET version = 1;"));
    }

    void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    // Every way into the archive fails and leaves the file's bytes alone.
    void ExpectRefusedUntouched(const char* reason)
    {
        const QByteArray before = FileBytes(ArchivePath());
        CHistoryArchive archive(ArchivePath());
        EXPECT_FALSE(archive.Open());
        EXPECT_TRUE(archive.LastError().contains(QLatin1String(reason))) << archive.LastError().toStdString();
        EXPECT_TRUE(archive.LastError().startsWith(ArchivePath())) << archive.LastError().toStdString();
        const SCardRead read = MakeRead(kCardA, Commute(1, 20));
        EXPECT_FALSE(archive.MergeRead(read.idm, read.blocks, read.entries));
        EXPECT_EQ(archive.BalanceBefore(kCardA, read.blocks.back()), -1);
        CEntryList entries;
        std::vector<int64_t> ids;
        EXPECT_FALSE(archive.Entries({}, entries, ids));
        EXPECT_FALSE(archive.ImportEntries(read.entries));
        archive.Close();
        EXPECT_EQ(FileBytes(ArchivePath()), before);
    }
};

TEST_F(ArchiveFaultTest, FileThatIsNoDatabaseIsLeftAlone)
{
    WriteFile(ArchivePath(), QByteArray("this is no database, but it is somebody's file\n").repeated(200));
    ExpectRefusedUntouched("not a database");
}

TEST_F(ArchiveFaultTest, ForeignDatabaseIsLeftAlone)
{
    QDir().mkpath(QFileInfo(ArchivePath()).absolutePath());
    {
        CRawConnection other(ArchivePath());
        ASSERT_TRUE(other.Exec("CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('mine');"));
    }
    ExpectRefusedUntouched("no history archive");
}

TEST_F(ArchiveFaultTest, DamagedRecordTableFailsWithoutAChange)
{
    MakeArchive();
    int64_t page = 0;
    int64_t pageSize = 0;
    {
        CRawConnection other(ArchivePath());
        page = other.Integer("SELECT rootpage FROM sqlite_master WHERE name = 'record'");
        pageSize = other.Integer("PRAGMA page_size");
    }
    ASSERT_GT(page, 1);
    QFile file(ArchivePath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek((page - 1) * pageSize));
    file.write(QByteArray(static_cast<int>(pageSize), '\x5A'));
    file.close();

    const QByteArray before = FileBytes(ArchivePath());
    CHistoryArchive archive(ArchivePath());
    CEntryList entries;
    std::vector<int64_t> ids;
    EXPECT_FALSE(archive.Entries({}, entries, ids));
    EXPECT_TRUE(archive.LastError().contains(QLatin1String("malformed"))) << archive.LastError().toStdString();
    const SCardRead read = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 20));
    EXPECT_FALSE(archive.MergeRead(read.idm, read.blocks, read.entries));
    EXPECT_FALSE(archive.LastError().isEmpty());
    archive.Close();
    EXPECT_EQ(FileBytes(ArchivePath()), before);
}

TEST_F(ArchiveFaultTest, LockedArchiveSaysSoAndKeepsWhatItHas)
{
    MakeArchive();
    SArchiveOptions quick;
    quick.nBusyTimeoutMs = 100;
    CHistoryArchive archive(ArchivePath(), quick);
    ASSERT_TRUE(archive.Open()) << archive.LastError().toStdString();
    CRawConnection other(ArchivePath());
    ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));

    const SCardRead next = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 20));
    EXPECT_FALSE(archive.MergeRead(next.idm, next.blocks, next.entries));
    EXPECT_TRUE(archive.LastError().contains(QLatin1String("locked"))) << archive.LastError().toStdString();
    CEntryInfo edit;
    EXPECT_FALSE(archive.UpdateEntry(1, edit));
    EXPECT_FALSE(archive.DeleteCard(kCardA));
    // Looking still works beside the other program's write.
    EXPECT_EQ(Entries(archive).size(), 20u);

    ASSERT_TRUE(other.Exec("ROLLBACK"));
    EXPECT_EQ(other.Integer("SELECT count(*) FROM record"), 20);
    // Once the other program is done, the same read merges.
    ASSERT_TRUE(Merge(archive, next));
    EXPECT_EQ(Entries(archive).size(), 40u);
}

TEST_F(ArchiveFaultTest, FullDiskLeavesTheArchiveAsItWas)
{
    MakeArchive();
    int64_t pages = 0;
    {
        CRawConnection other(ArchivePath());
        pages = other.Integer("PRAGMA page_count");
    }
    SArchiveOptions options;
    options.nMaxPageCount = static_cast<int>(pages);
    CHistoryArchive archive(ArchivePath(), options);
    // Twenty new records with long remarks need pages the limit does not give.
    SCardRead next = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 20));
    for (auto& e : next.entries)
        e->remarks = QString(2000, QLatin1Char('x'));
    EXPECT_FALSE(archive.MergeRead(next.idm, next.blocks, next.entries));
    EXPECT_TRUE(archive.LastError().contains(QLatin1String("full"))) << archive.LastError().toStdString();
    EXPECT_EQ(Entries(archive).size(), 20u);
    std::vector<SArchivedCard> cards;
    ASSERT_TRUE(archive.Cards(cards));
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].nEntries, 20);
}

TEST_F(ArchiveFaultTest, UnreadablePlacesSayWhy)
{
    // A folder where the file should be, and a file where the folder should be.
    QDir().mkpath(ArchivePath());
    CHistoryArchive folder(ArchivePath());
    EXPECT_FALSE(folder.Open());
    EXPECT_TRUE(folder.LastError().contains(QLatin1String("unable to open"))) << folder.LastError().toStdString();
    WriteFile(m_dir.filePath(QStringLiteral("blocked")), "x");
    CHistoryArchive blocked(m_dir.filePath(QStringLiteral("blocked/history.sqlite")));
    EXPECT_FALSE(blocked.Open());
    EXPECT_TRUE(blocked.LastError().contains(QLatin1String("folder"))) << blocked.LastError().toStdString();
}

TEST_F(ArchiveFaultTest, UnreadableFileSaysWhy)
{
    // Root reads any file: the archive is made and opened by a user who is not.
    const int failures = RunUnprivileged(m_dir.path(), [this] {
        MakeArchive();
        if (!QFile::setPermissions(ArchivePath(), QFileDevice::Permissions()))
            return 1;
        CHistoryArchive archive(ArchivePath());
        const bool opened = archive.Open();
        EXPECT_FALSE(opened);
        EXPECT_TRUE(archive.LastError().contains(QLatin1String("unable to open"))) << archive.LastError().toStdString();
        return opened || !archive.LastError().contains(QLatin1String("unable to open")) ? 1 : 0;
    });
    EXPECT_EQ(failures, 0);
}

TEST_F(ArchiveFaultTest, FailedMigrationLeavesTheOldFile)
{
    MakeVersionOneArchive();
    const QByteArray before = FileBytes(ArchivePath());
    SArchiveOptions options;
    // The program's own step works, then a step whose first statement works and whose
    // second does not: nothing of either must stay.
    options.migrations.push_back({3, "ALTER TABLE record ADD COLUMN note TEXT; INSERT INTO missing_table VALUES (1);"});
    {
        CHistoryArchive archive(ArchivePath(), options);
        EXPECT_FALSE(archive.Open());
        EXPECT_TRUE(archive.LastError().contains(QLatin1String("missing_table"))) << archive.LastError().toStdString();
        EXPECT_TRUE(archive.LastError().contains(QLatin1String(".v1.bak"))) << archive.LastError().toStdString();
        const SCardRead read = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 20));
        EXPECT_FALSE(archive.MergeRead(read.idm, read.blocks, read.entries));
    }
    // The file is as it was, and the copy made before the change is the same.
    EXPECT_EQ(FileBytes(ArchivePath()), before);
    EXPECT_EQ(FileBytes(ArchivePath() + QStringLiteral(".v1.bak")), before);
    {
        CRawConnection other(ArchivePath());
        EXPECT_EQ(other.Integer("SELECT version FROM schema_version"), 1);
        EXPECT_EQ(other.Integer("SELECT count(*) FROM pragma_table_info('record') WHERE name = 'note'"), 0);
        EXPECT_EQ(other.Integer("SELECT count(*) FROM pragma_table_info('record') WHERE name = 'entry_time'"), 0);
    }
    // This program's own schema still opens it, with everything in it, and adds the gate times.
    {
        CHistoryArchive archive(ArchivePath());
        EXPECT_EQ(Entries(archive).size(), 20u);
    }
    CRawConnection other(ArchivePath());
    EXPECT_EQ(other.Integer("SELECT version FROM schema_version"), 2);
    EXPECT_EQ(other.Integer("SELECT count(*) FROM record WHERE entry_time IS NULL AND exit_time IS NULL"), 20);
}

TEST_F(ArchiveFaultTest, RecoveryOfAnOlderSchemaKeepsEveryRecord)
{
    MakeVersionOneArchive();
    SArchiveRecovery outcome;
    QString error;
    ASSERT_TRUE(CHistoryArchive::Recover(ArchivePath(), outcome, error)) << error.toStdString();
    EXPECT_EQ(outcome.nRecords, 20);
    CHistoryArchive archive(ArchivePath());
    EXPECT_EQ(Entries(archive).size(), 20u);
}

TEST_F(ArchiveFaultTest, MigrationChangesTheSchemaAfterACopy)
{
    MakeVersionOneArchive();
    const QByteArray before = FileBytes(ArchivePath());
    SArchiveOptions options;
    options.migrations.push_back({3, "ALTER TABLE record ADD COLUMN note TEXT NOT NULL DEFAULT '';"});
    options.migrations.push_back({4, "CREATE INDEX record_note ON record (note);"});
    {
        CHistoryArchive archive(ArchivePath(), options);
        ASSERT_TRUE(archive.Open()) << archive.LastError().toStdString();
        EXPECT_EQ(Entries(archive).size(), 20u);
    }
    EXPECT_EQ(FileBytes(ArchivePath() + QStringLiteral(".v1.bak")), before);
    {
        CRawConnection other(ArchivePath());
        EXPECT_EQ(other.Integer("SELECT version FROM schema_version"), 4);
        EXPECT_EQ(other.Integer("SELECT count(*) FROM record WHERE note = ''"), 20);
    }
    // A program that knows only version 2 leaves the newer file alone.
    ExpectRefusedUntouched("newer");

    // A new archive is made at the newest version at once, with no copy.
    const QString fresh = m_dir.filePath(QStringLiteral("fresh/history.sqlite"));
    {
        CHistoryArchive archive(fresh, options);
        ASSERT_TRUE(archive.Open()) << archive.LastError().toStdString();
    }
    CRawConnection other(fresh);
    EXPECT_EQ(other.Integer("SELECT version FROM schema_version"), 4);
    EXPECT_FALSE(QFile::exists(fresh + QStringLiteral(".v1.bak")));
}

TEST_F(ArchiveFaultTest, MismatchedReadIsRefusedBeforeTheFileIsTouched)
{
    CHistoryArchive archive(ArchivePath());
    SCardRead read = MakeRead(kCardA, Commute(1, 20));
    read.blocks.pop_back();
    EXPECT_FALSE(archive.MergeRead(read.idm, read.blocks, read.entries));
    EXPECT_TRUE(archive.LastError().contains(QLatin1String("19 blocks for 20 entries")));
    EXPECT_FALSE(QFile::exists(ArchivePath()));
}

} // namespace

namespace {

// A 1 MiB tmpfs in the test's folder, where the system lets a test mount one.
class CSmallDisk {
public:
    explicit CSmallDisk(const QString& path)
        : m_path(QFile::encodeName(path))
    {
        QDir().mkpath(path);
        m_bMounted = mount("tmpfs", m_path.constData(), "tmpfs", 0, "size=1m") == 0;
    }
    ~CSmallDisk()
    {
        if (m_bMounted)
            umount(m_path.constData());
    }
    CSmallDisk(const CSmallDisk&) = delete;
    CSmallDisk& operator=(const CSmallDisk&) = delete;

    bool Mounted() const { return m_bMounted; }
    bool MakeReadOnly() const
    {
        return mount("tmpfs", m_path.constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QByteArray m_path;
    bool m_bMounted = false;
};

} // namespace

TEST_F(ArchiveFaultTest, FullDiskSaysTheDiskIsFull)
{
    const CSmallDisk disk(m_dir.filePath(QStringLiteral("small")));
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    CHistoryArchive archive(m_dir.filePath(QStringLiteral("small/history.sqlite")));
    ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    // All but a few KiB taken by another file.
    QFile filler(m_dir.filePath(QStringLiteral("small/filler")));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'x')) == 4096) {
    }
    filler.close();
    size_t merged = 20;
    for (int i = 1; i < 50; ++i) {
        SCardRead read = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), i * 20));
        for (auto& e : read.entries)
            e->remarks = QString(500, QLatin1Char('x'));
        if (!archive.MergeRead(read.idm, read.blocks, read.entries))
            break;
        merged += 20;
    }
    EXPECT_TRUE(archive.LastError().contains(QLatin1String("the disk is full"))) << archive.LastError().toStdString();
    // Room again: every merge that said it went in is there, and no other.
    ASSERT_TRUE(filler.remove());
    archive.Close();
    EXPECT_LT(merged, 1000u);
    EXPECT_EQ(Entries(archive).size(), merged);
}

TEST_F(ArchiveFaultTest, ReadOnlyFolderStillShowsTheArchive)
{
    const CSmallDisk disk(m_dir.filePath(QStringLiteral("small")));
    if (!disk.Mounted())
        GTEST_SKIP() << "no tmpfs can be mounted here";
    const QString path = m_dir.filePath(QStringLiteral("small/history.sqlite"));
    {
        CHistoryArchive archive(path);
        ASSERT_TRUE(Merge(archive, MakeRead(kCardA, Commute(1, 20))));
    }
    ASSERT_TRUE(disk.MakeReadOnly());
    CHistoryArchive archive(path);
    ASSERT_TRUE(archive.Open()) << archive.LastError().toStdString();
    EXPECT_TRUE(archive.IsReadOnly());
    EXPECT_EQ(Entries(archive).size(), 20u);
    const SCardRead next = MakeRead(kCardA, Commute(1, 20, QDate(2024, 5, 1), 20));
    EXPECT_FALSE(archive.MergeRead(next.idm, next.blocks, next.entries));
    EXPECT_TRUE(archive.LastError().contains(QLatin1String("is read-only"))) << archive.LastError().toStdString();
}

TEST_F(ArchiveFaultTest, DanglingSymbolicLinkSaysWhereItPoints)
{
    QDir().mkpath(QFileInfo(ArchivePath()).absolutePath());
    const QString target = m_dir.filePath(QStringLiteral("elsewhere/history.sqlite"));
    ASSERT_TRUE(QFile::link(target, ArchivePath()));
    CHistoryArchive archive(ArchivePath());
    EXPECT_FALSE(archive.Open());
    EXPECT_TRUE(archive.LastError().contains(QStringLiteral("a symbolic link to %1, which does not exist").arg(target)))
        << archive.LastError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
}

// Someone else's SQLite file without tables is no new archive.
TEST_F(ArchiveFaultTest, EmptyForeignDatabaseIsLeftAlone)
{
    QDir().mkpath(QFileInfo(ArchivePath()).absolutePath());
    {
        CRawConnection other(ArchivePath());
        ASSERT_TRUE(other.Exec("PRAGMA user_version = 7"));
    }
    ASSERT_GT(QFileInfo(ArchivePath()).size(), 0);
    ExpectRefusedUntouched("no history archive");
}
