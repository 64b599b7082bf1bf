#include "settings/AppProfile.h"
#include "HexBytes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>
#include <ostream>
#include <string>

namespace {

std::unique_ptr<QSettings> ProfileStore()
{
    auto store = std::make_unique<QSettings>(QStringLiteral("Ombrel"), QStringLiteral("Voluni_Viewer"));
    store->beginGroup(QStringLiteral("Settings/Profile"));
    return store;
}

QStringList EmptyTexts(int n)
{
    QStringList list;
    for (int i = 0; i < n; ++i) {
        list.append(QString());
    }
    return list;
}

QByteArray Bytes(const char* hex)
{
    const auto bytes = HexBytes(hex);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

class AppProfileTest : public testing::Test {
protected:
    void SetUp() override
    {
        QSettings store(QStringLiteral("Ombrel"), QStringLiteral("Voluni_Viewer"));
        store.clear();
        // Whatever this machine has installed stays out of the loaded profile.
        qputenv("VOLUNI_DATA_DIR", "/opt/voluni-data");
    }

    static CAppProfile Loaded()
    {
        CAppProfile profile;
        profile.LoadProfile();
        return profile;
    }
};

void ExpectSameSettings(const CAppProfile& a, const CAppProfile& b)
{
    EXPECT_EQ(a.m_strConnect, b.m_strConnect);
    EXPECT_EQ(a.m_strColumnWidths, b.m_strColumnWidths);
    EXPECT_EQ(a.m_strWavCardReadOK, b.m_strWavCardReadOK);
    EXPECT_EQ(a.m_bGridView, b.m_bGridView);
    EXPECT_EQ(a.m_bZebraView, b.m_bZebraView);
    EXPECT_EQ(a.m_bAdmin, b.m_bAdmin);
    EXPECT_EQ(a.m_nMruMax, b.m_nMruMax);
    EXPECT_EQ(a.m_nVisMaxCount, b.m_nVisMaxCount);
    EXPECT_EQ(a.m_nPollingTime, b.m_nPollingTime);
    EXPECT_EQ(a.m_nAppLook, b.m_nAppLook);
    EXPECT_EQ(a.m_arrVisHistry, b.m_arrVisHistry);
    EXPECT_EQ(a.m_arrVisStation, b.m_arrVisStation);
    EXPECT_EQ(a.m_strCsvSavePath, b.m_strCsvSavePath);
    EXPECT_EQ(a.m_strCsvOutputItem, b.m_strCsvOutputItem);
    EXPECT_EQ(a.m_bCsvApplyOnly, b.m_bCsvApplyOnly);
    EXPECT_EQ(a.m_bCsvOutputHeader, b.m_bCsvOutputHeader);
    EXPECT_EQ(a.m_nCsvEncoding, b.m_nCsvEncoding);
    EXPECT_EQ(a.m_nShowApplyColumn, b.m_nShowApplyColumn);
    EXPECT_EQ(a.m_nShowEntryLine, b.m_nShowEntryLine);
    EXPECT_EQ(a.m_nShowExitLine, b.m_nShowExitLine);
    EXPECT_EQ(a.m_nShowDestination, b.m_nShowDestination);
    EXPECT_EQ(a.m_nShowDistance, b.m_nShowDistance);
    EXPECT_EQ(a.m_nShowTime, b.m_nShowTime);
    EXPECT_EQ(a.m_arrVisRecent, b.m_arrVisRecent);
    EXPECT_EQ(a.m_bHistoryView, b.m_bHistoryView);
    EXPECT_EQ(a.m_bAutoRead, b.m_bAutoRead);
    EXPECT_EQ(a.m_strReportName, b.m_strReportName);
    EXPECT_EQ(a.m_strReportDepartment, b.m_strReportDepartment);
    EXPECT_EQ(a.m_strReportEmployeeId, b.m_strReportEmployeeId);
    EXPECT_EQ(a.m_strReportDate, b.m_strReportDate);
    EXPECT_EQ(a.m_strReportPurpose, b.m_strReportPurpose);
    EXPECT_EQ(a.m_nReportStampCount, b.m_nReportStampCount);
    EXPECT_EQ(a.m_arrReportStampTitles, b.m_arrReportStampTitles);
    EXPECT_EQ(a.m_strPassword, b.m_strPassword);
}

TEST_F(AppProfileTest, FirstRunGivesDefaultsAndSurvivesARoundTrip)
{
    const CAppProfile first = Loaded();
    // Test programs have no station database beside them: the installed one is named.
    EXPECT_EQ(first.GetConnectString(),
              QStringLiteral("Driver=Microsoft Access Driver (*.mdb);DBQ=/opt/voluni-data/VoluniStn.mdb;PageTimeout=5;"));
    EXPECT_EQ(first.GetPassword(), QStringLiteral("7c1f0a93d4e6b285"));
    EXPECT_TRUE(first.m_strColumnWidths.isEmpty());
    EXPECT_TRUE(first.m_strWavCardReadOK.isEmpty());
    EXPECT_EQ(first.m_bGridView, 1);
    EXPECT_EQ(first.m_bZebraView, 0);
    EXPECT_EQ(first.m_bAdmin, 0);
    EXPECT_EQ(first.m_nMruMax, 3);
    EXPECT_EQ(first.m_nVisMaxCount, 5);
    EXPECT_EQ(first.m_nPollingTime, 5);
    EXPECT_EQ(first.m_nAppLook, 32801);
    EXPECT_TRUE(first.m_arrVisHistry.isEmpty());
    EXPECT_TRUE(first.m_arrVisStation.isEmpty());
    EXPECT_TRUE(first.m_strCsvSavePath.isEmpty());
    EXPECT_EQ(first.m_strCsvOutputItem, QStringLiteral("2,5,8,9,11,12"));
    EXPECT_EQ(first.m_bCsvApplyOnly, 0);
    EXPECT_EQ(first.m_bCsvOutputHeader, 1);
    EXPECT_EQ(first.m_nCsvEncoding, 0);
    EXPECT_EQ(first.m_nShowApplyColumn, 1) << "the claim ticks show";
    EXPECT_EQ(first.m_nShowDistance, -1);
    EXPECT_EQ(first.m_nShowTime, -1);
    EXPECT_TRUE(first.m_arrVisRecent.isEmpty());
    EXPECT_TRUE(first.m_strReportName.isEmpty());
    EXPECT_TRUE(first.m_strReportDate.isEmpty()) << "the day of printing";
    EXPECT_EQ(first.m_nReportStampCount, 3);
    EXPECT_EQ(first.m_arrReportStampTitles,
              (QStringList{QStringLiteral("申請者"), QStringLiteral("承認者"), QStringLiteral("経理")}));

    first.SaveProfile();
    EXPECT_EQ(first.m_bHistoryView, 0);
    EXPECT_EQ(first.m_bAutoRead, 0);
    EXPECT_EQ(ProfileStore()->childKeys().size(), 31);
    ExpectSameSettings(Loaded(), first);
}

TEST_F(AppProfileTest, ApplyColumnShowsUnlessHidden)
{
    // -1 is what earlier versions stored when nothing was chosen.
    for (const auto& [stored, loaded] : {std::pair{-1, 1}, std::pair{0, 0}, std::pair{1, 1}}) {
        ProfileStore()->setValue(QStringLiteral("ShowApplyColumn"), stored);
        EXPECT_EQ(Loaded().m_nShowApplyColumn, loaded) << stored;
    }
}

TEST_F(AppProfileTest, ChangedValuesSurviveARoundTrip)
{
    CAppProfile changed = Loaded();
    changed.m_bGridView = 0;
    changed.m_bZebraView = 1;
    changed.m_nAppLook = 32806;
    changed.m_nPollingTime = 12;
    changed.m_nCsvEncoding = 1;
    changed.m_strWavCardReadOK = QStringLiteral("/usr/share/sounds/ok.wav");
    changed.m_arrVisHistry = QStringList{QStringLiteral("本社"), QString()};
    changed.m_arrVisStation = QStringList{QStringLiteral("東京"), QStringLiteral("新宿")};
    changed.m_nShowApplyColumn = 0;
    changed.m_nShowExitLine = 0;
    changed.m_nShowDistance = 1;
    changed.m_nShowTime = 1;
    changed.m_arrVisRecent = QStringList{QStringLiteral("横浜支店")};
    changed.m_bHistoryView = 1;
    changed.m_bAutoRead = 1;
    changed.m_strReportName = QStringLiteral("山田 太郎");
    changed.m_strReportDepartment = QStringLiteral("営業部");
    changed.m_strReportEmployeeId = QStringLiteral("A-1024");
    changed.m_strReportDate = QStringLiteral("2024/06/03");
    changed.m_strReportPurpose = QStringLiteral("顧客訪問");
    changed.m_nReportStampCount = 0;
    changed.m_arrReportStampTitles = QStringList{QStringLiteral("部長"), QString()};
    changed.SaveProfile();
    ExpectSameSettings(Loaded(), changed);
}

TEST_F(AppProfileTest, StampCountStaysWithinNoneToFour)
{
    for (const auto& [stored, loaded] : {std::pair{-2, 0}, std::pair{0, 0}, std::pair{4, 4}, std::pair{9, 4}}) {
        ProfileStore()->setValue(QStringLiteral("ReportStampCount"), stored);
        EXPECT_EQ(Loaded().m_nReportStampCount, loaded) << stored;
    }
}

TEST_F(AppProfileTest, RecentDestinationsAreNewestFirstOnceWithinTheMaximum)
{
    CAppProfile profile;
    profile.m_nVisMaxCount = 2;
    for (const char* text : {"本社", "横浜支店", " 本社 ", "", "大宮工場"})
        profile.RememberDestination(QString::fromUtf8(text));
    EXPECT_EQ(profile.m_arrVisRecent, (QStringList{QStringLiteral("大宮工場"), QStringLiteral("本社")}));
}

TEST_F(AppProfileTest, ListsAreStoredInTheArchiveEncoding)
{
    CAppProfile profile = Loaded();
    profile.m_arrVisStation = QStringList{QStringLiteral("東京"), QString()};
    profile.SaveProfile();
    EXPECT_EQ(ProfileStore()->value(QStringLiteral("VisStation")).toByteArray(),
              Bytes("0200 FFFEFF02 7167 AC4E FFFEFF00"));
    EXPECT_EQ(ProfileStore()->value(QStringLiteral("VisHistry")).toByteArray(), Bytes("0000"));
}

TEST_F(AppProfileTest, ColumnWidthsAreWrittenButNotRead)
{
    CAppProfile profile = Loaded();
    profile.m_strColumnWidths = QStringLiteral("40,80,60,0,0,0,0,0,0,0,0,0");
    profile.SaveProfile();
    EXPECT_EQ(ProfileStore()->value(QStringLiteral("ListControlWidth")).toString(), profile.m_strColumnWidths);
    EXPECT_TRUE(Loaded().m_strColumnWidths.isEmpty());
}

TEST_F(AppProfileTest, CsvSavePathIsAlwaysWrittenEmpty)
{
    ProfileStore()->setValue(QStringLiteral("CsvSavePath"), QStringLiteral("/home/user/expenses.csv"));
    CAppProfile profile = Loaded();
    EXPECT_TRUE(profile.m_strCsvSavePath.isEmpty());
    // An export during the run remembered its folder.
    profile.m_strCsvSavePath = QStringLiteral("/home/user/claims");
    profile.SaveProfile();
    const QVariant stored = ProfileStore()->value(QStringLiteral("CsvSavePath"));
    ASSERT_TRUE(stored.isValid());
    EXPECT_TRUE(stored.toString().isEmpty());
}

TEST_F(AppProfileTest, DestinationsWithoutStationsGetEmptyStationNames)
{
    ProfileStore()->setValue(QStringLiteral("VisHistry"), Bytes("0200 FFFEFF02 2C67 3E79 FFFEFF01 4100"));
    const CAppProfile profile = Loaded();
    EXPECT_EQ(profile.m_arrVisHistry, (QStringList{QStringLiteral("本社"), QStringLiteral("A")}));
    EXPECT_EQ(profile.m_arrVisStation, EmptyTexts(2));
    EXPECT_TRUE(profile.FindDestination(QStringLiteral("東京")).isEmpty());
}

TEST_F(AppProfileTest, DestinationFollowsTheStationsPosition)
{
    CAppProfile profile = Loaded();
    profile.m_arrVisStation = QStringList{QStringLiteral("東京"), QStringLiteral("新宿")};
    profile.m_arrVisHistry = QStringList{QStringLiteral("本社")};
    profile.SaveProfile();
    const CAppProfile loaded = Loaded();
    EXPECT_EQ(loaded.FindDestination(QStringLiteral("東京")), QStringLiteral("本社"));
    EXPECT_TRUE(loaded.FindDestination(QStringLiteral("新宿")).isEmpty());
    EXPECT_TRUE(loaded.FindDestination(QStringLiteral("東京駅")).isEmpty());
    EXPECT_TRUE(loaded.FindDestination(QString()).isEmpty());
}

TEST_F(AppProfileTest, EmptyNameFindsNothingEvenWhenAnEmptyStationIsListed)
{
    CAppProfile profile;
    profile.m_arrVisStation = EmptyTexts(1);
    profile.m_arrVisHistry = QStringList{QStringLiteral("本社")};
    EXPECT_TRUE(profile.FindDestination(QString()).isEmpty());
}

struct BadListCase {
    const char* name;
    const char* hex;
    friend std::ostream& operator<<(std::ostream& os, const BadListCase& c) { return os << c.name; }
};

class MalformedListTest : public AppProfileTest, public testing::WithParamInterface<BadListCase> {};

TEST_P(MalformedListTest, GivesAnEmptyList)
{
    ProfileStore()->setValue(QStringLiteral("VisStation"), Bytes(GetParam().hex));
    const CAppProfile profile = Loaded();
    EXPECT_TRUE(profile.m_arrVisStation.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Lists, MalformedListTest, testing::Values(
    BadListCase{"NoBytes", ""},
    BadListCase{"HalfACount", "02"},
    BadListCase{"FewerTextsThanCounted", "0200 FFFEFF01 4100"},
    BadListCase{"TextCutShort", "0100 FFFEFF03 4100 42"},
    BadListCase{"LengthBeyondTheBytes", "0100 FFFEFFFF FFFF FFFFFF7F"},
    BadListCase{"HugeCountWithFewBytes", "FFFF FFFFFFFF FFFEFF00"},
    BadListCase{"RejectedSixtyFourBitLength", "0100 FF FFFF FFFFFFFF 0000000001000000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppProfileTest, TextWhereANumberBelongsGivesTheDefault)
{
    struct {
        const char* key;
        int32_t fallback;
        int32_t CAppProfile::*field;
    } const cases[] = {
        {"ListGridView", 1, &CAppProfile::m_bGridView},
        {"AppLook", 32801, &CAppProfile::m_nAppLook},
        {"PollingTime", 5, &CAppProfile::m_nPollingTime},
        {"CsvOutputHeader", 1, &CAppProfile::m_bCsvOutputHeader},
    };
    for (const auto& c : cases) {
        ProfileStore()->setValue(QString::fromLatin1(c.key), QStringLiteral("fünf"));
    }
    const CAppProfile profile = Loaded();
    for (const auto& c : cases) {
        EXPECT_EQ(profile.*c.field, c.fallback) << c.key;
    }
}

struct DatabasePlace {
    const char* name;
    bool besideProgram;
    bool installed;
    bool takesBeside;
    friend std::ostream& operator<<(std::ostream& os, const DatabasePlace& c) { return os << c.name; }
};

class StationDatabasePathTest : public testing::TestWithParam<DatabasePlace> {};

TEST_P(StationDatabasePathTest, BesideTheProgramComesFirst)
{
    const DatabasePlace& place = GetParam();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString program = root.filePath(QStringLiteral("bin"));
    const QString data = root.filePath(QStringLiteral("share/voluni-viewer"));
    ASSERT_TRUE(QDir().mkpath(program) && QDir().mkpath(data));
    const auto put = [](const QString& folder) {
        QFile file(folder + QStringLiteral("/VoluniStn.mdb"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    if (place.besideProgram)
        put(program);
    if (place.installed)
        put(data);
    EXPECT_EQ(CAppProfile::StationDatabasePath(program, data),
              (place.takesBeside ? program : data) + QStringLiteral("/VoluniStn.mdb"));
}

INSTANTIATE_TEST_SUITE_P(Places, StationDatabasePathTest, testing::Values(
    DatabasePlace{"BothThere", true, true, true},
    DatabasePlace{"OnlyBesideTheProgram", true, false, true},
    DatabasePlace{"OnlyInstalled", false, true, false},
    // A missing database shows up when it is opened, so the installed path still comes back.
    DatabasePlace{"NeitherThere", false, false, false}),
    [](const testing::TestParamInfo<DatabasePlace>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// Braces only where the plain form would break, so the usual string stays as it always was.
TEST(ConnectStringForTest, BracesAPathThatWouldEndItsClause)
{
    const struct {
        const char* path;
        const char* dbq;
    } cases[] = {
        {"/opt/voluni/VoluniStn.mdb", "DBQ=/opt/voluni/VoluniStn.mdb;"},
        {"/home/駅 データ/VoluniStn.mdb", "DBQ=/home/駅 データ/VoluniStn.mdb;"},
        {"/home/a;b/VoluniStn.mdb", "DBQ={/home/a;b/VoluniStn.mdb};"},
        {"/home/{x}/VoluniStn.mdb", "DBQ={/home/{x}}/VoluniStn.mdb};"},
        {"/home/x/VoluniStn.mdb ", "DBQ={/home/x/VoluniStn.mdb };"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CAppProfile::ConnectStringFor(QString::fromUtf8(c.path)),
                  QStringLiteral("Driver=Microsoft Access Driver (*.mdb);%1PageTimeout=5;").arg(QString::fromUtf8(c.dbq)))
            << c.path;
    }
}

} // namespace
