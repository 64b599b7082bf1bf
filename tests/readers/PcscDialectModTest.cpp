// The modules of the readers outside the known-reader table, against a strict script: the
// storage-card commands and the PN532 commands through direct transmit, byte for byte.
#include "readers/PcscPn532.h"
#include "readers/PcscStorageCard.h"
#include "readers/sim/SimulatedPcscService.h"
#include "ScriptedPcsc.h"

#include "HexBytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

constexpr uint16_t kServiceCode = 0x090F;
const std::string kIdm = "01 14 0A 12 34 56 78 9A ";
const std::string kPmm = "03 32 42 82 82 47 AA FF ";
const std::string kName = "SONY FeliCa RC-S300/P (0236798) 00 00";

std::string Byte(unsigned value)
{
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X ", value & 0xFF);
    return digits;
}

// Block n of the card: a non-empty history slot whose last byte is n.
std::string BlockHex(unsigned n)
{
    return "16 01 00 02 2A 11 22 33 44 55 66 77 88 99 AA " + Byte(n);
}

std::string BlocksHex(unsigned first, unsigned count)
{
    std::string hex;
    for (unsigned n = first; n < first + count; ++n)
        hex += BlockHex(n);
    return hex;
}

HistoryBlockList Blocks(unsigned count)
{
    HistoryBlockList blocks;
    for (unsigned n = 0; n < count; ++n)
        blocks.push_back(HexArray<16>(BlockHex(n)));
    return blocks;
}

const std::string kEmptyBlock = "00 00 AA BB CC DD EE FF 11 22 33 44 55 66 77 88 ";

template <class Module>
class DialectModuleTest : public PcscScriptTest {
protected:
    // A module with its context and, as after a Polling, a card connection.
    std::unique_ptr<Module> Connected()
    {
        m_pcsc->Establish();
        auto module = std::make_unique<Module>(QString::fromStdString(kName));
        module->m_hCard = CScriptedPcsc::kCard;
        return module;
    }
    void ScriptDestruction() { m_pcsc->Disconnect(SCARD_LEAVE_CARD).Release(); }
};

using StorageCardTest = DialectModuleTest<CPcscStorageCard>;

TEST_F(StorageCardTest, PollingTakesTheIdmFromGetDataForAnySystemCode)
{
    m_pcsc->Establish().ConnectShared(kName).Exchange("FF CA 00 00 00", 256, kIdm + "90 00");
    ScriptDestruction();
    CPcscStorageCard module(QString::fromStdString(kName));
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    pmm.fill(0xEE);
    ASSERT_EQ(module.Polling(idm.data(), pmm.data(), 0x865E, 0, 0), 1);
    EXPECT_EQ(idm, HexArray<8>(kIdm));
    const std::array<uint8_t, 8> zeroes{};
    EXPECT_EQ(pmm, zeroes) << "the commands do not give the PMm";
}

TEST_F(StorageCardTest, FailedPollingLeavesTheBuffersUntouched)
{
    for (const char* answer : {"6A 81", "01 14 0A 90 00"}) {
        SCOPED_TRACE(answer);
        auto module = Connected();
        m_pcsc->Exchange("FF CA 00 00 00", 256, answer);
        ScriptDestruction();
        std::array<uint8_t, 8> idm{};
        idm.fill(0xEE);
        EXPECT_EQ(module->Polling(idm.data(), nullptr, 0x0003, 0, 0), 0);
        EXPECT_EQ(idm[0], 0xEE);
    }
}

TEST_F(StorageCardTest, TwentyBlocksTakeASelectAndTwoReads)
{
    auto module = Connected();
    m_pcsc->Begin()
        .Transmit("FF A4 00 01 02 0F 09", 256, "90 00")
        .Transmit("FF B0 00 00 A0", 256, BlocksHex(0, 10) + "90 00")
        .Transmit("FF B0 00 0A A0", 256, BlocksHex(10, 10) + "90 00")
        .End();
    ScriptDestruction();
    HistoryBlockList blocks;
    ASSERT_EQ(module->ReadBlocks(nullptr, kServiceCode, 0x0003, &blocks, 20), 1);
    EXPECT_EQ(blocks, Blocks(20));
}

