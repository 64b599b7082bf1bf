// voluni names, and the names it keeps at work in read, show and history.
#include "StationDbFixture.h"
#include "VoluniCommandFixture.h"

#include "cli/ExitCode.h"

#include <QJsonArray>
#include <QJsonObject>

#include <ostream>
#include <string>

namespace {

// 東京 (0-1-1) -> a station the database does not know (0-1-9), then 東京 -> 有楽町.
const char* const kCardImage = R"({"idm": "01010312A4B5C6D7", "pmm": "100B4B428485D0FF", "systems": ["0003"],
  "history": ["16010000 30A1 01010102 3E26 000002 00", "16010000 30A1 01010109 1027 000001 00"]})";

class NamesCommandTest : public VoluniCommandTest {
protected:
    void SetUp() override
    {
        VoluniCommandTest::SetUp();
        ASSERT_TRUE(m_database.Built()) << m_database.BuildError().toStdString();
    }

    QStringList WithArchive(QStringList args) const
    {
        return args << QStringLiteral("--archive") << m_dir.filePath(QStringLiteral("data/history.sqlite"));
    }
    int Names(const QStringList& args) { return Run(WithArchive(QStringList{QStringLiteral("names")} + args)); }
    // The entries of a read of the card image, as JSON.
    QJsonArray ReadEntries()
    {
        const QString image = WriteFile(QStringLiteral("card.json"), Compact(kCardImage).toUtf8());
        EXPECT_EQ(Run(WithArchive({QStringLiteral("read"), QStringLiteral("--card-image"), image,
                                   QStringLiteral("--database"), m_database.DatabasePath(),
                                   QStringLiteral("--polling-time"), QStringLiteral("0")})),
                  EXIT_OK)
            << m_messages.join('\n').toStdString();
        return Json().value(QStringLiteral("entries")).toArray();
    }
    static QString Field(const QJsonArray& entries, int index, const char* field)
    {
        return entries.at(index).toObject().value(QString::fromLatin1(field)).toString();
    }

    CStationDbFixture m_database;
};

TEST_F(NamesCommandTest, AGivenNameIsListedAndUsedUntilRemoved)
{
    EXPECT_EQ(Field(ReadEntries(), 0, "exitStationName"), QStringLiteral("未登録"));
    ASSERT_EQ(Names({QStringLiteral("set"), QStringLiteral("rail"), QStringLiteral("0-1-9"), QStringLiteral("--station"),
                     QStringLiteral("取引先前"), QStringLiteral("--line"), QStringLiteral("臨時線")}),
              EXIT_OK)
        << m_messages.join('\n').toStdString();
    ASSERT_EQ(Names({QStringLiteral("set"), QStringLiteral("bus"), QStringLiteral("3665-1866"), QStringLiteral("--station"),
                     QStringLiteral("三室"), QStringLiteral("--company"), QStringLiteral("奈良交通, 本社")}),
              EXIT_OK);

    ASSERT_EQ(Names({QStringLiteral("list")}), EXIT_OK);
    EXPECT_EQ(m_output, QStringLiteral("{\n  \"names\": [\n"
                                       "    {\"kind\": \"rail\", \"code\": \"0-1-9\", \"company\": \"\", "
                                       "\"line\": \"臨時線\", \"station\": \"取引先前\"},\n"
                                       "    {\"kind\": \"bus\", \"code\": \"3665-1866\", \"company\": \"奈良交通, 本社\", "
                                       "\"line\": \"\", \"station\": \"三室\"}\n  ]\n}\n")
                            .toUtf8());
    ASSERT_EQ(Names({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv")}), EXIT_OK);
    EXPECT_EQ(m_output, QStringLiteral("kind,code,company,line,station\r\nrail,0-1-9,,臨時線,取引先前\r\n"
                                       "bus,3665-1866,\"奈良交通, 本社\",,三室\r\n")
                            .toUtf8());

    // The read, the archive's history and an entry file all show it.
    const QJsonArray read = ReadEntries();
    EXPECT_EQ(Field(read, 0, "exitStationName"), QStringLiteral("取引先前"));
    EXPECT_EQ(Field(read, 0, "exitLineName"), QStringLiteral("臨時線"));
    EXPECT_EQ(Field(read, 1, "exitStationName"), QStringLiteral("有楽町"));
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--database"), m_database.DatabasePath()})),
              EXIT_OK);
    EXPECT_EQ(Field(Json().value(QStringLiteral("entries")).toArray(), 0, "exitStationName"), QStringLiteral("取引先前"));
    CEntryList stored;
    stored.push_back(FareEntry());
    stored.back()->exitLine = 1;
    stored.back()->exitStation = 9;
    ASSERT_EQ(Run(WithArchive({QStringLiteral("show"), WriteFile(QStringLiteral("week.ent"), StoredFile(std::move(stored)))})),
              EXIT_OK);
    EXPECT_EQ(Field(Json().value(QStringLiteral("entries")).toArray(), 0, "exitStationName"), QStringLiteral("取引先前"));

    // Removing it brings the database's name back, in a read and in the history.
    ASSERT_EQ(Names({QStringLiteral("remove"), QStringLiteral("rail"), QStringLiteral("0-1-9")}), EXIT_OK);
    EXPECT_EQ(Field(ReadEntries(), 0, "exitStationName"), QStringLiteral("未登録"));
    ASSERT_EQ(Run(WithArchive({QStringLiteral("history"), QStringLiteral("--database"), m_database.DatabasePath()})),
              EXIT_OK);
    EXPECT_EQ(Field(Json().value(QStringLiteral("entries")).toArray(), 0, "exitStationName"), QStringLiteral("未登録"));
    // A second removal finds nothing to remove, and says so.
    m_messages.clear();
    ASSERT_EQ(Names({QStringLiteral("remove"), QStringLiteral("rail"), QStringLiteral("0-1-9")}), EXIT_OK);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], QStringLiteral("rail 0-1-9 has no name of its own; nothing removed"));
}

