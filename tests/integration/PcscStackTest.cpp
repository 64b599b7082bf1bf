// The reader layer end to end through the real pcsc-lite: our own pcscd, the vpcd
// virtual reader named as a known reader, and the virtual card answering from an image.
#include "readers/sim/CardImage.h"
#include "card/CardSession.h"
#include "readers/CardReadAttempt.h"
#include "readers/CardPresence.h"
#include "readers/FelicaMod.h"
#include "FaultyPcscService.h"
#include "PrivatePcscd.h"

#include <PCSC/pcsclite.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr const char* kAcsReader = "ACS ACR1251 CL Reader PICC";
constexpr const char* kCircleReader = "Circle CIR315 CL";
const QString kImagePath = QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json");

class PcscStack : public testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_PRIVATE_PCSCD();
        CPrivatePcscd::UsePrivateSocket();
        // No vendor library either: the coordinator's fallback finds nothing.
        ASSERT_TRUE(m_noLibrary.isValid());
        setenv("VOLUNI_COMMON_FILES_DIR", m_noLibrary.path().toLocal8Bit().constData(), 1);
        const QString error = m_image.LoadFile(kImagePath);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    void TearDown() override { m_pcscd.Stop(); }

    void StartWithCard(const char* friendlyName)
    {
        QString error = m_pcscd.Start(QLatin1String(friendlyName));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        error = m_pcscd.InsertCard(kImagePath);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    std::vector<uint8_t> Idm() const { return {m_image.m_idm.begin(), m_image.m_idm.end()}; }
    std::vector<uint8_t> Pmm() const { return {m_image.m_pmm.begin(), m_image.m_pmm.end()}; }

    QTemporaryDir m_noLibrary;
    CPrivatePcscd m_pcscd;
    CCardImage m_image;
};

struct SKnownReader {
    const char* name;
    const char* friendlyName;
    int readerType;
};

void PrintTo(const SKnownReader& reader, std::ostream* out)
{
    *out << reader.friendlyName;
}

class PcscStackModules : public PcscStack, public testing::WithParamInterface<SKnownReader> {};

// What the card wait dialog does: the coordinator opens the reader, then poll and read.
TEST_P(PcscStackModules, CoordinatorFindsTheReaderAndTheModuleReadsTheImage)
{
    ASSERT_NO_FATAL_FAILURE(StartWithCard(GetParam().friendlyName));
    CFelicaMod felica;
    ASSERT_EQ(felica.FindReader(), SCARD_S_SUCCESS);
    EXPECT_EQ(felica.m_strReader, m_pcscd.ReaderName());
    EXPECT_EQ(felica.m_nReaderType, GetParam().readerType);
    ASSERT_EQ(felica.OpenReader(), 0);
    ASSERT_TRUE(felica.m_pReader);
    CReaderMod& reader = *felica.m_pReader;
    ASSERT_EQ(reader.IsAvailable(), 1);
    ASSERT_EQ(reader.Open(), 1);

    std::vector<uint8_t> idm(8, 0);
    std::vector<uint8_t> pmm(8, 0);
    EXPECT_EQ(reader.Polling(idm.data(), pmm.data(), 0x865E, 0, 0), 0) << "a system the card lacks";
    ASSERT_EQ(reader.Polling(idm.data(), pmm.data(), 0x0003, 0, 0), 1);
    EXPECT_EQ(idm, Idm());
    EXPECT_EQ(pmm, Pmm());

    HistoryBlockList blocks;
    ASSERT_EQ(reader.ReadBlocks(idm.data(), 0x090F, 0x0003, &blocks, 20), 1);
    EXPECT_EQ(blocks, m_image.m_history);
    HistoryBlockList gate;
    ASSERT_EQ(reader.ReadBlocks(idm.data(), 0x108F, 0x0003, &gate, 3), 1);
    ASSERT_EQ(m_image.m_gate.size(), 3u);
    EXPECT_EQ(gate, m_image.m_gate);
    EXPECT_EQ(reader.Close(), 1);
}

