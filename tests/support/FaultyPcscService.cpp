#include "FaultyPcscService.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

void CFaultyCard::FailBlockWithStatusWord(uint8_t block, uint16_t statusWord)
{
    m_blockStatusWords[block] = statusWord;
}

void CFaultyCard::ShortenBlockAnswer(uint8_t block, size_t length)
{
    m_blockAnswerLengths[block] = std::max<size_t>(length, 2);
}

void CFaultyCard::SetBlockStatusFlags(uint8_t block, uint8_t flag1, uint8_t flag2)
{
    m_blockStatusFlags[block] = {flag1, flag2};
}

CSimulatedCard::SBlockAnswer CFaultyCard::ReadBlock(uint16_t serviceCode, uint8_t block) const
{
    const auto flags = m_blockStatusFlags.find(block);
    if (flags == m_blockStatusFlags.end())
        return CSimulatedCard::ReadBlock(serviceCode, block);
    SBlockAnswer answer{flags->second.first, flags->second.second, {}};
    // Only status flag 1 withholds the data; flag 2 alone comes with the block.
    if (answer.flag1 == 0)
        answer.data = CSimulatedCard::ReadBlock(serviceCode, block).data;
    return answer;
}

std::vector<uint8_t> CFaultyCard::FinishBlockAnswer(uint8_t block, std::vector<uint8_t> answer) const
{
    if (const auto word = m_blockStatusWords.find(block); word != m_blockStatusWords.end())
        return StatusWordOnly(word->second);
    if (const auto length = m_blockAnswerLengths.find(block);
        length != m_blockAnswerLengths.end() && length->second < answer.size()) {
        answer.resize(length->second - 2);
        answer.push_back(0x90);
        answer.push_back(0x00);
    }
    return answer;
}

CFaultyPcscService::CFaultyPcscService(std::optional<CCardImage> card, std::string readerName)
    : CSimulatedPcscService(std::make_unique<CFaultyCard>(card ? std::move(*card) : CCardImage{}), card.has_value(),
                            std::move(readerName))
{
}

CFaultyPcscService::~CFaultyPcscService()
{
    EndStall();
}

CFaultyCard& CFaultyPcscService::Card()
{
    return static_cast<CFaultyCard&>(*m_pCard);
}

void CFaultyPcscService::SetServiceRunning(bool running)
{
    const std::lock_guard lock(m_mutex);
    if (m_bServiceRunning && !running) {
        for (const auto& context : m_contexts)
            m_staleContexts[context.first] = true;
    }
    m_bServiceRunning = running;
}

void CFaultyPcscService::SetReaderAttached(bool attached)
{
    const std::lock_guard lock(m_mutex);
    m_bReaderAttached = attached;
}

void CFaultyPcscService::SetCardAfterAttempts(int attempts)
{
    const std::lock_guard lock(m_mutex);
    m_nRefusedConnects = attempts;
}

void CFaultyPcscService::LayCard()
{
    const std::lock_guard lock(m_mutex);
    m_bCardPresent = true;
}

void CFaultyPcscService::SetTransmitFault(size_t n, ETransmitFault fault)
{
    const std::lock_guard lock(m_mutex);
    m_transmitFaults[m_nTransmits + n] = fault;
}

void CFaultyPcscService::EndStall()
{
    {
        const std::lock_guard lock(m_mutex);
        m_bStallEnded = true;
    }
    m_stallEnded.notify_all();
}

void CFaultyPcscService::SetTransmitDelay(std::function<void()> delay)
{
    const std::lock_guard lock(m_mutex);
    m_transmitDelay = std::move(delay);
}

size_t CFaultyPcscService::Stalls() const
{
    const std::lock_guard lock(m_mutex);
    return m_nStalls;
}

std::optional<LONG> CFaultyPcscService::FaultOfContext(SCARDCONTEXT context) const
{
    if (m_staleContexts.contains(context))
        return m_bServiceRunning ? SCARD_E_INVALID_HANDLE : SCARD_E_NO_SERVICE;
    return std::nullopt;
}

std::optional<LONG> CFaultyPcscService::FaultOf(SCARDHANDLE card) const
{
    if (const auto context = m_contextOf.find(card); context != m_contextOf.end()) {
        if (const auto fault = FaultOfContext(context->second))
            return fault;
    }
    if (m_lifted.contains(card))
        return SCARD_W_REMOVED_CARD;
    return std::nullopt;
}

