#include "readers/sim/SimulatedPcscService.h"


#include <algorithm>
#include <utility>

CSimulatedPcscService::CSimulatedPcscService(std::optional<CCardImage> card, std::string readerName)
    : CSimulatedPcscService(std::make_unique<CSimulatedCard>(card ? std::move(*card) : CCardImage{}), card.has_value(),
                            std::move(readerName))
{
}

CSimulatedPcscService::CSimulatedPcscService(std::unique_ptr<CSimulatedCard> card, bool present,
                                             std::string readerName)
    : m_strReaderName(std::move(readerName))
    , m_pCard(std::move(card))
    , m_bCardPresent(present)
{
}

std::vector<CSimulatedPcscService::SFrame> CSimulatedPcscService::Frames() const
{
    const std::lock_guard lock(m_mutex);
    return m_frames;
}

void CSimulatedPcscService::ClearFrames()
{
    const std::lock_guard lock(m_mutex);
    m_frames.clear();
}

size_t CSimulatedPcscService::OpenContexts() const
{
    const std::lock_guard lock(m_mutex);
    return m_contexts.size();
}

size_t CSimulatedPcscService::OpenHandles() const
{
    const std::lock_guard lock(m_mutex);
    return m_handles.size();
}

LONG CSimulatedPcscService::EstablishContext(DWORD /*scope*/, SCARDCONTEXT* context)
{
    const std::lock_guard lock(m_mutex);
    if (!m_bServiceRunning)
        return SCARD_E_NO_SERVICE;
    *context = m_hNextContext++;
    m_contexts[*context] = true;
    return SCARD_S_SUCCESS;
}

LONG CSimulatedPcscService::ReleaseContext(SCARDCONTEXT context)
{
    const std::lock_guard lock(m_mutex);
    return m_contexts.erase(context) ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
}

LONG CSimulatedPcscService::ListReaders(SCARDCONTEXT context, const char* /*group*/,
                                        std::vector<std::string>& readers)
{
    const std::lock_guard lock(m_mutex);
    readers.clear();
    if (!m_contexts.contains(context))
        return SCARD_E_INVALID_HANDLE;
    if (!m_bReaderAttached)
        return SCARD_E_NO_READERS_AVAILABLE;
    readers.push_back(m_strReaderName);
    return SCARD_S_SUCCESS;
}

LONG CSimulatedPcscService::Connect(SCARDCONTEXT context, const std::string& reader, DWORD shareMode,
                                    DWORD preferredProtocols, SCARDHANDLE* card, DWORD* activeProtocol)
{
    const std::lock_guard lock(m_mutex);
    if (!m_contexts.contains(context))
        return SCARD_E_INVALID_HANDLE;
    if (!m_bReaderAttached || reader != m_strReaderName)
        return SCARD_E_UNKNOWN_READER;
    DWORD protocol = 0;
    if (shareMode != SCARD_SHARE_DIRECT) {
        if (!m_bCardPresent)
            return kPcscEmptyReader;
        if (m_nRefusedConnects > 0) {
            --m_nRefusedConnects;
            return kPcscEmptyReader;
        }
        // A FeliCa card behind a contactless reader speaks T=1 only.
        if (!(preferredProtocols & SCARD_PROTOCOL_T1))
            return SCARD_E_PROTO_MISMATCH;
        protocol = SCARD_PROTOCOL_T1;
    }
    *card = m_hNextCard++;
    m_handles[*card] = SHandle{shareMode == SCARD_SHARE_DIRECT, false};
    if (activeProtocol)
        *activeProtocol = protocol;
    return SCARD_S_SUCCESS;
}

LONG CSimulatedPcscService::Disconnect(SCARDHANDLE card, DWORD /*disposition*/)
{
    const std::lock_guard lock(m_mutex);
    return m_handles.erase(card) ? SCARD_S_SUCCESS : SCARD_E_INVALID_HANDLE;
}

LONG CSimulatedPcscService::Status(SCARDHANDLE card, std::vector<uint8_t>& atr)
{
    const std::lock_guard lock(m_mutex);
    atr.clear();
    const auto handle = m_handles.find(card);
    if (handle == m_handles.end())
        return SCARD_E_INVALID_HANDLE;
    if (!m_bCardPresent)
        return SCARD_W_REMOVED_CARD;
    atr = m_pCard->Atr();
    return SCARD_S_SUCCESS;
}

