// The read driver without a window, on the simulated PC/SC service.
#include "readers/sim/CardImage.h"
#include "readers/CardReadAttempt.h"
#include "card/CardSession.h"
#include "reading/CardReadCommand.h"
#include "resources/StringTable.h"
#include "HexBytes.h"
#include "FaultyPcscService.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr const char* kIdm = "012E4C0012ABCDEF";
constexpr const char* kPmm = "100B4B428485D0FF";
const std::vector<std::string> kHistory = {
    "160100002A21030D03018A0B00015C00",
    "080200002A210301030D5A0C00015B00",
};

std::string BlockArray(const std::vector<std::string>& list)
{
    std::string blocks;
    for (const std::string& block : list)
        blocks += (blocks.empty() ? "\"" : ",\"") + block + "\"";
    return "[" + blocks + "]";
}

// gate: the card's gate log, or none when it has no such service.
CCardImage Image(const std::string& systems, const std::vector<std::string>& history = kHistory,
                 const std::optional<std::vector<std::string>>& gate = std::nullopt)
{
    const std::string json = std::string("{\"idm\":\"") + kIdm + "\",\"pmm\":\"" + kPmm + "\",\"systems\":["
        + systems + "],\"history\":" + BlockArray(history) + (gate ? ",\"gate\":" + BlockArray(*gate) : "") + "}";
    CCardImage image;
    const QString error = image.LoadJson(QByteArray::fromStdString(json));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return image;
}

class ReadCardTest : public testing::Test {
protected:
    void SetUp() override
    {
        // The vendor library fallback must find nothing on this machine.
        setenv("VOLUNI_COMMON_FILES_DIR", m_noLibrary.path().toLocal8Bit().constData(), 1);
        m_card.idm.fill(0xAA);
        m_session.blocks.push_back(HexArray<16>("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"));
    }

    void TearDown() override { SetPcscService(nullptr); }

    std::shared_ptr<CFaultyPcscService> Install(std::optional<CCardImage> card,
                                                   std::string reader = CSimulatedPcscService::kDefaultReaderName)
    {
        auto service = std::make_shared<CFaultyPcscService>(std::move(card), std::move(reader));
        SetPcscService(service);
        return service;
    }

    // The polls a read sent, as their system codes, and the code of the read's preparation frame.
    static std::vector<std::string> Transmitted(const CFaultyPcscService& service)
    {
        std::vector<std::string> frames;
        for (const auto& frame : service.Frames()) {
            if (frame.channel == CSimulatedPcscService::SFrame::EChannel::Transmit)
                frames.push_back(QByteArray(reinterpret_cast<const char*>(frame.bytes.data()),
                                            static_cast<int>(frame.bytes.size())).toHex(' ').toUpper().toStdString());
        }
        return frames;
    }

    QTemporaryDir m_noLibrary;
    CEntryList m_entries;
    CCardRecord m_card;
    CCardSession m_session{&m_entries, &m_card};
};

bool Never(CCardReadAttempt&, int) { return false; }

TEST_F(ReadCardTest, ReadsCardRecordAndBlocksThroughTheWait)
{
    Install(Image("\"0003\""));
    int waits = 0;
    const int rc = m_session.ReadCard(5, [&](CCardReadAttempt& attempt, int pollingTime) {
        ++waits;
        EXPECT_EQ(pollingTime, 5);
        return attempt.TryRead();
    });
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(m_card.kind, 3);
    EXPECT_EQ(m_card.idm, (HexArray<8>(kIdm)));
    EXPECT_EQ(m_card.pmm, (HexArray<8>(kPmm)));
    ASSERT_EQ(m_session.blocks.size(), 2u) << "the old blocks are replaced, not added to";
    EXPECT_EQ(m_session.blocks[0], HexArray<16>(kHistory[0]));
    EXPECT_EQ(m_session.blocks[1], HexArray<16>(kHistory[1]));
}

TEST_F(ReadCardTest, CardWithoutHistoryStillSucceeds)
{
    Install(Image("\"0003\"", {}));
    ASSERT_EQ(m_session.ReadCard(0, Never), 0);
    EXPECT_EQ(m_card.kind, 3);
    EXPECT_TRUE(m_session.blocks.empty());
}

