// The deadline of every call to the service, over a script whose calls may stall.
#include "FaultyPcscService.h"
#include "ScriptedPcsc.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string kName = "ACS ACR1251 CL Reader PICC 0";
constexpr SCARDCONTEXT kOtherContext = 0x1003;

class PcscDeadline : public PcscScriptTest {
protected:
    void TearDown() override
    {
        m_pcsc->EndStalls();
        EXPECT_TRUE(WaitForAbandonedCalls());
        PcscScriptTest::TearDown();
    }

    // Blocks until the script's stalled call has begun.
    void WaitForStall()
    {
        while (m_pcsc->Stalled() == 0)
            std::this_thread::sleep_for(1ms);
    }

    LONG Transmit(std::array<uint8_t, 4>& receive, DWORD& length)
    {
        const uint8_t frame[] = {0xFF, 0xCA, 0x00, 0x00, 0x00};
        length = receive.size();
        return PcscService().Transmit(CScriptedPcsc::kCard, SCARD_PCI_T1, frame, sizeof frame, receive.data(), &length);
    }
};

TEST_F(PcscDeadline, CallPastItIsGivenUpAndItsContextReleasedOnceItReturns)
{
    // Long for every call that answers; the stalled one never does.
    const CTestDeadline deadline(1s);
    m_pcsc->Establish().ConnectShared(kName).Begin();
    m_pcsc->Transmit("FF CA 00 00 00", 4, "12 34 90 00").Stalling();
    // Only once the stalled call has returned: what was asked for meanwhile, in order.
    m_pcsc->Disconnect(SCARD_LEAVE_CARD).Release();

    IPcscService& pcsc = PcscService();
    SCARDCONTEXT context = 0;
    ASSERT_EQ(pcsc.EstablishContext(SCARD_SCOPE_USER, &context), SCARD_S_SUCCESS);
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    ASSERT_EQ(pcsc.Connect(context, kName, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol),
              SCARD_S_SUCCESS);
    ASSERT_EQ(pcsc.BeginTransaction(card), SCARD_S_SUCCESS);

    std::array<uint8_t, 4> receive;
    receive.fill(0xEE);
    DWORD length = 0;
    EXPECT_EQ(Transmit(receive, length), SCARD_E_TIMEOUT);
    EXPECT_EQ(m_pcsc->Stalled(), 1u) << "the stalled call is the one that timed out";
    EXPECT_EQ(receive, (std::array<uint8_t, 4>{0xEE, 0xEE, 0xEE, 0xEE})) << "a late answer never reaches the caller";
    EXPECT_EQ(length, 4u);
    // The context's lock is taken by the stalled call: these do not reach the script.
    EXPECT_EQ(pcsc.EndTransaction(card, SCARD_LEAVE_CARD), SCARD_E_TIMEOUT);
    EXPECT_EQ(Transmit(receive, length), SCARD_E_TIMEOUT);
    // Released first, as a read that ends does, then disconnected: neither waits.
    EXPECT_EQ(pcsc.ReleaseContext(context), SCARD_S_SUCCESS);
    EXPECT_EQ(pcsc.Disconnect(card, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    EXPECT_EQ(m_pcsc->Remaining(), 2u) << "the disconnect and the release wait for the stalled call";
    EXPECT_EQ(PendingAbandonedCalls(), 1u);

    m_pcsc->EndStalls();
    EXPECT_TRUE(WaitForAbandonedCalls());
}

TEST_F(PcscDeadline, CancelEndsTheCallInProgressAtOnceAndLetsReleasesThrough)
{
    // Far past the test's run: only the cancel can end the stalled call in time.
    const CTestDeadline deadline(20s);
    m_pcsc->Establish().Establish(SCARD_S_SUCCESS, kOtherContext).ConnectShared(kName);
    m_pcsc->Transmit("FF CA 00 00 00", 4, "90 00").Stalling();
    m_pcsc->Release(kOtherContext);
    m_pcsc->Disconnect(SCARD_LEAVE_CARD).Release();

    CPcscCancel cancel;
    LONG stalled = SCARD_S_SUCCESS;
    LONG afterCancel = SCARD_S_SUCCESS;
    std::thread worker([&] {
        const CPcscCancelScope scope(cancel);
        IPcscService& pcsc = PcscService();
        SCARDCONTEXT context = 0;
        SCARDCONTEXT other = 0;
        pcsc.EstablishContext(SCARD_SCOPE_USER, &context);
        pcsc.EstablishContext(SCARD_SCOPE_USER, &other);
        SCARDHANDLE card = 0;
        DWORD protocol = 0;
        pcsc.Connect(context, kName, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
        std::array<uint8_t, 4> receive{};
        DWORD length = 0;
        stalled = Transmit(receive, length);
        SCARDCONTEXT third = 0;
        afterCancel = pcsc.EstablishContext(SCARD_SCOPE_USER, &third);
        pcsc.ReleaseContext(other);
        pcsc.Disconnect(card, SCARD_LEAVE_CARD);
        pcsc.ReleaseContext(context);
    });
    WaitForStall();
    cancel.Cancel();
    worker.join();
    EXPECT_EQ(stalled, SCARD_E_CANCELLED);
    EXPECT_EQ(afterCancel, SCARD_E_CANCELLED) << "a later call does not reach the service";
    EXPECT_TRUE(cancel.IsCancelled());
}

// A call given up that had made something takes it back once it returns.
TEST_F(PcscDeadline, LateContextOrConnectionIsTakenBack)
{
    const CTestDeadline deadline(1s);
    m_pcsc->Establish().Stalling().Release();
    SCARDCONTEXT context = 0x77;
    EXPECT_EQ(PcscService().EstablishContext(SCARD_SCOPE_USER, &context), SCARD_E_TIMEOUT);
    EXPECT_EQ(m_pcsc->Stalled(), 1u);
    EXPECT_EQ(context, 0x77) << "nothing is handed out";
    m_pcsc->EndStalls();
    ASSERT_TRUE(WaitForAbandonedCalls());
    m_pcsc->ExpectAllCalled();

    // A connection made too late, on another context than the one given up above.
    m_pcsc = std::make_shared<CScriptedPcsc>();
    SetPcscService(m_pcsc);
    m_pcsc->Establish(SCARD_S_SUCCESS, kOtherContext)
        .ConnectShared(kName, SCARD_S_SUCCESS, kOtherContext)
        .Stalling()
        .Disconnect(SCARD_LEAVE_CARD)
        .Release(kOtherContext);
    SCARDCONTEXT other = 0;
    ASSERT_EQ(PcscService().EstablishContext(SCARD_SCOPE_USER, &other), SCARD_S_SUCCESS);
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    EXPECT_EQ(PcscService().Connect(other, kName, SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card,
                                    &protocol),
              SCARD_E_TIMEOUT);
    EXPECT_EQ(card, 0u);
    EXPECT_EQ(PcscService().ReleaseContext(other), SCARD_S_SUCCESS);
    m_pcsc->EndStalls();
    EXPECT_TRUE(WaitForAbandonedCalls());
}

} // namespace