LONG CSimulatedPcscService::ReaderStates(SCARDCONTEXT context, DWORD /*timeoutMs*/,
                                         const std::vector<std::string>& readers, std::vector<SReaderState>& states)
{
    const std::lock_guard lock(m_mutex);
    states.clear();
    if (!m_contexts.contains(context))
        return SCARD_E_INVALID_HANDLE;
    for (const std::string& reader : readers) {
        if (!m_bReaderAttached || reader != m_strReaderName)
            return SCARD_E_UNKNOWN_READER;
        const DWORD state = SCARD_STATE_CHANGED | (m_bCardPresent ? SCARD_STATE_PRESENT : SCARD_STATE_EMPTY);
        states.push_back({state, m_bCardPresent ? m_pCard->Atr() : std::vector<uint8_t>()});
    }
    return SCARD_S_SUCCESS;
}

LONG CSimulatedPcscService::BeginTransaction(SCARDHANDLE card)
{
    const std::lock_guard lock(m_mutex);
    const auto handle = m_handles.find(card);
    if (handle == m_handles.end())
        return SCARD_E_INVALID_HANDLE;
    handle->second.inTransaction = true;
    return SCARD_S_SUCCESS;
}

LONG CSimulatedPcscService::EndTransaction(SCARDHANDLE card, DWORD /*disposition*/)
{
    const std::lock_guard lock(m_mutex);
    const auto handle = m_handles.find(card);
    if (handle == m_handles.end())
        return SCARD_E_INVALID_HANDLE;
    if (!std::exchange(handle->second.inTransaction, false))
        return SCARD_E_NOT_TRANSACTED;
    return SCARD_S_SUCCESS;
}

LONG CSimulatedPcscService::Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send,
                                     DWORD sendLength, uint8_t* receive, DWORD* receiveLength)
{
    const std::lock_guard lock(m_mutex);
    const auto handle = m_handles.find(card);
    if (handle == m_handles.end())
        return SCARD_E_INVALID_HANDLE;
    if (!send || !receive || !receiveLength)
        return SCARD_E_INVALID_PARAMETER;
    m_frames.push_back({SFrame::EChannel::Transmit, {send, send + sendLength}, *receiveLength});
    if (handle->second.direct || !m_bCardPresent)
        return SCARD_E_NO_SMARTCARD;
    if (!sendPci || sendPci->dwProtocol != SCARD_PROTOCOL_T1)
        return SCARD_E_PROTO_MISMATCH;
    const std::vector<uint8_t> answer = m_pCard->Transmit({send, sendLength});
    if (answer.size() > *receiveLength) {
        *receiveLength = static_cast<DWORD>(answer.size());
        return SCARD_E_INSUFFICIENT_BUFFER;
    }
    std::copy(answer.begin(), answer.end(), receive);
    *receiveLength = static_cast<DWORD>(answer.size());
    return SCARD_S_SUCCESS;
}

LONG CSimulatedPcscService::Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send,
                                    DWORD sendLength, uint8_t* receive, DWORD receiveSize,
                                    DWORD* bytesReturned)
{
    const std::lock_guard lock(m_mutex);
    if (!m_handles.contains(card))
        return SCARD_E_INVALID_HANDLE;
    if (!send || !bytesReturned)
        return SCARD_E_INVALID_PARAMETER;
    m_frames.push_back({SFrame::EChannel::Control, {send, send + sendLength}, receiveSize});
    *bytesReturned = 0;
    if (controlCode != kReaderEscapeCode)
        return SCARD_E_UNSUPPORTED_FEATURE;
    std::vector<uint8_t> answer;
    if (!m_pCard->Control({send, sendLength}, answer))
        return SCARD_E_NOT_TRANSACTED; // what pcsc-lite makes of a reader refusing the escape
    if (answer.size() > receiveSize || (!answer.empty() && !receive))
        return SCARD_E_INSUFFICIENT_BUFFER;
    std::copy(answer.begin(), answer.end(), receive);
    *bytesReturned = static_cast<DWORD>(answer.size());
    return SCARD_S_SUCCESS;
}
