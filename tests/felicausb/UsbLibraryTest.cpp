// The FeliCa library over emulated readers, loaded by the vendor-library module as the viewer
// loads it, and the coordinator falling back to it.
#include "EmulatedFelicaLibrary.h"
#include "HexBytes.h"
#include "felicausb/FelicaUsbReader.h"
#include "readers/FelicaMod.h"
#include "readers/FelicaRecords.h"
#include "readers/PasoriMod.h"
#include "readers/PcscService.h"
#include "FaultyPcscService.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

constexpr uint16_t kRcs380S = 0x06C1;
constexpr uint16_t kRcs380P = 0x06C3;
constexpr uint16_t kRcs370 = 0x02E1;
constexpr uint16_t kHistoryService = 0x090F;

class UsbLibraryTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_library.Loaded()) << "the emulated library does not load"; }
    void TearDown() override { SetPcscService(nullptr); }

    CUsbEmulator& Emulator() { return m_library.Emulator(); }

    // Opens, polls system code 0x0003 and reads up to 20 history blocks through the module.
    int Read(CPasoriMod& pasori, HistoryBlockList& blocks, uint16_t service = kHistoryService)
    {
        EXPECT_EQ(pasori.Open(), 1);
        uint8_t idm[8] = {};
        uint8_t pmm[8] = {};
        EXPECT_EQ(pasori.Polling(idm, pmm, 0x0003, 0, 1), 1);
        Emulator().ResetCounts();
        return pasori.ReadBlocks(idm, service, 0x0003, &blocks, 20);
    }

    int LastErrorType2(CPasoriMod& pasori)
    {
        int type1 = 0;
        int type2 = 0;
        pasori.m_entries.get_last_error_types(&type1, &type2);
        return type2;
    }

    CEmulatedFelicaLibrary m_library;
    const CCardImage m_twenty = LoadCardImage("twenty.json");
};

struct ModelCase {
    const char* name;
    uint16_t product;
    const char* version;
};

void PrintTo(const ModelCase& c, std::ostream* os)
{
    *os << c.name;
}

class UsbModelTest : public UsbLibraryTest, public testing::WithParamInterface<ModelCase> {};

TEST_P(UsbModelTest, ReadsAllTwentyBlocksInTwoCardFrames)
{
    Emulator().Plug(GetParam().product, m_twenty);
    CPasoriMod pasori;
    ASSERT_EQ(pasori.IsAvailable(), 1);
    ASSERT_EQ(pasori.Open(), 1);
    EXPECT_EQ(pasori.IsReaderAlive(), 1);
    EXPECT_EQ(pasori.GetVersionText(), QString::fromLatin1(GetParam().version));

    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    ASSERT_EQ(pasori.Polling(idm, pmm, 0x0003, 0, 1), 1);
    EXPECT_TRUE(std::equal(m_twenty.m_idm.begin(), m_twenty.m_idm.end(), idm));
    EXPECT_TRUE(std::equal(m_twenty.m_pmm.begin(), m_twenty.m_pmm.end(), pmm));

    Emulator().ResetCounts();
    HistoryBlockList blocks;
    ASSERT_EQ(pasori.ReadBlocks(idm, kHistoryService, 0x0003, &blocks, 20), 1);
    EXPECT_EQ(blocks, m_twenty.m_history);
    // Ten blocks a command.
    EXPECT_EQ(Emulator().Counts().readCommands, 2);
    EXPECT_EQ(pasori.Close(), 1);
    EXPECT_FALSE(Emulator().Reader(0).m_bOpen);
}

