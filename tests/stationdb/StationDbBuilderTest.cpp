#include "StationDbBuilder.h"
#include "StationDbFixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include "stationdb/SqliteStatement.h"

namespace {

// Every column of every table, in order, as "Table.Column TYPE".
QStringList Schema(const QString& path)
{
    QStringList columns;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        const SqliteStatementPtr statement = PrepareSqlite(db,
            "SELECT m.name, p.name, p.type FROM sqlite_master m, pragma_table_info(m.name) p "
            "WHERE m.type = 'table' ORDER BY m.name, p.cid");
        while (statement && sqlite3_step(statement.get()) == SQLITE_ROW) {
            columns.append(QStringLiteral("%1.%2 %3").arg(
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0))),
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 1))),
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 2)))));
        }
    }
    sqlite3_close(db);
    return columns;
}

// The first column of the first row of sql, as text.
QString QueryText(const QString& path, const char* sql)
{
    QString text;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        const SqliteStatementPtr statement = PrepareSqlite(db, sql);
        if (statement && sqlite3_step(statement.get()) == SQLITE_ROW)
            text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
    }
    sqlite3_close(db);
    return text;
}

TEST(StationDbBuilderTest, BuildsTheTablesTheQueriesRead)
{
    const CStationDbFixture fixture;
    ASSERT_TRUE(fixture.Built()) << fixture.BuildError().toStdString();
    EXPECT_EQ(Schema(fixture.DatabasePath()), QStringList({
        u"BusCode.Number INTEGER"_qs, u"BusCode.BusLineCode INTEGER"_qs, u"BusCode.BusStationCode INTEGER"_qs,
        u"BusCode.BusCompanyName TEXT"_qs, u"BusCode.BusLineName TEXT"_qs, u"BusCode.BusStationName TEXT"_qs,
        u"Company.Code INTEGER"_qs, u"Company.Abbreviation TEXT"_qs,
        u"StationCode.Number INTEGER"_qs, u"StationCode.AreaCode INTEGER"_qs, u"StationCode.LineCode INTEGER"_qs,
        u"StationCode.StationCode INTEGER"_qs, u"StationCode.CompanyCode INTEGER"_qs,
        u"StationCode.LineName TEXT"_qs, u"StationCode.StationName TEXT"_qs, u"StationCode.Latitude REAL"_qs,
        u"StationCode.Longitude REAL"_qs, u"Version.Version INTEGER"_qs, u"Version.Date DATE"_qs}));
    // Company codes are numbered in file order.
    EXPECT_EQ(QueryText(fixture.DatabasePath(), "SELECT CompanyCode FROM StationCode WHERE StationName = '虎ノ門'"),
              u"2"_qs);
    EXPECT_EQ(QueryText(fixture.DatabasePath(), "SELECT count(*) FROM StationCode"), u"6"_qs);
    EXPECT_EQ(QueryText(fixture.DatabasePath(), "SELECT count(*) FROM sqlite_master WHERE type = 'index' "
                                                "AND name IN ('StationCodeKey', 'BusCodeKey')"), u"2"_qs);
    EXPECT_EQ(QueryText(fixture.DatabasePath(), "SELECT Version || ' ' || Date FROM Version"), u"3 2009-04-01"_qs);
}

TEST(StationDbBuilderTest, ReadsQuotedFields)
{
    CStationCsv csv = SampleStationCsv();
    csv.busStops += u"7,8,\"A, \"\"B\"\"\",\"two\nlines\",\"\"\n"_qs;
    const CStationDbFixture fixture(csv);
    ASSERT_TRUE(fixture.Built()) << fixture.BuildError().toStdString();
    EXPECT_EQ(QueryText(fixture.DatabasePath(),
                        "SELECT BusCompanyName || '|' || BusLineName || '|' || ifnull(BusStationName, 'null') "
                        "FROM BusCode WHERE BusLineCode = 7"),
              u"A, \"B\"|two\r\nlines|null"_qs);
}

