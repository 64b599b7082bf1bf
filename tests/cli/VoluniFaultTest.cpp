// Faults a person meets with the command-line tool: outputs that cannot be
// written or are no plain file, inputs that are pipes, devices or too large.
#include "cli/ExitCode.h"
#include "FileSizeLimit.h"
#include "resources/StringTable.h"
#include "StationDbFixture.h"
#include "VoluniCommandFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class VoluniFaultTest : public VoluniCommandTest {
protected:
    void SetUp() override
    {
        VoluniCommandTest::SetUp();
        CEntryList entries;
        entries.push_back(FareEntry());
        m_input = WriteFile(QStringLiteral("week.ent"), StoredFile(std::move(entries)));
        ASSERT_EQ(Run({QStringLiteral("show"), m_input}), EXIT_OK);
        m_expected = m_output;
    }

    int Show(const QString& output)
    {
        m_messages.clear();
        return Run({QStringLiteral("show"), m_input, QStringLiteral("--output"), output});
    }

    QString MakeFifo(const QString& name) const
    {
        const QString path = m_dir.filePath(name);
        EXPECT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        return path;
    }

    enum class EPeer { Reads, Writes };
    // A test's thread on the other side of fifo waits in open() until the tool opens its
    // side, and a writer then until its bytes are read: should the tool fail to, this side
    // is opened here (what comes read away) until the thread is done, or for five seconds,
    // so that the thread ends and the test with it.
    static void LetThePipesPeerGo(const QString& fifo, EPeer peer, const std::atomic<bool>& done)
    {
        const QDeadlineTimer deadline(5000);
        const auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); };
        while (!done && !deadline.hasExpired()) {
            const int fd = ::open(QFile::encodeName(fifo).constData(),
                                  (peer == EPeer::Writes ? O_RDONLY : O_WRONLY) | O_NONBLOCK);
            char bytes[4096];
            while (fd >= 0 && peer == EPeer::Writes && !done && !deadline.hasExpired()) {
                if (::read(fd, bytes, sizeof bytes) <= 0)
                    pause();
            }
            if (fd >= 0)
                ::close(fd);
            pause();
        }
    }

    QString m_input;
    QByteArray m_expected; // what standard output gets
};

TEST_F(VoluniFaultTest, DashAndDevStdoutAreStandardOutput)
{
    for (const QString& name : {QStringLiteral("-"), QStringLiteral("/dev/stdout")}) {
        EXPECT_EQ(Show(name), EXIT_OK) << name.toStdString();
        EXPECT_EQ(m_output, m_expected) << name.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("-")));
}

TEST_F(VoluniFaultTest, FullDeviceIsAFileErrorWithTheReason)
{
    EXPECT_EQ(Show(QStringLiteral("/dev/full")), EXIT_FILE);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], QStringLiteral("/dev/full: No space left on device"));
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/full")).exists());
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/full")).isFile()) << "the device node stays";
}

// The rename-over form only for a regular file; a failed write leaves it as it was.
TEST_F(VoluniFaultTest, FailedSaveKeepsTheFileAndGivesTheSystemsReason)
{
    const QString path = WriteFile(QStringLiteral("out.json"), "old");
    {
        const CFileSizeLimit limit(100);
        EXPECT_EQ(Show(path), EXIT_FILE);
    }
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], path + QStringLiteral(": File too large"));
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), (QStringList{QStringLiteral("out.json"), QStringLiteral("week.ent")}));

    EXPECT_EQ(Show(path), EXIT_OK);
    EXPECT_EQ(ReadAll(path), m_expected);
}

TEST_F(VoluniFaultTest, NamedPipeIsWrittenIntoNotReplaced)
{
    const QString fifo = MakeFifo(QStringLiteral("out.fifo"));
    QByteArray received;
    std::atomic<bool> read = false;
    std::thread reader([&] {
        received = ReadAll(fifo);
        read = true;
    });
    EXPECT_EQ(Show(fifo), EXIT_OK) << m_messages.join('\n').toStdString();
    LetThePipesPeerGo(fifo, EPeer::Reads, read);
    reader.join();
    EXPECT_EQ(received, m_expected);
    EXPECT_FALSE(QFileInfo(fifo).isFile());
}

