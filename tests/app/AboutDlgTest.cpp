#include "app/AboutDlg.h"
#include "app/ViewerOptions.h"

#include <gtest/gtest.h>

#include <QLabel>

#include <ostream>
#include <string>

namespace {

struct VersionCase {
    const char* name;
    const char* version;
    const char* shown;
    friend std::ostream& operator<<(std::ostream& os, const VersionCase& c) { return os << c.name; }
};

class ProductVersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(ProductVersionTest, Formats)
{
    EXPECT_EQ(CAboutDlg::FormatProductVersion(QString::fromLatin1(GetParam().version)),
              QString::fromLatin1(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(Versions, ProductVersionTest, testing::Values(
    VersionCase{"FourParts", "1.2.3.4", "1.2.3.4"},
    VersionCase{"TwoParts", "1.0", "1.0.0.0"},
    VersionCase{"Missing", "", ""},
    VersionCase{"NotANumber", "1.x", ""},
    VersionCase{"PartTooLarge", "1.65536", ""},
    VersionCase{"FiveParts", "1.2.3.4.5", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AboutDlgTest, ShowsTheVersionLineAndLeavesTheSpareTextsEmpty)
{
    CAboutDlg about(QStringLiteral("(mdb未接続)"));
    EXPECT_EQ(about.windowTitle(), QStringLiteral("Voluni Viewerのバージョン情報"));
    ASSERT_NE(about.Control(1015), nullptr);
    // The build's four-part project version, as it stands.
    EXPECT_EQ(about.Control(1015)->text(), QStringLiteral("Voluni Viewer Version " VOLUNI_VERSION));
    for (const int id : {1016, 1017, 1243}) {
        ASSERT_NE(about.Control(id), nullptr) << id;
        EXPECT_TRUE(about.Control(id)->text().isEmpty()) << id;
    }
    EXPECT_TRUE(about.Control(1019)->text().contains(QStringLiteral("href=")));
    EXPECT_EQ(about.StationDbVersion(), QStringLiteral("(mdb未接続)"));
}

TEST(AboutDlgTest, CreditsTheStationDataSources)
{
    CAboutDlg about(QStringLiteral("20261209(2026-12-09)"));
    EXPECT_TRUE(about.StationDataLabel()->toolTip().isEmpty()) << "a label, not a bare tooltip";
    ASSERT_NE(about.Control(1021), nullptr);
    const QString credits = about.Control(1021)->text();
    for (const char* source : {"「国土数値情報（鉄道データ）」（国土交通省）を加工して作成", "kuwayamamasayuki/ICCardManager",
                               "soltia48/suica-viewer", "zinongli/StationCode"})
        EXPECT_TRUE(credits.contains(QString::fromUtf8(source))) << source;
    EXPECT_LE(about.Control(1021)->geometry().bottom(), about.height()) << "inside the box";
}

TEST(ViewerOptionsTest, HelpAndVersionAnswerWithoutAWindow)
{
    char program[] = "voluni-viewer";
    char help[] = "--help";
    char version[] = "--version";
    char file[] = "week.ent";
    char* asksHelp[] = {program, file, help};
    char* asksVersion[] = {program, version};
    char* opensFile[] = {program, file};
    EXPECT_EQ(AnswerInfoOptions(3, asksHelp), 0);
    EXPECT_EQ(AnswerInfoOptions(2, asksVersion), 0);
    EXPECT_FALSE(AnswerInfoOptions(2, opensFile).has_value());
}

TEST(AboutDlgTest, ShowsTheStationDataVersionAndDate)
{
    const CAboutDlg about(QStringLiteral("2(20261210)"));
    ASSERT_NE(about.StationDataLabel(), nullptr);
    EXPECT_EQ(about.StationDataLabel()->text(), QStringLiteral("駅名データ 2(20261210)"));
}

} // namespace
