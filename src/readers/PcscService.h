// The one seam between the reader layer and the PC/SC smart-card service.
// Every module and the coordinator reach the service only through PcscService(),
// so tests and the demo mode can put a scripted or simulated service behind it.
#pragma once

#include <PCSC/reader.h>
#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// SCardConnect's answer for a reader that is there without a card, as the
// coordinator expects it (WinSCard's word for that state): the reader is taken
// and the wait for the card begins. pcsc-lite answers SCARD_E_NO_SMARTCARD
// instead, which would make an attached, empty reader look like no reader at
// all, so its adaptor translates.
constexpr LONG kPcscEmptyReader = SCARD_W_REMOVED_CARD;

// The control code of a reader's escape commands (SCardControl).
inline constexpr DWORD kReaderEscapeCode = SCARD_CTL_CODE(3500);

// One reader as SCardGetStatusChange reports it.
struct SReaderState {
    DWORD eventState = 0;
    std::vector<uint8_t> atr;   // empty without a card
};

// The pseudo reader whose state changes when readers come or go (pcsc-lite, WinSCard).
inline constexpr const char* kPnpNotificationReader = "\\\\?PnP?\\Notification";

// One reader in a wait for a change: the state the caller knows, and the one found.
struct SReaderWatch {
    std::string name;
    DWORD currentState = SCARD_STATE_UNAWARE;
    DWORD eventState = 0;
};

class IPcscService {
public:
    virtual ~IPcscService() = default;

    virtual LONG EstablishContext(DWORD scope, SCARDCONTEXT* context) = 0;
    virtual LONG ReleaseContext(SCARDCONTEXT context) = 0;
    // SCardListReaders with an allocated list, walked into names in the
    // service's order, then SCardFreeMemory.
    virtual LONG ListReaders(SCARDCONTEXT context, const char* group, std::vector<std::string>& readers) = 0;
    virtual LONG Connect(SCARDCONTEXT context, const std::string& reader, DWORD shareMode,
                         DWORD preferredProtocols, SCARDHANDLE* card, DWORD* activeProtocol) = 0;
    virtual LONG Disconnect(SCARDHANDLE card, DWORD disposition) = 0;
    // SCardStatus of a card connection, for the card's ATR.
    virtual LONG Status(SCARDHANDLE card, std::vector<uint8_t>& atr) = 0;
    // SCardGetStatusChange from an unaware state, for each of readers: its SCARD_STATE_*
    // bits and the ATR of the card on it. timeoutMs 0 looks and returns at once.
    virtual LONG ReaderStates(SCARDCONTEXT context, DWORD timeoutMs, const std::vector<std::string>& readers,
                              std::vector<SReaderState>& states) = 0;
    // SCardGetStatusChange from the states the caller knows: returns once one of readers is
    // found in another state (each eventState set), or with SCARD_E_TIMEOUT after timeoutMs.
    // A service that cannot wait says SCARD_E_UNSUPPORTED_FEATURE.
    virtual LONG AwaitStatusChange(SCARDCONTEXT /*context*/, DWORD /*timeoutMs*/, std::vector<SReaderWatch>& /*readers*/)
    {
        return SCARD_E_UNSUPPORTED_FEATURE;
    }
    // SCardCancel: ends the wait for a change under way on context, from any thread.
    virtual LONG Cancel(SCARDCONTEXT /*context*/) { return SCARD_E_UNSUPPORTED_FEATURE; }
    virtual LONG BeginTransaction(SCARDHANDLE card) = 0;
    virtual LONG EndTransaction(SCARDHANDLE card, DWORD disposition) = 0;
    // receiveLength: in, the buffer size; out, the bytes received.
    virtual LONG Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send,
                          DWORD sendLength, uint8_t* receive, DWORD* receiveLength) = 0;
    virtual LONG Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send, DWORD sendLength,
                         uint8_t* receive, DWORD receiveSize, DWORD* bytesReturned) = 0;
};

// How long one call to the service may take. pcsc-lite's client waits for pcscd without a
// limit, and pcscd waits as long as the reader's driver does: a card that stops answering
// mid-read would hold the caller for ever.
inline constexpr std::chrono::milliseconds kExchangeDeadline{3000};

// The service in use: pcsc-lite unless another was installed, always behind the deadline.
// Each call runs on a thread of its own; past the deadline the caller gets SCARD_E_TIMEOUT
// and the call is left to return on its own. Nothing can end it sooner (pcsc-lite holds
// the context's lock through a call, so disconnecting or releasing from another thread
// waits too), so its context is given up: later calls on it answer SCARD_E_TIMEOUT at once,
// and its disconnects and release are done by that thread once the call has returned.
IPcscService& PcscService();
// Installs service (nullptr restores pcsc-lite); returns the one it replaces.
std::shared_ptr<IPcscService> SetPcscService(std::shared_ptr<IPcscService> service);

// The deadline of every call from now on (kExchangeDeadline until changed); returns the
// one it replaces.
std::chrono::milliseconds SetExchangeDeadline(std::chrono::milliseconds deadline);
// Calls given up at their deadline that have not returned yet, with their clean-up.
size_t PendingAbandonedCalls();

// Lets another thread call off the service calls of a thread that works for it: while a
// CPcscCancelScope of this object lives on that thread, its call in progress and every
// later one end with SCARD_E_CANCELLED once Cancel() was called. Ending a transaction,
// disconnecting and releasing still happen.
class CPcscCancel {
public:
    CPcscCancel();
    ~CPcscCancel();
    CPcscCancel(const CPcscCancel&) = delete;
    CPcscCancel& operator=(const CPcscCancel&) = delete;

    // From any thread.
    void Cancel();
    bool IsCancelled() const;

    struct SState;

private:
    friend class CPcscCancelScope;
    std::shared_ptr<SState> m_pState;
};

class CPcscCancelScope {
public:
    explicit CPcscCancelScope(CPcscCancel& cancel);
    ~CPcscCancelScope();
    CPcscCancelScope(const CPcscCancelScope&) = delete;
    CPcscCancelScope& operator=(const CPcscCancelScope&) = delete;

private:
    std::shared_ptr<CPcscCancel::SState> m_pPrevious;
};