// The sample with full line names: a line code hosting two lines (0-24), a
// name that is a correction rather than a longer form (2-184 上町線), and a row
// of no line (0-3 中央) that keeps its own.
CStationCsv WithLineNames(const char* extraLines = "")
{
    CStationCsv csv = SampleStationCsv();
    csv.stations += u"0,24,1,東日本旅客鉄道,南武,川崎,,\n"
                    "0,24,70,東日本旅客鉄道,青梅,立川,,\n"
                    "2,184,57,東京地下鉄,上町線,船尾,,\n"_qs;
    csv.lineNames = u"AreaCode,LineCode,LineName,FullLineName,Source\n"
                    "0,1,東海道,東海道本線,N02-23\n"
                    "0,2,東北,東北本線,N02-23\n"
                    "0,24,南武,南武線,N02-23\n"
                    "0,24,青梅,青梅線,N02-23\n"
                    "2,184,上町線,阪堺線,correction\n"_qs
        + QString::fromUtf8(extraLines);
    return csv;
}

TEST(StationDbBuilderTest, WritesTheFullNameOfEachStationsLine)
{
    const CStationDbFixture fixture(WithLineNames());
    ASSERT_TRUE(fixture.Built()) << fixture.BuildError().toStdString();
    const QString path = fixture.DatabasePath();
    EXPECT_EQ(QueryText(path, "SELECT group_concat(DISTINCT LineName) FROM StationCode WHERE LineCode = 1"),
              u"東海道本線"_qs);
    EXPECT_EQ(QueryText(path, "SELECT LineName FROM StationCode WHERE StationName = '川崎'"), u"南武線"_qs);
    EXPECT_EQ(QueryText(path, "SELECT LineName FROM StationCode WHERE StationName = '立川'"), u"青梅線"_qs);
    EXPECT_EQ(QueryText(path, "SELECT LineName FROM StationCode WHERE StationName = '船尾'"), u"阪堺線"_qs);
    EXPECT_EQ(QueryText(path, "SELECT LineName FROM StationCode WHERE StationName = '位置不明'"), u"中央"_qs);
    EXPECT_EQ(QueryText(path, "SELECT ifnull(LineName, 'null') FROM StationCode WHERE StationName = '虎ノ門'"),
              u"null"_qs);
}

struct BadInput {
    const char* name;
    CStationCsv (*csv)();
    const char* message;       // expected in the error text, after the folder
};

void PrintTo(const BadInput& c, std::ostream* os)
{
    *os << c.name;
}


CStationCsv WithStations(const char* rows)
{
    CStationCsv csv = SampleStationCsv();
    csv.stations += QString::fromUtf8(rows);
    return csv;
}

CStationCsv WithBusStops(const char* rows)
{
    CStationCsv csv = SampleStationCsv();
    csv.busStops += QString::fromUtf8(rows);
    return csv;
}