TEST_F(StorageCardTest, ARefusedRunIsReadOneBlockPerCommand)
{
    auto module = Connected();
    m_pcsc->Begin()
        .Transmit("FF A4 00 01 02 0F 09", 256, "90 00")
        .Transmit("FF B0 00 00 30", 256, "6A 81")
        .Transmit("FF B0 00 00 00", 256, BlockHex(0) + "90 00")
        .Transmit("FF B0 00 01 00", 256, BlockHex(1) + "90 00")
        .Transmit("FF B0 00 02 00", 256, kEmptyBlock + "90 00")
        .End();
    ScriptDestruction();
    HistoryBlockList blocks;
    ASSERT_EQ(module->ReadBlocks(nullptr, kServiceCode, 0x0003, &blocks, 3), 1);
    EXPECT_EQ(blocks, Blocks(2)) << "the empty block ends the read";
}

TEST_F(StorageCardTest, AnEmptyBlockInARunEndsTheRead)
{
    auto module = Connected();
    m_pcsc->Begin()
        .Transmit("FF A4 00 01 02 0F 09", 256, "90 00")
        .Transmit("FF B0 00 00 A0", 256, BlocksHex(0, 3) + kEmptyBlock + BlocksHex(4, 6) + "90 00")
        .End();
    ScriptDestruction();
    HistoryBlockList blocks;
    ASSERT_EQ(module->ReadBlocks(nullptr, kServiceCode, 0x0003, &blocks, 20), 1);
    EXPECT_EQ(blocks, Blocks(3));
}

TEST_F(StorageCardTest, AFailedSingleBlockEmptiesTheList)
{
    auto module = Connected();
    m_pcsc->Begin()
        .Transmit("FF A4 00 01 02 0F 09", 256, "90 00")
        .Transmit("FF B0 00 00 20", 256, "6A 81")
        .Transmit("FF B0 00 00 00", 256, BlockHex(0) + "90 00")
        .Transmit("FF B0 00 01 00", 256, "6A 82")
        .End();
    ScriptDestruction();
    HistoryBlockList blocks;
    EXPECT_EQ(module->ReadBlocks(nullptr, kServiceCode, 0x0003, &blocks, 2), 0);
    EXPECT_TRUE(blocks.empty());
}

TEST_F(StorageCardTest, ACardWithoutTheServiceHasNothingToRead)
{
    auto module = Connected();
    m_pcsc->Begin().Transmit("FF A4 00 01 02 0F 09", 256, "6A 82").End();
    ScriptDestruction();
    HistoryBlockList blocks;
    EXPECT_EQ(module->ReadBlocks(nullptr, kServiceCode, 0x0003, &blocks, 20), 1);
    EXPECT_TRUE(blocks.empty());
}

// Neither dialect has the table's escape commands: no mode byte, no firmware version.
TEST_F(StorageCardTest, NoEscapeCommandIsSent)
{
    m_pcsc->Establish().Release().Establish().Release();
    {
        CPcscStorageCard storage(QString::fromStdString(kName));
        EXPECT_EQ(storage.ApplyReaderMode(1), 0);
        EXPECT_EQ(storage.GetVersionText(), QString::fromStdString(kName));
    }
    CPcscPn532 pn532(QStringLiteral("ACS ACR122U PICC Interface 00 00"));
    EXPECT_EQ(pn532.ApplyReaderMode(0), 0);
    EXPECT_EQ(pn532.GetVersionNumber(), 0);
}

using Pn532Test = DialectModuleTest<CPcscPn532>;

// InListPassiveTarget of one target at 212 kbps with a FeliCa polling for 00 03.
const std::string kPollingFrame = "FF 00 00 00 09 D4 4A 01 01 00 00 03 00 00";
const std::string kPollingAnswer = "D5 4B 01 01 12 01 " + kIdm + kPmm;

// InDataExchange to target 1 of Read Without Encryption of count blocks from first.
std::string ReadFrame(unsigned first, unsigned count)
{
    std::string felica = "06 " + kIdm + "01 0F 09 " + Byte(count);
    for (unsigned n = first; n < first + count; ++n)
        felica += "80 " + Byte(n);
    const size_t felicaLength = HexBytes(felica).size() + 1;
    return "FF 00 00 00 " + Byte(static_cast<unsigned>(felicaLength + 3)) + "D4 40 01 "
        + Byte(static_cast<unsigned>(felicaLength)) + felica;
}

std::string ReadAnswer(const std::string& flags, unsigned count, const std::string& blocks)
{
    const size_t length = 1 + 1 + 8 + 2 + (blocks.empty() ? 0 : 1 + 16 * count);
    return "D5 41 00 " + Byte(static_cast<unsigned>(length)) + "07 " + kIdm + flags
        + (blocks.empty() ? "" : Byte(count) + blocks) + "90 00";
}