TEST_P(UsbModelTest, PollingWithoutCardOrForAnotherSystemFails)
{
    CEmulatedReader& reader = Emulator().Plug(GetParam().product);
    CPasoriMod pasori;
    ASSERT_EQ(pasori.Open(), 1);
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    EXPECT_EQ(pasori.Polling(idm, pmm, 0x0003, 0, 1), 0);
    // Both chip families say an empty field the same way.
    EXPECT_EQ(LastErrorType2(pasori), kReasonNoCard);
    reader.m_card = m_twenty;
    EXPECT_EQ(pasori.Polling(idm, pmm, 0x865E, 0, 1), 0);
    EXPECT_EQ(LastErrorType2(pasori), kReasonNoCard);
    EXPECT_EQ(pasori.Polling(idm, pmm, 0x0003, 0, 1), 1);
}

TEST_P(UsbModelTest, ACardTakingTheWholeTimeItsPmmAllowsIsRead)
{
    // The sample cards' PMm (read byte D0: 599.4 ms for ten blocks) and a common Suica's
    // (67: 70.1 ms); neither fits a fixed 100 ms or 51.2 ms.
    for (const char* pmm : {"100B4B428485D0FF", "0120220427674EFF"}) {
        SCOPED_TRACE(pmm);
        Emulator().Clear();
        CCardImage card = m_twenty;
        card.m_pmm = HexArray<8>(pmm);
        Emulator().Plug(GetParam().product, card).m_bCardTakesWholePmmTime = true;
        CPasoriMod pasori;
        HistoryBlockList blocks;
        EXPECT_EQ(Read(pasori, blocks), 1);
        EXPECT_EQ(blocks, m_twenty.m_history);
        EXPECT_EQ(LastErrorType2(pasori), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, UsbModelTest, testing::Values(
    ModelCase{"Rcs380S", kRcs380S, "Sony RC-S380/S, firmware 1.11"},
    ModelCase{"Rcs380P", kRcs380P, "Sony RC-S380/P, firmware 1.11"},
    ModelCase{"Rcs370", kRcs370, "Sony RC-S330/RC-S360/RC-S370, firmware 1.30"}),
    [](const auto& info) { return std::string(info.param.name); });

// What goes wrong during a read, and what the module makes of it with this library.
struct FaultCase {
    const char* name;
    EEmulatedFault fault;
    int fromRead;  // the read command the fault starts at
    int times;     // -1: every one from then on
    int removedAt; // the card is taken away before this block; -1 never
    int result;
    size_t blocks;
    int errorType2;
};

void PrintTo(const FaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class UsbFaultTest : public UsbLibraryTest, public testing::WithParamInterface<std::tuple<FaultCase, uint16_t>> {};

TEST_P(UsbFaultTest, EndsTheReadAsTheModuleRulesSay)
{
    const auto& [c, product] = GetParam();
    CEmulatedReader& reader = Emulator().Plug(product, m_twenty);
    CPasoriMod pasori;
    ASSERT_EQ(pasori.Open(), 1);
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    ASSERT_EQ(pasori.Polling(idm, pmm, 0x0003, 0, 1), 1);
    reader.m_fault = c.fault;
    reader.m_nFaultFromRead = reader.m_counts.readCommands + c.fromRead;
    reader.m_nFaultTimes = c.times;
    reader.m_nCardRemovedAtBlock = c.removedAt;

    HistoryBlockList blocks;
    EXPECT_EQ(pasori.ReadBlocks(idm, kHistoryService, 0x0003, &blocks, 20), c.result);
    EXPECT_EQ(blocks.size(), c.blocks);
    EXPECT_EQ(LastErrorType2(pasori), c.errorType2);
}

INSTANTIATE_TEST_SUITE_P(Faults, UsbFaultTest, testing::Combine(testing::Values(
    FaultCase{"WrongChecksum", EEmulatedFault::WrongChecksum, 1, -1, -1, 0, 0, kFelicaReadError},
    FaultCase{"Nack", EEmulatedFault::Nack, 1, -1, -1, 0, 0, kFelicaReadError},
    FaultCase{"NoAnswer", EEmulatedFault::NoAnswer, 1, -1, -1, 0, 0, kFelicaReadError},
    FaultCase{"Nonsense", EEmulatedFault::Nonsense, 1, -1, -1, 0, 0, kFelicaReadError},
    FaultCase{"DeviceGone", EEmulatedFault::DeviceGone, 1, -1, -1, 0, 0, kFelicaReadError},
    FaultCase{"CardRemovedAfterBlock12", EEmulatedFault::None, 0, 0, 13, 0, 0, kFelicaReadError},
    FaultCase{"CardRemovedBeforeBlock0", EEmulatedFault::None, 0, 0, 0, 0, 0, kFelicaReadError},
    // A lost answer ends the read at once: whatever a second try brought, the module would
    // drop a read that lost one.
    FaultCase{"OneAnswerLostThenRecovered", EEmulatedFault::NoAnswer, 1, 1, -1, 0, 0, kFelicaReadError},
    FaultCase{"FaultBeforeTheFirstBlock", EEmulatedFault::WrongChecksum, 0, -1, -1, 0, 0, kFelicaReadError}),
    testing::Values(kRcs380S, kRcs370)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) == kRcs370 ? "Rcs370" : "Rcs380");
    });

TEST_F(UsbLibraryTest, ACardWithFewerBlocksEndsTheListWithoutFailure)
{
    CCardImage commute;
    ASSERT_TRUE(commute.LoadFile(QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json")).isEmpty());
    Emulator().Plug(kRcs380S, commute);
    CPasoriMod pasori;
    HistoryBlockList blocks;
    EXPECT_EQ(Read(pasori, blocks), 1);
    EXPECT_EQ(blocks, commute.m_history);
    EXPECT_EQ(LastErrorType2(pasori), 0);
}

TEST_F(UsbLibraryTest, TheGateLogReadsThroughTheSameLibrary)
{
    CCardImage commute;
    ASSERT_TRUE(commute.LoadFile(QStringLiteral(VOLUNI_SOURCE_DIR "/data/samples/commute.json")).isEmpty());
    ASSERT_EQ(commute.m_gate.size(), 3u);
    Emulator().Plug(kRcs380S, commute);
    CPasoriMod pasori;
    HistoryBlockList blocks;
    EXPECT_EQ(Read(pasori, blocks, 0x108F), 1);
    EXPECT_EQ(blocks, commute.m_gate);
}

TEST_F(UsbLibraryTest, ACardTakingOneBlockACommandIsReadBlockByBlock)
{
    Emulator().Plug(kRcs370, m_twenty).m_nMaxBlocksPerRead = 1;
    CPasoriMod pasori;
    HistoryBlockList blocks;
    EXPECT_EQ(Read(pasori, blocks), 1);
    EXPECT_EQ(blocks, m_twenty.m_history);
    // The refused batch, then one command a block.
    EXPECT_EQ(Emulator().Counts().readCommands, 21);
}

TEST_F(UsbLibraryTest, AServiceTheCardLacksGivesSuccessWithoutBlocks)
{
    // The card answers block 0 with an error status: another error type than 0x98.
    Emulator().Plug(kRcs380S, m_twenty);
    CPasoriMod pasori;
    HistoryBlockList blocks;
    EXPECT_EQ(Read(pasori, blocks, 0x108F), 1);
    EXPECT_TRUE(blocks.empty());
    EXPECT_NE(LastErrorType2(pasori), kFelicaReadError);
}

TEST_F(UsbLibraryTest, OpenFailsAndSaysWhy)
{
    struct Case {
        const char* name;
        EUsbResult openResult; // Ok: the reader opens but never answers
        bool plugged;
        bool noReader;
    };
    const Case cases[] = {
        {"NothingPlugged", EUsbResult::Ok, false, true},
        {"Busy", EUsbResult::Busy, true, false},
        {"NoPermission", EUsbResult::NoPermission, true, false},
        {"Silent", EUsbResult::Ok, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Emulator().Clear();
        Emulator().PlugOther(0x046D, 0xC52B);
        if (c.plugged) {
            CEmulatedReader& reader = Emulator().Plug(kRcs380S, m_twenty);
            reader.m_openResult = c.openResult;
            reader.m_bSilent = c.openResult == EUsbResult::Ok;
        }
        CPasoriMod pasori;
        EXPECT_EQ(pasori.Open(), 0);
        EXPECT_EQ(pasori.FoundNoReader(), c.noReader);
        if (c.plugged) {
            EXPECT_FALSE(Emulator().Reader(0).m_bOpen);
        }
    }
}

TEST_F(UsbLibraryTest, AnUnpluggedReaderIsNotAlive)
{
    CEmulatedReader& reader = Emulator().Plug(kRcs380P, m_twenty);
    CPasoriMod pasori;
    ASSERT_EQ(pasori.Open(), 1);
    reader.m_bGone = true;
    EXPECT_EQ(pasori.IsReaderAlive(), 0);
    EXPECT_TRUE(pasori.GetVersionText().isEmpty());
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    EXPECT_EQ(pasori.Polling(idm, pmm, 0x0003, 0, 1), 0);
}

TEST_F(UsbLibraryTest, TheCoordinatorFallsBackToTheUsbReader)
{
    auto pcsc = std::make_shared<CFaultyPcscService>(std::nullopt);
    pcsc->SetReaderAttached(false);
    SetPcscService(pcsc);
    Emulator().Plug(kRcs380S, m_twenty);

    CFelicaMod felica;
    ASSERT_EQ(felica.OpenReader(), 0);
    EXPECT_EQ(felica.m_strReader, QStringLiteral("Sony RC-S380/S, firmware 1.11"));
    ASSERT_TRUE(felica.m_pReader);
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    ASSERT_EQ(felica.m_pReader->Polling(idm, pmm, 0x0003, 0, 1), 1);
    HistoryBlockList blocks;
    ASSERT_EQ(felica.m_pReader->ReadBlocks(idm, kHistoryService, 0x0003, &blocks, 20), 1);
    EXPECT_EQ(blocks, m_twenty.m_history);
}

// With the library installed and no USB reader, the PC/SC answer still picks the message.
struct NoReaderCase {
    const char* name;
    bool serviceRunning;
    bool pcscReaderAttached;
    const char* pcscReaderName;
    bool busyUsbReader;
    int result;
};

void PrintTo(const NoReaderCase& c, std::ostream* os)
{
    *os << c.name;
}

class UsbNoReaderTest : public UsbLibraryTest, public testing::WithParamInterface<NoReaderCase> {};

TEST_P(UsbNoReaderTest, OpenReaderGivesTheCodeOfThePcscAnswer)
{
    const NoReaderCase& c = GetParam();
    auto pcsc = std::make_shared<CFaultyPcscService>(std::nullopt, c.pcscReaderName);
    pcsc->SetServiceRunning(c.serviceRunning);
    pcsc->SetReaderAttached(c.pcscReaderAttached);
    SetPcscService(pcsc);
    if (c.busyUsbReader)
        Emulator().Plug(kRcs380S).m_openResult = EUsbResult::Busy;

    CFelicaMod felica;
    EXPECT_EQ(felica.OpenReader(), c.result);
}

INSTANTIATE_TEST_SUITE_P(Cases, UsbNoReaderTest, testing::Values(
    NoReaderCase{"ServiceStopped", false, false, "ACS ACR1251 CL Reader PICC 0", false, -3},
    NoReaderCase{"NoReaderAttached", true, false, "ACS ACR1251 CL Reader PICC 0", false, -2},
    NoReaderCase{"OnlyAnUnsupportedPcscReader", true, true, "Generic Smart Card Reader 00 00", false, -1},
    // A USB reader that is there but will not open is an open failure, whatever PC/SC says.
    NoReaderCase{"BusyUsbReader", true, false, "ACS ACR1251 CL Reader PICC 0", true, -1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
