#include "card/CardSession.h"

#include "card/AppMessage.h"
#include "settings/AppProfile.h"
#include "HexBytes.h"
#include "card/HistoryDecoder.h"
#include "StationDbFixture.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// Blocks are written "terminal process payment raw3 | date | bytes 6-9 | balance (low byte
// first) | sequence | region"; date 2A21 is 2021-01-01.
HistoryBlock Block(const char* hex)
{
    return HexArray<16>(hex);
}

CStationCsv ReadPassCsv()
{
    CStationCsv csv = SampleStationCsv();
    // Where the bus codes 3665/1866 land when cut to bytes (81/74).
    csv.stations += u"0,81,74,東日本旅客鉄道,テスト,バス座標,34.680000,135.830000\n"_qs;
    return csv;
}

struct RecordedMessage {
    QString text;
    MessageIcon icon;
};

class ReadPassTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_fixture.Built()) << m_fixture.BuildError().toStdString();
        m_previousPresenter = SetMessagePresenter([this](const QString& text, MessageIcon icon) {
            m_messages.push_back({text, icon});
        });
        m_profile.m_arrVisStation = {u"有楽町"_qs, u"共通"_qs, u"三室山下"_qs};
        m_profile.m_arrVisHistry = {u"本社"_qs, u"どこでも"_qs, u"奈良営業所"_qs};
        m_card.idm = HexArray<8>("01 02 03 04 05 06 07 08");
        // Something the document already holds; the pass appends after it.
        m_entries.push_back(MakeBlankEntry());
        m_earlier = m_entries.front().get();
    }

    void TearDown() override { SetMessagePresenter(std::move(m_previousPresenter)); }

    int32_t Import(const QString& connectString)
    {
        return m_session.ImportHistory(connectString, CStationDbFixture::kPassword, m_profile.DestinationLookupFunction());
    }
    int32_t Import() { return Import(m_fixture.ConnectString()); }

    // The entries this pass added.
    const CEntryInfo& Added(size_t index) const { return *m_entries.at(index + 1); }

    CStationDbFixture m_fixture{ReadPassCsv()};
    CAppProfile m_profile;
    CCardRecord m_card;
    CEntryList m_entries;
    CCardSession m_session{&m_entries, &m_card};
    const CEntryInfo* m_earlier = nullptr;
    std::vector<RecordedMessage> m_messages;
    MessagePresenter m_previousPresenter;
};

TEST_F(ReadPassTest, DecodesOldestFirstAndAppendsInThatOrder)
{
    m_session.blocks = {
        Block("16 01 00 00 2A21 0101 0102 2003 000003 00"),  // newest: fare 東京 -> 有楽町, balance 800
        Block("08 02 00 00 2A21 0000 0000 E803 000002 00"),  // cash charge, balance 1000
        Block("16 01 00 00 2A21 0102 0101 0000 000001 00"),  // oldest: fare, balance 0
    };
    EXPECT_EQ(Import(), 800);
    EXPECT_TRUE(m_messages.empty());
    ASSERT_EQ(m_entries.size(), 4u);
    EXPECT_EQ(m_entries.front().get(), m_earlier);

    EXPECT_EQ(Added(0).sequence, 1);
    EXPECT_EQ(Added(0).amount, 0);
    EXPECT_EQ(Added(0).remarks, QString());
    EXPECT_EQ(Added(1).amount, -1000);
    EXPECT_EQ(Added(1).remarks, u"現金チャージ"_qs);
    EXPECT_EQ(Added(2).amount, 200);
    EXPECT_EQ(Added(2).remarks, QString());

    const CEntryInfo& fare = Added(2);
    EXPECT_EQ(fare.entryStationName, u"東京"_qs);
    EXPECT_EQ(fare.entryCompany, u"JR東日本"_qs);
    EXPECT_EQ(fare.exitStationName, u"有楽町"_qs);
    EXPECT_EQ(fare.exitLineName, u"東海道"_qs);
    EXPECT_EQ(fare.destination, u"本社"_qs);
    EXPECT_EQ(fare.idm, m_card.idm);
    EXPECT_DOUBLE_EQ(fare.entryLatitude, 35.681264);
    EXPECT_DOUBLE_EQ(fare.exitLongitude, 139.763328);
    // Entry to exit, in that order: a haversine on the mean-radius sphere gives 756.8 m and
    // an initial bearing of 204.47 degrees, a little west of south; the equatorial radius
    // makes it 757 m.
    EXPECT_EQ(fare.distance, 757);
    EXPECT_NEAR(fare.bearing, 204.46f, 0.01f);
}

TEST_F(ReadPassTest, BalanceBeforeTheOldestGivesItsAmount)
{
    m_session.blocks = {
        Block("16 01 00 00 2A21 0101 0102 2003 000002 00"),  // balance 800
        Block("16 01 00 00 2A21 0102 0101 E803 000001 00"),  // oldest: balance 1000
    };
    // The record before the oldest, which the card has dropped, left 1,180.
    m_session.balanceBeforeOldest = 1180;
    EXPECT_EQ(Import(), 800);
    ASSERT_EQ(m_entries.size(), 3u);
    EXPECT_EQ(Added(0).amount, 180);
    EXPECT_EQ(Added(0).apply, 1);
    EXPECT_EQ(Added(1).amount, 200);

    // Without blocks the balance stays unknown, whatever was known before.
    m_session.blocks.clear();
    EXPECT_EQ(Import(), -1);
}

struct SingleBlockCase {
    const char* name;
    const char* block;
    const char* remarks;
    const char* entryStationName;
    const char* exitStationName;
    const char* destination;
    double exitLatitude;
    int32_t distance;
    float bearing;
};

