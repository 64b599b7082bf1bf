#include "stationdb/StationDb.h"
#include "StationDbFixture.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sqlite3.h>

#include "stationdb/SqliteStatement.h"

namespace {

class StationDbTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_fixture.Built()) << m_fixture.BuildError().toStdString();
    }

    void Connect()
    {
        ASSERT_TRUE(m_db.Connect(m_fixture.ConnectString(), CStationDbFixture::kPassword, 10))
            << m_db.LastError().toStdString();
    }

    CStationDbFixture m_fixture;
    CStationDb m_db;
};

struct StationCase {
    const char* name;
    uint8_t area, line, station;
    bool found;
    const char* stationName;
    const char* lineName;
    const char* company;
    double latitude, longitude;
};

void PrintTo(const StationCase& c, std::ostream* os)
{
    *os << c.name;
}


class LookupStationTest : public StationDbTest, public testing::WithParamInterface<StationCase> {};

TEST_P(LookupStationTest, FillsNamesAndCoordinatesFromTheFirstRow)
{
    const StationCase& c = GetParam();
    Connect();
    QString stationName = u"old"_qs, lineName = u"old"_qs, company = u"old"_qs;
    double latitude = -1.0, longitude = -2.0;
    EXPECT_EQ(m_db.LookupStation(c.area, c.line, c.station, stationName, lineName, company, latitude, longitude),
              c.found);
    EXPECT_EQ(stationName, QString::fromUtf8(c.stationName));
    EXPECT_EQ(lineName, QString::fromUtf8(c.lineName));
    EXPECT_EQ(company, QString::fromUtf8(c.company));
    EXPECT_DOUBLE_EQ(latitude, c.latitude);
    EXPECT_DOUBLE_EQ(longitude, c.longitude);
}

INSTANTIATE_TEST_SUITE_P(Rows, LookupStationTest, testing::Values(
    StationCase{"JoinedWithCompany", 0, 1, 1, true, "東京", "東海道", "JR東日本", 35.681264, 139.766798},
    StationCase{"NullLineName", 3, 251, 48, true, "虎ノ門", "", "東京メトロ", 35.670236, 139.749832},
    StationCase{"FirstOfTwoRowsWins", 0, 2, 5, true, "上野", "東北", "JR東日本", 35.713768, 139.777254},
    StationCase{"NullCoordinatesGiveZero", 0, 3, 7, true, "位置不明", "中央", "JR東日本", 0.0, 0.0},
    // A missing code names the station but leaves the coordinates alone.
    StationCase{"MissingRow", 0, 1, 3, false, "未登録", "", "", -1.0, -2.0}),
    [](const testing::TestParamInfo<StationCase>& info) { return std::string(info.param.name); });

TEST_F(StationDbTest, LooksUpBusStops)
{
    Connect();
    QString stopName, lineName = u"old"_qs, company;
    EXPECT_TRUE(m_db.LookupBusStop(31, 1324, stopName, lineName, company));
    EXPECT_EQ(stopName, u"阿倍野"_qs);
    EXPECT_EQ(lineName, u"赤バス"_qs);
    EXPECT_EQ(company, u"大阪市交通局"_qs);

    EXPECT_TRUE(m_db.LookupBusStop(3665, 1866, stopName, lineName, company));
    EXPECT_EQ(stopName, u"三室山下"_qs);
    EXPECT_EQ(lineName, QString());

    EXPECT_FALSE(m_db.LookupBusStop(3665, 1867, stopName, lineName, company));
    EXPECT_EQ(stopName, u"未登録"_qs);
    EXPECT_EQ(lineName, QString());
    EXPECT_EQ(company, QString());
}

struct SpoilCase {
    const char* name;
    const char* sql;
};

void PrintTo(const SpoilCase& c, std::ostream* os)
{
    *os << c.name;
}


class StatementCannotRunTest : public StationDbTest, public testing::WithParamInterface<SpoilCase> {};

