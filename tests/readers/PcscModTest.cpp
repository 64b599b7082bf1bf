// The three PC/SC modules against a strict script: every frame byte for byte. Behaviour they
// share runs once per module; each module brings only its frames.
#include "readers/PcscCloud.h"
#include "readers/PcscMod.h"
#include "readers/PcscMrica.h"
#include "FaultyPcscService.h"
#include "ScriptedPcsc.h"

#include "HexBytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>

namespace {

// Every module is driven with system code 0x0003 and service code 0x090F: on the wire
// "00 03" and "0F 09".
constexpr uint16_t kSystemCode = 0x0003;
constexpr uint16_t kServiceCode = 0x090F;
const std::string kIdm = "01 14 0A 12 34 56 78 9A ";
const std::string kPmm = "03 32 42 82 82 47 AA FF ";
const std::string kName = "ACS ACR1251 CL Reader PICC 0";

// pattern with NN standing for value as two hex digits.
std::string Format(std::string pattern, unsigned value)
{
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", value & 0xFF);
    return pattern.replace(pattern.find("NN"), 2, digits);
}

std::string BlockHex(unsigned n)
{
    return Format("16 01 00 02 2A 11 22 33 44 55 66 77 88 99 AA NN ", n);
}

// Only bytes 0 and 1 make a block empty.
const std::string kEmptyBlock = "00 00 AA BB CC DD EE FF 11 22 33 44 55 66 77 88 ";

// How one module speaks; frames are written out as the reader sees them.
struct PcscModule {
    const char* name;
    std::function<std::unique_ptr<CPcscMod>(const QString&)> make;
    // The exchanges of one Polling for system code 0x0003, the last one answered with answer.
    std::function<void(CScriptedPcsc&, const std::string& answer)> scriptPolling;
    std::string firstPollingFrame; // the first exchange of a Polling, and its buffer
    DWORD firstPollingSize;
    std::string pollingAnswer; // IDm kIdm, PMm kPmm
    std::string shortPollingAnswer;
    std::string prepareFrame; // ReadBlocks, before the first block
    const char* blockFrame;   // NN: the block number
    std::function<std::string(const std::string& flags, const std::string& block)> blockAnswer;
    bool statusFlag2Stops;
    std::array<uint8_t, 2> modes; // exit, run
    const char* setModeFrame;     // NN: the mode byte
    std::string getModeFrame;
};

void PrintTo(const PcscModule& c, std::ostream* os)
{
    *os << c.name;
}

// The FF 40 / FF 46 pseudo-commands of the generic module, which the Identiv readers share.
PcscModule PseudoCommandModule(const char* name, std::function<std::unique_ptr<CPcscMod>(const QString&)> make,
                               std::array<uint8_t, 2> modes, const char* setModeFrame, const char* getModeFrame)
{
    return {
        .name = name,
        .make = std::move(make),
        .scriptPolling =
            [](CScriptedPcsc& pcsc, const std::string& answer) {
                pcsc.Exchange("FF 40 00 00 04 00 03 01 00", 256, "90 00")
                    .Exchange("FF 40 00 00 04 FF FF 00 00", 30, answer);
            },
        .firstPollingFrame = "FF 40 00 00 04 00 03 01 00",
        .firstPollingSize = 256,
        .pollingAnswer = kIdm + kPmm + "90 00",
        .shortPollingAnswer = kIdm + "90 00",
        .prepareFrame = "FF 40 00 00 04 00 03 01 00",
        .blockFrame = "FF 46 01 01 04 0F 09 80 NN",
        .blockAnswer = [](const std::string& flags,
                          const std::string& block) { return kIdm + flags + block + "90 00"; },
        .statusFlag2Stops = false,
        .modes = modes,
        .setModeFrame = setModeFrame,
        .getModeFrame = getModeFrame,
    };
}

const PcscModule kModules[] = {
    PseudoCommandModule(
        "PcscMod", [](const QString& name) { return std::make_unique<CPcscMod>(name); }, {0x1B, 0xFF},
        "95 NN", "94"),
    PseudoCommandModule(
        "PcscCloud", [](const QString& name) { return std::make_unique<CPcscCloud>(name); }, {0xFF, 0x60},
        "95 FF NN", "94 FF"),
    // FeliCa frames through FF AB; the answers are the card's frames, length byte first.
    {
        .name = "PcscMrica",
        .make = [](const QString& name) { return std::make_unique<CPcscMrica>(name); },
        .scriptPolling =
            [](CScriptedPcsc& pcsc, const std::string& answer) {
                pcsc.Exchange("FF AB 00 00 05 00 00 03 01 00", 30, answer);
            },
        .firstPollingFrame = "FF AB 00 00 05 00 00 03 01 00",
        .firstPollingSize = 30,
        .pollingAnswer = "12 01 " + kIdm + kPmm + "90 00",
        .shortPollingAnswer = "12 01 " + kIdm + "90 00",
        .prepareFrame = "FF 00 41 81 01 0C",
        .blockFrame = "FF AB 00 00 0F 06 01 14 0A 12 34 56 78 9A 01 0F 09 01 80 NN",
        .blockAnswer = [](const std::string& flags,
                          const std::string& block) { return "1D 07 " + kIdm + flags + block + "90 00"; },
        .statusFlag2Stops = true,
        .modes = {0x01, 0x0C},
        .setModeFrame = "FF 00 41 01 01 NN",
        .getModeFrame = "FF 00 41 01 00",
    },
};

std::string ModuleName(const PcscModule& module)
{
    return module.name;
}

class PcscModuleTest : public PcscScriptTest, public testing::WithParamInterface<PcscModule> {
protected:
    const PcscModule& Module() const { return GetParam(); }