LONG CFaultyPcscService::ListReaders(SCARDCONTEXT context, const char* group, std::vector<std::string>& readers)
{
    {
        const std::lock_guard lock(m_mutex);
        if (const auto fault = FaultOfContext(context)) {
            readers.clear();
            return *fault;
        }
    }
    return CSimulatedPcscService::ListReaders(context, group, readers);
}

LONG CFaultyPcscService::Connect(SCARDCONTEXT context, const std::string& reader, DWORD shareMode,
                                 DWORD preferredProtocols, SCARDHANDLE* card, DWORD* activeProtocol)
{
    {
        const std::lock_guard lock(m_mutex);
        if (const auto fault = FaultOfContext(context))
            return *fault;
    }
    const LONG rc = CSimulatedPcscService::Connect(context, reader, shareMode, preferredProtocols, card, activeProtocol);
    if (rc == SCARD_S_SUCCESS) {
        const std::lock_guard lock(m_mutex);
        m_contextOf[*card] = context;
    }
    return rc;
}

LONG CFaultyPcscService::Status(SCARDHANDLE card, std::vector<uint8_t>& atr)
{
    {
        const std::lock_guard lock(m_mutex);
        if (const auto fault = FaultOf(card)) {
            atr.clear();
            return *fault;
        }
    }
    return CSimulatedPcscService::Status(card, atr);
}

LONG CFaultyPcscService::BeginTransaction(SCARDHANDLE card)
{
    {
        const std::lock_guard lock(m_mutex);
        if (const auto fault = FaultOf(card))
            return *fault;
    }
    return CSimulatedPcscService::BeginTransaction(card);
}

LONG CFaultyPcscService::EndTransaction(SCARDHANDLE card, DWORD disposition)
{
    {
        const std::lock_guard lock(m_mutex);
        if (const auto fault = FaultOf(card))
            return *fault;
    }
    return CSimulatedPcscService::EndTransaction(card, disposition);
}

LONG CFaultyPcscService::Transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const uint8_t* send,
                                  DWORD sendLength, uint8_t* receive, DWORD* receiveLength)
{
    std::function<void()> delay;
    {
        const std::lock_guard lock(m_mutex);
        delay = m_transmitDelay;
    }
    if (delay)
        delay();
    {
        std::unique_lock lock(m_mutex);
        if (const auto fault = FaultOf(card))
            return *fault;
        const auto fault = m_transmitFaults.find(m_nTransmits++);
        if (fault != m_transmitFaults.end()) {
            if (send && receiveLength)
                m_frames.push_back({SFrame::EChannel::Transmit, {send, send + sendLength}, *receiveLength});
            switch (fault->second) {
            case ETransmitFault::Stall:
                ++m_nStalls;
                m_stallEnded.wait(lock, [this] { return m_bStallEnded; });
                m_lifted[card] = true;
                return SCARD_W_REMOVED_CARD;
            case ETransmitFault::EmptyAnswer:
                if (receiveLength)
                    *receiveLength = 0;
                return SCARD_S_SUCCESS;
            case ETransmitFault::LiftCard:
                for (const auto& handle : m_handles)
                    m_lifted[handle.first] = true;
                m_bCardPresent = false;
                return SCARD_W_REMOVED_CARD;
            case ETransmitFault::StopService:
                for (const auto& context : m_contexts)
                    m_staleContexts[context.first] = true;
                m_bServiceRunning = false;
                return SCARD_F_COMM_ERROR;
            }
        }
    }
    return CSimulatedPcscService::Transmit(card, sendPci, send, sendLength, receive, receiveLength);
}

LONG CFaultyPcscService::Control(SCARDHANDLE card, DWORD controlCode, const uint8_t* send, DWORD sendLength,
                                 uint8_t* receive, DWORD receiveSize, DWORD* bytesReturned)
{
    {
        const std::lock_guard lock(m_mutex);
        if (const auto fault = FaultOf(card))
            return *fault;
    }
    return CSimulatedPcscService::Control(card, controlCode, send, sendLength, receive, receiveSize, bytesReturned);
}

bool WaitForAbandonedCalls(std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (PendingAbandonedCalls() > 0) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