TEST_F(ReadCardTest, FailuresLeaveTheSessionAlone)
{
    const auto card = [] { return Image("\"0003\""); };
    const std::vector<std::pair<std::string, std::pair<int, std::function<void()>>>> cases = {
        {"serviceStopped", {-3, [&] { Install(card())->SetServiceRunning(false); }}},
        {"noReader", {-2, [&] { Install(card())->SetReaderAttached(false); }}},
        // Not FeliCa by its ATR (a MIFARE card's), so no module serves the reader.
        {"unknownReader", {-1, [&] {
             Install(card(), "Some Other Reader 0")
                 ->Card()
                 .SetAtr({0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                          0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A});
         }}},
        {"waitEndsWithoutCard", {-5, [&] { Install(std::nullopt); }}},
    };
    for (const auto& [name, c] : cases) {
        c.second();
        EXPECT_EQ(m_session.ReadCard(2, Never), c.first) << name;
        EXPECT_EQ(m_card.kind, 0) << name;
        EXPECT_EQ(m_card.idm[0], 0xAA) << name;
        EXPECT_EQ(m_session.blocks.size(), 1u) << name;
    }
}

TEST_F(ReadCardTest, MissingDocumentIsMinusOne)
{
    Install(Image("\"0003\""));
    CCardSession detached(nullptr, &m_card);
    EXPECT_EQ(detached.ReadCard(0, Never), -1);
}

TEST_F(ReadCardTest, WithoutWaitOnlyTheCommonCodeIsTried)
{
    const auto service = Install(Image("\"865E\""));
    EXPECT_EQ(m_session.ReadCard(0, Never), -2);
    EXPECT_EQ(m_card.kind, 0);
    const std::vector<std::string> frames = Transmitted(*service);
    // One poll of the common code: nothing else is sent when it finds no card.
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], "FF 40 00 00 04 00 03 01 00");
}

TEST_F(ReadCardTest, AttemptPollsEachSystemCodeAndReadsWithTheOneThatAnswered)
{
    const auto service = Install(Image("\"8592\""));
    ASSERT_EQ(m_session.ReadCard(1, [](CCardReadAttempt& attempt, int) { return attempt.TryRead(); }), 0);
    const std::vector<std::string> frames = Transmitted(*service);
    ASSERT_GE(frames.size(), 6u);
    EXPECT_EQ(frames[0], "FF 40 00 00 04 00 03 01 00");
    EXPECT_EQ(frames[1], "FF 40 00 00 04 86 5E 01 00");
    EXPECT_EQ(frames[2], "FF 40 00 00 04 80 DE 01 00");
    EXPECT_EQ(frames[3], "FF 40 00 00 04 85 92 01 00");
    EXPECT_EQ(frames[4], "FF 40 00 00 04 FF FF 00 00") << "the answering poll fetches IDm and PMm";
    EXPECT_EQ(frames[5], "FF 40 00 00 04 85 92 01 00") << "the block read is prepared with 0x8592";
    EXPECT_EQ(m_session.blocks.size(), 2u);
}

// The loop without a window keeps the wait dialog's count: one attempt at once,
// then one a tick, and the tick that reaches zero only fails.
TEST_F(ReadCardTest, WaitLoopTriesAtOnceThenEveryTick)
{
    struct WaitCase {
        int refusedConnects;   // the reader search's probe, then 4 per attempt: one per system code
        int pollingTime;
        bool read;
        int sleeps;
    };
    const WaitCase cases[] = {
        {0, 5, true, 0},       // card already there
        {9, 5, true, 2},       // appears after two ticks, read on the third attempt
        {1000, 2, false, 4},   // never comes: attempts at 0, 0.5, 1, 1.5 s, failure at 2 s
        {1000, 0, false, 0},   // polling time 0: the one attempt only
    };
    for (const WaitCase& c : cases) {
        Install(Image("\"0003\""))->SetCardAfterAttempts(c.refusedConnects);
        int sleeps = 0;
        const int rc = m_session.ReadCard(1, [&](CCardReadAttempt& attempt, int) {
            return WaitForCard(attempt, c.pollingTime, [&](int ms) {
                EXPECT_EQ(ms, 500);
                ++sleeps;
            });
        });
        EXPECT_EQ(rc, c.read ? 0 : -5) << c.refusedConnects << " refused";
        EXPECT_EQ(sleeps, c.sleeps) << c.refusedConnects << " refused";
    }
}

