// A strict PC/SC service for tests: the calls a test expects, in order, each with the answer
// to give. Every call is compared in full (handles, modes, frame bytes, buffer size) against
// the next expected one; a call out of turn fails the test. Calls may come from any thread.
#pragma once

#include "readers/PcscService.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CScriptedPcsc final : public IPcscService {
public:
    static constexpr SCARDCONTEXT kContext = 0x1001;
    static constexpr SCARDHANDLE kCard = 0x2002;

    CScriptedPcsc& Establish(LONG rc = SCARD_S_SUCCESS, SCARDCONTEXT context = kContext);
    CScriptedPcsc& Release(SCARDCONTEXT context = kContext);
    CScriptedPcsc& List(std::vector<std::string> readers, LONG rc = SCARD_S_SUCCESS);
    // Shared with T=0 or T=1, as card polling and reader discovery connect.
    CScriptedPcsc& ConnectShared(const std::string& reader, LONG rc = SCARD_S_SUCCESS,
                                 SCARDCONTEXT context = kContext);
    // Direct, no protocol, as the reader mode is written.
    CScriptedPcsc& ConnectDirect(const std::string& reader, LONG rc = SCARD_S_SUCCESS);
    CScriptedPcsc& Disconnect(DWORD disposition);
    // The card's ATR in hex.
    CScriptedPcsc& Status(const std::string& atr, LONG rc = SCARD_S_SUCCESS);
    // One look at readers without waiting; atrs in hex, one per reader, empty for no card.
    CScriptedPcsc& States(const std::vector<std::string>& readers, const std::vector<std::string>& atrs,
                          LONG rc = SCARD_S_SUCCESS);
    CScriptedPcsc& Begin(LONG rc = SCARD_S_SUCCESS);
    // Always leaving the card.
    CScriptedPcsc& End();
    // frame and answer in hex; the answer must fit receiveSize.
    CScriptedPcsc& Transmit(const std::string& frame, DWORD receiveSize, const std::string& answer,
                            LONG rc = SCARD_S_SUCCESS);
    // Begin, Transmit, End.
    CScriptedPcsc& Exchange(const std::string& frame, DWORD receiveSize, const std::string& answer);
    // The escape channel; the receive buffer is expected zeroed.
    CScriptedPcsc& Control(const std::string& frame, DWORD receiveSize, const std::string& answer,
                           LONG rc = SCARD_S_SUCCESS);

    // The call scripted last answers only once EndStalls() was called: a reader that stops
    // answering.
    CScriptedPcsc& Stalling();
    void EndStalls();
    // Stalled calls that have begun.
    size_t Stalled() const;
    // Expected calls that have not come yet.
    size_t Remaining() const;

    // Fails the test for every expected call that did not come.
    void ExpectAllCalled();

    LONG EstablishContext(DWORD scope, SCARDCONTEXT* context) override;
    LONG ReleaseContext(SCARDCONTEXT context) override;
    LONG ListReaders(SCARDCONTEXT context, const char* group, std::vector<std::string>& readers) override;
    LONG Connect(SCARDCONTEXT context, const std::string& reader, DWORD shareMode, DWORD preferredProtocols,
                 SCARDHANDLE* card, DWORD* activeProtocol) override;
    LONG Disconnect(SCARDHANDLE card, DWORD disposition) override;
    LONG Status(SCARDHANDLE card, std::vector<uint8_t>& atr) override;
    LONG ReaderStates(SCARDCONTEXT context, DWORD timeoutMs, const std::vector<std::string>& readers,
                      std::vector<SReaderState>& states) override;
    LONG BeginTransaction(SCARDHANDLE card) override;
    LONG EndTransaction(SCARDHANDLE card, DWORD disposition) override;
    LONG Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send, DWORD sendLength,
                  uint8_t* receive, DWORD* receiveLength) override;
    LONG Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send, DWORD sendLength, uint8_t* receive,
                 DWORD receiveSize, DWORD* bytesReturned) override;

private:
    // A call is known by its full description; the rest is what to answer.
    struct Call {
        std::string description;
        LONG rc = SCARD_S_SUCCESS;
        SCARDHANDLE handle = 0; // context or card handed out
        std::vector<std::string> readers;
        std::vector<uint8_t> answer;
        std::vector<std::vector<uint8_t>> atrs{};
        bool stalls = false;
    };

    CScriptedPcsc& Expect(Call call);
    // The expected call matching description, or nothing (and a test failure) when another is
    // due. A stalling call returns only once the stall ended.
    std::optional<Call> Take(const std::string& description);
    static LONG Answer(const std::optional<Call>& call, uint8_t* receive, DWORD* received);

    mutable std::mutex m_mutex;
    std::condition_variable m_stallEnded;
    bool m_bStallEnded = false;
    size_t m_nStalled = 0;
    std::deque<Call> m_script;
    size_t m_nCalls = 0;
};

// Installs a fresh script as the PC/SC service for one test and checks it ran to its end.
class PcscScriptTest : public testing::Test {
protected:
    void SetUp() override { m_previous = SetPcscService(m_pcsc); }
    void TearDown() override
    {
        SetPcscService(m_previous);
        m_pcsc->ExpectAllCalled();
    }

    std::shared_ptr<CScriptedPcsc> m_pcsc = std::make_shared<CScriptedPcsc>();

private:
    std::shared_ptr<IPcscService> m_previous;
};