    // A module with its context and, like after a Polling, a card connection.
    std::unique_ptr<CPcscMod> Connected()
    {
        m_pcsc->Establish();
        auto module = Module().make(QString::fromStdString(kName));
        module->m_hCard = CScriptedPcsc::kCard;
        return module;
    }

    void ScriptDestruction() { m_pcsc->Disconnect(SCARD_LEAVE_CARD).Release(); }

    std::string BlockFrame(unsigned n) const { return Format(Module().blockFrame, n); }
    std::string ModeFrame(uint8_t mode) const { return Format(Module().setModeFrame, mode); }
};

TEST_P(PcscModuleTest, PollingConnectsOnceAndReusesTheConnection)
{
    m_pcsc->Establish().ConnectShared(kName);
    Module().scriptPolling(*m_pcsc, Module().pollingAnswer);
    Module().scriptPolling(*m_pcsc, Module().pollingAnswer);
    ScriptDestruction();

    auto module = Module().make(QString::fromStdString(kName));
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::array<uint8_t, 8> idm{};
        std::array<uint8_t, 8> pmm{};
        ASSERT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 1);
        EXPECT_EQ(idm, HexArray<8>(kIdm));
        EXPECT_EQ(pmm, HexArray<8>(kPmm));
    }
}

TEST_P(PcscModuleTest, PollingWithoutACardConnectsAgainNextTime)
{
    m_pcsc->Establish().ConnectShared(kName, SCARD_E_NO_SMARTCARD).ConnectShared(kName);
    Module().scriptPolling(*m_pcsc, Module().pollingAnswer);
    ScriptDestruction();

    auto module = Module().make(QString::fromStdString(kName));
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    idm.fill(0xEE);
    EXPECT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 0);
    EXPECT_EQ(module->m_hCard, 0u);
    EXPECT_EQ(idm[0], 0xEE);
    EXPECT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 1);
    EXPECT_EQ(idm, HexArray<8>(kIdm));
}

TEST_P(PcscModuleTest, FailedPollingLeavesTheBuffersUntouched)
{
    struct Failure {
        const char* name;
        std::function<void(CScriptedPcsc&)> script;
    };
    const Failure failures[] = {
        {"status word", [&](CScriptedPcsc& pcsc) { Module().scriptPolling(pcsc, "6A 81"); }},
        {"answer without PMm", [&](CScriptedPcsc& pcsc) { Module().scriptPolling(pcsc, Module().shortPollingAnswer); }},
        {"only a status word", [&](CScriptedPcsc& pcsc) { Module().scriptPolling(pcsc, "90 00"); }},
        // No transaction, so nothing to end.
        {"transaction refused", [](CScriptedPcsc& pcsc) { pcsc.Begin(SCARD_E_SHARING_VIOLATION); }},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.name);
        auto module = Connected();
        failure.script(*m_pcsc);
        ScriptDestruction();
        std::array<uint8_t, 8> idm{};
        std::array<uint8_t, 8> pmm{};
        idm.fill(0xEE);
        pmm.fill(0xEE);
        EXPECT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 0);
        EXPECT_EQ(idm, HexArray<8>("EE EE EE EE EE EE EE EE"));
        EXPECT_EQ(pmm, HexArray<8>("EE EE EE EE EE EE EE EE"));
    }
}

