// The simulated reader with the faults of a real stack, for tests only: a card whose block
// answers break, a service that stops or comes back, a reader that goes away, a card laid
// late or lifted mid-read, and exchanges that stall or answer nothing.
#pragma once

#include "readers/sim/SimulatedCard.h"
#include "readers/sim/SimulatedPcscService.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>

class CFaultyCard : public CSimulatedCard {
public:
    using CSimulatedCard::CSimulatedCard;

    // Keyed by block number, for every read frame (FF 46, FF AB 06, READ BINARY and the
    // PN532 read): the answer is only this status word.
    void FailBlockWithStatusWord(uint8_t block, uint16_t statusWord);
    // The answer is cut to this many bytes, 90 00 still last.
    void ShortenBlockAnswer(uint8_t block, size_t length);
    // The card reports these status flags for the block; a non-zero flag 1 withholds the data.
    void SetBlockStatusFlags(uint8_t block, uint8_t flag1, uint8_t flag2);

protected:
    SBlockAnswer ReadBlock(uint16_t serviceCode, uint8_t block) const override;
    std::vector<uint8_t> FinishBlockAnswer(uint8_t block, std::vector<uint8_t> answer) const override;

private:
    std::map<uint8_t, uint16_t> m_blockStatusWords;
    std::map<uint8_t, size_t> m_blockAnswerLengths;
    std::map<uint8_t, std::pair<uint8_t, uint8_t>> m_blockStatusFlags;
};

class CFaultyPcscService : public CSimulatedPcscService {
public:
    // What one transmit meets.
    enum class ETransmitFault {
        Stall,       // no answer until EndStall(); then the card is gone
        EmptyAnswer, // success with no byte at all
        LiftCard,    // the card is taken away until LayCard(): this call and every later
                     // one on the connections made so far answer SCARD_W_REMOVED_CARD
        StopService, // the service stops: SCARD_F_COMM_ERROR here, SCARD_E_NO_SERVICE after
    };

    explicit CFaultyPcscService(std::optional<CCardImage> card, std::string readerName = kDefaultReaderName);
    ~CFaultyPcscService() override;

    CFaultyCard& Card();

    // Stopped: EstablishContext answers SCARD_E_NO_SERVICE and every call on a context made
    // before answers it too. Running again, such a context is unknown (SCARD_E_INVALID_HANDLE).
    void SetServiceRunning(bool running);
    // Detached: ListReaders answers SCARD_E_NO_READERS_AVAILABLE.
    void SetReaderAttached(bool attached);
    // The card is laid on the reader only after this many shared connections were
    // refused as an empty reader (a module's polling reconnects until one works).
    void SetCardAfterAttempts(int attempts);
    // A card taken away lies on the reader again.
    void LayCard();
    // The transmit n from now (0: the next one) meets fault.
    void SetTransmitFault(size_t n, ETransmitFault fault);
    // A stalled transmit returns.
    void EndStall();
    // Runs before every transmit is answered, on the transmit's thread: a reader that takes
    // its time, in place of the time it takes.
    void SetTransmitDelay(std::function<void()> delay);
    // Transmits that began to stall so far.
    size_t Stalls() const;

    LONG ListReaders(SCARDCONTEXT context, const char* group, std::vector<std::string>& readers) override;
    LONG Connect(SCARDCONTEXT context, const std::string& reader, DWORD shareMode, DWORD preferredProtocols,
                 SCARDHANDLE* card, DWORD* activeProtocol) override;
    LONG Status(SCARDHANDLE card, std::vector<uint8_t>& atr) override;
    LONG BeginTransaction(SCARDHANDLE card) override;
    LONG EndTransaction(SCARDHANDLE card, DWORD disposition) override;
    LONG Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send, DWORD sendLength,
                  uint8_t* receive, DWORD* receiveLength) override;
    LONG Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send, DWORD sendLength, uint8_t* receive,
                 DWORD receiveSize, DWORD* bytesReturned) override;

private:
    // The answer a call on card gets before the simulated reader is asked, if any.
    std::optional<LONG> FaultOf(SCARDHANDLE card) const;
    std::optional<LONG> FaultOfContext(SCARDCONTEXT context) const;

    std::map<size_t, ETransmitFault> m_transmitFaults; // by the transmit's number
    std::function<void()> m_transmitDelay;
    size_t m_nTransmits = 0;
    std::map<SCARDHANDLE, SCARDCONTEXT> m_contextOf;
    std::map<SCARDHANDLE, bool> m_lifted;         // connections whose card was taken away
    std::map<SCARDCONTEXT, bool> m_staleContexts; // made before the service stopped
    std::condition_variable m_stallEnded;
    bool m_bStallEnded = false;
    size_t m_nStalls = 0;
};

// Waits until the calls given up at their deadline have returned and cleaned up; false if
// they still have not after timeout.
bool WaitForAbandonedCalls(std::chrono::milliseconds timeout = std::chrono::seconds(5));

// The exchange deadline for one test's lifetime.
class CTestDeadline {
public:
    explicit CTestDeadline(std::chrono::milliseconds deadline)
        : m_previous(SetExchangeDeadline(deadline))
    {
    }
    ~CTestDeadline() { SetExchangeDeadline(m_previous); }
    CTestDeadline(const CTestDeadline&) = delete;
    CTestDeadline& operator=(const CTestDeadline&) = delete;

private:
    std::chrono::milliseconds m_previous;
};