// Spoiled after connecting: every statement fails at its first step.
TEST_P(StatementCannotRunTest, ChangesNothing)
{
    Connect();
    ASSERT_TRUE(m_fixture.Exec(GetParam().sql));
    QString name = u"name"_qs, line = u"line"_qs, company = u"company"_qs, date = u"date"_qs;
    double latitude = 1.0, longitude = 2.0;
    int version = 7;
    EXPECT_FALSE(m_db.LookupStation(0, 1, 1, name, line, company, latitude, longitude));
    EXPECT_FALSE(m_db.LookupBusStop(31, 1324, name, line, company));
    EXPECT_FALSE(m_db.ReadVersion(version, date));
    EXPECT_EQ(name, u"name"_qs);
    EXPECT_EQ(line, u"line"_qs);
    EXPECT_EQ(company, u"company"_qs);
    EXPECT_EQ(latitude, 1.0);
    EXPECT_EQ(longitude, 2.0);
    EXPECT_EQ(version, 7);
    EXPECT_EQ(date, u"date"_qs);
}

INSTANTIATE_TEST_SUITE_P(Spoiled, StatementCannotRunTest, testing::Values(
    SpoilCase{"TablesDropped", "DROP TABLE StationCode; DROP TABLE BusCode; DROP TABLE Version;"},
    SpoilCase{"ColumnsMissing", "ALTER TABLE Company DROP COLUMN Abbreviation; "
                                "ALTER TABLE BusCode RENAME COLUMN BusLineName TO Other; "
                                "ALTER TABLE Version RENAME COLUMN Date TO Other;"}),
    [](const testing::TestParamInfo<SpoilCase>& info) { return std::string(info.param.name); });

// A table missing from the start costs only the statements that need it.
TEST_F(StationDbTest, MissingTableFailsOnlyItsOwnStatements)
{
    ASSERT_TRUE(m_fixture.Exec("DROP TABLE Version; DROP TABLE BusCode;"));
    Connect();
    QString name, line, company;
    double latitude = 0.0, longitude = 0.0;
    EXPECT_TRUE(m_db.LookupStation(0, 1, 1, name, line, company, latitude, longitude));
    EXPECT_EQ(name, u"東京"_qs);
    QString stop = u"stop"_qs;
    EXPECT_FALSE(m_db.LookupBusStop(31, 1324, stop, line, company));
    EXPECT_EQ(stop, u"stop"_qs);
    int version = 7;
    QString date = u"date"_qs;
    EXPECT_FALSE(m_db.ReadVersion(version, date));
    EXPECT_EQ(version, 7);
    EXPECT_EQ(m_db.VersionText(m_fixture.ConnectString(), CStationDbFixture::kPassword), QString());
}

// The reason after the file: the system's for a file that cannot be read, the engine's for one that is no database.
TEST_F(StationDbTest, FailedConnectNamesTheFileAndTheReason)
{
    const QString folder = m_fixture.FolderPath();
    const QString text = folder + u"/text.mdb"_qs;
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is no database, but it is long enough to hold a header of one hundred bytes or so......\n");
    file.close();
    const struct {
        QString path;
        QString reason;
    } cases[] = {
        {folder + u"/none.mdb"_qs, u"No such file or directory"_qs},
        {text, u"file is not a database"_qs},
        {folder, u"file to open is a directory"_qs},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(m_db.Connect(QStringLiteral("DBQ=%1;").arg(c.path), CStationDbFixture::kPassword, 10));
        EXPECT_EQ(m_db.LastError(), c.path + u": "_qs + c.reason);
    }
}

TEST_F(StationDbTest, SendsTheStationStatementWithDecimalCodes)
{
    QStringList statements;
    m_db.SetStatementTrace([&statements](const QString& sql) { statements.append(sql); });
    Connect();
    QString name, line, company;
    double latitude = 0.0, longitude = 0.0;
    m_db.LookupStation(3, 251, 48, name, line, company, latitude, longitude);
    ASSERT_EQ(statements.size(), 1);
    EXPECT_EQ(statements.front(),
              u"SELECT StationCode.StationName, StationCode.LineName, Company.Abbreviation, StationCode.Latitude, "
              "StationCode.Longitude, StationCode.Number FROM StationCode INNER JOIN Company ON "
              "StationCode.CompanyCode = Company.Code WHERE (((StationCode.AreaCode)=3) AND "
              "((StationCode.LineCode)=251) AND ((StationCode.StationCode)=48));"_qs);
}

struct VersionCase {
    const char* name;
    const char* sql;           // applied to the sample database first
    const char* text;          // VersionText
};

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << c.name;
}