INSTANTIATE_TEST_SUITE_P(Readers, PcscStackModules,
                         testing::Values(SKnownReader{"Acs", kAcsReader, 6}, SKnownReader{"Circle", kCircleReader, 8}),
                         [](const testing::TestParamInfo<SKnownReader>& info) { return std::string(info.param.name); });

// pcsc-lite refuses the connection to an empty reader with SCARD_E_NO_SMARTCARD;
// the adaptor hands it on as an empty reader, so the reader is taken and the
// wait for the card can begin, while polling finds no card.
TEST_F(PcscStack, CoordinatorTakesTheEmptyReaderAndPollingFindsNoCard)
{
    const QString error = m_pcscd.Start(QLatin1String(kAcsReader));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    CFelicaMod felica;
    EXPECT_EQ(felica.FindReader(), 0);
    CFelicaMod opening;
    ASSERT_EQ(opening.OpenReader(), 0);
    CReaderMod& reader = *opening.m_pReader;
    ASSERT_EQ(reader.Open(), 1);
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    EXPECT_EQ(reader.Polling(idm, pmm, 0x0003, 0, 0), 0);
    EXPECT_EQ(reader.Close(), 1);
}

TEST_F(PcscStack, PresenceProbeSeesTheCardLaidOnTheVirtualReader)
{
    const QString error = m_pcscd.Start(QLatin1String(kAcsReader));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    CCardPresenceProbe probe;
    EXPECT_EQ(probe.Look(), ECardPresence::Absent);
    ASSERT_TRUE(m_pcscd.InsertCard(kImagePath).isEmpty());
    // pcscd notices the card at its next look at the driver.
    ECardPresence seen = ECardPresence::Absent;
    for (int i = 0; i < 40 && seen != ECardPresence::Present; ++i) {
        QThread::msleep(50);
        seen = probe.Look();
    }
    EXPECT_EQ(seen, ECardPresence::Present);
}

TEST_F(PcscStack, CoordinatorReportsTheStoppedService)
{
    ASSERT_NO_FATAL_FAILURE(StartWithCard(kAcsReader));
    m_pcscd.Stop();
    CFelicaMod felica;
    EXPECT_EQ(felica.FindReader(), SCARD_E_NO_SERVICE);
    CFelicaMod opening;
    EXPECT_EQ(opening.OpenReader(), -3);
}

} // namespace

namespace {

// The command-line tool reads the card on the real stack, names resolved from the
// station database built beside it.
TEST_F(PcscStack, CommandLineToolReadsTheCard)
{
    ASSERT_NO_FATAL_FAILURE(StartWithCard(kAcsReader));
    QProcess voluni;
    voluni.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"),
                 {QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("2")});
    ASSERT_TRUE(voluni.waitForFinished(30000));
    ASSERT_EQ(voluni.exitCode(), 0) << voluni.readAllStandardError().toStdString() << m_pcscd.Log().toStdString();
    const QJsonObject root = QJsonDocument::fromJson(voluni.readAllStandardOutput()).object();
    const QJsonObject card = root.value(QStringLiteral("card")).toObject();
    EXPECT_EQ(card.value(QStringLiteral("idm")).toString().toStdString(),
              QByteArray(reinterpret_cast<const char*>(m_image.m_idm.data()), 8).toHex().toUpper().toStdString());
    const QJsonArray entries = root.value(QStringLiteral("entries")).toArray();
    ASSERT_EQ(entries.size(), static_cast<qsizetype>(m_image.m_history.size()));
    // Oldest first: the last block of the image is the first entry.
    EXPECT_EQ(entries.first().toObject().value(QStringLiteral("entryStationName")).toString(), QStringLiteral("新宿"));
    // The gate log's times of the newest trip, and of the one before only its exit.
    const QJsonObject newest = entries.last().toObject();
    EXPECT_EQ(newest.value(QStringLiteral("entryTime")).toString(), QStringLiteral("08:12"));
    EXPECT_EQ(newest.value(QStringLiteral("exitTime")).toString(), QStringLiteral("08:41"));
    const QJsonObject before = entries.at(entries.size() - 2).toObject();
    EXPECT_TRUE(before.value(QStringLiteral("entryTime")).isNull());
    EXPECT_EQ(before.value(QStringLiteral("exitTime")).toString(), QStringLiteral("19:05"));
}

} // namespace