class BadInputTest : public testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, IsRefusedWithFileLineAndReason)
{
    const CStationDbFixture fixture(GetParam().csv());
    EXPECT_FALSE(fixture.Built());
    EXPECT_TRUE(fixture.BuildError().contains(QString::fromUtf8(GetParam().message)))
        << fixture.BuildError().toStdString();
    EXPECT_FALSE(QFile::exists(fixture.DatabasePath()));
    // No temporary file left behind either.
    EXPECT_EQ(QDir(fixture.FolderPath()).entryList({u"*.mdb*"_qs}, QDir::Files), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Rows, BadInputTest, testing::Values(
    BadInput{"TooFewFields", [] { return WithStations("0,1,9,東日本旅客鉄道,東海道,新橋,35.6\n"); },
             "/stations.csv:8: 7 fields, expected 8"},
    BadInput{"TooManyFields", [] { return WithBusStops("1,2,a,b,c,d\n"); }, "/bus_stops.csv:5: 6 fields, expected 5"},
    BadInput{"NonNumericCode", [] { return WithStations("0,1,x9,東日本旅客鉄道,東海道,新橋,,\n"); },
             "/stations.csv:8: StationCode \"x9\" is not a decimal number"},
    BadInput{"NegativeCode", [] { return WithBusStops("-1,2,a,b,c\n"); },
             "/bus_stops.csv:5: BusLineCode \"-1\" is not a decimal number"},
    BadInput{"AreaOutOfRange", [] { return WithStations("256,1,9,東日本旅客鉄道,東海道,新橋,,\n"); },
             "/stations.csv:8: AreaCode 256 is out of range 0..255"},
    BadInput{"BusStopOutOfRange", [] { return WithBusStops("1,65536,a,b,c\n"); },
             "/bus_stops.csv:5: BusStationCode 65536 is out of range 0..65535"},
    BadInput{"LatitudeNotANumber", [] { return WithStations("0,1,9,東日本旅客鉄道,東海道,新橋,north,139\n"); },
             "/stations.csv:8: Latitude \"north\" is not a number of degrees within +-90"},
    BadInput{"UnknownCompany", [] { return WithStations("0,1,9,どこか鉄道,東海道,新橋,,\n"); },
             "/stations.csv:8: company \"どこか鉄道\" is not in " },
    BadInput{"QuoteNotClosed", [] { return WithBusStops("1,2,\"a,b,c\n"); }, "/bus_stops.csv:5: quoted field not closed"},
    BadInput{"TextAfterQuote", [] { return WithBusStops("1,2,\"a\"x,b,c\n"); },
             "/bus_stops.csv:5: text after a closing quote"},
    BadInput{"QuoteInsideField", [] { return WithBusStops("1,2,a\"b,b,c\n"); },
             "/bus_stops.csv:5: quote inside an unquoted field"},
    BadInput{"WrongHeader",
             [] {
                 CStationCsv csv = SampleStationCsv();
                 csv.companies.replace(u"Abbreviation"_qs, u"Short"_qs);
                 return csv;
             },
             "/companies.csv:1: header is not \"CompanyName,Abbreviation\""},
    BadInput{"VersionDate",
             [] {
                 CStationCsv csv = SampleStationCsv();
                 csv.version = u"Version,Date\n3,2009-02-30\n"_qs;
                 return csv;
             },
             "/version.csv:2: Date \"2009-02-30\" is not a date YYYY-MM-DD"},
    BadInput{"TwoVersionRows",
             [] {
                 CStationCsv csv = SampleStationCsv();
                 csv.version += u"4,2010-01-01\n"_qs;
                 return csv;
             },
             "/version.csv: one row expected, found 2"},
    BadInput{"LineWithoutStations", [] { return WithLineNames("0,9,山手,山手線,N02-23\n"); },
             "/line_names.csv:7: line 0-9 \"山手\" has no station row"},
    BadInput{"LineListedTwice", [] { return WithLineNames("0,24,青梅,青梅線,N02-23\n"); },
             "/line_names.csv:7: line 0-24 \"青梅\" listed twice, first on line 5"},
    BadInput{"EmptyFullLineName", [] { return WithLineNames("0,3,中央,,N02-23\n"); },
             "/line_names.csv:7: empty FullLineName"},
    BadInput{"LineCodeOutOfRange", [] { return WithLineNames("0,300,中央,中央本線,N02-23\n"); },
             "/line_names.csv:7: LineCode 300 is out of range 0..255"}),
    [](const testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

TEST(StationDbBuilderTest, FailedBuildKeepsTheOldDatabase)
{
    const CStationDbFixture fixture;
    ASSERT_TRUE(fixture.Built()) << fixture.BuildError().toStdString();
    ASSERT_TRUE(WriteCsvFile(fixture.Files().stations,
                             u"AreaCode,LineCode,StationCode,CompanyName,LineName,StationName,Latitude,Longitude\n"
                             "0,1,1,東日本旅客鉄道,東海道,新しい東京,,\n"
                             "0,1,300,東日本旅客鉄道,東海道,新橋,,\n"_qs));
    CStationDbBuilder builder;
    EXPECT_FALSE(builder.Build(fixture.Files(), fixture.DatabasePath()));
    EXPECT_EQ(QueryText(fixture.DatabasePath(), "SELECT StationName FROM StationCode WHERE Number = 1"), u"東京"_qs);
    EXPECT_EQ(QDir(fixture.FolderPath()).entryList({u"VoluniStn.mdb*"_qs}, QDir::Files),
              QStringList({u"VoluniStn.mdb"_qs}));
}

TEST(StationDbBuilderTest, MissingFileIsNamed)
{
    const CStationDbFixture fixture;
    CStationDataFiles files = fixture.Files();
    files.busStops = fixture.FolderPath() + u"/none.csv"_qs;
    CStationDbBuilder builder;
    EXPECT_FALSE(builder.Build(files, fixture.DatabasePath()));
    EXPECT_TRUE(builder.ErrorText().startsWith(files.busStops)) << builder.ErrorText().toStdString();
}

} // namespace