TEST_P(PcscModuleTest, StatusFlag2StopsOnlyWhereTheModuleSaysSo)
{
    auto module = Connected();
    m_pcsc->Begin().Transmit(Module().prepareFrame, 256, "90 00");
    m_pcsc->Transmit(BlockFrame(0), 256, Module().blockAnswer("00 00 01 ", BlockHex(0)));
    m_pcsc->Transmit(BlockFrame(1), 256, Module().blockAnswer("00 A1 01 ", BlockHex(1)));
    if (!Module().statusFlag2Stops)
        m_pcsc->Transmit(BlockFrame(2), 256, Module().blockAnswer("00 00 01 ", kEmptyBlock));
    m_pcsc->End();
    ScriptDestruction();

    HistoryBlockList blocks;
    EXPECT_EQ(module->ReadBlocks(HexBytes(kIdm).data(), kServiceCode, kSystemCode, &blocks, 20), 1);
    EXPECT_EQ(blocks.size(), Module().statusFlag2Stops ? 1u : 2u);
}

TEST_P(PcscModuleTest, UnansweredPreparationIsAReadWithoutBlocks)
{
    auto module = Connected();
    m_pcsc->Begin();
    // The generic reader is asked to poll and says no; the Circle reader's call itself fails.
    if (Module().statusFlag2Stops)
        m_pcsc->Transmit(Module().prepareFrame, 256, "", SCARD_F_COMM_ERROR);
    else
        m_pcsc->Transmit(Module().prepareFrame, 256, "6A 81");
    m_pcsc->End();
    ScriptDestruction();

    HistoryBlockList blocks;
    EXPECT_EQ(module->ReadBlocks(HexBytes(kIdm).data(), kServiceCode, kSystemCode, &blocks, 20), 1);
    EXPECT_TRUE(blocks.empty());
}

TEST_P(PcscModuleTest, RefusedTransactionFailsTheRead)
{
    auto module = Connected();
    m_pcsc->Begin(SCARD_E_SHARING_VIOLATION);
    ScriptDestruction();

    HistoryBlockList blocks;
    EXPECT_EQ(module->ReadBlocks(HexBytes(kIdm).data(), kServiceCode, kSystemCode, &blocks, 20), 0);
    EXPECT_TRUE(blocks.empty());
}

TEST_P(PcscModuleTest, ApplyReaderModeWritesExitAndRunValuesOverADirectConnection)
{
    m_pcsc->Establish();
    for (uint8_t mode : Module().modes)
        m_pcsc->ConnectDirect(kName).Control(ModeFrame(mode), 256, "").Disconnect(SCARD_UNPOWER_CARD);
    // A refused escape is not reported.
    m_pcsc->ConnectDirect(kName).Control(ModeFrame(Module().modes[1]), 256, "", SCARD_E_NOT_TRANSACTED)
        .Disconnect(SCARD_UNPOWER_CARD);
    m_pcsc->ConnectDirect(kName, SCARD_E_SHARING_VIOLATION);
    m_pcsc->Release();

    auto module = Module().make(QString::fromStdString(kName));
    EXPECT_EQ(module->ApplyReaderMode(0), 1);
    EXPECT_EQ(module->ApplyReaderMode(1), 1);
    EXPECT_EQ(module->ApplyReaderMode(1), 1);
    EXPECT_EQ(module->m_hCard, 0u);
    EXPECT_EQ(module->ApplyReaderMode(1), 0);
}

