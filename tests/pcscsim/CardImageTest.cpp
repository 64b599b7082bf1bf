#include "readers/sim/CardImage.h"
#include "card/HistoryDecoder.h"

#include "HexBytes.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace {

TEST(CardImage, LoadsAllFields)
{
    CCardImage image;
    const QString error = image.LoadJson(R"({"idm": "0101031234567890", "pmm": "100b4b428485d0ff",
        "systems": ["0003", "FE00"],
        "history": ["160100003466030D03018A0B00015C00", "C7460000346364400000E40300015600"]})");
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(image.m_idm, HexArray<8>("0101031234567890"));
    EXPECT_EQ(image.m_pmm, HexArray<8>("100B4B428485D0FF"));
    EXPECT_EQ(image.m_systems, (std::vector<uint16_t>{0x0003, 0xFE00}));
    ASSERT_EQ(image.m_history.size(), 2u);
    EXPECT_EQ(image.m_history[1], HexArray<16>("C7460000346364400000E40300015600"));
    EXPECT_FALSE(image.m_bHasGate) << "no gate log without the key";
    size_t slotCount = 0;
    EXPECT_EQ(image.ServiceBlocks(0x108F, slotCount), nullptr);
}

TEST(CardImage, LoadsTheGateLogNewestFirst)
{
    CCardImage image;
    const QString error = image.LoadJson(R"({"idm": "0101031234567890", "pmm": "100b4b428485d0ff",
        "systems": ["0003"], "history": [], "gate": ["20000301000034660841D00000000000"]})");
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(image.m_bHasGate);
    EXPECT_EQ(image.m_gate, HistoryBlockList{HexArray<16>("20000301000034660841D00000000000")});
    size_t slotCount = 0;
    EXPECT_EQ(image.ServiceBlocks(0x108F, slotCount), &image.m_gate);
    EXPECT_EQ(slotCount, 3u);
}

TEST(CardImage, AcceptsMoreBlocksThanACardReads)
{
    QByteArray history;
    for (int i = 0; i < 25; ++i)
        history += QByteArray(i ? "," : "") + "\"16010000346603010301000000000100\"";
    CCardImage image;
    const QString error =
        image.LoadJson(R"({"idm": "0000000000000000", "pmm": "0000000000000000", "systems": [], "history": [)" +
                       history + "]}");
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(image.m_history.size(), 25u);
}

