// The person's names over the station database's: at the read pass, again over
// archived entries, and over an entry file's.
#include "card/EntryNames.h"

#include "card/AppMessage.h"
#include "card/CardSession.h"
#include "settings/AppProfile.h"
#include "HexBytes.h"
#include "StationDbFixture.h"
#include "usernames/UserNames.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <utility>

namespace {

class EntryNamesTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_fixture.Built()) << m_fixture.BuildError().toStdString();
        m_previousPresenter = SetMessagePresenter([](const QString&, MessageIcon) {});
        m_card.idm = HexArray<8>("01 02 03 04 05 06 07 08");
        m_profile.m_arrVisStation = {u"取引先前"_qs};
        m_profile.m_arrVisHistry = {u"取引先"_qs};
    }
    void TearDown() override { SetMessagePresenter(std::move(m_previousPresenter)); }

    void Keep(const SUserName& name) { ASSERT_TRUE(m_names.Set(name)) << m_names.LastError().toStdString(); }

    // One read pass over blocks (newest first), with the person's names.
    void Read(std::vector<const char*> blocks)
    {
        CCardSession session(&m_entries, &m_card);
        for (const char* block : blocks)
            session.blocks.push_back(HexArray<16>(block));
        session.userNames = &m_names;
        session.ImportHistory(m_fixture.ConnectString(), CStationDbFixture::kPassword,
                              m_profile.DestinationLookupFunction());
    }

    void Rename(const QString& connectString)
    {
        RenameEntries(m_entries, connectString, CStationDbFixture::kPassword, &m_names);
    }

    CStationDbFixture m_fixture;
    QTemporaryDir m_dir;
    CUserNames m_names{m_dir.filePath(u"names.sqlite"_qs)};
    CAppProfile m_profile;
    CCardRecord m_card;
    CEntryList m_entries;
    MessagePresenter m_previousPresenter;
};

// 東京 (0-1-1) -> an exit the database does not know (0-1-9).
constexpr const char* kToUnknown = "16 01 00 00 2A21 0101 0109 E803 000001 00";
// 東京 -> 有楽町 (0-1-2).
constexpr const char* kToYurakucho = "16 01 00 00 2A21 0101 0102 E803 000001 00";
// Bus stop 3665-1866 (三室山下 in the database).
constexpr const char* kBus = "05 0D 00 00 2A21 0E51 074A E803 000001 00";

TEST_F(EntryNamesTest, PersonsNameWinsOverUnregisteredAndTheDatabaseAtTheReadPass)
{
    Keep({SStationKey::Rail(0, 1, 9), u"取引先前"_qs, u"臨時線"_qs, u"どこか鉄道"_qs});
    Keep({SStationKey::Rail(0, 1, 2), u"有楽町（銀座口）"_qs, {}, {}});
    Keep({SStationKey::Bus(3665, 1866), u"三室"_qs, {}, u"奈良交通バス"_qs});
    Read({kBus, kToYurakucho, kToUnknown});
    ASSERT_EQ(m_entries.size(), 3u);

    const CEntryInfo& unknown = *m_entries[0];
    EXPECT_EQ(unknown.entryStationName, u"東京"_qs);
    EXPECT_EQ(unknown.exitStationName, u"取引先前"_qs);
    EXPECT_EQ(unknown.exitLineName, u"臨時線"_qs);
    EXPECT_EQ(unknown.exitCompany, u"どこか鉄道"_qs);
    // The destination follows the name the person gave.
    EXPECT_EQ(unknown.destination, u"取引先"_qs);

    // Without a line or company of the person's, the database's stay.
    const CEntryInfo& known = *m_entries[1];
    EXPECT_EQ(known.exitStationName, u"有楽町（銀座口）"_qs);
    EXPECT_EQ(known.exitLineName, u"東海道"_qs);
    EXPECT_EQ(known.exitCompany, u"JR東日本"_qs);
    EXPECT_NEAR(known.exitLatitude, 35.675069, 1e-6);

    const CEntryInfo& bus = *m_entries[2];
    EXPECT_EQ(bus.exitStationName, u"三室"_qs);
    EXPECT_EQ(bus.exitCompany, u"奈良交通バス"_qs);
    EXPECT_EQ(bus.entryStationName, QString());
}

TEST_F(EntryNamesTest, ArchivedEntriesAreNamedAsAReadWouldNameThemNow)
{
    Read({kToUnknown});
    ASSERT_EQ(m_entries.size(), 1u);
    CEntryInfo& e = *m_entries[0];
    ASSERT_EQ(e.exitStationName, u"未登録"_qs);
    // As an archive of older data might hold it.
    e.entryStationName = u"東京（旧）"_qs;
    e.entryLineName = u"東海道本"_qs;
    e.exitLatitude = 35.5;

    Keep({SStationKey::Rail(0, 1, 9), u"取引先前"_qs, {}, {}});
    Rename(m_fixture.ConnectString());
    EXPECT_EQ(e.entryStationName, u"東京"_qs);
    EXPECT_EQ(e.entryLineName, u"東海道"_qs);
    EXPECT_EQ(e.exitStationName, u"取引先前"_qs);
    // Names only: the coordinates stay as kept.
    EXPECT_DOUBLE_EQ(e.exitLatitude, 35.5);

    // Removing the person's name brings the database's back.
    ASSERT_TRUE(m_names.Remove(SStationKey::Rail(0, 1, 9)));
    Rename(m_fixture.ConnectString());
    EXPECT_EQ(e.exitStationName, u"未登録"_qs);

    // Without the database the names as kept stay, under the person's.
    Keep({SStationKey::Rail(0, 1, 1), u"東京駅"_qs, {}, {}});
    e.exitStationName = u"保存された名前"_qs;
    Rename(u"DBQ=/nonexistent/VoluniStn.mdb;"_qs);
    EXPECT_EQ(e.entryStationName, u"東京駅"_qs);
    EXPECT_EQ(e.exitStationName, u"保存された名前"_qs);
}

TEST_F(EntryNamesTest, EntryFilesTakeThePersonsNamesOnly)
{
    Read({kToYurakucho, kToUnknown});
    ASSERT_EQ(m_entries.size(), 2u);
    m_entries[1]->exitStationName = u"ファイルの名前"_qs;
    Keep({SStationKey::Rail(0, 1, 9), u"取引先前"_qs, {}, {}});
    EXPECT_EQ(ApplyUserNames(m_entries, m_names), 1);
    EXPECT_EQ(m_entries[0]->exitStationName, u"取引先前"_qs);
    EXPECT_EQ(m_entries[1]->exitStationName, u"ファイルの名前"_qs);
}

TEST_F(EntryNamesTest, SalesNameNoStation)
{
    Read({"16 48 00 00 2A21 0101 0102 E803 000001 00"});
    ASSERT_EQ(m_entries.size(), 1u);
    EXPECT_FALSE(StationKeyOf(*m_entries[0], EEntrySide::Entry));
    EXPECT_FALSE(StationKeyOf(*m_entries[0], EEntrySide::Exit));
}

} // namespace