// What a real stack does to a read in progress: a card lifted and laid again, a service
// that stops and comes back or stays away, an exchange that never ends and an empty
// answer. The wait rides out what can come back, a call past its deadline ends it at once,
// and a failed read keeps the session as it was.
TEST_F(ReadCardTest, WaitRidesOutALostCardOrServiceAndEndsAtTheDeadline)
{
    // Long for every exchange that answers; the stalled one never does.
    const CTestDeadline deadline(std::chrono::seconds(1));
    using EFault = CFaultyPcscService::ETransmitFault;
    // An attempt on the generic module transmits two pollings, the read's preparation, then
    // block 0 and block 1.
    constexpr size_t kBlock1 = 4;
    constexpr int kNever = 0;
    const struct {
        const char* name;
        EFault fault;
        int repairedAtSleep; // the card laid again, or the service back
        int pollingTime;
        int result;
        int sleeps;
    } cases[] = {
        {"CardLiftedAndLaidAgain", EFault::LiftCard, 1, 2, 0, 1},
        {"CardLiftedForGood", EFault::LiftCard, kNever, 2, -5, 4},
        {"ServiceBackAfterATick", EFault::StopService, 1, 2, 0, 1},
        {"ServiceAwayForGood", EFault::StopService, kNever, 2, -3, 4},
        {"ExchangeNeverAnswered", EFault::Stall, kNever, 2, -5, 0},
        {"EmptyAnswer", EFault::EmptyAnswer, kNever, 2, 0, 1},
        {"CardLiftedWithoutTheWait", EFault::LiftCard, kNever, 0, -2, 0},
        {"ServiceAwayWithoutTheWait", EFault::StopService, kNever, 0, -3, 0},
        {"ExchangeNeverAnsweredWithoutTheWait", EFault::Stall, kNever, 0, -2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto service = Install(Image("\"0003\""));
        service->SetTransmitFault(kBlock1, c.fault);
        int sleeps = 0;
        const int rc = m_session.ReadCard(c.pollingTime, [&](CCardReadAttempt& attempt, int) {
            return WaitForCard(attempt, c.pollingTime, [&](int) {
                if (++sleeps != c.repairedAtSleep)
                    return;
                if (c.fault == EFault::LiftCard)
                    service->LayCard();
                else
                    service->SetServiceRunning(true);
            });
        });
        EXPECT_EQ(rc, c.result);
        EXPECT_EQ(sleeps, c.sleeps);
        EXPECT_EQ(service->Stalls(), c.fault == EFault::Stall ? 1u : 0u) << "only the stalled exchange timed out";
        if (rc == 0) {
            EXPECT_EQ(m_session.blocks.size(), 2u) << "the broken attempt left nothing behind";
            EXPECT_EQ(m_card.kind, 3);
        } else {
            EXPECT_EQ(m_session.blocks.size(), 1u);
            EXPECT_EQ(m_card.kind, 0);
        }
        service->EndStall();
        EXPECT_TRUE(WaitForAbandonedCalls());
        m_session.blocks.assign(1, HexArray<16>("FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"));
        m_card = CCardRecord{};
        m_card.idm.fill(0xAA);
    }
}

// The whole command: each result with its message, the hook between card and
// names, and a bad date that leaves the list as it was.
TEST_F(ReadCardTest, ReadCommandGivesEachOutcomeItsMessage)
{
    const struct {
        const char* name;
        std::function<void()> setUp;
        int result;
        int message; // 0: none
    } cases[] = {
        {"serviceStopped", [&] { Install(Image("\"0003\""))->SetServiceRunning(false); }, CARD_READ_SERVICE_STOPPED,
         IDS_SMARTCARD_SERVICE_STOPPED},
        {"noReader", [&] { Install(Image("\"0003\""))->SetReaderAttached(false); }, CARD_READ_NO_READER,
         IDS_READER_NOT_CONNECTED},
        {"unknownReaderWithoutFeliCa",
         [&] {
             Install(Image("\"0003\""), "Some Other Reader 0")
                 ->Card()
                 .SetAtr({0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                          0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A});
         },
         CARD_READ_OPEN_FAILED, IDS_READER_OPEN_FAILED},
        {"cancelled", [&] { Install(std::nullopt); }, CARD_READ_CANCELLED, 0},
    };
    for (const auto& c : cases) {
        c.setUp();
        int hooks = 0;
        SCardReadRequest request;
        request.nPollingTime = 2;
        request.wait = Never;
        request.onCardRead = [&] { ++hooks; };
        const SCardReadOutcome outcome = RunCardRead(m_entries, m_card, request);
        EXPECT_EQ(outcome.nResult, c.result) << c.name;
        EXPECT_FALSE(outcome.Succeeded()) << c.name;
        QString expected = c.message ? LoadResString(c.message) : QString();
        if (c.message == IDS_SMARTCARD_SERVICE_STOPPED)
            expected += QStringLiteral("\n起動するには: sudo systemctl start pcscd");
        EXPECT_EQ(outcome.strMessage, expected) << c.name;
        EXPECT_EQ(hooks, 0) << c.name;
        EXPECT_TRUE(m_entries.empty()) << c.name;
    }
}

TEST_F(ReadCardTest, ReadCommandAppendsTheEntriesAndReportsTheBalance)
{
    Install(Image("\"0003\""));
    m_entries.push_back(std::make_unique<CEntryInfo>());
    int hooks = 0;
    SCardReadRequest request;
    request.onCardRead = [&] {
        ++hooks;
        EXPECT_EQ(m_entries.size(), 1u) << "the hook runs before the entries are made";
    };
    request.destinationFor = [](const QString&) { return QStringLiteral("本社"); };
    const SCardReadOutcome outcome = RunCardRead(m_entries, m_card, request);
    ASSERT_TRUE(outcome.Succeeded());
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(outcome.nAdded, 2u);
    ASSERT_EQ(m_entries.size(), 3u);
    EXPECT_EQ(outcome.nBalance, 0x0B8A) << "block 0's balance bytes 8A 0B";
    EXPECT_EQ(m_entries[2]->balance, 0x0B8A) << "oldest first: the newest block comes last";
    EXPECT_TRUE(outcome.strMessage.isEmpty());
}

TEST_F(ReadCardTest, ReadCommandStopsAtABadDateWithItsMessage)
{
    // Day 0 in the newest block.
    Install(Image("\"0003\"", {"160100002A20030D03018A0B00015C00", kHistory[1]}));
    SCardReadRequest request;
    const SCardReadOutcome outcome = RunCardRead(m_entries, m_card, request);
    EXPECT_EQ(outcome.nResult, CARD_READ_OK);
    EXPECT_TRUE(outcome.bInvalidDate);
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_EQ(outcome.strMessage,
              QStringLiteral("カードの履歴に正しくない日付（2021-01-00 00:00）があるため、読み込みを中止しました。"));
    EXPECT_TRUE(m_entries.empty());
}

// The newest trip (block 0, 2021-01-01, 03/0D to 03/01, fare 208) and its gates, newest first.
const std::vector<std::string> kGate = {"20000301 0000 2A21 0841 D000 00000000", "A000030D 0000 2A21 0812 0000 00000000"};

struct GateReadCase {
    const char* name;
    bool cardHasGateLog;
    int pollingTime; // 0: the single attempt without the wait
};

class GateLogRead : public ReadCardTest, public testing::WithParamInterface<GateReadCase> {};

TEST_P(GateLogRead, TimesComeWithTheReadAndARefusalLeavesItIntact)
{
    const GateReadCase& c = GetParam();
    std::vector<std::string> gate;
    for (std::string block : kGate) {
        std::erase(block, ' ');
        gate.push_back(block);
    }
    Install(Image("\"0003\"", kHistory, c.cardHasGateLog ? std::optional(gate) : std::nullopt));
    SCardReadRequest request;
    request.nPollingTime = c.pollingTime;
    request.wait = [](CCardReadAttempt& attempt, int) { return attempt.TryRead(); };
    const SCardReadOutcome outcome = RunCardRead(m_entries, m_card, request);
    ASSERT_TRUE(outcome.Succeeded());
    EXPECT_TRUE(outcome.strMessage.isEmpty());
    ASSERT_EQ(m_entries.size(), 2u);
    EXPECT_EQ(m_entries[1]->balance, 0x0B8A);
    EXPECT_EQ(m_entries[1]->entryTime, c.cardHasGateLog ? 8 * 60 + 12 : -1);
    EXPECT_EQ(m_entries[1]->exitTime, c.cardHasGateLog ? 8 * 60 + 41 : -1);
    EXPECT_EQ(m_entries[0]->exitTime, -1) << "a charge takes no time";
}

INSTANTIATE_TEST_SUITE_P(Cards, GateLogRead,
                         testing::Values(GateReadCase{"WithGateLogOnce", true, 0},
                                         GateReadCase{"WithGateLogThroughTheWait", true, 1},
                                         GateReadCase{"RefusingTheGateLogOnce", false, 0},
                                         GateReadCase{"RefusingTheGateLogThroughTheWait", false, 1}),
                         [](const testing::TestParamInfo<GateReadCase>& info) { return std::string(info.param.name); });

} // namespace
