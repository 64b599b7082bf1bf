// Storing: exact bytes of version 3, refusal of an empty list, and the round trip.
#include "document/ArchiveError.h"
#include "EntryFileBytes.h"
#include "document/EntryInfoData.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <ostream>
#include <string>

namespace {

QByteArray StoreBytes(const CEntryInfoData& data)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    data.Store(buffer);
    return bytes;
}

std::unique_ptr<CEntryInfo> TrainEntry()
{
    auto e = std::make_unique<CEntryInfo>();
    e->reserved = 0;
    e->apply = 1;
    e->idm = {0x01, 0x2E, 0x44, 0x81, 0x4C, 0x0B, 0x1A, 0x0F};
    e->terminalKind = 0x16;
    e->processKind = 0x01;
    e->paymentKind = 0x00;
    e->rawByte3 = 0x00;
    e->dateTime = 1700000000;
    e->entryArea = 0;
    e->entryLine = 0xE3;
    e->entryStation = 0x2A;
    e->entryStationName = QStringLiteral("新宿");
    e->entryLineName = QStringLiteral("山手");
    e->entryCompany = QStringLiteral("ＪＲ東");
    e->entryLatitude = 35.6896;
    e->entryLongitude = 139.7006;
    e->exitArea = 0;
    e->exitLine = 0xE3;
    e->exitStation = 0x13;
    e->exitStationName = QStringLiteral("東京");
    e->exitLineName = QStringLiteral("山手");
    e->exitCompany = QStringLiteral("ＪＲ東");
    e->exitLatitude = 35.6812;
    e->exitLongitude = 139.7671;
    e->balance = 1234;
    e->sequence = 42;
    e->region = 11;
    e->amount = 210;
    e->distance = 6100;
    e->bearing = 95.5f;
    e->destination = QStringLiteral("客先A");
    e->remarks = QStringLiteral("運賃支払(改札出場)");
    return e;
}

}  // namespace

TEST(EntryFileStore, WritesVersion3ByteForByte)
{
    CEntryInfoData data;
    data.m_time = 1700000123;
    data.m_entries.push_back(TrainEntry());
    auto charge = std::make_unique<CEntryInfo>();
    charge->apply = 0;
    charge->terminalKind = 0xC7;
    charge->processKind = 0x02;
    charge->paymentKind = 0x02;
    charge->rawByte3 = 0x09;
    charge->dateTime = -1;
    charge->amount = -3000;
    charge->balance = 4234;
    charge->remarks = QString(300, QChar(u'円'));
    data.m_entries.push_back(std::move(charge));

    EntryFileBytes b;
    b.Hex("FF FE FF 18");
    for (char c : std::string("<## EntryInfoData V3 ##>"))
        b.U8(static_cast<uint8_t>(c)).U8(0);
    ASSERT_EQ(b.Size(), 52);
    b.Hex("00 00 00 00");                                   // flag
    ASSERT_EQ(b.Size(), 56);
    b.Hex("0A 00 00 80").Hex("7B F1 53 65 00 00 00 00");   // 1700000123
    ASSERT_EQ(b.Size(), 68);
    b.Hex("02 00 00 00");                                   // count
    ASSERT_EQ(b.Size(), 72);

    // First record: the fields after the date come in file order, not record order.
    b.Hex("00 01 01 2E 44 81 4C 0B 1A 0F 16 01 00 00");
    b.Hex("0A 00 00 80").Hex("00 F1 53 65 00 00 00 00");   // 1700000000
    b.Hex("D2 04 00 00  D2 00 00 00  2A 00 00 00  0B 00 00 00");  // balance, amount, sequence, region
    b.Hex("D4 17 00 00").F32(95.5f);                        // distance, bearing
    b.Hex("FF FE FF 03  A2 5B 48 51 41 00");                // 客先A
    b.Hex("FF FE FF 0A  4B 90 C3 8C 2F 65 55 62 28 00 39 65 2D 67 FA 51 34 58 29 00");  // 運賃支払(改札出場)
    b.Hex("00  E3 00 00 00  2A 00 00 00");
    b.Hex("FF FE FF 02  B0 65 BF 5B");                      // 新宿
    b.Hex("FF FE FF 02  71 5C 4B 62");                      // 山手
    b.Hex("FF FE FF 03  2A FF 32 FF 71 67");                // ＪＲ東
    b.F64(35.6896).F64(139.7006);
    b.Hex("00  E3 00 00 00  13 00 00 00");
    b.Hex("FF FE FF 02  71 67 AC 4E");                      // 東京
    b.Hex("FF FE FF 02  71 5C 4B 62");
    b.Hex("FF FE FF 03  2A FF 32 FF 71 67");
    b.F64(35.6812).F64(139.7671);

    // Second record: a charge with a lone minus-one date and a 300-unit remark.
    b.Hex("00 00 00 00 00 00 00 00 00 00 C7 02 02 09");
    b.Hex("0A 00 00 80 FF FF FF FF FF FF FF FF");
    b.Hex("8A 10 00 00  48 F4 FF FF  00 00 00 00  00 00 00 00");
    b.Hex("00 00 00 00  00 00 00 00");
    b.Hex("FF FE FF 00");
    b.Hex("FF FE FF FF 2C 01");                             // 300 units need the 16-bit length
    for (int i = 0; i < 300; ++i)
        b.Hex("86 51");
    b.Hex("00 00 00 00 00 00 00 00 00 FF FE FF 00 FF FE FF 00 FF FE FF 00");
    b.F64(0).F64(0);
    b.Hex("00 00 00 00 00 00 00 00 00 FF FE FF 00 FF FE FF 00 FF FE FF 00");
    b.F64(0).F64(0);

    const QByteArray stored = StoreBytes(data);
    EXPECT_EQ(stored.toHex(' ').toStdString(), b.Bytes().toHex(' ').toStdString());
}

