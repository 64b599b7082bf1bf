// Loading entry files of every version and form, and the ways a file can be wrong.
#include "document/ArchiveError.h"
#include "EntryFileBytes.h"
#include "document/EntryInfoData.h"

#include <gtest/gtest.h>

#include <QBuffer>

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <ostream>
#include <string>

namespace {

const QString kHeaderV1 = QStringLiteral("<## EntryInfoData ##>");
const QString kHeaderV2 = QStringLiteral("<## EntryInfoData V2 ##>");
const QString kHeaderV3 = QStringLiteral("<## EntryInfoData V3 ##>");

// Fields every version has, in file order, up to and including the date.
void AppendCommonHead(EntryFileBytes& b)
{
    b.U8(0).Hex("01 02 03 04 05 06 07 08").U8(0x16).U8(0x01).Time(1700000000);
    b.I32(1000).I32(210).I32(77).I32(3);
}

void AppendStation(EntryFileBytes& b, bool bCoordinates, const QString& name)
{
    b.U8(1).I32(0x25).I32(0x10).Text(name).Text(QStringLiteral("中央")).Text(QStringLiteral("ＪＲ東"));
    if (bCoordinates)
        b.F64(35.5).F64(139.25);
}

QByteArray FileHead(const QString& header, uint32_t flag, int32_t count)
{
    return EntryFileBytes().Text(header).U32(flag).Time(1234567890).I32(count).Bytes();
}

QByteArray V1File()
{
    EntryFileBytes b;
    b.Raw(FileHead(kHeaderV1, 0, 1));
    AppendCommonHead(b);
    b.Text(QStringLiteral("客先")).Text(QStringLiteral("運賃支払"));
    AppendStation(b, false, QStringLiteral("新宿"));
    AppendStation(b, false, QStringLiteral("東京"));
    return b.Bytes();
}

QByteArray V2File()
{
    EntryFileBytes b;
    b.Raw(FileHead(kHeaderV2, 0, 1));
    AppendCommonHead(b);
    b.I32(5300).F32(90.5f);
    b.Text(QStringLiteral("客先")).Text(QStringLiteral("運賃支払"));
    AppendStation(b, true, QStringLiteral("新宿"));
    AppendStation(b, true, QStringLiteral("東京"));
    return b.Bytes();
}

// A version 3 file with three records whose texts use every length form.
QByteArray V3File()
{
    EntryFileBytes b;
    b.Raw(FileHead(kHeaderV3, 0, 3));
    for (int i = 0; i < 3; ++i) {
        b.U8(0).U8(1).Hex("01 02 03 04 05 06 07 08").Hex("16 01 02 00").Time(1700000000 + i);
        b.I32(1000).I32(210).I32(i).I32(3).I32(5300).F32(90.5f);
        b.Text(QString(300, QChar(u'あ'))).Text(QString());
        AppendStation(b, true, QStringLiteral("新宿"));
        b.U8(0).I32(0).I32(0).Text8("\x93\x8c\x8b\x9e").Text8("").Hex("FF 05 00 41 42 43 44 45");
        b.F64(0.0).F64(0.0);
    }
    return b.Bytes();
}

void LoadBytes(CEntryInfoData& data, const QByteArray& bytes)
{
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    data.Load(buffer);
}

// Loads bytes expecting a failure of kind, and checks nothing stays behind.
void ExpectLoadFails(const QByteArray& bytes, CArchiveError::Kind kind)
{
    CEntryInfoData data;
    data.m_card.kind = 3;
    data.m_entries.push_back(MakeBlankEntry());
    try {
        LoadBytes(data, bytes);
        ADD_FAILURE() << "loaded " << bytes.size() << " bytes without error";
    } catch (const CArchiveError& e) {
        EXPECT_EQ(e.GetKind(), kind) << "after " << bytes.size() << " bytes";
    }
    EXPECT_TRUE(data.m_entries.empty());
    EXPECT_EQ(data.m_card.kind, 0);
}

}  // namespace