void PrintTo(const SingleBlockCase& c, std::ostream* os)
{
    *os << c.name;
}

class SingleBlockTest : public ReadPassTest, public testing::WithParamInterface<SingleBlockCase> {};

TEST_P(SingleBlockTest, CompletesTheEntryByItsClass)
{
    const SingleBlockCase& c = GetParam();
    m_session.blocks = {Block(c.block)};
    Import();
    ASSERT_EQ(m_entries.size(), 2u);
    const CEntryInfo& e = Added(0);
    EXPECT_EQ(e.remarks, QString::fromUtf8(c.remarks));
    EXPECT_EQ(e.entryStationName, QString::fromUtf8(c.entryStationName));
    EXPECT_EQ(e.exitStationName, QString::fromUtf8(c.exitStationName));
    EXPECT_EQ(e.destination, QString::fromUtf8(c.destination));
    EXPECT_DOUBLE_EQ(e.exitLatitude, c.exitLatitude);
    EXPECT_EQ(e.distance, c.distance);
    EXPECT_FLOAT_EQ(e.bearing, c.bearing);
}

INSTANTIATE_TEST_SUITE_P(Blocks, SingleBlockTest, testing::Values(
    SingleBlockCase{"CreditCharge", "08 02 02 00 2A21 0000 0000 E803 000001 00", "クレジットチャージ", "", "", "", 0.0, 0, 0.0f},
    SingleBlockCase{"CashCharge", "08 02 01 00 2A21 0000 0000 E803 000001 00", "現金チャージ", "", "", "", 0.0, 0, 0.0f},
    // Decoded with rail codes (東京 -> 有楽町), yet sales: no lookups.
    SingleBlockCase{"Kind48IsSales", "16 48 00 00 2A21 0101 0102 E803 000001 00", "特典チャージ", "", "", "", 0.0, 0, 0.0f},
    SingleBlockCase{"BusStopCommon", "05 0D 00 00 2A21 0001 0000 E803 000001 00", "バス等", "", "共通", "", 0.0, 0, 0.0f},
    // The station row of the cut codes gives coordinates, the bus stop row the names.
    SingleBlockCase{"BusKeepsCoordinatesWithoutDistance", "05 0D 00 00 2A21 0E51 074A E803 000001 00", "バス等", "",
                    "三室山下", "奈良営業所", 34.68, 0, 0.0f},
    SingleBlockCase{"EntryLineZero", "16 01 00 00 2A21 0000 0102 E803 000001 00", "", "", "有楽町", "本社", 35.675069,
                    0, 0.0f},
    SingleBlockCase{"ExitLineZero", "16 01 00 00 2A21 0101 0002 E803 000001 00", "", "東京", "", "", 0.0, 0, 0.0f},
    SingleBlockCase{"SameCoordinates", "16 01 00 00 2A21 0101 0101 E803 000001 00", "", "東京", "東京", "", 35.681264,
                    0, 90.0f},
    SingleBlockCase{"UnknownExit", "16 01 00 00 2A21 0101 0103 E803 000001 00", "", "東京", "未登録", "", 0.0, 0, 0.0f},
    // Area 3 comes from the region byte.
    SingleBlockCase{"AreaFromRegion", "16 01 00 00 2A21 FB30 FB30 E803 000001 C0", "", "虎ノ門", "虎ノ門", "",
                    35.670236, 0, 90.0f}),
    [](const testing::TestParamInfo<SingleBlockCase>& info) { return std::string(info.param.name); });

TEST_F(ReadPassTest, EmptyBlockListStillTriesTheDatabase)
{
    EXPECT_EQ(Import(u"DBQ=/nonexistent/VoluniStn.mdb;"_qs), -1);
    EXPECT_EQ(m_entries.size(), 1u);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages.front().text,
              u"駅名情報データベースの接続に失敗しました。\n/nonexistent/VoluniStn.mdb: No such file or directory"_qs);
}

TEST_F(ReadPassTest, FailedConnectionIsReportedOnceAndThePassGoesOn)
{
    m_session.blocks = {
        Block("16 01 00 00 2A21 0101 0102 2003 000002 00"),
        Block("08 02 00 00 2A21 0000 0000 E803 000001 00"),
    };
    EXPECT_EQ(Import(QString()), 800);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages.front().text, u"駅名情報データベースの接続に失敗しました。\nempty connection string"_qs);
    EXPECT_EQ(m_messages.front().icon, MessageIcon::Exclamation);
    ASSERT_EQ(m_entries.size(), 3u);
    EXPECT_EQ(Added(0).remarks, u"現金チャージ"_qs);
    const CEntryInfo& fare = Added(1);
    EXPECT_EQ(fare.amount, 200);
    EXPECT_EQ(fare.entryStationName, QString());
    EXPECT_EQ(fare.exitStationName, QString());
    EXPECT_EQ(fare.destination, QString());
    EXPECT_EQ(fare.distance, 0);
}

TEST_F(ReadPassTest, InvalidDateAppendsNothing)
{
    m_session.blocks = {
        Block("16 01 00 00 2A21 0101 0102 2003 000005 00"),
        Block("16 01 00 00 2A21 0101 0102 5802 000004 00"),
        Block("16 01 00 00 0000 0101 0102 9001 000003 00"),  // third oldest: month 0
        Block("16 01 00 00 2A21 0101 0102 C800 000002 00"),
        Block("16 01 00 00 2A21 0101 0102 0000 000001 00"),
    };
    EXPECT_THROW(Import(), CInvalidDateError);
    ASSERT_EQ(m_entries.size(), 1u);
    EXPECT_EQ(m_entries.front().get(), m_earlier);
}

} // namespace
