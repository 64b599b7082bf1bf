// The one seam between the reader layer and the PC/SC smart-card service.
// Every module and the coordinator reach the service only through PcscService(),
// so tests and the demo mode can put a scripted or simulated service behind it.
#pragma once

#include <PCSC/reader.h>
#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>

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
    virtual LONG BeginTransaction(SCARDHANDLE card) = 0;
    virtual LONG EndTransaction(SCARDHANDLE card, DWORD disposition) = 0;
    // receiveLength: in, the buffer size; out, the bytes received.
    virtual LONG Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send,
                          DWORD sendLength, uint8_t* receive, DWORD* receiveLength) = 0;
    virtual LONG Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send, DWORD sendLength,
                         uint8_t* receive, DWORD receiveSize, DWORD* bytesReturned) = 0;
};

// The service in use: pcsc-lite unless another was installed.
IPcscService& PcscService();
// Installs service (nullptr restores pcsc-lite); returns the one it replaces.
std::shared_ptr<IPcscService> SetPcscService(std::shared_ptr<IPcscService> service);