TEST(EntryFileLoad, Version1LeavesLaterFieldsBlank)
{
    CEntryInfoData data;
    LoadBytes(data, V1File());
    ASSERT_EQ(data.m_entries.size(), 1u);
    const CEntryInfo& e = *data.m_entries[0];
    EXPECT_EQ(e.apply, 0);
    EXPECT_EQ(e.idm, (IdmBytes{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(e.terminalKind, 0x16);
    EXPECT_EQ(e.processKind, 0x01);
    EXPECT_EQ(e.dateTime, 1700000000);
    EXPECT_EQ(e.balance, 1000);
    EXPECT_EQ(e.amount, 210);
    EXPECT_EQ(e.sequence, 77);
    EXPECT_EQ(e.region, 3);
    EXPECT_EQ(e.destination, QStringLiteral("客先"));
    EXPECT_EQ(e.remarks, QStringLiteral("運賃支払"));
    EXPECT_EQ(e.entryArea, 1);
    EXPECT_EQ(e.entryLine, 0x25);
    EXPECT_EQ(e.entryStationName, QStringLiteral("新宿"));
    EXPECT_EQ(e.exitStationName, QStringLiteral("東京"));
    EXPECT_EQ(e.exitCompany, QStringLiteral("ＪＲ東"));
    // Absent from version 1.
    EXPECT_EQ(e.reserved, 0);
    EXPECT_EQ(e.paymentKind, 0);
    EXPECT_EQ(e.rawByte3, 0);
    EXPECT_EQ(e.distance, 0);
    EXPECT_EQ(e.bearing, 0.0f);
    EXPECT_EQ(e.entryLatitude, 0.0);
    EXPECT_EQ(e.entryLongitude, 0.0);
    EXPECT_EQ(e.exitLatitude, 0.0);
    EXPECT_EQ(e.exitLongitude, 0.0);
}

TEST(EntryFileLoad, Version2ReadsDistanceAndCoordinates)
{
    CEntryInfoData data;
    LoadBytes(data, V2File());
    ASSERT_EQ(data.m_entries.size(), 1u);
    const CEntryInfo& e = *data.m_entries[0];
    EXPECT_EQ(e.distance, 5300);
    EXPECT_EQ(e.bearing, 90.5f);
    EXPECT_EQ(e.entryLatitude, 35.5);
    EXPECT_EQ(e.entryLongitude, 139.25);
    EXPECT_EQ(e.exitLatitude, 35.5);
    EXPECT_EQ(e.exitLongitude, 139.25);
    EXPECT_EQ(e.remarks, QStringLiteral("運賃支払"));
    EXPECT_EQ(e.exitStationName, QStringLiteral("東京"));
    EXPECT_EQ(e.reserved, 0);
    EXPECT_EQ(e.paymentKind, 0);
    EXPECT_EQ(e.rawByte3, 0);
}

TEST(EntryFileLoad, Version3ReadsEveryTextForm)
{
    CEntryInfoData data;
    LoadBytes(data, V3File());
    ASSERT_EQ(data.m_entries.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const CEntryInfo& e = *data.m_entries[static_cast<size_t>(i)];
        EXPECT_EQ(e.sequence, i) << "file order kept";
        EXPECT_EQ(e.paymentKind, 2);
        EXPECT_EQ(e.destination, QString(300, QChar(u'あ')));
        EXPECT_TRUE(e.remarks.isEmpty());
        EXPECT_EQ(e.exitStationName, QStringLiteral("東京")) << "8-bit text is Shift_JIS";
        EXPECT_TRUE(e.exitLineName.isEmpty());
        EXPECT_EQ(e.exitCompany, QStringLiteral("ABCDE")) << "8-bit text with a 16-bit length";
    }
}

TEST(EntryFileLoad, HeaderInEightBitFormIsAccepted)
{
    CEntryInfoData data;
    LoadBytes(data, EntryFileBytes().Text8(kHeaderV3.toLatin1()).U32(0).Time(0).I32(0).Bytes());
    EXPECT_TRUE(data.m_entries.empty());
}

TEST(EntryFileLoad, FlagSelectsStoredTimeStamp)
{
    for (uint32_t flag : {0u, 1u, 0x80000000u}) {
        CEntryInfoData data;
        const auto before = static_cast<int64_t>(std::time(nullptr));
        LoadBytes(data, FileHead(kHeaderV3, flag, 0));
        if (flag != 0) {
            EXPECT_EQ(data.m_time, 1234567890);
        } else {
            EXPECT_GE(data.m_time, before);
            EXPECT_LE(data.m_time, static_cast<int64_t>(std::time(nullptr)));
        }
    }
}

struct TimeCase {
    const char* name;
    const char* hex;
    int64_t seconds;
};

void PrintTo(const TimeCase& c, std::ostream* os)
{
    *os << c.name;
}


class EntryFileTime : public testing::TestWithParam<TimeCase> {};

TEST_P(EntryFileTime, ReadsBothForms)
{
    const TimeCase& c = GetParam();
    CEntryInfoData data;
    LoadBytes(data, EntryFileBytes().Text(kHeaderV3).U32(1).Hex(c.hex).I32(0).Bytes());
    EXPECT_EQ(data.m_time, c.seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, EntryFileTime,
    testing::Values(TimeCase{"LoneMinusOne", "FF FF FF FF", -1},
                    TimeCase{"LonePositive", "D2 02 96 49", 1234567890},
                    TimeCase{"LoneSmallestNegative", "00 00 00 80", -2147483648LL},
                    TimeCase{"MarkerThen64Bit", "0A 00 00 80 00 00 00 00 01 00 00 00", 4294967296LL},
                    TimeCase{"MarkerThenNegative", "0A 00 00 80 FF FF FF FF FF FF FF FF", -1}),
    [](const testing::TestParamInfo<TimeCase>& info) { return std::string(info.param.name); });

TEST(EntryFileLoad, CountZeroOrNegativeReadsNoRecord)
{
    for (int32_t count : {0, -1, INT32_MIN}) {
        CEntryInfoData data;
        // Junk after the count is never looked at.
        LoadBytes(data, EntryFileBytes().Raw(FileHead(kHeaderV3, 1, count)).Hex("DE AD").Bytes());
        EXPECT_TRUE(data.m_entries.empty()) << count;
        EXPECT_EQ(data.m_time, 1234567890) << "time stamp still read";
    }
}

TEST(EntryFileLoad, BytesAfterLastRecordAreIgnored)
{
    CEntryInfoData data;
    LoadBytes(data, V2File() + QByteArray(100, '\xFF'));
    EXPECT_EQ(data.m_entries.size(), 1u);
}

struct BadFileCase {
    const char* name;
    QByteArray bytes;
    CArchiveError::Kind kind;
};

void PrintTo(const BadFileCase& c, std::ostream* os)
{
    *os << c.name;
}


class EntryFileRejects : public testing::TestWithParam<BadFileCase> {};

TEST_P(EntryFileRejects, WithKindAndClearedData)
{
    ExpectLoadFails(GetParam().bytes, GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryFileRejects,
    testing::Values(
        BadFileCase{"HeaderOtherCase", FileHead(QStringLiteral("<## entryinfodata V3 ##>"), 0, 0),
                    CArchiveError::Kind::BadIndex},
        BadFileCase{"HeaderTrailingSpace", FileHead(kHeaderV2 + QLatin1Char(' '), 0, 0),
                    CArchiveError::Kind::BadIndex},
        BadFileCase{"UnknownVersion", EntryFileBytes().Text8("<## EntryInfoData V4 ##>").Bytes(),
                    CArchiveError::Kind::BadIndex},
        // 64-bit length form above the largest text.
        BadFileCase{"TextLength2Pow31", EntryFileBytes().Hex("FF FE FF FF FF FF FF FF FF FF").U64(0x80000000).Bytes(),
                    CArchiveError::Kind::Generic},
        BadFileCase{"EightBitTextLength2Pow31", EntryFileBytes().Hex("FF FF FF FF FF FF FF").U64(0x80000000).Bytes(),
                    CArchiveError::Kind::Generic},
        // A small file that claims a two-gigabyte text: nothing that large may be allocated.
        BadFileCase{"HugeLengthInSmallFile",
                    EntryFileBytes().Raw(FileHead(kHeaderV3, 0, 1)).Hex("00 01 0102030405060708 16010000")
                        .Time(0).I32(0).I32(0).I32(0).I32(0).I32(0).F32(0)
                        .Hex("FF FE FF FF FF FF").U32(0x7FFFFFFF).Hex("41 00").Bytes(),
                    CArchiveError::Kind::EndOfFile},
        BadFileCase{"HugeEightBitLengthInSmallFile",
                    EntryFileBytes().Hex("FF FF FF").U32(0xFFFFFFFE).Hex("41 42 43").Bytes(),
                    CArchiveError::Kind::EndOfFile},
        BadFileCase{"CountBeyondRecords", FileHead(kHeaderV3, 0, 0x7FFFFFFF), CArchiveError::Kind::EndOfFile}),
    [](const testing::TestParamInfo<BadFileCase>& info) { return std::string(info.param.name); });

TEST(EntryFileLoad, EveryTruncationFailsWithEndOfFile)
{
    const QByteArray whole = V3File();
    for (qsizetype size = 0; size < whole.size(); ++size)
        ExpectLoadFails(whole.left(size), CArchiveError::Kind::EndOfFile);
}

namespace {

// A pipe-like source that hands out its data a few bytes at a time.
class TrickleDevice : public QIODevice {
public:
    explicit TrickleDevice(QByteArray data)
        : m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* out, qint64 max) override
    {
        const qint64 n = std::min<qint64>({max, 7, m_data.size() - m_pos});
        if (n <= 0)
            return -1;
        std::memcpy(out, m_data.constData() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_pos = 0;
};

}  // namespace

TEST(EntryFileLoad, ReadsFromSequentialSource)
{
    TrickleDevice device(V3File());
    CEntryInfoData data;
    data.Load(device);
    ASSERT_EQ(data.m_entries.size(), 3u);
    EXPECT_EQ(data.m_entries[2]->destination, QString(300, QChar(u'あ')));
}

TEST(EntryFileLoad, SequentialSourceWithHugeLengthEndsCleanly)
{
    TrickleDevice device(EntryFileBytes().Hex("FF FE FF FF FF FF").U32(0x7FFFFFFF).Raw(QByteArray(1000, 'x')).Bytes());
    CEntryInfoData data;
    try {
        data.Load(device);
        ADD_FAILURE() << "loaded";
    } catch (const CArchiveError& e) {
        EXPECT_EQ(e.GetKind(), CArchiveError::Kind::EndOfFile);
    }
}
