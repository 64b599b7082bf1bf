// The claim CSV: columns, claimed rows only, title row, both encodings, quoting.
#include "ClaimFixture.h"

#include "settings/AppProfile.h"
#include "claim/ClaimColumns.h"
#include "claim/ClaimCsvWriter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

struct CsvCase {
    const char* name;
    const char* columns;
    bool applyOnly;
    bool titleRow;
    const char* expected;   // UTF-8, after the byte order mark
};

class ClaimCsvCaseTest : public testing::TestWithParam<CsvCase> {};

TEST_P(ClaimCsvCaseTest, WritesTheChosenColumnsAndRows)
{
    const CsvCase& c = GetParam();
    const CEntryList entries = ClaimFixture();
    SClaimCsvOptions options;
    ASSERT_TRUE(ParseClaimColumns(QString::fromLatin1(c.columns), options.columns));
    options.applyOnly = c.applyOnly;
    options.titleRow = c.titleRow;
    options.encoding = CsvEncoding::Utf8Bom;
    EXPECT_EQ(ClaimEntriesToCsv(Rows(entries), options), kBom + QByteArray(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClaimCsvCaseTest,
    testing::Values(
        // Quoting (a comma, quotes), plain amounts, a charge as its magnitude.
        CsvCase{"defaultColumns", "2,5,8,9,11,12", false, true,
                "日付,入場駅名,出場駅名,料金/入金額,訪問先,備考\r\n"
                "2021/01/01,東京,\"新宿, 西口\",1500,本社,\"say \"\"hi\"\"\"\r\n"
                "2021/01/02,,,1000,,現金チャージ\r\n"
                "2021/01/03,有楽町,東京,12345,,\r\n"},
        CsvCase{"applyOnlyWithoutTitle", "2,9", true, false, "2021/01/01,1500\r\n"},
        CsvCase{"orderAsGiven", "9,1,2", false, true,
                "料金/入金額,申請,日付\r\n1500,1,2021/01/01\r\n1000,0,2021/01/02\r\n12345,0,2021/01/03\r\n"},
        CsvCase{"balanceAndDistance", "10,13", false, true, "残高,距離(km)\r\n12345,3.5\r\n13345,0.0\r\n0,0.0\r\n"},
        CsvCase{"gateTimes", "2,14", false, true,
                "日付,時刻\r\n2021/01/01,08:12–08:40\r\n2021/01/02,\r\n2021/01/03,–19:05\r\n"},
        CsvCase{"emptyFieldLast", "3,4", true, true, "入場会社名,入場路線名\r\nJR東日本,\r\n"}),
    [](const testing::TestParamInfo<CsvCase>& info) { return std::string(info.param.name); });

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

TEST(ClaimCsvWriterTest, ShiftJisIsTheDefaultAndHasNoByteOrderMark)
{
    const CEntryList entries = ClaimFixture();
    SClaimCsvOptions options;
    ASSERT_TRUE(ParseClaimColumns(QStringLiteral("5"), options.columns));
    // 入場駅名, 東京, an empty field, 有楽町 in CP932
    EXPECT_EQ(ClaimEntriesToCsv(Rows(entries), options),
              Hex("93fc8fea897796bc0d0a" "938c8b9e0d0a" "0d0a" "974c8a7992ac0d0a"));
}

TEST(ClaimCsvWriterTest, ShiftJisTakesJisVariantsAndMarksWhatItLacks)
{
    // WAVE DASH and MINUS SIGN as CP932 has them; an emoji and a CJK extension
    // character that CP932 lacks become "?".
    EXPECT_EQ(EncodeCsvText(QStringLiteral("a〜−😀𠮷b"), CsvEncoding::ShiftJis), Hex("61" "8160" "817c" "3f" "3f" "62"));
    EXPECT_EQ(EncodeCsvText(QStringLiteral("ｱ①"), CsvEncoding::ShiftJis), Hex("b1" "8740"));
    EXPECT_EQ(EncodeCsvText(QStringLiteral("〜😀"), CsvEncoding::Utf8Bom), QStringLiteral("〜😀").toUtf8());
}

TEST(ClaimCsvWriterTest, ColumnListsParseOrAreRefused)
{
    const struct {
        const char* text;
        bool ok;
        std::vector<int> columns;
    } cases[] = {
        {"2,5,8,9,11,12", true, {2, 5, 8, 9, 11, 12}},
        {" 13 , 1 ", true, {13, 1}},
        {"", false, {}},
        {"0", false, {}},
        {"14,2", true, {14, 2}},
        {"15", false, {}},
        {"2,,5", false, {}},
        {"2,x", false, {}},
    };
    for (const auto& c : cases) {
        std::vector<int> columns{7};
        EXPECT_EQ(ParseClaimColumns(QString::fromLatin1(c.text), columns), c.ok) << c.text;
        EXPECT_EQ(columns, c.ok ? c.columns : std::vector<int>{7}) << c.text;
    }
}

TEST(ClaimCsvWriterTest, OptionsComeFromAndGoToTheSettingsRecord)
{
    CAppProfile profile;
    profile.m_strCsvOutputItem = QStringLiteral("2,5,8,9,11,12");
    profile.m_bCsvOutputHeader = 1;
    SClaimCsvOptions options = ClaimCsvOptionsFrom(profile);
    EXPECT_EQ(options.columns, (std::vector<int>{2, 5, 8, 9, 11, 12}));
    EXPECT_FALSE(options.applyOnly);
    EXPECT_TRUE(options.titleRow);
    EXPECT_EQ(options.encoding, CsvEncoding::ShiftJis);

    options.columns = {13, 2};
    options.applyOnly = true;
    options.titleRow = false;
    options.encoding = CsvEncoding::Utf8Bom;
    StoreClaimCsvOptions(options, profile);
    EXPECT_EQ(profile.m_strCsvOutputItem, QStringLiteral("13,2"));
    EXPECT_EQ(profile.m_bCsvApplyOnly, 1);
    EXPECT_EQ(profile.m_bCsvOutputHeader, 0);
    EXPECT_EQ(profile.m_nCsvEncoding, 1);

    // A stored list that does not parse gives the default columns.
    profile.m_strCsvOutputItem = QStringLiteral("2,99");
    EXPECT_EQ(ClaimCsvOptionsFrom(profile).columns, (std::vector<int>{2, 5, 8, 9, 11, 12}));
}

TEST(ClaimCsvWriterTest, AFailedWriteSaysWhyAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const CEntryList entries = ClaimFixture();
    SClaimCsvOptions options;
    options.columns = {2};
    const QString path = dir.filePath(QStringLiteral("claim.csv"));
    QString error;
    ASSERT_TRUE(WriteClaimCsv(path, Rows(entries), options, error)) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("\r\n"), 4);

    const QString missingFolder = dir.filePath(QStringLiteral("none/claim.csv"));
    EXPECT_FALSE(WriteClaimCsv(missingFolder, Rows(entries), options, error));
    EXPECT_TRUE(error.startsWith(missingFolder)) << error.toStdString();
}

} // namespace