namespace {

// Reader names exactly as pcscd lists real devices (driver friendly name, interface,
// serial), each read whole by the command-line tool.
struct SLinuxReader {
    const char* name;
    QStringList friendlyNames; // the readers pcscd offers, in its order
    int cardReader;            // the one the card lies on
    QStringList cardOptions;   // for the virtual card
};

void PrintTo(const SLinuxReader& reader, std::ostream* out)
{
    *out << reader.name;
}

class PcscStackLinuxNames : public PcscStack, public testing::WithParamInterface<SLinuxReader> {
protected:
    // The sample card with twenty history blocks, the most a read takes.
    QString TwentyBlockImage()
    {
        QFile sample(kImagePath);
        EXPECT_TRUE(sample.open(QIODevice::ReadOnly));
        QJsonObject image = QJsonDocument::fromJson(sample.readAll()).object();
        QJsonArray history = image.value(QStringLiteral("history")).toArray();
        const QJsonArray once = history;
        for (const QJsonValue& block : once)
            history.append(block);
        image.insert(QStringLiteral("history"), history);
        const QString path = m_noLibrary.filePath(QStringLiteral("twenty.json"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(image).toJson());
        return path;
    }

    QProcess& RunVoluni(const QStringList& arguments)
    {
        m_voluni.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"), arguments);
        EXPECT_TRUE(m_voluni.waitForFinished(30000));
        return m_voluni;
    }

    QProcess m_voluni;
};

TEST_P(PcscStackLinuxNames, CommandLineToolReadsAllTwentyBlocks)
{
    const SLinuxReader& reader = GetParam();
    QString error = m_pcscd.Start(reader.friendlyNames);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const QString image = TwentyBlockImage();
    // A card on every reader: the one to take is chosen by name, not by where a card is.
    for (int i = 0; i < reader.friendlyNames.size(); ++i) {
        error = m_pcscd.InsertCard(image, i, reader.cardOptions);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    QProcess& voluni = RunVoluni({QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("2")});
    ASSERT_EQ(voluni.exitCode(), 0) << voluni.readAllStandardError().toStdString() << m_pcscd.Log().toStdString();
    const QJsonObject root = QJsonDocument::fromJson(voluni.readAllStandardOutput()).object();
    EXPECT_EQ(root.value(QStringLiteral("entries")).toArray().size(), 20);

    QProcess& listing = RunVoluni({QStringLiteral("readers")});
    EXPECT_EQ(listing.exitCode(), 0);
    const QString text = QString::fromUtf8(listing.readAllStandardOutput());
    const QString taken = m_pcscd.ReaderName(reader.cardReader);
    EXPECT_TRUE(text.contains(taken + QStringLiteral("\n  module: CPcsc"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("IDm: ") + QByteArray(reinterpret_cast<const char*>(m_image.m_idm.data()), 8)
                                                           .toHex(' ')
                                                           .toUpper()))
        << text.toStdString();
}

const QString kAcr1252Sam = QStringLiteral("ACS ACR1252 Dual Reader [ACR1252 Dual Reader SAM]");
const QString kAcr1252Picc = QStringLiteral("ACS ACR1252 Dual Reader [ACR1252 Dual Reader PICC]");

INSTANTIATE_TEST_SUITE_P(Readers, PcscStackLinuxNames, testing::Values(
    SLinuxReader{"SonyRcS300", {QStringLiteral("SONY FeliCa RC-S300/P (0236798)")}, 0, {}},
    SLinuxReader{"Acr122u", {QStringLiteral("ACS ACR122U PICC Interface")}, 0, {}},
    SLinuxReader{"Acr122uGetResponse", {QStringLiteral("ACS ACR122U PICC Interface")}, 0,
                 {QStringLiteral("--pn532-get-response")}},
    SLinuxReader{"Acr1252Libccid", {kAcr1252Picc}, 0, {}},
    SLinuxReader{"Acr1252AcsDriver", {QStringLiteral("ACS ACR1252 1S CL Reader [ACR1252 1S CL Reader PICC] (1A2B3C4D)")},
                 0, {}},
    SLinuxReader{"UnknownWithFelicaAtr", {QStringLiteral("Generic NFC Reader [Contactless Interface] (0001)")}, 0, {}},
    SLinuxReader{"OneBlockPerCommand", {QStringLiteral("SONY FeliCa RC-S660/U")}, 0,
                 {QStringLiteral("--blocks-per-read"), QStringLiteral("1")}},
    // The SAM slot is listed first and holds a card too; the contactless slot is taken.
    SLinuxReader{"SamSlotBesideContactless", {kAcr1252Sam, kAcr1252Picc}, 1, {}}),
    [](const testing::TestParamInfo<SLinuxReader>& info) { return std::string(info.param.name); });

TEST_F(PcscStack, UnknownReaderWithACardThatIsNotFelicaCannotBeOpened)
{
    QString error = m_pcscd.Start(QStringLiteral("Generic NFC Reader [Contactless Interface]"));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    // A MIFARE Classic 1K in the storage-card form.
    QFile sample(kImagePath);
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    QJsonObject image = QJsonDocument::fromJson(sample.readAll()).object();
    image.insert(QStringLiteral("atr"), QStringLiteral("3B8F8001804F0CA000000306030001000000006A"));
    const QString path = m_noLibrary.filePath(QStringLiteral("mifare.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(image).toJson());
    file.close();
    error = m_pcscd.InsertCard(path);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    QProcess voluni;
    voluni.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"),
                 {QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("0")});
    ASSERT_TRUE(voluni.waitForFinished(30000));
    EXPECT_EQ(voluni.exitCode(), 4);
    EXPECT_TRUE(QString::fromUtf8(voluni.readAllStandardError()).contains(QStringLiteral("カードリーダーのオープンに失敗しました。")));

    voluni.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"), {QStringLiteral("readers")});
    ASSERT_TRUE(voluni.waitForFinished(30000));
    EXPECT_EQ(voluni.exitCode(), 4);
    EXPECT_TRUE(QString::fromUtf8(voluni.readAllStandardOutput()).contains(QStringLiteral("does not announce FeliCa")));
}

} // namespace

namespace {

// A card that fails mid-read as one on a real reader does, and a pcscd that goes away.
class PcscStackFaults : public PcscStack {
protected:
    void TearDown() override
    {
        m_pcscd.Stop();
        // A call left in a stalled reader returns once the card and pcscd are gone.
        EXPECT_TRUE(WaitForAbandonedCalls());
    }

    void StartWithCard(const QStringList& cardOptions)
    {
        QString error = m_pcscd.Start(QLatin1String(kAcsReader));
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        error = m_pcscd.InsertCard(kImagePath, 0, cardOptions);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }

    // One read as voluni read does it: the wait without a window, its ticks really
    // waited; betweenAttempts runs after each, with the number of ticks so far.
    int Read(int pollingTime, const std::function<void(int)>& betweenAttempts = {})
    {
        CCardSession session(&m_entries, &m_card);
        const int rc = session.ReadCard(pollingTime, [&](CCardReadAttempt& attempt, int) {
            return WaitForCard(attempt, pollingTime, [&](int ms) {
                QThread::msleep(static_cast<unsigned long>(ms));
                if (betweenAttempts)
                    betweenAttempts(++m_nTicks);
                else
                    ++m_nTicks;
            });
        });
        m_blocks = session.blocks;
        return rc;
    }

    CEntryList m_entries;
    CCardRecord m_card;
    HistoryBlockList m_blocks;
    int m_nTicks = 0;
};

// Three blocks into the read the card's connection closes: the reader sees it taken away.
const QStringList kLiftedAfterThreeBlocks = {QStringLiteral("--fault"), QStringLiteral("close"),
                                             QStringLiteral("--fault-after-blocks"), QStringLiteral("3")};

TEST_F(PcscStackFaults, CardLiftedMidReadAndLaidAgainIsReadWhole)
{
    ASSERT_NO_FATAL_FAILURE(StartWithCard(kLiftedAfterThreeBlocks
                                          + QStringList{QStringLiteral("--come-back-after"), QStringLiteral("1000")}));
    EXPECT_EQ(Read(4), 0) << m_pcscd.Log().toStdString();
    EXPECT_GE(m_nTicks, 1) << "the first attempt lost the card";
    EXPECT_EQ(m_blocks, m_image.m_history);
}

TEST_F(PcscStackFaults, CardLiftedMidReadForGoodIsACardNotRead)
{
    ASSERT_NO_FATAL_FAILURE(StartWithCard(kLiftedAfterThreeBlocks));
    EXPECT_EQ(Read(1), -5);
    EXPECT_TRUE(m_blocks.empty());
    EXPECT_EQ(m_card.kind, 0);
}

// pcscd waits for the card without a limit: only the deadline ends the read, at once. The
// deadline is long for every exchange that is answered, so it is the faulty one that meets it.
TEST_F(PcscStackFaults, CardThatStopsAnsweringOrAnswersNothingEndsTheReadAtTheDeadline)
{
    const CTestDeadline deadline(std::chrono::seconds(1));
    for (const char* fault : {"stall", "empty"}) {
        SCOPED_TRACE(fault);
        ASSERT_NO_FATAL_FAILURE(StartWithCard({QStringLiteral("--fault"), QLatin1String(fault),
                                               QStringLiteral("--fault-after-blocks"), QStringLiteral("3")}));
        m_nTicks = 0;
        EXPECT_EQ(Read(5), -5);
        EXPECT_EQ(m_nTicks, 0) << "ended at the deadline, not by the polling time";
        EXPECT_TRUE(m_blocks.empty());
        EXPECT_TRUE(m_pcscd.CardOutput(0).contains(QLatin1String("fault after 3 blocks")))
            << "the read reached the faulty exchange";
        m_pcscd.Stop();
        EXPECT_TRUE(WaitForAbandonedCalls());
    }
}

TEST_F(PcscStackFaults, PcscdRestartedWhileTheWaitPollsIsSeenAgain)
{
    QString error = m_pcscd.Start(QLatin1String(kAcsReader));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    // The reader is empty when the wait begins; at the first tick pcscd is restarted and
    // the card laid on the reader.
    EXPECT_EQ(Read(5, [&](int tick) {
                  if (tick != 1)
                      return;
                  QString restarted = m_pcscd.Restart();
                  if (restarted.isEmpty())
                      restarted = m_pcscd.InsertCard(kImagePath);
                  EXPECT_TRUE(restarted.isEmpty()) << restarted.toStdString();
              }),
              0)
        << m_pcscd.Log().toStdString();
    EXPECT_EQ(m_blocks, m_image.m_history);
}

TEST_F(PcscStackFaults, PcscdStoppedForGoodDuringTheWaitIsAStoppedService)
{
    QString error = m_pcscd.Start(QLatin1String(kAcsReader));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(Read(1, [&](int tick) {
                  if (tick == 1)
                      m_pcscd.StopDaemon();
              }),
              -3);
    EXPECT_TRUE(m_blocks.empty());
}

// The tool itself, with the deadline it ships with: it used to wait for ever.
TEST_F(PcscStackFaults, CommandLineToolGivesUpAStalledCard)
{
    ASSERT_NO_FATAL_FAILURE(StartWithCard({QStringLiteral("--fault"), QStringLiteral("stall"),
                                           QStringLiteral("--fault-after-blocks"), QStringLiteral("3")}));
    QProcess voluni;
    voluni.start(QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni"),
                 {QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("5")});
    ASSERT_TRUE(voluni.waitForFinished(30000));
    EXPECT_EQ(voluni.exitCode(), 6);
    EXPECT_TRUE(voluni.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(QString::fromUtf8(voluni.readAllStandardError()).contains(QStringLiteral("カードの読み込みに失敗しました。")));
}

} // namespace