TEST_F(Pn532Test, PollingListsTheTargetForTheSystemCode)
{
    m_pcsc->Establish().ConnectShared(kName).Exchange(kPollingFrame, 256, kPollingAnswer + "90 00");
    ScriptDestruction();
    CPcscPn532 module(QString::fromStdString(kName));
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    ASSERT_EQ(module.Polling(idm.data(), pmm.data(), 0x0003, 0, 0), 1);
    EXPECT_EQ(idm, HexArray<8>(kIdm));
    EXPECT_EQ(pmm, HexArray<8>(kPmm));
}

TEST_F(Pn532Test, AnAnswerHeldBackIsFetchedWithGetResponse)
{
    auto module = Connected();
    m_pcsc->Begin()
        .Transmit(kPollingFrame, 256, "61 16")
        .Transmit("FF C0 00 00 16", 256, kPollingAnswer + "90 00")
        .End();
    ScriptDestruction();
    std::array<uint8_t, 8> idm{};
    ASSERT_EQ(module->Polling(idm.data(), nullptr, 0x0003, 0, 0), 1);
    EXPECT_EQ(idm, HexArray<8>(kIdm));
}

TEST_F(Pn532Test, NoTargetOrAFailedExchangeIsNoCard)
{
    for (const char* answer : {"D5 4B 00 90 00", "63 00", "D5 4B 01 01 12 01 01 14 90 00"}) {
        SCOPED_TRACE(answer);
        auto module = Connected();
        m_pcsc->Exchange(kPollingFrame, 256, answer);
        ScriptDestruction();
        std::array<uint8_t, 8> idm{};
        idm.fill(0xEE);
        EXPECT_EQ(module->Polling(idm.data(), nullptr, 0x0003, 0, 0), 0);
        EXPECT_EQ(idm[0], 0xEE);
    }
}

TEST_F(Pn532Test, TwentyBlocksTakeTwoReads)
{
    auto module = Connected();
    m_pcsc->Begin()
        .Transmit(ReadFrame(0, 10), 256, ReadAnswer("00 00 ", 10, BlocksHex(0, 10)))
        .Transmit(ReadFrame(10, 10), 256, ReadAnswer("00 00 ", 10, BlocksHex(10, 10)))
        .End();
    ScriptDestruction();
    const auto idm = HexArray<8>(kIdm);
    HistoryBlockList blocks;
    ASSERT_EQ(module->ReadBlocks(idm.data(), kServiceCode, 0x0003, &blocks, 20), 1);
    EXPECT_EQ(blocks, Blocks(20));
}

TEST_F(Pn532Test, ARefusedRunIsReadOneBlockPerCommandUntilAStatusError)
{
    auto module = Connected();
    m_pcsc->Begin()
        .Transmit(ReadFrame(0, 3), 256, ReadAnswer("01 A2 ", 0, ""))
        .Transmit(ReadFrame(0, 1), 256, ReadAnswer("00 00 ", 1, BlockHex(0)))
        .Transmit(ReadFrame(1, 1), 256, ReadAnswer("01 A8 ", 0, ""))
        .End();
    ScriptDestruction();
    const auto idm = HexArray<8>(kIdm);
    HistoryBlockList blocks;
    ASSERT_EQ(module->ReadBlocks(idm.data(), kServiceCode, 0x0003, &blocks, 3), 1);
    EXPECT_EQ(blocks, Blocks(1)) << "a card status error ends the read with what it has";
}

TEST_F(Pn532Test, AFailedExchangeEmptiesTheList)
{
    auto module = Connected();
    m_pcsc->Begin()
        .Transmit(ReadFrame(0, 10), 256, ReadAnswer("00 00 ", 10, BlocksHex(0, 10)))
        .Transmit(ReadFrame(10, 2), 256, "D5 41 01 90 00") // the PN532 timed out
        .End();
    ScriptDestruction();
    const auto idm = HexArray<8>(kIdm);
    HistoryBlockList blocks;
    EXPECT_EQ(module->ReadBlocks(idm.data(), kServiceCode, 0x0003, &blocks, 12), 0);
    EXPECT_TRUE(blocks.empty());
}

// The exchanges of a whole read against the simulated card, as a card that takes many
// blocks per command and one that takes one only.
struct ExchangeCount {
    const char* name;
    std::function<std::unique_ptr<CPcscMod>(const QString&)> make;
    size_t blocksPerRead;
    bool getResponse;
    size_t transmits; // polling included
};