TEST_P(PcscModuleTest, ReaderModeFrames)
{
    auto module = Connected();
    m_pcsc->Control(ModeFrame(0x42), 256, "").Control(ModeFrame(0x42), 256, "", SCARD_E_NOT_TRANSACTED);
    m_pcsc->Control(Module().getModeFrame, 256, "5A 90 00")
        .Control(Module().getModeFrame, 256, "")
        .Control(Module().getModeFrame, 256, "", SCARD_E_NOT_TRANSACTED);
    ScriptDestruction();

    EXPECT_EQ(module->SetReaderMode(0x42), 1);
    EXPECT_EQ(module->SetReaderMode(0x42), 0);
    uint8_t mode = 0;
    EXPECT_EQ(module->GetReaderMode(&mode), 1);
    EXPECT_EQ(mode, 0x5A);
    EXPECT_EQ(module->GetReaderMode(&mode), 0);
    EXPECT_EQ(module->GetReaderMode(&mode), 0);
}

TEST_P(PcscModuleTest, ContextLifecycle)
{
    // Without a context the reader name is dropped, so no connection can succeed.
    m_pcsc->Establish(SCARD_E_NO_SERVICE).ConnectShared("", SCARD_E_INVALID_HANDLE, 0);
    m_pcsc->Establish().Release().Establish().Release();

    auto module = Module().make(QString::fromStdString(kName));
    EXPECT_TRUE(module->m_strReaderName.isEmpty());
    EXPECT_EQ(module->IsAvailable(), 1);
    EXPECT_EQ(module->IsOpened(), 0);
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    EXPECT_EQ(module->Polling(idm, pmm, kSystemCode, 0, 0), 0);
    EXPECT_EQ(module->Open(), 1);
    EXPECT_EQ(module->IsOpened(), 1);
    EXPECT_EQ(module->Open(), 1);
    EXPECT_EQ(module->Close(), 1);
    EXPECT_EQ(module->IsOpened(), 0);
    EXPECT_EQ(module->Close(), 1);
    EXPECT_EQ(module->Open(), 1);
    // Destruction releases the context opened last.
}

// A connection whose card was taken away or reset, or whose service went away, is let go
// and made anew at the next polling; a context of a service that went away is made anew
// too. Any other failure keeps the connection.
TEST_P(PcscModuleTest, LostConnectionIsRenewedAtTheNextPolling)
{
    constexpr SCARDCONTEXT kNewContext = 0x1003;
    const struct {
        const char* name;
        LONG rc;
        bool renewsConnection;
        bool renewsContext;
        EReaderFault fault;
    } cases[] = {
        {"CardRemoved", SCARD_W_REMOVED_CARD, true, false, EReaderFault::None},
        {"CardReset", SCARD_W_RESET_CARD, true, false, EReaderFault::None},
        {"NoCardAnyMore", SCARD_E_NO_SMARTCARD, true, false, EReaderFault::None},
        {"ServiceGone", SCARD_E_NO_SERVICE, true, true, EReaderFault::ServiceLost},
        {"ServiceStopped", SCARD_E_SERVICE_STOPPED, true, true, EReaderFault::ServiceLost},
        {"ServiceConnectionBroken", SCARD_F_COMM_ERROR, true, true, EReaderFault::ServiceLost},
        {"HandleOfAnEarlierService", SCARD_E_INVALID_HANDLE, true, true, EReaderFault::None},
        {"OtherFailure", SCARD_E_NOT_TRANSACTED, false, false, EReaderFault::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_pcsc->Establish().ConnectShared(kName);
        m_pcsc->Begin().Transmit(Module().firstPollingFrame, Module().firstPollingSize, "", c.rc).End();
        if (c.renewsConnection)
            m_pcsc->Disconnect(SCARD_LEAVE_CARD);
        if (c.renewsContext)
            m_pcsc->Release().Establish(SCARD_S_SUCCESS, kNewContext).ConnectShared(kName, SCARD_S_SUCCESS, kNewContext);
        else if (c.renewsConnection)
            m_pcsc->ConnectShared(kName);
        Module().scriptPolling(*m_pcsc, Module().pollingAnswer);
        m_pcsc->Disconnect(SCARD_LEAVE_CARD).Release(c.renewsContext ? kNewContext : CScriptedPcsc::kContext);

        auto module = Module().make(QString::fromStdString(kName));
        std::array<uint8_t, 8> idm{};
        std::array<uint8_t, 8> pmm{};
        EXPECT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 0);
        EXPECT_EQ(module->LastFault(), c.fault);
        EXPECT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 1);
        EXPECT_EQ(module->LastFault(), EReaderFault::None);
        EXPECT_EQ(idm, HexArray<8>(kIdm));
        module.reset();
        m_pcsc->ExpectAllCalled();
    }
}

