// A PC/SC service with one contactless reader and, optionally, a card from a card image,
// for the demo mode and for tests: SetPcscService(std::make_shared<CSimulatedPcscService>(...)).
// It answers every frame of the PC/SC reader modules and records the frames it received.
// The ways a real stack fails are a test's subclass, over the protected state.
#pragma once

#include "readers/sim/CardImage.h"
#include "readers/PcscService.h"
#include "readers/sim/SimulatedCard.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CSimulatedPcscService : public IPcscService {
public:
    static constexpr const char* kDefaultReaderName = "ACS ACR1251 CL Reader PICC 0";

    struct SFrame {
        enum class EChannel { Transmit, Control };
        EChannel channel = EChannel::Transmit;
        std::vector<uint8_t> bytes;
        DWORD receiveSize = 0; // the caller's buffer
    };

    // No image: the reader is attached but empty.
    explicit CSimulatedPcscService(std::optional<CCardImage> card,
                                   std::string readerName = kDefaultReaderName);

    // The reader and its card, for reader state (mode byte, firmware).
    CSimulatedCard& Card() { return *m_pCard; }
    const std::string& ReaderName() const { return m_strReaderName; }

    std::vector<SFrame> Frames() const;
    void ClearFrames();
    // Contexts and card handles not yet released, to check that callers pair them.
    size_t OpenContexts() const;
    size_t OpenHandles() const;

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

protected:
    struct SHandle {
        bool direct = false;
        bool inTransaction = false;
    };

    // card is laid on the reader when present.
    CSimulatedPcscService(std::unique_ptr<CSimulatedCard> card, bool present, std::string readerName);

    mutable std::mutex m_mutex;
    std::string m_strReaderName;
    std::unique_ptr<CSimulatedCard> m_pCard;
    bool m_bCardPresent;
    bool m_bServiceRunning = true; // else EstablishContext answers SCARD_E_NO_SERVICE
    bool m_bReaderAttached = true; // else ListReaders answers SCARD_E_NO_READERS_AVAILABLE
    int m_nRefusedConnects = 0;    // shared connections still refused as an empty reader
    SCARDCONTEXT m_hNextContext = 0x1000;
    SCARDHANDLE m_hNextCard = 0x2000;
    std::map<SCARDCONTEXT, bool> m_contexts;
    std::map<SCARDHANDLE, SHandle> m_handles;
    std::vector<SFrame> m_frames;
};
