// The command-line tool's commands, run in-process with a recorded message presenter.
#include "card/AppMessage.h"
#include "readers/sim/CardImage.h"
#include "EntryFileBytes.h"
#include "document/EntryInfoData.h"
#include "cli/ExitCode.h"
#include "FaultyPcscService.h"
#include "StationDbFixture.h"
#include "resources/StringTable.h"
#include "VoluniCommandFixture.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>

namespace {

// A message as the tool prints it: on one line, but for the stopped service,
// whose line of its own says how to start pcscd.
QString MessageFor(int id)
{
    if (id == IDS_SMARTCARD_SERVICE_STOPPED)
        return LoadResString(id) + QLatin1Char('\n') + LoadResString(IDS_PCSCD_START_HINT);
    return LoadResString(id).simplified();
}

TEST_F(VoluniCommandTest, ShowPrintsEveryFieldOfAVersion3File)
{
    CEntryInfoData data;
    data.m_time = 1700000000;
    data.m_entries.push_back(FareEntry());
    auto charge = FareEntry();
    charge->amount = -1000;
    charge->apply = 0;
    data.m_entries.push_back(std::move(charge));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    data.Store(buffer);
    const QString path = WriteFile(QStringLiteral("v3.ent"), buffer.data());

    ASSERT_EQ(Run({QStringLiteral("show"), path}), EXIT_OK) << m_messages.join('\n').toStdString();
    const QJsonObject root = Json();
    EXPECT_FALSE(root.contains(QStringLiteral("card")));
    const QJsonArray entries = root.value(QStringLiteral("entries")).toArray();
    ASSERT_EQ(entries.size(), 2);
    const QJsonObject e = entries.at(0).toObject();
    EXPECT_EQ(e.size(), 36);
    EXPECT_TRUE(e.value(QStringLiteral("entryTime")).isNull()) << "an entry file keeps no times";
    EXPECT_EQ(e.value(QStringLiteral("apply")).toInt(), 1);
    EXPECT_EQ(e.value(QStringLiteral("claimed")).toBool(), true);
    EXPECT_EQ(e.value(QStringLiteral("idm")).toString(), QStringLiteral("012E4C0012ABCDEF"));
    EXPECT_EQ(e.value(QStringLiteral("terminalKind")).toInt(), 0x16);
    EXPECT_EQ(e.value(QStringLiteral("dateTime")).toInteger(), 1609426800);
    EXPECT_EQ(e.value(QStringLiteral("entryStationName")).toString(), QStringLiteral("東京"));
    EXPECT_EQ(e.value(QStringLiteral("entryLatitude")).toDouble(), 35.681264);
    EXPECT_EQ(e.value(QStringLiteral("bearing")).toDouble(), 287.5);
    EXPECT_EQ(e.value(QStringLiteral("remarks")).toString(), QStringLiteral("say \"hi\""));
    EXPECT_EQ(entries.at(1).toObject().value(QStringLiteral("amount")).toInt(), -1000);

    ASSERT_EQ(Run({QStringLiteral("show"), path, QStringLiteral("--format"), QStringLiteral("csv")}), EXIT_OK);
    const QStringList rows = QString::fromUtf8(m_output).split(QStringLiteral("\r\n"));
    ASSERT_EQ(rows.size(), 4); // header, two rows, the empty text after the last line end
    EXPECT_EQ(rows[0], QStringLiteral("申請,日付,入場会社名,入場路線名,入場駅名,出場会社名,出場路線名,出場駅名,"
                                      "料金/入金額,残高,訪問先,備考"));
    // The export's form: plain integer amounts (a charge as its magnitude), UTF-8.
    EXPECT_EQ(rows[1], QStringLiteral("1,2021/01/01,JR東日本,,東京,,,\"新宿, 西口\",1500,12345,,"
                                      "\"say \"\"hi\"\"\""));
    EXPECT_EQ(rows[2], QStringLiteral("0,2021/01/01,JR東日本,,東京,,,\"新宿, 西口\",1000,12345,,"
                                      "\"say \"\"hi\"\"\""));
    EXPECT_EQ(entries.at(1).toObject().value(QStringLiteral("claimed")).toBool(), false) << "a charge is no claim";

    ASSERT_EQ(Run({QStringLiteral("show"), path, QStringLiteral("--format"), QStringLiteral("csv"),
                   QStringLiteral("--columns"), QStringLiteral("1,9"), QStringLiteral("--encoding"),
                   QStringLiteral("sjis")}),
              EXIT_OK);
    EXPECT_EQ(m_output, QByteArray::fromHex("905c90bf2c97bf8be02f93fc8be08a7a") + "\r\n1,1500\r\n0,1000\r\n")
        << "申請,料金/入金額 in Shift_JIS";
}

TEST_F(VoluniCommandTest, ShowReadsAVersion1File)
{
    EntryFileBytes file;
    file.Text(QStringLiteral("<## EntryInfoData ##>")).U32(1).Hex("00 E1 F5 05").I32(1); // stored time 100000000
    file.U8(1).Hex("0102030405060708").U8(0x16).U8(0x01).Time(1609426800);
    file.I32(800).I32(200).I32(7).I32(0xC5);
    file.Text(QStringLiteral("本社")).Text(QString());
    file.U8(3).I32(1).I32(1).Text(QStringLiteral("東京")).Text(QStringLiteral("東海道")).Text(QStringLiteral("JR"));
    file.U8(3).I32(1).I32(2).Text(QStringLiteral("有楽町")).Text(QString()).Text(QString());
    const QString path = WriteFile(QStringLiteral("v1.ent"), file.Bytes());

    ASSERT_EQ(Run({QStringLiteral("show"), path}), EXIT_OK) << m_messages.join('\n').toStdString();
    const QJsonObject root = Json();
    EXPECT_EQ(root.value(QStringLiteral("time")).toInteger(), 100000000);
    const QJsonObject e = root.value(QStringLiteral("entries")).toArray().at(0).toObject();
    EXPECT_EQ(e.value(QStringLiteral("idm")).toString(), QStringLiteral("0102030405060708"));
    EXPECT_EQ(e.value(QStringLiteral("balance")).toInt(), 800);
    EXPECT_EQ(e.value(QStringLiteral("amount")).toInt(), 200);
    EXPECT_EQ(e.value(QStringLiteral("region")).toInt(), 0xC5);
    EXPECT_EQ(e.value(QStringLiteral("destination")).toString(), QStringLiteral("本社"));
    EXPECT_EQ(e.value(QStringLiteral("exitStationName")).toString(), QStringLiteral("有楽町"));
    EXPECT_EQ(e.value(QStringLiteral("distance")).toInt(), 0);
    EXPECT_EQ(e.value(QStringLiteral("paymentKind")).toInt(), 0);
}

TEST_F(VoluniCommandTest, BrokenFilesPrintNothingAndSayWhy)
{
    CEntryInfoData data;
    data.m_entries.push_back(FareEntry());
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    data.Store(buffer);
    const struct {
        const char* name;
        QByteArray bytes;
        int message;
    } cases[] = {
        {"truncated.ent", buffer.data().left(buffer.data().size() - 3), AFX_IDP_FAILED_INVALID_FORMAT},
        {"foreign.ent", QByteArray("PK\x03\x04 not an entry file"), AFX_IDP_FAILED_INVALID_FORMAT},
    };
    for (const auto& c : cases) {
        m_messages.clear();
        EXPECT_EQ(Run({QStringLiteral("show"), WriteFile(QString::fromLatin1(c.name), c.bytes)}), EXIT_FILE);
        EXPECT_TRUE(m_output.isEmpty()) << c.name;
        ASSERT_EQ(m_messages.size(), 1) << c.name;
        EXPECT_EQ(m_messages[0], LoadResString(c.message)) << c.name;
    }
    EXPECT_EQ(Run({QStringLiteral("show"), m_dir.filePath(QStringLiteral("missing.ent"))}), EXIT_FILE);
    EXPECT_TRUE(m_output.isEmpty());
}

TEST_F(VoluniCommandTest, ReadNamesTheCardImageEntries)
{
    CStationDbFixture database;
    ASSERT_TRUE(database.Built()) << database.BuildError().toStdString();
    const QString image = WriteFile(QStringLiteral("card.json"), Compact(kCardImage).toUtf8());

    ASSERT_EQ(Run({QStringLiteral("read"), QStringLiteral("--card-image"), image, QStringLiteral("--database"),
                   database.DatabasePath(), QStringLiteral("--polling-time"), QStringLiteral("0")}),
              EXIT_OK)
        << m_messages.join('\n').toStdString();
    EXPECT_TRUE(m_messages.isEmpty());
    const QJsonObject root = Json();
    const QJsonObject card = root.value(QStringLiteral("card")).toObject();
    EXPECT_EQ(card.value(QStringLiteral("idm")).toString(), QStringLiteral("012E4C0012ABCDEF"));
    EXPECT_EQ(card.value(QStringLiteral("pmm")).toString(), QStringLiteral("100B4B428485D0FF"));
    EXPECT_EQ(card.value(QStringLiteral("balance")).toInt(), 360);
    EXPECT_FALSE(root.contains(QStringLiteral("time")));

    const QJsonArray entries = root.value(QStringLiteral("entries")).toArray();
    ASSERT_EQ(entries.size(), 5);
    struct Expected {
        int amount;
        int apply;
        const char* entryStation;
        const char* exitStation;
        const char* remarks;
    };
    const Expected expected[] = {
        {0, 0, "東京", "有楽町", ""},
        {-1000, 0, "", "", "現金チャージ"},
        {180, 1, "有楽町", "東京", ""},
        {200, 1, "", "三室山下", "バス等"},
        {260, 0, "", "", "物販"},
    };
    for (int i = 0; i < 5; ++i) {
        const QJsonObject e = entries.at(i).toObject();
        EXPECT_EQ(e.value(QStringLiteral("amount")).toInt(), expected[i].amount) << i;
        EXPECT_EQ(e.value(QStringLiteral("apply")).toInt(), expected[i].apply) << i;
        EXPECT_EQ(e.value(QStringLiteral("entryStationName")).toString(), QString::fromUtf8(expected[i].entryStation)) << i;
        EXPECT_EQ(e.value(QStringLiteral("exitStationName")).toString(), QString::fromUtf8(expected[i].exitStation)) << i;
        EXPECT_EQ(e.value(QStringLiteral("remarks")).toString(), QString::fromUtf8(expected[i].remarks)) << i;
        EXPECT_EQ(e.value(QStringLiteral("idm")).toString(), QStringLiteral("012E4C0012ABCDEF")) << i;
    }
    const QJsonObject fare = entries.at(2).toObject();
    EXPECT_EQ(fare.value(QStringLiteral("entryCompany")).toString(), QStringLiteral("JR東日本"));
    EXPECT_EQ(fare.value(QStringLiteral("entryLine")).toInt(), 1);
    EXPECT_EQ(fare.value(QStringLiteral("exitStation")).toInt(), 1);
    EXPECT_GT(fare.value(QStringLiteral("distance")).toInt(), 600);
    const QJsonObject bus = entries.at(3).toObject();
    EXPECT_EQ(bus.value(QStringLiteral("exitLine")).toInt(), 3665);
    EXPECT_EQ(bus.value(QStringLiteral("exitStation")).toInt(), 1866);
    EXPECT_EQ(bus.value(QStringLiteral("exitCompany")).toString(), QStringLiteral("奈良交通"));
    EXPECT_EQ(entries.at(4).toObject().value(QStringLiteral("dateTime")).toInteger(),
              1609426800 + 86400 + 20 * 3600 + 47 * 60);
}

TEST_F(VoluniCommandTest, ReaderFailuresHaveTheirExitCodesAndMessages)
{
    CCardImage card;
    ASSERT_TRUE(card.LoadJson(Compact(kCardImage).toUtf8()).isEmpty());
    const struct {
        const char* name;
        std::function<void(CFaultyPcscService&)> setUp;
        int exitCode;
        int message;
    } cases[] = {
        {"noReader", [](auto& s) { s.SetReaderAttached(false); }, EXIT_NO_READER, IDS_READER_NOT_CONNECTED},
        {"serviceStopped", [](auto& s) { s.SetServiceRunning(false); }, EXIT_SERVICE_STOPPED,
         IDS_SMARTCARD_SERVICE_STOPPED},
        {"noCard", [](auto& s) { s.SetCardAfterAttempts(1000); }, EXIT_NO_CARD, IDS_CARD_READ_FAILED},
    };
    for (const auto& c : cases) {
        auto service = std::make_shared<CFaultyPcscService>(card);
        c.setUp(*service);
        SetPcscService(service);
        m_messages.clear();
        EXPECT_EQ(Run({QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("0")}), c.exitCode)
            << c.name;
        EXPECT_TRUE(m_output.isEmpty()) << c.name;
        ASSERT_EQ(m_messages.size(), 1) << c.name;
        EXPECT_EQ(m_messages[0], MessageFor(c.message)) << c.name;
    }
}

// Faults in the middle of a read with a wait: an exchange that never returns ends the
// read at its deadline as a card not read; a service still gone when the wait ends is
// reported as stopped.
TEST_F(VoluniCommandTest, ReadThatLosesItsReaderOrServiceEndsWithTheirExitCodes)
{
    // Long for every exchange that answers; the stalled one never does.
    const CTestDeadline deadline(std::chrono::seconds(1));
    CCardImage card;
    ASSERT_TRUE(card.LoadJson(Compact(kCardImage).toUtf8()).isEmpty());
    // Two pollings, the read's preparation, then block 0.
    constexpr size_t kBlock0 = 3;
    const struct {
        const char* name;
        CFaultyPcscService::ETransmitFault fault;
        int exitCode;
        int message;
    } cases[] = {
        {"stalled", CFaultyPcscService::ETransmitFault::Stall, EXIT_NO_CARD, IDS_CARD_READ_FAILED},
        {"serviceLost", CFaultyPcscService::ETransmitFault::StopService, EXIT_SERVICE_STOPPED,
         IDS_SMARTCARD_SERVICE_STOPPED},
    };
    for (const auto& c : cases) {
        auto service = std::make_shared<CFaultyPcscService>(card);
        service->SetTransmitFault(kBlock0, c.fault);
        SetPcscService(service);
        m_messages.clear();
        EXPECT_EQ(Run({QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("1")}), c.exitCode)
            << c.name;
        EXPECT_TRUE(m_output.isEmpty()) << c.name;
        ASSERT_EQ(m_messages.size(), 1) << c.name;
        EXPECT_EQ(m_messages[0], MessageFor(c.message)) << c.name;
        EXPECT_EQ(service->Stalls(), c.fault == CFaultyPcscService::ETransmitFault::Stall ? 1u : 0u)
            << c.name << ": only the stalled exchange timed out";
        service->EndStall();
        EXPECT_TRUE(WaitForAbandonedCalls()) << c.name;
    }
}

TEST_F(VoluniCommandTest, BadArgumentsAndImagesAreRefused)
{
    const QString image = WriteFile(QStringLiteral("card.json"), Compact(kCardImage).toUtf8());
    const QString badDate = WriteFile(QStringLiteral("date.json"),
                                      Compact(kCardImage).replace(QStringLiteral("2A22A5E0"), QStringLiteral("2A20A5E0")).toUtf8());
    const QString broken = WriteFile(QStringLiteral("broken.json"), QByteArray(R"({"idm": "12"})"));
    // An unknown reader is read only when its card's ATR announces FeliCa; this one is a
    // MIFARE card's.
    const QString notFelica = WriteFile(
        QStringLiteral("mifare.json"),
        Compact(kCardImage).replace(0, 1, QStringLiteral(R"({"atr": "3B8F8001804F0CA000000306030001000000006A", )")).toUtf8());
    const struct {
        QStringList args;
        int exitCode;
    } cases[] = {
        {{}, EXIT_USAGE},
        {{QStringLiteral("print")}, EXIT_USAGE},
        {{QStringLiteral("show")}, EXIT_USAGE},
        {{QStringLiteral("read"), QStringLiteral("--format"), QStringLiteral("xml")}, EXIT_USAGE},
        {{QStringLiteral("read"), QStringLiteral("--polling-time"), QStringLiteral("soon")}, EXIT_USAGE},
        {{QStringLiteral("read"), QStringLiteral("--reader"), QStringLiteral("X")}, EXIT_USAGE},
        {{QStringLiteral("read"), QStringLiteral("--card-image"), broken}, EXIT_CARD_IMAGE},
        {{QStringLiteral("read"), QStringLiteral("--card-image"), m_dir.filePath(QStringLiteral("none.json"))},
         EXIT_CARD_IMAGE},
        {{QStringLiteral("read"), QStringLiteral("--card-image"), notFelica, QStringLiteral("--reader"),
          QStringLiteral("Unknown Reader 0"), QStringLiteral("--polling-time"), QStringLiteral("0")},
         EXIT_READER_OPEN},
        {{QStringLiteral("read"), QStringLiteral("--card-image"), badDate, QStringLiteral("--polling-time"),
          QStringLiteral("0")},
         EXIT_INVALID_DATE},
    };
    for (const auto& c : cases) {
        m_messages.clear();
        EXPECT_EQ(Run(c.args), c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(m_output.isEmpty()) << c.args.join(' ').toStdString();
        EXPECT_FALSE(m_messages.isEmpty()) << c.args.join(' ').toStdString();
    }
    // The viewer's words for a bad date, not the decoder's English.
    EXPECT_EQ(m_messages.value(m_messages.size() - 1),
              QStringLiteral("カードの履歴に正しくない日付（2021-01-00 20:47）があるため、読み込みを中止しました。"));
}

// The program itself: output on standard output, the file written by --output.
TEST_F(VoluniCommandTest, ProgramWritesStandardOutputOrTheOutputFile)
{
    CStationDbFixture database;
    ASSERT_TRUE(database.Built());
    const QString image = WriteFile(QStringLiteral("card.json"), Compact(kCardImage).toUtf8());
    const QString program = QStringLiteral(VOLUNI_BINARY_DIR "/bin/voluni");
    const QStringList read = {QStringLiteral("read"), QStringLiteral("--card-image"), image,
                              QStringLiteral("--database"), database.DatabasePath(),
                              QStringLiteral("--polling-time"), QStringLiteral("0")};
    QProcess process;
    process.start(program, read);
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), EXIT_OK) << process.readAllStandardError().toStdString();
    const QJsonObject root = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    EXPECT_EQ(root.value(QStringLiteral("entries")).toArray().size(), 5);