// The sample must decode as a real card would: valid dates, balances that follow
// each fare and charge, sequence numbers counting up to the newest block.
TEST(CardImage, SampleImageDecodesConsistently)
{
    CCardImage image;
    const QString error = image.LoadFile(QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json"));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_TRUE(image.AnswersSystem(0x0003));
    ASSERT_LE(image.m_history.size(), 20u);

    IdmBytes idm{};
    std::copy(image.m_idm.begin(), image.m_idm.end(), idm.begin());
    int32_t previousBalance = -1;
    std::vector<int32_t> amounts;
    int32_t previousSequence = -1;
    for (auto block = image.m_history.rbegin(); block != image.m_history.rend(); ++block) {
        const std::unique_ptr<CEntryInfo> entry = DecodeHistoryBlock(*block, idm, previousBalance);
        amounts.push_back(entry->amount);
        EXPECT_EQ(entry->sequence, previousSequence < 0 ? entry->sequence : previousSequence + 1);
        previousSequence = entry->sequence;
    }
    // Oldest first: commute fares, a shop purchase, a cash charge, a bus fare.
    EXPECT_EQ(amounts, (std::vector<int32_t>{0, 208, 208, 380, 208, -3000, 210, 208, 208, 208}));
}

// The limit counts the file's bytes: padding alone is enough to cross it.
TEST(CardImage, FileOfTheLimitLoadsOneByteMoreIsRefused)
{
    QTemporaryDir dir;
    const QByteArray json = R"({"idm": "0101031234567890", "pmm": "100b4b428485d0ff", "systems": [], "history": []})";
    for (const qsizetype size : {CCardImage::kMaxFileSize, CCardImage::kMaxFileSize + 1}) {
        const QString path = dir.filePath(QStringLiteral("card%1.json").arg(size));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(json + QByteArray(size - json.size(), ' '));
        file.close();
        CCardImage image;
        const QString error = image.LoadFile(path);
        if (size == CCardImage::kMaxFileSize)
            EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        else
            EXPECT_EQ(error, path + QStringLiteral(": larger than 65536 bytes, too large for a card image"));
    }
}

TEST(CardImage, MissingFileNamesThePath)
{
    CCardImage image;
    const QString error = image.LoadFile(QStringLiteral("/nonexistent/card.json"));
    EXPECT_TRUE(error.startsWith(QStringLiteral("/nonexistent/card.json: "))) << error.toStdString();
}

TEST(CardImage, WildcardMatchesAnySystemOfACardWithSystems)
{
    CCardImage image;
    image.m_systems = {0x0003};
    EXPECT_TRUE(image.AnswersSystem(0xFFFF));
    EXPECT_FALSE(image.AnswersSystem(0x865E));
    image.m_systems.clear();
    EXPECT_FALSE(image.AnswersSystem(0xFFFF));
}

struct SBadImage {
    const char* name;
    const char* json;
    const char* message; // a part of the error text that points at the fault
};

void PrintTo(const SBadImage& image, std::ostream* out)
{
    *out << image.name;
}

class CardImageRejects : public testing::TestWithParam<SBadImage> {};

TEST_P(CardImageRejects, WithAClearMessageAndLeavesTheImageAlone)
{
    CCardImage image;
    image.m_systems = {0x1234};
    const QString error = image.LoadJson(GetParam().json);
    EXPECT_TRUE(error.contains(QLatin1String(GetParam().message))) << error.toStdString();
    EXPECT_EQ(image.m_systems, std::vector<uint16_t>{0x1234});
}

#define IMAGE(idm, pmm, systems, history) \
    "{\"idm\": " idm ", \"pmm\": " pmm ", \"systems\": " systems ", \"history\": " history "}"
#define IDM "\"0101031234567890\""
#define PMM "\"100B4B428485D0FF\""
#define BLOCK "\"160100003466030D03018A0B00015C00\""

INSTANTIATE_TEST_SUITE_P(
    Table, CardImageRejects,
    testing::Values(
        SBadImage{"NotJson", "{\"idm\": ", "not JSON"},
        SBadImage{"NotAnObject", "[1, 2]", "expected an object"},
        SBadImage{"MissingIdm", "{\"pmm\": " PMM ", \"systems\": [], \"history\": []}", "missing field \"idm\""},
        SBadImage{"MissingHistory", "{\"idm\": " IDM ", \"pmm\": " PMM ", \"systems\": []}",
                  "missing field \"history\""},
        SBadImage{"ShortIdm", IMAGE("\"01010312345678\"", PMM, "[]", "[]"), "idm: \"01010312345678\" is not 16"},
        SBadImage{"IdmNotHex", IMAGE("\"01010312345678XY\"", PMM, "[]", "[]"), "idm:"},
        SBadImage{"IdmWithBlanks", IMAGE("\"01 01 03 12 34 56\"", PMM, "[]", "[]"), "idm:"},
        SBadImage{"PmmANumber", IMAGE(IDM, "12", "[]", "[]"), "pmm: expected a string"},
        SBadImage{"SystemsNotArray", IMAGE(IDM, PMM, "\"0003\"", "[]"), "systems: expected an array"},
        SBadImage{"SystemTooLong", IMAGE(IDM, PMM, "[\"0003\", \"00003\"]", "[]"), "systems[1]"},
        SBadImage{"HistoryNotArray", IMAGE(IDM, PMM, "[]", "{}"), "history: expected an array"},
        SBadImage{"BlockTooShort", IMAGE(IDM, PMM, "[]", "[" BLOCK ", \"1601\"]"), "history[1]"},
        SBadImage{"BlockTooLong", IMAGE(IDM, PMM, "[]", "[\"160100003466030D03018A0B00015C0000\"]"),
                  "history[0]"},
        SBadImage{"BlockNull", IMAGE(IDM, PMM, "[]", "[null]"), "history[0]: expected a string"},
        SBadImage{"GateNotArray", "{\"idm\": " IDM ", \"pmm\": " PMM ", \"systems\": [], \"history\": [], \"gate\": 3}",
                  "gate: expected an array"},
        SBadImage{"GateBlockTooShort",
                  "{\"idm\": " IDM ", \"pmm\": " PMM ", \"systems\": [], \"history\": [], \"gate\": [\"2000\"]}",
                  "gate[0]"},
        SBadImage{"GateOfFourBlocks",
                  "{\"idm\": " IDM ", \"pmm\": " PMM ", \"systems\": [], \"history\": [], \"gate\": [" BLOCK ", " BLOCK
                  ", " BLOCK ", " BLOCK "]}",
                  "gate: at most 3 blocks"}),
    [](const testing::TestParamInfo<SBadImage>& info) { return std::string(info.param.name); });

} // namespace