void PrintTo(const ExchangeCount& c, std::ostream* os)
{
    *os << c.name;
}

class ExchangeCountTest : public testing::TestWithParam<ExchangeCount> {};

TEST_P(ExchangeCountTest, TwentyBlockRead)
{
    CCardImage image;
    image.m_idm = HexArray<8>(kIdm);
    image.m_pmm = HexArray<8>(kPmm);
    image.m_systems = {0x0003};
    image.m_history = Blocks(20);
    auto service = std::make_shared<CSimulatedPcscService>(image, kName);
    service->Card().SetBlocksPerRead(GetParam().blocksPerRead);
    service->Card().SetPn532AnswersByGetResponse(GetParam().getResponse);
    const auto previous = SetPcscService(service);
    {
        auto module = GetParam().make(QString::fromStdString(kName));
        std::array<uint8_t, 8> idm{};
        std::array<uint8_t, 8> pmm{};
        ASSERT_EQ(module->Polling(idm.data(), pmm.data(), 0x0003, 0, 0), 1);
        HistoryBlockList blocks;
        ASSERT_EQ(module->ReadBlocks(idm.data(), kServiceCode, 0x0003, &blocks, 20), 1);
        EXPECT_EQ(blocks, image.m_history);
    }
    SetPcscService(previous);
    EXPECT_EQ(service->Frames().size(), GetParam().transmits);
}

const auto kStorage = [](const QString& name) { return std::make_unique<CPcscStorageCard>(name); };
const auto kPn532 = [](const QString& name) { return std::make_unique<CPcscPn532>(name); };

INSTANTIATE_TEST_SUITE_P(Modules, ExchangeCountTest, testing::Values(
    // GET DATA, SELECT FILE, two runs of ten.
    ExchangeCount{"StorageCard", kStorage, 12, false, 4},
    // The refused first run, then twenty single reads.
    ExchangeCount{"StorageCardOneBlockAtATime", kStorage, 1, false, 23},
    ExchangeCount{"Pn532", kPn532, 12, false, 3},
    ExchangeCount{"Pn532OneBlockAtATime", kPn532, 1, false, 22},
    // Each direct transmit answered 61 nn takes a GET RESPONSE.
    ExchangeCount{"Pn532GetResponse", kPn532, 12, true, 6}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace

// The gate log through each dialect: its three blocks from a card that keeps one, and
// success with none from a card that refuses the service.
struct GateLogCase {
    const char* name;
    std::function<std::unique_ptr<CPcscMod>(const QString&)> make;
    bool cardHasGateLog;
};

void PrintTo(const GateLogCase& c, std::ostream* os)
{
    *os << c.name;
}

class GateLogDialectTest : public testing::TestWithParam<GateLogCase> {};

TEST_P(GateLogDialectTest, ReadsTheGateLogOrNothing)
{
    CCardImage image;
    image.m_idm = HexArray<8>(kIdm);
    image.m_pmm = HexArray<8>(kPmm);
    image.m_systems = {0x0003};
    image.m_history = Blocks(20);
    image.m_bHasGate = GetParam().cardHasGateLog;
    if (image.m_bHasGate)
        image.m_gate = {HexArray<16>("20000301000034660841D00000000000"), HexArray<16>("A000030D000034660812000000000000"),
                        HexArray<16>("2000030D000034651905D00000000000")};
    auto service = std::make_shared<CSimulatedPcscService>(image, kName);
    const auto previous = SetPcscService(service);
    {
        auto module = GetParam().make(QString::fromStdString(kName));
        std::array<uint8_t, 8> idm{};
        std::array<uint8_t, 8> pmm{};
        ASSERT_EQ(module->Polling(idm.data(), pmm.data(), 0x0003, 0, 0), 1);
        HistoryBlockList gate;
        EXPECT_EQ(module->ReadBlocks(idm.data(), 0x108F, 0x0003, &gate, 3), 1);
        EXPECT_EQ(gate, image.m_gate);
    }
    SetPcscService(previous);
}

INSTANTIATE_TEST_SUITE_P(Modules, GateLogDialectTest, testing::Values(
    GateLogCase{"StorageCard", kStorage, true},
    GateLogCase{"StorageCardRefused", kStorage, false},
    GateLogCase{"Pn532", kPn532, true},
    GateLogCase{"Pn532Refused", kPn532, false}),
    [](const auto& info) { return std::string(info.param.name); });