TEST(EntryFileStore, RefusesEmptyListBeforeWriting)
{
    CEntryInfoData data;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    try {
        data.Store(buffer);
        ADD_FAILURE() << "stored an empty list";
    } catch (const CArchiveError& e) {
        EXPECT_EQ(e.GetKind(), CArchiveError::Kind::NoCause);
    }
    EXPECT_TRUE(bytes.isEmpty());
}

TEST(EntryFileStore, DeviceRefusingWritesFailsGeneric)
{
    CEntryInfoData data;
    data.m_entries.push_back(TrainEntry());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    try {
        data.Store(buffer);
        ADD_FAILURE() << "stored to a read-only device";
    } catch (const CArchiveError& e) {
        EXPECT_EQ(e.GetKind(), CArchiveError::Kind::Generic);
    }
}

// Text lengths where the prefix changes width, each written and read back.
struct LengthCase {
    qsizetype length;
    const char* prefix;
};

void PrintTo(const LengthCase& c, std::ostream* os)
{
    *os << c.length;
}


class EntryFileTextLength : public testing::TestWithParam<LengthCase> {};

TEST_P(EntryFileTextLength, PrefixAndRoundTrip)
{
    CEntryInfoData data;
    data.m_entries.push_back(TrainEntry());
    QString text(GetParam().length, QChar(u'x'));
    text[0] = QChar(u'駅');
    data.m_entries[0]->destination = text;

    const QByteArray stored = StoreBytes(data);
    // The destination is the first text of the first record.
    const qsizetype at = 72 + 14 + 12 + 16 + 8;
    const QByteArray prefix = EntryFileBytes().Hex(GetParam().prefix).Bytes();
    EXPECT_EQ(stored.mid(at, prefix.size()).toHex(' ').toStdString(), prefix.toHex(' ').toStdString());

    QBuffer buffer;
    buffer.setData(stored);
    buffer.open(QIODevice::ReadOnly);
    CEntryInfoData loaded;
    loaded.Load(buffer);
    ASSERT_EQ(loaded.m_entries.size(), 1u);
    EXPECT_EQ(loaded.m_entries[0]->destination, text);
    EXPECT_EQ(loaded.m_entries[0]->remarks, data.m_entries[0]->remarks);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, EntryFileTextLength,
                         testing::Values(LengthCase{254, "FF FE FF FE"}, LengthCase{255, "FF FE FF FF FF 00"},
                                         LengthCase{65533, "FF FE FF FF FD FF"},
                                         LengthCase{65534, "FF FE FF FF FF FF FE FF 00 00"},
                                         LengthCase{70000, "FF FE FF FF FF FF 70 11 01 00"}),
                         [](const testing::TestParamInfo<LengthCase>& info) {
                             return "Length" + std::to_string(info.param.length);
                         });

