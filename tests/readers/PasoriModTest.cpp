// The vendor library module against the fake library: what it calls, with which bytes, and
// what it makes of the answers.
#include "FakeFelicaLibrary.h"
#include "readers/PasoriMod.h"

#include "HexBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ostream>
#include <string>

namespace {

constexpr uint16_t kServiceCode = 0x090F;
const auto kIdm = HexArray<8>("01 14 0A 12 34 56 78 9A");
const auto kPmm = HexArray<8>("03 32 42 82 82 47 AA FF");

HistoryBlock Block(int n)
{
    HistoryBlock block = HexArray<16>("16 01 00 02 2A 11 22 33 44 55 66 77 88 99 AA 00");
    block[15] = static_cast<uint8_t>(n);
    return block;
}

class PasoriModTest : public testing::Test {
protected:
    CFakeFelicaLibrary m_fake;

    FakeFelicaState& State() { return m_fake.State(); }
};

TEST_F(PasoriModTest, WithoutTheLibraryEverythingFailsUntouched)
{
    m_fake.Remove();
    CPasoriMod module;
    std::array<uint8_t, 8> idm{};
    HistoryBlockList blocks;
    EXPECT_EQ(module.IsAvailable(), 0);
    EXPECT_EQ(module.Open(), 0);
    EXPECT_EQ(module.IsOpened(), 0);
    EXPECT_EQ(module.Polling(idm.data(), idm.data(), 0x0003, 0, 0), 0);
    EXPECT_EQ(module.ReadBlocks(kIdm.data(), kServiceCode, 0x0003, &blocks, 20), 0);
    EXPECT_EQ(module.Close(), 0);
    EXPECT_TRUE(module.GetVersionText().isEmpty());
    EXPECT_EQ(module.GetVersionNumber(), 0);
    EXPECT_EQ(module.IsReaderAlive(), 0);
    EXPECT_EQ(State().calls, "");
}

TEST_F(PasoriModTest, MissingExportsFailWhatNeedsThem)
{
    m_fake.UsePartial();
    CPasoriMod module;
    ASSERT_EQ(module.IsAvailable(), 1);
    EXPECT_EQ(module.Open(), 1);
    HistoryBlockList blocks;
    EXPECT_EQ(module.ReadBlocks(kIdm.data(), kServiceCode, 0x0003, &blocks, 20), 0);
    EXPECT_TRUE(module.GetVersionText().isEmpty());
    EXPECT_EQ(module.IsReaderAlive(), 0);
    EXPECT_EQ(module.Close(), 1);
}

struct OpenCase {
    const char* name;
    int initializeResult;
    int openResult;
    int opened;
    const char* calls;
};

void PrintTo(const OpenCase& c, std::ostream* os)
{
    *os << c.name;
}

class PasoriOpenTest : public PasoriModTest, public testing::WithParamInterface<OpenCase> {};

TEST_P(PasoriOpenTest, Open)
{
    const OpenCase& open = GetParam();
    State().initializeResult = open.initializeResult;
    State().openResult = open.openResult;
    {
        CPasoriMod module;
        EXPECT_EQ(module.IsAvailable(), 1);
        EXPECT_EQ(module.Open(), open.opened);
        EXPECT_EQ(module.IsOpened(), open.opened);
        EXPECT_EQ(State().calls, open.calls);
        // Open again while open succeeds without the library.
        if (open.opened) {
            EXPECT_EQ(module.Open(), 1);
        }
        EXPECT_EQ(State().calls, open.calls);
        State().calls.clear();
    }
    // Destruction disposes of an opened library only.
    EXPECT_EQ(State().calls, open.opened ? "dispose_library " : "");
}

INSTANTIATE_TEST_SUITE_P(Cases, PasoriOpenTest, testing::Values(
    OpenCase{"Opens", 1, 1, 1, "initialize_library open_reader_writer_auto "},
    OpenCase{"InitializeFails", 0, 1, 0, "initialize_library "},
    // What was initialised is disposed of again.
    OpenCase{"NoReaderWriter", 1, 0, 0, "initialize_library open_reader_writer_auto dispose_library "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PasoriModTest, CloseDisposesOnlyWhenOpenAndStaysOpenWhenDisposalFails)
{
    CPasoriMod module;
    EXPECT_EQ(module.Close(), 1);
    EXPECT_EQ(State().calls, "");
    ASSERT_EQ(module.Open(), 1);
    State().calls.clear();
    State().disposeResult = 0;
    EXPECT_EQ(module.Close(), 0);
    EXPECT_EQ(module.IsOpened(), 1);
    State().disposeResult = 1;
    EXPECT_EQ(module.Close(), 1);
    EXPECT_EQ(module.IsOpened(), 0);
    EXPECT_EQ(State().calls, "dispose_library dispose_library ");
}

TEST_F(PasoriModTest, PollingSendsTheSystemCodeHighByteFirst)
{
    std::copy(kIdm.begin(), kIdm.end(), State().idm);
    std::copy(kPmm.begin(), kPmm.end(), State().pmm);
    CPasoriMod module;
    for (const auto& [systemCode, bytes] : {std::pair{0x0003, "00 03"}, std::pair{0x865E, "86 5E"}}) {
        std::array<uint8_t, 8> idm{};
        std::array<uint8_t, 8> pmm{};
        EXPECT_EQ(module.Polling(idm.data(), pmm.data(), static_cast<uint16_t>(systemCode), 0, 0), 1);
        EXPECT_EQ(std::vector<uint8_t>(State().polledSystemCode, State().polledSystemCode + 2), HexBytes(bytes));
        EXPECT_EQ(State().polledTimeSlot, 0);
        EXPECT_EQ(idm, kIdm);
        EXPECT_EQ(pmm, kPmm);
    }
}

TEST_F(PasoriModTest, PollingWithoutACardLeavesTheBuffersUntouched)
{
    std::copy(kIdm.begin(), kIdm.end(), State().idm);
    CPasoriMod module;
    for (const auto& [result, cards] : {std::pair{0, 1}, std::pair{1, 0}}) {
        State().pollingResult = result;
        State().cardCount = static_cast<uint8_t>(cards);
        std::array<uint8_t, 8> idm{};
        idm.fill(0xEE);
        EXPECT_EQ(module.Polling(idm.data(), idm.data(), 0x0003, 0, 0), 0);
        EXPECT_EQ(idm[0], 0xEE);
    }
}

struct ReadCase {
    const char* name;
    int readableBlocks;  // the library answers false from this block on
    int emptyAt;         // -1: none
    int statusFlag1At;
    int statusFlag2At;
    int errorType1;
    int errorType2;
    int result;
    size_t blocksKept;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

class PasoriReadTest : public PasoriModTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(PasoriReadTest, ReadBlocks)
{
    const ReadCase& read = GetParam();
    State().readableBlocks = read.readableBlocks;
    for (int n = 0; n < 32; ++n) {
        const HistoryBlock block = Block(n);
        std::copy(block.begin(), block.end(), State().blocks[n]);
    }
    if (read.emptyAt >= 0) {
        State().blocks[read.emptyAt][0] = 0;
        State().blocks[read.emptyAt][1] = 0;
    }
    if (read.statusFlag1At >= 0)
        State().statusFlag1[read.statusFlag1At] = 0xFF;
    if (read.statusFlag2At >= 0)
        State().statusFlag2[read.statusFlag2At] = 0xA1;
    State().errorType1 = read.errorType1;
    State().errorType2 = read.errorType2;

    CPasoriMod module;
    HistoryBlockList blocks;
    EXPECT_EQ(module.ReadBlocks(kIdm.data(), kServiceCode, 0x0003, &blocks, 20), read.result);
    ASSERT_EQ(blocks.size(), read.blocksKept);
    for (size_t n = 0; n < blocks.size(); ++n)
        EXPECT_EQ(blocks[n], Block(static_cast<int>(n))) << "block " << n;

    // One block per call, numbered from 0, of service 0F 09 of the card kIdm.
    ASSERT_GT(State().reads, 0);
    for (int n = 0; n < State().reads; ++n)
        EXPECT_EQ(std::vector<uint8_t>(State().readBlockList[n], State().readBlockList[n] + 2),
                  (std::vector<uint8_t>{0x80, static_cast<uint8_t>(n)}));
    EXPECT_EQ(std::vector<uint8_t>(State().readServiceCode, State().readServiceCode + 2), HexBytes("0F 09"));
    EXPECT_EQ(State().readServices, 1);
    EXPECT_EQ(State().readBlockCount, 1);
    EXPECT_TRUE(std::equal(kIdm.begin(), kIdm.end(), State().readIdm));
    EXPECT_TRUE(State().calls.ends_with("get_last_error_types "));
}

INSTANTIATE_TEST_SUITE_P(Cases, PasoriReadTest, testing::Values(
    ReadCase{"All20", 20, -1, -1, -1, 0, 0, 1, 20},
    ReadCase{"Block7EmptyOf20", 20, 7, -1, -1, 0, 0, 1, 7},
    ReadCase{"Block0Empty", 20, 0, -1, -1, 0, 0, 1, 0},
    ReadCase{"FailsOnBlock0WithAnotherError", 0, -1, -1, -1, 0x98, 0x55, 1, 0},
    ReadCase{"FailsOnBlock5WithoutError", 5, -1, -1, -1, 0, 0, 1, 5},
    ReadCase{"StatusFlag1OnBlock3", 20, -1, 3, -1, 0, 0, 1, 3},
    ReadCase{"StatusFlag2IsNotExamined", 20, -1, -1, 1, 0, 0, 1, 20},
    // The library ran to the end but reports the failed read afterwards.
    ReadCase{"Error98After20Blocks", 20, -1, -1, -1, 0, 0x98, 0, 0},
    ReadCase{"Error98OnBlock4", 4, -1, -1, -1, 0, 0x98, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PasoriModTest, VersionAndAliveComeFromTheLibrary)
{
    std::strcpy(State().versionText, "FeliCa Library 2.30");
    State().versionNumber = 230;
    CPasoriMod module;
    EXPECT_EQ(module.GetVersionText(), QStringLiteral("FeliCa Library 2.30"));
    EXPECT_EQ(module.GetVersionNumber(), 230);
    EXPECT_EQ(module.IsReaderAlive(), 1);
    State().alive = 0;
    EXPECT_EQ(module.IsReaderAlive(), 0);
    State().versionResult = 0;
    EXPECT_TRUE(module.GetVersionText().isEmpty());
    // A text filling the whole buffer without its terminator is cut at the buffer's end.
    State().versionResult = 1;
    std::memset(State().versionText, 'V', sizeof State().versionText);
    EXPECT_EQ(module.GetVersionText(), QString(256, u'V'));
}

} // namespace