struct BadNamesCase {
    const char* name;
    QStringList args;
    const char* message;
};

void PrintTo(const BadNamesCase& c, std::ostream* os)
{
    *os << c.name;
}

class BadNamesTest : public NamesCommandTest, public testing::WithParamInterface<BadNamesCase> {};

TEST_P(BadNamesTest, SaysWhatIsWrongAndChangesNothing)
{
    ASSERT_EQ(Names({QStringLiteral("set"), QStringLiteral("rail"), QStringLiteral("0-1-9"), QStringLiteral("--station"),
                     QStringLiteral("取引先前")}),
              EXIT_OK);
    ASSERT_EQ(Names({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv")}), EXIT_OK);
    const QByteArray before = m_output;
    m_messages.clear();

    EXPECT_EQ(Names(GetParam().args), EXIT_USAGE);
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_EQ(m_messages[0], QString::fromUtf8(GetParam().message) + QStringLiteral("\nTry 'voluni --help'."));
    ASSERT_EQ(Names({QStringLiteral("list"), QStringLiteral("--format"), QStringLiteral("csv")}), EXIT_OK);
    EXPECT_EQ(m_output, before);
}

INSTANTIATE_TEST_SUITE_P(Input, BadNamesTest, testing::Values(
    BadNamesCase{"CodeOutOfRange", {"set", "rail", "0-1-256", "--station", "x"}, "station code 256 is out of range 0..255"},
    BadNamesCase{"BusCodeOutOfRange", {"set", "bus", "65536-1", "--station", "x"},
                 "bus line code 65536 is out of range 0..65535"},
    BadNamesCase{"NotACode", {"remove", "rail", "0-1"}, "a rail code is AREA-LINE-STATION, three decimal numbers: \"0-1\""},
    BadNamesCase{"EmptyName", {"set", "rail", "0-1-9", "--station", "  "}, "the station name is empty"},
    BadNamesCase{"ControlCharacter", {"set", "rail", "0-1-9", "--station", "取引先前", "--line", "a\nb"},
                 "the line name holds a control character (U+000A)"},
    BadNamesCase{"NoStation", {"set", "rail", "0-1-9", "--line", "臨時線"}, "names set needs --station NAME"},
    BadNamesCase{"UnknownKind", {"set", "tram", "0-1-9", "--station", "x"},
                 "names set takes rail AREA-LINE-STATION or bus LINE-STOP"},
    BadNamesCase{"RemoveWithName", {"remove", "rail", "0-1-9", "--station", "x"}, "names remove takes no --station"},
    BadNamesCase{"UnknownSubCommand", {"rename"}, "unknown names command: rename"},
    BadNamesCase{"ListWithArgument", {"list", "rail"}, "names list takes no further argument"}),
    [](const testing::TestParamInfo<BadNamesCase>& info) { return std::string(info.param.name); });

// The sample card of the repository, named by the database the build makes.
TEST_F(VoluniCommandTest, SampleCardReadSaysTheFullLineName)
{
    ASSERT_EQ(Run({QStringLiteral("read"), QStringLiteral("--card-image"),
                   QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json"), QStringLiteral("--database"),
                   QStringLiteral(VOLUNI_BINARY_DIR "/bin/VoluniStn.mdb"), QStringLiteral("--no-archive"),
                   QStringLiteral("--polling-time"), QStringLiteral("0")}),
              EXIT_OK)
        << m_messages.join('\n').toStdString();
    const QJsonObject first = Json().value(QStringLiteral("entries")).toArray().at(0).toObject();
    EXPECT_EQ(first.value(QStringLiteral("entryLineName")).toString(), QStringLiteral("中央本線"));
    EXPECT_EQ(first.value(QStringLiteral("exitLineName")).toString(), QStringLiteral("中央本線"));
}

} // namespace
