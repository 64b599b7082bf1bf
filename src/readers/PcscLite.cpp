#include "readers/PcscLite.h"

#include <algorithm>

namespace {

// The production service: each call goes straight to pcsc-lite.
class CPcscLiteService final : public IPcscService {
public:
    LONG EstablishContext(DWORD scope, SCARDCONTEXT* context) override
    {
        return SCardEstablishContext(scope, nullptr, nullptr, context);
    }

    LONG ReleaseContext(SCARDCONTEXT context) override { return SCardReleaseContext(context); }

    LONG ListReaders(SCARDCONTEXT context, const char* group, std::vector<std::string>& readers) override
    {
        readers.clear();
        LPSTR list = nullptr;
        DWORD length = SCARD_AUTOALLOCATE;
        const LONG rc = SCardListReaders(context, group, reinterpret_cast<LPSTR>(&list), &length);
        if (rc != SCARD_S_SUCCESS)
            return rc;
        // A multi-string: names separated by NUL, ended by an empty name.
        for (const char* name = list; name && *name; name += std::char_traits<char>::length(name) + 1)
            readers.emplace_back(name);
        SCardFreeMemory(context, list);
        return rc;
    }

    LONG Connect(SCARDCONTEXT context, const std::string& reader, DWORD shareMode, DWORD preferredProtocols,
                 SCARDHANDLE* card, DWORD* activeProtocol) override
    {
        DWORD protocol = 0;
        const LONG rc = SCardConnect(context, reader.c_str(), shareMode, preferredProtocols, card, &protocol);
        if (activeProtocol)
            *activeProtocol = protocol;
        return rc == SCARD_E_NO_SMARTCARD ? kPcscEmptyReader : rc;
    }

    LONG Disconnect(SCARDHANDLE card, DWORD disposition) override { return SCardDisconnect(card, disposition); }

    LONG Status(SCARDHANDLE card, std::vector<uint8_t>& atr) override
    {
        atr.assign(MAX_ATR_SIZE, 0);
        DWORD atrLength = MAX_ATR_SIZE;
        DWORD state = 0;
        DWORD protocol = 0;
        char name[MAX_READERNAME] = {};
        DWORD nameLength = sizeof name;
        const LONG rc = SCardStatus(card, name, &nameLength, &state, &protocol, atr.data(), &atrLength);
        atr.resize(rc == SCARD_S_SUCCESS ? std::min<DWORD>(atrLength, MAX_ATR_SIZE) : 0);
        return rc;
    }

    LONG ReaderStates(SCARDCONTEXT context, DWORD timeoutMs, const std::vector<std::string>& readers,
                      std::vector<SReaderState>& result) override
    {
        std::vector<SCARD_READERSTATE> states(readers.size());
        for (size_t i = 0; i < readers.size(); ++i) {
            states[i].szReader = readers[i].c_str();
            states[i].dwCurrentState = SCARD_STATE_UNAWARE;
        }
        const LONG rc = SCardGetStatusChange(context, timeoutMs, states.data(), static_cast<DWORD>(states.size()));
        result.clear();
        for (const SCARD_READERSTATE& state : states) {
            const DWORD atrLength = rc == SCARD_S_SUCCESS ? std::min<DWORD>(state.cbAtr, MAX_ATR_SIZE) : 0;
            result.push_back({state.dwEventState, std::vector<uint8_t>(state.rgbAtr, state.rgbAtr + atrLength)});
        }
        return rc;
    }

    LONG AwaitStatusChange(SCARDCONTEXT context, DWORD timeoutMs, std::vector<SReaderWatch>& readers) override
    {
        std::vector<SCARD_READERSTATE> states(readers.size());
        for (size_t i = 0; i < readers.size(); ++i) {
            states[i].szReader = readers[i].name.c_str();
            states[i].dwCurrentState = readers[i].currentState;
        }
        const LONG rc = SCardGetStatusChange(context, timeoutMs, states.data(), static_cast<DWORD>(states.size()));
        for (size_t i = 0; i < readers.size(); ++i)
            readers[i].eventState = states[i].dwEventState;
        return rc;
    }

    LONG Cancel(SCARDCONTEXT context) override { return SCardCancel(context); }

    LONG BeginTransaction(SCARDHANDLE card) override { return SCardBeginTransaction(card); }

    LONG EndTransaction(SCARDHANDLE card, DWORD disposition) override
    {
        return SCardEndTransaction(card, disposition);
    }

    LONG Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send, DWORD sendLength,
                  uint8_t* receive, DWORD* receiveLength) override
    {
        return SCardTransmit(card, sendPci, send, sendLength, nullptr, receive, receiveLength);
    }

    LONG Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send, DWORD sendLength, uint8_t* receive,
                 DWORD receiveSize, DWORD* bytesReturned) override
    {
        return SCardControl(card, controlCode, send, sendLength, receive, receiveSize, bytesReturned);
    }
};

} // namespace

std::shared_ptr<IPcscService> MakePcscLiteService()
{
    return std::make_shared<CPcscLiteService>();
}