TEST(EntryFileStore, RoundTripKeepsAllFields)
{
    CEntryInfoData data;
    for (int i = 0; i < 3; ++i) {
        auto e = TrainEntry();
        // Every field differs from its blank value and from the other entries.
        e->reserved = static_cast<uint8_t>(7 + i);
        e->apply = static_cast<uint8_t>(i % 2);
        e->idm[7] = static_cast<uint8_t>(i);
        e->terminalKind = static_cast<uint8_t>(0x05 + i);
        e->processKind = static_cast<uint8_t>(0x0D + i);
        e->paymentKind = static_cast<uint8_t>(1 + i);
        e->rawByte3 = static_cast<uint8_t>(0x80 + i);
        e->dateTime = 1700000000LL + 86400LL * i + 5000000000LL * (i == 2);
        e->entryArea = static_cast<uint8_t>(1 + i);
        e->exitArea = static_cast<uint8_t>(2 + i);
        e->exitLine = 0x1234 + i;
        e->exitStation = 0x5678 + i;
        e->amount = -100 * i;
        e->entryStationName += QString::number(i);
        e->exitLineName += QChar(0xD83D);  // a lone surrogate survives unchanged
        e->remarks = QString(260 + i, QChar(u'備'));
        data.m_entries.push_back(std::move(e));
    }

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    data.Store(buffer);
    buffer.seek(0);
    CEntryInfoData loaded;
    loaded.Load(buffer);

    ASSERT_EQ(loaded.m_entries.size(), data.m_entries.size());
    for (size_t i = 0; i < data.m_entries.size(); ++i) {
        const CEntryInfo& a = *data.m_entries[i];
        const CEntryInfo& b = *loaded.m_entries[i];
        SCOPED_TRACE(testing::Message() << "entry " << i);
        EXPECT_EQ(b.reserved, a.reserved);
        EXPECT_EQ(b.apply, a.apply);
        EXPECT_EQ(b.idm, a.idm);
        EXPECT_EQ(b.terminalKind, a.terminalKind);
        EXPECT_EQ(b.processKind, a.processKind);
        EXPECT_EQ(b.paymentKind, a.paymentKind);
        EXPECT_EQ(b.rawByte3, a.rawByte3);
        EXPECT_EQ(b.dateTime, a.dateTime);
        EXPECT_EQ(b.entryArea, a.entryArea);
        EXPECT_EQ(b.entryLine, a.entryLine);
        EXPECT_EQ(b.entryStation, a.entryStation);
        EXPECT_EQ(b.entryStationName, a.entryStationName);
        EXPECT_EQ(b.entryLineName, a.entryLineName);
        EXPECT_EQ(b.entryCompany, a.entryCompany);
        EXPECT_EQ(b.entryLatitude, a.entryLatitude);
        EXPECT_EQ(b.entryLongitude, a.entryLongitude);
        EXPECT_EQ(b.exitArea, a.exitArea);
        EXPECT_EQ(b.exitLine, a.exitLine);
        EXPECT_EQ(b.exitStation, a.exitStation);
        EXPECT_EQ(b.exitStationName, a.exitStationName);
        EXPECT_EQ(b.exitLineName, a.exitLineName);
        EXPECT_EQ(b.exitCompany, a.exitCompany);
        EXPECT_EQ(b.exitLatitude, a.exitLatitude);
        EXPECT_EQ(b.exitLongitude, a.exitLongitude);
        EXPECT_EQ(b.balance, a.balance);
        EXPECT_EQ(b.sequence, a.sequence);
        EXPECT_EQ(b.region, a.region);
        EXPECT_EQ(b.amount, a.amount);
        EXPECT_EQ(b.distance, a.distance);
        EXPECT_EQ(b.bearing, a.bearing);
        EXPECT_EQ(b.destination, a.destination);
        EXPECT_EQ(b.remarks, a.remarks);
    }
}