TEST_P(PcscModuleTest, ServiceThatStaysAwayIsAskedForAContextAtEveryPolling)
{
    constexpr SCARDCONTEXT kNewContext = 0x1003;
    m_pcsc->Establish().ConnectShared(kName, SCARD_E_NO_SERVICE);
    m_pcsc->Release().Establish(SCARD_E_NO_SERVICE);
    m_pcsc->Establish(SCARD_S_SUCCESS, kNewContext).ConnectShared(kName, SCARD_S_SUCCESS, kNewContext);
    Module().scriptPolling(*m_pcsc, Module().pollingAnswer);
    m_pcsc->Disconnect(SCARD_LEAVE_CARD).Release(kNewContext);

    auto module = Module().make(QString::fromStdString(kName));
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    for (int stillAway = 0; stillAway < 2; ++stillAway) {
        EXPECT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 0);
        EXPECT_EQ(module->LastFault(), EReaderFault::ServiceLost);
    }
    EXPECT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 1);
    EXPECT_EQ(module->m_hContext, kNewContext);
}

TEST_P(PcscModuleTest, ExchangePastTheDeadlineFailsThePollingAndGivesTheConnectionUp)
{
    // Long for every exchange that answers; the stalled one never does.
    const CTestDeadline deadline(std::chrono::seconds(1));
    m_pcsc->Establish().ConnectShared(kName).Begin();
    m_pcsc->Transmit(Module().firstPollingFrame, Module().firstPollingSize, "90 00").Stalling();
    // Once the stalled exchange returns, the connection and context it held are let go.
    ScriptDestruction();

    auto module = Module().make(QString::fromStdString(kName));
    std::array<uint8_t, 8> idm{};
    std::array<uint8_t, 8> pmm{};
    EXPECT_EQ(module->Polling(idm.data(), pmm.data(), kSystemCode, 0, 0), 0);
    EXPECT_EQ(module->LastFault(), EReaderFault::TimedOut);
    EXPECT_EQ(m_pcsc->Stalled(), 1u) << "the stalled exchange is the one that timed out";
    // As the read driver ends: closed, then destroyed; neither waits for the stalled call.
    EXPECT_EQ(module->Close(), 1);
    module.reset();
    EXPECT_EQ(m_pcsc->Remaining(), 2u) << "the disconnect and the release wait for the stalled call";
    EXPECT_EQ(PendingAbandonedCalls(), 1u);
    m_pcsc->EndStalls();
    EXPECT_TRUE(WaitForAbandonedCalls());
}

INSTANTIATE_TEST_SUITE_P(Modules, PcscModuleTest, testing::ValuesIn(kModules),
                         [](const auto& info) { return ModuleName(info.param); });

// The ReadBlocks rule, case by case, for every module.
enum class Reply { Block, Empty, StatusFlag1, StatusFlag1Only, StatusWord, Short, TransmitFails };

struct ReadCase {
    const char* name;
    uint8_t nBlocks;
    std::vector<Reply> replies; // one per block command, block 0 first
    int result;
    size_t blocksKept;
};

