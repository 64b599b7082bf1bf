// voluni watch end to end: the private pcscd with the virtual card, the watcher as its own
// process, the history archive it writes, and a private session bus with a notification
// service of the test's own.
#include "history/HistoryArchive.h"
#include "PrivatePcscd.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>

#include <functional>

#include <signal.h>

namespace {

constexpr const char* kReader = "ACS ACR1251 CL Reader PICC";
constexpr const char* kOtherReader = "SONY FeliCa RC-S300/P (0236798)";
const QString kImagePath = QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json");
const QString kSaved = QStringLiteral("10 件の利用履歴を保存しました");
const QString kNothingNew = QStringLiteral("0 件の利用履歴を保存しました");
constexpr int kTimeoutMs = 15000;

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kTimeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

// The notification service the watcher finds on the private bus.
class CNotificationListener : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList summaries;
    QStringList bodies;

public slots:
    uint Notify(const QString& /*appName*/, uint /*replacesId*/, const QString& /*appIcon*/, const QString& summary,
                const QString& body, const QStringList& /*actions*/, const QVariantMap& /*hints*/, int /*timeout*/)
    {
        summaries << summary;
        bodies << body;
        return static_cast<uint>(summaries.size());
    }
};

class Watch : public testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_PRIVATE_PCSCD();
        CPrivatePcscd::UsePrivateSocket();
        ASSERT_TRUE(m_folder.isValid());
        // No vendor library: the PC/SC reader alone.
        setenv("VOLUNI_COMMON_FILES_DIR", m_folder.path().toLocal8Bit().constData(), 1);
        m_strArchive = m_folder.filePath(QStringLiteral("history.sqlite"));
        const QString error = m_pcscd.Start(QLatin1String(kReader));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    void TearDown() override
    {
        if (m_watch.state() != QProcess::NotRunning) {
            m_watch.kill();
            m_watch.waitForFinished(5000);
        }
        m_pcscd.Stop();
    }

    // The watcher on the private pcscd; busAddress empty: no session bus at all.
    void StartWatch(const QString& busAddress, const QStringList& options = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           busAddress.isEmpty() ? QStringLiteral("unix:path=") + m_folder.filePath(QStringLiteral("no-bus"))
                                                : busAddress);
        m_watch.setProcessEnvironment(environment);
        m_watch.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"),
                      QStringList{QStringLiteral("watch"), QStringLiteral("--archive"), m_strArchive} + options);
        ASSERT_TRUE(m_watch.waitForStarted(kTimeoutMs));
    }

    // What the watcher printed so far.
    QString Output()
    {
        m_strOut += QString::fromUtf8(m_watch.readAllStandardOutput());
        return m_strOut;
    }
    QString Errors()
    {
        m_strErr += QString::fromUtf8(m_watch.readAllStandardError());
        return m_strErr;
    }

    // Waits for the line to be printed count times in all.
    bool WaitForLines(const QString& line, qsizetype count)
    {
        return WaitUntil([&] { return Output().split(u'\n').count(line) >= count; });
    }

    void Lay(const QString& image)
    {
        const QString error = m_pcscd.InsertCard(image);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    void Lift()
    {
        const QString error = m_pcscd.RemoveCard();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    // Entries the archive holds, card by card.
    std::vector<int64_t> ArchivedEntries()
    {
        CHistoryArchive archive(m_strArchive);
        std::vector<SArchivedCard> cards;
        EXPECT_TRUE(archive.Cards(cards)) << archive.LastError().toStdString();
        std::vector<int64_t> counts;
        for (const SArchivedCard& card : cards)
            counts.push_back(card.nEntries);
        return counts;
    }

    // The sample card under another IDm: a second card.
    QString SecondCard()
    {
        QFile sample(kImagePath);
        EXPECT_TRUE(sample.open(QIODevice::ReadOnly));
        QJsonObject image = QJsonDocument::fromJson(sample.readAll()).object();
        image.insert(QStringLiteral("idm"), QStringLiteral("01010312A4B5C6FF"));
        const QString path = m_folder.filePath(QStringLiteral("second.json"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(image).toJson());
        return path;
    }

    void EndWith(int signal)
    {
        ::kill(static_cast<pid_t>(m_watch.processId()), signal);
        ASSERT_TRUE(m_watch.waitForFinished(5000)) << "the watcher did not end";
        EXPECT_EQ(m_watch.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(m_watch.exitCode(), 0) << Errors().toStdString();
    }

    QTemporaryDir m_folder;
    QString m_strArchive;
    CPrivatePcscd m_pcscd;
    QProcess m_watch;
    QString m_strOut;
    QString m_strErr;
};

// Started first, then every way a card comes and goes: each laid card read once, merged once.
TEST_F(Watch, ReadsEachCardLaidOnceThroughRestartsAndReaderChanges)
{
    ASSERT_NO_FATAL_FAILURE(StartWatch(QString()));

    ASSERT_NO_FATAL_FAILURE(Lay(kImagePath));
    ASSERT_TRUE(WaitForLines(kSaved, 1)) << Output().toStdString() << Errors().toStdString();
    EXPECT_TRUE(Output().contains(QStringLiteral("残高 "))) << Output().toStdString();
    EXPECT_EQ(ArchivedEntries(), std::vector<int64_t>{10});

    // Lying there, it is not read again; lifted and laid again, it is, and adds nothing.
    QThread::msleep(1500);
    EXPECT_EQ(Output().count(QStringLiteral("件の利用履歴を保存しました")), 1) << Output().toStdString();
    ASSERT_NO_FATAL_FAILURE(Lift());
    ASSERT_NO_FATAL_FAILURE(Lay(kImagePath));
    ASSERT_TRUE(WaitForLines(kNothingNew, 1)) << Output().toStdString() << Errors().toStdString();
    EXPECT_EQ(ArchivedEntries(), std::vector<int64_t>{10});

    // A second card.
    ASSERT_NO_FATAL_FAILURE(Lift());
    ASSERT_NO_FATAL_FAILURE(Lay(SecondCard()));
    ASSERT_TRUE(WaitForLines(kSaved, 2)) << Output().toStdString() << Errors().toStdString();
    EXPECT_EQ(ArchivedEntries(), (std::vector<int64_t>{10, 10}));

    // voluni read beside the watcher: the reader is free, the merge adds nothing twice.
    QProcess read;
    read.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"),
               {QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("2"), QStringLiteral("--archive"),
                m_strArchive});
    ASSERT_TRUE(read.waitForFinished(kTimeoutMs));
    EXPECT_EQ(read.exitCode(), 0) << read.readAllStandardError().toStdString();
    EXPECT_EQ(ArchivedEntries(), (std::vector<int64_t>{10, 10}));

    // pcscd stopped: said once however long it stays away; restarted, the card laid is read.
    const QString stopped = QStringLiteral("SmartCardサービスが停止しています。");
    m_pcscd.StopDaemon();
    ASSERT_TRUE(WaitUntil([&] { return Errors().contains(stopped); })) << Errors().toStdString();
    QThread::msleep(2500);
    // Said once, and only as what it is.
    EXPECT_EQ(Errors(), QStringLiteral("voluni: ") + stopped + QStringLiteral("\n起動するには: sudo systemctl start pcscd\n"));
    QString error = m_pcscd.Restart();
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_NO_FATAL_FAILURE(Lay(kImagePath));
    ASSERT_TRUE(WaitForLines(kNothingNew, 2)) << Output().toStdString() << Errors().toStdString();

    // The reader taken away and another one come: the card is read there.
    error = m_pcscd.Restart(QStringList{QLatin1String(kOtherReader)});
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_NO_FATAL_FAILURE(Lay(SecondCard()));
    ASSERT_TRUE(WaitForLines(kNothingNew, 3)) << Output().toStdString() << Errors().toStdString();
    EXPECT_EQ(ArchivedEntries(), (std::vector<int64_t>{10, 10}));

    ASSERT_NO_FATAL_FAILURE(EndWith(SIGTERM));
}

// SIGTERM while the laid card is read: the watcher ends at once, and the archive holds the
// read whole or not at all.
TEST_F(Watch, EndsAtOnceMidReadWithTheArchiveWhole)
{
    ASSERT_NO_FATAL_FAILURE(StartWatch(QString()));
    QThread::msleep(300);
    ASSERT_NO_FATAL_FAILURE(Lay(kImagePath));
    QElapsedTimer ending;
    ending.start();
    ASSERT_NO_FATAL_FAILURE(EndWith(SIGTERM));
    EXPECT_LT(ending.elapsed(), 3000);
    const std::vector<int64_t> entries = ArchivedEntries();
    EXPECT_TRUE(entries.empty() || entries == std::vector<int64_t>{10});
}

// A failure is told and the watch goes on: the next card laid is saved.
TEST_F(Watch, AnArchiveThatCannotBeWrittenIsToldAndTheWatchGoesOn)
{
    QFile garbage(m_strArchive);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    ASSERT_NO_FATAL_FAILURE(StartWatch(QString()));
    ASSERT_NO_FATAL_FAILURE(Lay(kImagePath));
    ASSERT_TRUE(WaitUntil([&] { return Errors().contains(QStringLiteral("the read was not archived")); }))
        << Errors().toStdString() << Output().toStdString();
    EXPECT_EQ(m_watch.state(), QProcess::Running);

    ASSERT_NO_FATAL_FAILURE(Lift());
    ASSERT_TRUE(QFile::remove(m_strArchive));
    ASSERT_NO_FATAL_FAILURE(Lay(kImagePath));
    ASSERT_TRUE(WaitForLines(kSaved, 1)) << Output().toStdString() << Errors().toStdString();
    EXPECT_EQ(ArchivedEntries(), std::vector<int64_t>{10});
    ASSERT_NO_FATAL_FAILURE(EndWith(SIGTERM));
}

// With a notification service on the session bus, the read is told there and not printed;
// --quiet tells nothing of a read without gaps.
TEST_F(Watch, TellsTheNotificationServiceOnTheSessionBus)
{
    QTemporaryDir busFolder;
    ASSERT_TRUE(busFolder.isValid());
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--address=unix:path=") + busFolder.filePath(QStringLiteral("bus")),
               QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    ASSERT_TRUE(bus.waitForStarted(kTimeoutMs)) << bus.errorString().toStdString();
    ASSERT_TRUE(bus.waitForReadyRead(kTimeoutMs)) << bus.readAllStandardError().toStdString();
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();

    {
        QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("notifications"));
        ASSERT_TRUE(connection.isConnected()) << connection.lastError().message().toStdString();
        CNotificationListener listener;
        ASSERT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &listener,
                                              QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));

        ASSERT_NO_FATAL_FAILURE(StartWatch(address));
        ASSERT_NO_FATAL_FAILURE(Lay(kImagePath));
        ASSERT_TRUE(WaitUntil([&] { return !listener.summaries.isEmpty(); })) << Errors().toStdString();
        EXPECT_EQ(listener.summaries, QStringList{kSaved});
        EXPECT_TRUE(listener.bodies.value(0).startsWith(QStringLiteral("残高 "))) << listener.bodies.value(0).toStdString();
        EXPECT_FALSE(Output().contains(kSaved)) << Output().toStdString();
        ASSERT_NO_FATAL_FAILURE(EndWith(SIGINT));

        // Quiet: a read that found no gap is not told.
        ASSERT_NO_FATAL_FAILURE(Lift());
        ASSERT_NO_FATAL_FAILURE(StartWatch(address, {QStringLiteral("--quiet")}));
        ASSERT_NO_FATAL_FAILURE(Lay(kImagePath));
        ASSERT_TRUE(WaitUntil([&] { return ArchivedEntries() == std::vector<int64_t>{10}; }));
        QThread::msleep(1000);
        QCoreApplication::processEvents();
        EXPECT_EQ(listener.summaries.size(), 1);
        ASSERT_NO_FATAL_FAILURE(EndWith(SIGTERM));
        connection.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("notifications"));
    bus.terminate();
    bus.waitForFinished(5000);
}

} // namespace

#include "WatchTest.moc"