class VersionTextTest : public StationDbTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTextTest, JoinsNumberAndDate)
{
    ASSERT_TRUE(m_fixture.Exec(GetParam().sql));
    EXPECT_EQ(m_db.VersionText(m_fixture.ConnectString(), CStationDbFixture::kPassword),
              QString::fromUtf8(GetParam().text));
    EXPECT_FALSE(m_db.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Rows, VersionTextTest, testing::Values(
    VersionCase{"AsBuilt", "", "3(20090401)"},
    VersionCase{"TextStartingWithDigits", "UPDATE Version SET Version = '12abc'", "12(20090401)"},
    VersionCase{"SignAndSpaces", "UPDATE Version SET Version = '  -4x'", "-4(20090401)"},
    VersionCase{"NoDigits", "UPDATE Version SET Version = 'abc'", "0(20090401)"},
    VersionCase{"DateInSeconds", "UPDATE Version SET Date = 1238544000", "3(20090401)"},
    VersionCase{"EmptyTable", "DELETE FROM Version", ""},
    VersionCase{"NullDate", "UPDATE Version SET Date = NULL", ""}),
    [](const testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

TEST_F(StationDbTest, VersionTextWithoutDatabaseIsEmpty)
{
    EXPECT_EQ(m_db.VersionText(u"DBQ=/nonexistent/VoluniStn.mdb;"_qs, CStationDbFixture::kPassword), QString());
}

struct ConnectCase {
    const char* name;
    QString (*connectString)(const CStationDbFixture&);
    uint32_t options;
    bool connects;
};

void PrintTo(const ConnectCase& c, std::ostream* os)
{
    *os << c.name;
}


class ConnectTest : public StationDbTest, public testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectTest, OpensOnlyAStationDatabase)
{
    const ConnectCase& c = GetParam();
    EXPECT_EQ(m_db.Connect(c.connectString(m_fixture), CStationDbFixture::kPassword, c.options), c.connects)
        << m_db.LastError().toStdString();
    EXPECT_EQ(m_db.IsOpen(), c.connects);
    EXPECT_EQ(m_db.LastError().isEmpty(), c.connects);
}

QString WriteFile(const CStationDbFixture& fixture, const char* name, const QByteArray& bytes)
{
    const QString path = fixture.FolderPath() + u'/' + QString::fromUtf8(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return QStringLiteral("DBQ=%1;").arg(path);
}

QString DatabaseWith(const CStationDbFixture& fixture, const char* name, const char* sql)
{
    const QString path = fixture.FolderPath() + u'/' + QString::fromUtf8(name);
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return QStringLiteral("DBQ=%1;").arg(path);
}

QString TwoTableDatabase(const CStationDbFixture& fixture)
{
    return DatabaseWith(fixture, "two.db", "CREATE TABLE StationCode (AreaCode INTEGER); CREATE TABLE Company (Code INTEGER);");
}

QString OtherDatabase(const CStationDbFixture& fixture)
{
    return DatabaseWith(fixture, "other.db", "CREATE TABLE Accounts (Id INTEGER);");
}

INSTANTIATE_TEST_SUITE_P(Strings, ConnectTest, testing::Values(
    ConnectCase{"DefaultForm", [](const CStationDbFixture& f) { return f.ConnectString(); }, 10, true},
    ConnectCase{"BracedPathLowerCaseKey",
                [](const CStationDbFixture& f) { return QStringLiteral("dbq={%1};").arg(f.DatabasePath()); }, 10, true},
    ConnectCase{"EmptyWithOptions", [](const CStationDbFixture&) { return QString(); }, 10, false},
    ConnectCase{"EmptyWithoutOptions", [](const CStationDbFixture&) { return QString(); }, 0, false},
    ConnectCase{"NoDbqClause",
                [](const CStationDbFixture&) { return u"Driver=Microsoft Access Driver (*.mdb);PageTimeout=5;"_qs; },
                10, false},
    // Without the trailing ';' the password clause runs into the path.
    ConnectCase{"NoTrailingSemicolon",
                [](const CStationDbFixture& f) { return QStringLiteral("DBQ=%1").arg(f.DatabasePath()); }, 10, false},
    ConnectCase{"MissingFile",
                [](const CStationDbFixture& f) { return QStringLiteral("DBQ=%1/none.mdb;").arg(f.FolderPath()); },
                10, false},
    ConnectCase{"NotADatabase",
                [](const CStationDbFixture& f) { return WriteFile(f, "text.mdb", "this is no database\n"); }, 10, false},
    ConnectCase{"EmptyFile", [](const CStationDbFixture& f) { return WriteFile(f, "empty.mdb", {}); }, 10, false},
    ConnectCase{"TwoOfTheFourTables", TwoTableDatabase, 10, true},
    ConnectCase{"NoneOfTheFourTables", OtherDatabase, 10, false}),
    [](const testing::TestParamInfo<ConnectCase>& info) { return std::string(info.param.name); });

struct ValueCase {
    const char* name;
    const char* declaredType;
    const char* value;         // SQL literal
    const char* text;
};

void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.name;
}


class ValueTextTest : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueTextTest, FollowsDeclaredTypeAndStorage)
{
    const ValueCase& c = GetParam();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    const QByteArray setup = QStringLiteral("CREATE TABLE T (V %1); INSERT INTO T VALUES (%2);")
                                 .arg(QString::fromUtf8(c.declaredType), QString::fromUtf8(c.value)).toUtf8();
    ASSERT_EQ(sqlite3_exec(db, setup.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    {
        const SqliteStatementPtr statement = PrepareSqlite(db, "SELECT V FROM T");
        ASSERT_TRUE(statement);
        ASSERT_EQ(sqlite3_step(statement.get()), SQLITE_ROW);
        EXPECT_EQ(CStationDb::ValueText(statement.get(), 0), QString::fromUtf8(c.text));
    }
    sqlite3_close(db);
}

INSTANTIATE_TEST_SUITE_P(Types, ValueTextTest, testing::Values(
    ValueCase{"Integer", "INTEGER", "-42", "-42"},
    ValueCase{"Boolean", "BOOLEAN", "1", "1"},
    ValueCase{"Real", "REAL", "35.5", "35.500000"},
    ValueCase{"Text", "TEXT", "'東京'", "東京"},
    ValueCase{"NumberInTextColumn", "TEXT", "12", "12"},
    ValueCase{"Null", "TEXT", "NULL", ""},
    ValueCase{"Blob", "BLOB", "x'0102'", ""},
    ValueCase{"DateText", "DATE", "'2009-04-01'", "20090401"},
    ValueCase{"DateTimeTextDropsTime", "DATETIME", "'2009-04-01 23:59:59'", "20090401"},
    ValueCase{"TimestampSeconds", "TIMESTAMP", "1238630399", "20090401"},
    ValueCase{"DateNotIsoStaysText", "DATE", "'平成21年'", "平成21年"},
    ValueCase{"DateNull", "DATE", "NULL", ""},
    ValueCase{"UndeclaredText", "", "'abc'", "abc"}),
    [](const testing::TestParamInfo<ValueCase>& info) { return std::string(info.param.name); });

// The database the build generates from data/.
TEST(GeneratedStationDbTest, ResolvesTokyo)
{
    const QString path = QStringLiteral(VOLUNI_BINARY_DIR "/bin/VoluniStn.mdb");
    // Every normal build generates it; its absence is a build fault.
    ASSERT_TRUE(QFile::exists(path)) << "no generated database at " << path.toStdString();
    CStationDb db;
    ASSERT_TRUE(db.Connect(QStringLiteral("Driver=Microsoft Access Driver (*.mdb);DBQ=%1;PageTimeout=5;").arg(path),
                           CStationDbFixture::kPassword, 10)) << db.LastError().toStdString();
    QString name, line, company;
    double latitude = 0.0, longitude = 0.0;
    ASSERT_TRUE(db.LookupStation(0, 1, 1, name, line, company, latitude, longitude));
    EXPECT_EQ(name, u"東京"_qs);
    EXPECT_EQ(company, u"JR東日本"_qs);
    EXPECT_NEAR(latitude, 35.68, 0.01);
    EXPECT_NEAR(longitude, 139.77, 0.01);
    // The line's full name, not the code list's short form "東海道".
    EXPECT_EQ(line, u"東海道本線"_qs);
    ASSERT_TRUE(db.LookupStation(0, 3, 13, name, line, company, latitude, longitude));
    EXPECT_EQ(name, u"新宿"_qs);
    EXPECT_EQ(line, u"中央本線"_qs);
    // A correction of the data: a typo mended.
    ASSERT_TRUE(db.LookupStation(0, 50, 194, name, line, company, latitude, longitude));
    EXPECT_EQ(name, u"北一已"_qs);
    EXPECT_EQ(db.VersionText(QStringLiteral("DBQ=%1;").arg(path), CStationDbFixture::kPassword), u"2(20261210)"_qs);
}

} // namespace