void PrintTo(const ReadCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<Reply> Blocks(size_t count, std::vector<Reply> then)
{
    std::vector<Reply> replies(count, Reply::Block);
    replies.insert(replies.end(), then.begin(), then.end());
    return replies;
}

const ReadCase kReadCases[] = {
    {"Block0Empty", 20, {Reply::Empty}, 1, 0},
    {"Block7EmptyOf20", 20, Blocks(7, {Reply::Empty}), 1, 7},
    {"All20", 20, Blocks(20, {}), 1, 20},
    {"StatusFlag1OnBlock2", 20, Blocks(2, {Reply::StatusFlag1}), 1, 2},
    // An error answer need not carry a block; the flags are all that is read of it.
    {"StatusFlag1WithoutBlockData", 20, Blocks(2, {Reply::StatusFlag1Only}), 1, 2},
    {"StatusWord6A81OnBlock3", 20, Blocks(3, {Reply::StatusWord}), 0, 0},
    {"ShortAnswerOnBlock1", 20, Blocks(1, {Reply::Short}), 0, 0},
    {"TransmitFailsOnBlock0", 20, {Reply::TransmitFails}, 0, 0},
    {"LastBlockFails", 3, Blocks(2, {Reply::StatusWord}), 0, 0},
    {"NoBlocksAsked", 0, {}, 1, 0},
};

class ReadBlocksTest : public PcscScriptTest, public testing::WithParamInterface<std::tuple<PcscModule, ReadCase>> {};

TEST_P(ReadBlocksTest, FollowsTheRule)
{
    const PcscModule& module = std::get<0>(GetParam());
    const ReadCase& read = std::get<1>(GetParam());

    m_pcsc->Establish();
    m_pcsc->Begin().Transmit(module.prepareFrame, 256, "90 00");
    for (unsigned n = 0; n < read.replies.size(); ++n) {
        const std::string frame = Format(module.blockFrame, n);
        switch (read.replies[n]) {
        case Reply::Block:
            m_pcsc->Transmit(frame, 256, module.blockAnswer("00 00 01 ", BlockHex(n)));
            break;
        case Reply::Empty:
            m_pcsc->Transmit(frame, 256, module.blockAnswer("00 00 01 ", kEmptyBlock));
            break;
        case Reply::StatusFlag1:
            m_pcsc->Transmit(frame, 256, module.blockAnswer("FF A1 01 ", BlockHex(n)));
            break;
        case Reply::StatusFlag1Only:
            m_pcsc->Transmit(frame, 256, module.blockAnswer("FF A1 ", ""));
            break;
        case Reply::StatusWord:
        {
            // A whole block, but a status word that is not 90 00.
            const std::string answer = module.blockAnswer("00 00 01 ", BlockHex(n));
            m_pcsc->Transmit(frame, 256, answer.substr(0, answer.size() - 5) + "6A 81");
            break;
        }
        case Reply::Short:
            // Status word 90 00, but the block stops after 8 bytes.
            m_pcsc->Transmit(frame, 256, module.blockAnswer("00 00 01 ", BlockHex(n).substr(0, 3 * 8)));
            break;
        case Reply::TransmitFails:
            m_pcsc->Transmit(frame, 256, "", SCARD_E_NOT_TRANSACTED);
            break;
        }
    }
    m_pcsc->End().Disconnect(SCARD_LEAVE_CARD).Release();

    auto reader = module.make(QString::fromStdString(kName));
    reader->m_hCard = CScriptedPcsc::kCard;
    HistoryBlockList blocks;
    EXPECT_EQ(reader->ReadBlocks(HexBytes(kIdm).data(), kServiceCode, kSystemCode, &blocks, read.nBlocks),
              read.result);
    ASSERT_EQ(blocks.size(), read.blocksKept);
    for (unsigned n = 0; n < blocks.size(); ++n)
        EXPECT_EQ(blocks[n], HexArray<16>(BlockHex(n))) << "block " << n;
}

INSTANTIATE_TEST_SUITE_P(Rule, ReadBlocksTest, testing::Combine(testing::ValuesIn(kModules), testing::ValuesIn(kReadCases)),
                         [](const auto& info) {
                             return ModuleName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

using PcscMricaTest = PcscScriptTest;

TEST_F(PcscMricaTest, PreparationAnswerIsNotExamined)
{
    m_pcsc->Establish();
    m_pcsc->Begin().Transmit("FF 00 41 81 01 0C", 256, "6A 81");
    m_pcsc->Transmit("FF AB 00 00 0F 06 01 14 0A 12 34 56 78 9A 01 0F 09 01 80 00", 256,
                     "1D 07 " + kIdm + "00 00 01 " + BlockHex(0) + "90 00");
    m_pcsc->End().Disconnect(SCARD_LEAVE_CARD).Release();

    CPcscMrica reader(QString::fromStdString(kName));
    reader.m_hCard = CScriptedPcsc::kCard;
    HistoryBlockList blocks;
    EXPECT_EQ(reader.ReadBlocks(HexBytes(kIdm).data(), kServiceCode, kSystemCode, &blocks, 1), 1);
    EXPECT_EQ(blocks.size(), 1u);
}

TEST_F(PcscMricaTest, PollSystemUsesThePassThroughFrame)
{
    m_pcsc->Establish().Exchange("FF AB 00 00 05 00 86 5E 01 00", 256, "90 00").Disconnect(SCARD_LEAVE_CARD).Release();

    CPcscMrica reader(QString::fromStdString(kName));
    reader.m_hCard = CScriptedPcsc::kCard;
    EXPECT_EQ(reader.PollSystem(0x865E), 1);
}

// Version text and number: the same for every PC/SC module.
struct VersionCase {
    const char* name;
    const char* reader;
    bool asksReader;
    const char* answer; // of the escape 1E
    LONG rc;
    int number;
    const char* text;
};

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << c.name;
}

const VersionCase kVersionCases[] = {
    {"Firmware105", "ACS ACR1251 CL Reader PICC 0", true, "01 05", SCARD_S_SUCCESS, 105, "ACS 1.05"},
    {"Firmware212", "Circle CIR315 CL 0", true, "02 0C 90 00", SCARD_S_SUCCESS, 212, "Circle 2.12"},
    {"NumberZero", "ACS ACR1251 CL Reader PICC 0", true, "00 00", SCARD_S_SUCCESS, 0, "ACS ACR1251 CL Reader PICC 0"},
    {"EscapeRefused", "ACS ACR1251 CL Reader PICC 0", true, "", SCARD_E_NOT_TRANSACTED, 0,
     "ACS ACR1251 CL Reader PICC 0"},
    {"OneByteAnswer", "ACS ACR1251 CL Reader PICC 0", true, "01", SCARD_S_SUCCESS, 0, "ACS ACR1251 CL Reader PICC 0"},
    {"NameWithoutBlank", "SCR331CL-NTTCom", false, "", SCARD_S_SUCCESS, 0, "SCR331CL-NTTCom"},
};

class VersionTest : public PcscScriptTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTest, TextAndNumber)
{
    const VersionCase& version = GetParam();
    m_pcsc->Establish();
    if (version.asksReader) {
        m_pcsc->Control("1E", 40, version.answer, version.rc);
        m_pcsc->Control("1E", 40, version.answer, version.rc);
    }
    m_pcsc->Disconnect(SCARD_LEAVE_CARD).Release();

    CPcscMod reader(QString::fromUtf8(version.reader));
    reader.m_hCard = CScriptedPcsc::kCard;
    EXPECT_EQ(reader.GetVersionText(), QString::fromUtf8(version.text));
    if (version.asksReader) {
        EXPECT_EQ(reader.GetVersionNumber(), version.number);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTest, testing::ValuesIn(kVersionCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderModTest, ABaseModuleFailsEverything)
{
    struct CBareMod : CReaderMod {};
    CBareMod module;
    uint8_t idm[8] = {};
    uint8_t mode = 0;
    HistoryBlockList blocks;
    EXPECT_EQ(module.Open(), 0);
    EXPECT_EQ(module.Close(), 0);
    EXPECT_EQ(module.Polling(idm, idm, kSystemCode, 0, 0), 0);
    EXPECT_EQ(module.ReadBlocks(idm, kServiceCode, kSystemCode, &blocks, 20), 0);
    EXPECT_EQ(module.IsAvailable(), 0);
    EXPECT_EQ(module.IsOpened(), 0);
    EXPECT_TRUE(module.GetVersionText().isEmpty());
    EXPECT_EQ(module.GetVersionNumber(), 0);
    EXPECT_EQ(module.IsReaderAlive(), 0);
    EXPECT_EQ(module.SetReaderMode(1), 0);
    EXPECT_EQ(module.ApplyReaderMode(1), 0);
    EXPECT_EQ(module.GetReaderMode(&mode), 0);
}

} // namespace