TEST_F(VoluniFaultTest, SymbolicLinkIsFollowed)
{
    const QString target = WriteFile(QStringLiteral("target.json"), "old");
    const QString link = m_dir.filePath(QStringLiteral("link.json"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_EQ(Show(link), EXIT_OK);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadAll(target), m_expected);
}

TEST_F(VoluniFaultTest, ProgramReportsAFullStandardOutput)
{
    QProcess process;
    process.setStandardOutputFile(QStringLiteral("/dev/full"));
    process.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"), {QStringLiteral("show"), m_input});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), EXIT_FILE);
    EXPECT_EQ(process.readAllStandardError(), "voluni: standard output: No space left on device\n");
}

TEST_F(VoluniFaultTest, PipeInputIsReadAsAStream)
{
    const QString fifo = MakeFifo(QStringLiteral("in.fifo"));
    const QByteArray file = ReadAll(m_input);
    std::atomic<bool> written = false;
    std::thread writer([&] {
        {
            QFile out(fifo);
            if (out.open(QIODevice::WriteOnly))
                out.write(file);
        }
        written = true;
    });
    EXPECT_EQ(Run({QStringLiteral("show"), fifo}), EXIT_OK) << m_messages.join('\n').toStdString();
    LetThePipesPeerGo(fifo, EPeer::Writes, written);
    writer.join();
    EXPECT_EQ(m_output, m_expected);
}

TEST_F(VoluniFaultTest, OnlyAnEmptyRegularFileIsTheEmptyDocument)
{
    ASSERT_EQ(Run({QStringLiteral("show"), WriteFile(QStringLiteral("empty.ent"), {})}), EXIT_OK);
    EXPECT_TRUE(Json().value(QStringLiteral("entries")).toArray().isEmpty());

    m_messages.clear();
    EXPECT_EQ(Run({QStringLiteral("show"), QStringLiteral("/dev/zero")}), EXIT_FILE);
    EXPECT_EQ(m_messages, QStringList{LoadResString(AFX_IDP_FAILED_INVALID_FORMAT)});

    const QString fifo = MakeFifo(QStringLiteral("empty.fifo"));
    std::atomic<bool> opened = false;
    std::thread writer([&] {
        QFile out(fifo);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly)); // and closed at once, with nothing written
        opened = true;
    });
    m_messages.clear();
    EXPECT_EQ(Run({QStringLiteral("show"), fifo}), EXIT_FILE);
    LetThePipesPeerGo(fifo, EPeer::Writes, opened);
    writer.join();
    EXPECT_EQ(m_messages, QStringList{LoadResString(AFX_IDP_FAILED_INVALID_FORMAT)});
}

TEST_F(VoluniFaultTest, EndlessCardImageIsRefused)
{
    EXPECT_EQ(Run({QStringLiteral("read"), QStringLiteral("--card-image"), QStringLiteral("/dev/zero")}),
              EXIT_CARD_IMAGE);
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("/dev/zero: larger than 65536 bytes, too large for a card image")});
}

// A folder name that a plain connection string would cut at its ';'.
TEST_F(VoluniFaultTest, StationDatabaseInAFolderWithSemicolonSpacesAndJapanese)
{
    CStationDbFixture database;
    ASSERT_TRUE(database.Built()) << database.BuildError().toStdString();
    const QString folder = m_dir.filePath(QStringLiteral("駅名 データ;2024"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/VoluniStn.mdb");
    ASSERT_TRUE(QFile::copy(database.DatabasePath(), path));
    const QString image = WriteFile(QStringLiteral("card.json"), Compact(kCardImage).toUtf8());

    ASSERT_EQ(Run({QStringLiteral("read"), QStringLiteral("--card-image"), image, QStringLiteral("--database"), path,
                   QStringLiteral("--polling-time"), QStringLiteral("0")}),
              EXIT_OK);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join('\n').toStdString();
    const QJsonObject fare = Json().value(QStringLiteral("entries")).toArray().at(2).toObject();
    EXPECT_EQ(fare.value(QStringLiteral("entryStationName")).toString(), QStringLiteral("有楽町"));
}

TEST_F(VoluniFaultTest, MissingStationDatabaseIsNamedWithTheReason)
{
    const QString image = WriteFile(QStringLiteral("card.json"), Compact(kCardImage).toUtf8());
    const QString path = m_dir.filePath(QStringLiteral("none.mdb"));
    ASSERT_EQ(Run({QStringLiteral("read"), QStringLiteral("--card-image"), image, QStringLiteral("--database"), path,
                   QStringLiteral("--polling-time"), QStringLiteral("0")}),
              EXIT_OK);
    EXPECT_EQ(m_messages, QStringList{LoadResString(IDS_STATIONDB_CONNECT_FAILED) + QStringLiteral("\n") + path
                                      + QStringLiteral(": No such file or directory")});
}

} // namespace