    const QString output = m_dir.filePath(QStringLiteral("out.csv"));
    process.start(program, read + QStringList{QStringLiteral("--format"), QStringLiteral("csv"),
                                              QStringLiteral("--output"), output});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), EXIT_OK);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    QFile csv(output);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count("\r\n"), 6);

    process.start(program, {QStringLiteral("show"), m_dir.filePath(QStringLiteral("missing.ent"))});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), EXIT_FILE);
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_TRUE(process.readAllStandardError().startsWith("voluni: "));
}

} // namespace

namespace {

// `voluni readers` over the simulated reader: what it says of each kind of reader.
TEST_F(VoluniCommandTest, ReadersListsTheModuleTheCardAndTheIdm)
{
    CCardImage card;
    ASSERT_TRUE(card.LoadJson(Compact(kCardImage).toUtf8()).isEmpty());
    const QString idm = QByteArray(reinterpret_cast<const char*>(card.m_idm.data()), 8).toHex(' ').toUpper();
    const struct {
        const char* name;
        const char* reader;
        std::vector<uint8_t> atr; // empty: the FeliCa ATR
        int exitCode;
        QString says;
    } cases[] = {
        {"sony", "SONY FeliCa RC-S300/P (0236798) 00 00", {}, EXIT_OK,
         QStringLiteral("  module: CPcscStorageCard, Sony reader")},
        {"acr122u", "ACS ACR122U PICC Interface 00 00", {}, EXIT_OK, QStringLiteral("  IDm: ") + idm},
        {"known", "ACS ACR1252 Dual Reader [ACR1252 Dual Reader PICC] 00 00", {}, EXIT_OK,
         QStringLiteral("known reader type 7")},
        {"samSlot", "ACS ACR1252 Dual Reader [ACR1252 Dual Reader SAM] 01 00", {}, EXIT_READER_OPEN,
         QStringLiteral("a SAM or contact slot")},
        {"notFelica", "Generic NFC Reader 00 00", {0x3B, 0x80, 0x80, 0x01, 0x01}, EXIT_READER_OPEN,
         QStringLiteral("  card: present, ATR 3B 80 80 01 01\n")},
    };
    for (const auto& c : cases) {
        auto service = std::make_shared<CFaultyPcscService>(card, c.reader);
        if (!c.atr.empty())
            service->Card().SetAtr(c.atr);
        SetPcscService(service);
        EXPECT_EQ(Run({QStringLiteral("readers")}), c.exitCode) << c.name;
        const QString text = QString::fromUtf8(m_output);
        EXPECT_TRUE(text.startsWith(QString::fromUtf8(c.reader) + QLatin1Char('\n'))) << c.name;
        EXPECT_TRUE(text.contains(c.says)) << c.name << "\n" << text.toStdString();
        // Listing never writes a reader mode.
        for (const auto& frame : service->Frames())
            EXPECT_EQ(frame.channel, CSimulatedPcscService::SFrame::EChannel::Transmit) << c.name;
    }
}

TEST_F(VoluniCommandTest, ReadersWithoutReaderOrServiceSayWhy)
{
    CCardImage card;
    ASSERT_TRUE(card.LoadJson(Compact(kCardImage).toUtf8()).isEmpty());
    auto service = std::make_shared<CFaultyPcscService>(card);
    SetPcscService(service);
    service->SetReaderAttached(false);
    EXPECT_EQ(Run({QStringLiteral("readers")}), EXIT_NO_READER);
    service->SetServiceRunning(false);
    EXPECT_EQ(Run({QStringLiteral("readers")}), EXIT_SERVICE_STOPPED);
    EXPECT_EQ(m_messages, QStringList({LoadResString(IDS_READER_NOT_CONNECTED), MessageFor(IDS_SMARTCARD_SERVICE_STOPPED)}));
}

} // namespace
