#include "readers/CardReadAttempt.h"

#include "readers/FelicaMod.h"
#include "readers/ReaderMod.h"

CCardReadAttempt::CCardReadAttempt(CFelicaMod* pFelica, uint8_t* pIDm, uint8_t* pPMm, HistoryBlockList* pBlocks)
    : m_pFelica(pFelica)
    , m_pIDm(pIDm)
    , m_pPMm(pPMm)
    , m_pBlocks(pBlocks)
{
}

bool CCardReadAttempt::TryRead(const std::function<void()>& onReading)
{
    m_fault = EReaderFault::None;
    CReaderMod* reader = m_pFelica ? m_pFelica->m_pReader.get() : nullptr;
    if (!reader || m_cancel.IsCancelled())
        return false;
    const CPcscCancelScope cancelHere(m_cancel);
    bool answered = false;
    for (const uint16_t code : kSystemCodes) {
        if (reader->Polling(m_pIDm, m_pPMm, code, 0, 0)) {
            m_wSystemCode = code;
            answered = true;
            break;
        }
        // Another system code would meet the same silent reader or missing service.
        m_fault = reader->LastFault();
        if (m_fault != EReaderFault::None || m_cancel.IsCancelled())
            return false;
    }
    if (!answered)
        return false;
    if (onReading)
        onReading();
    if (reader->ReadBlocks(m_pIDm, kHistoryService, m_wSystemCode, m_pBlocks, kHistoryBlocks) != 0)
        return true;
    m_fault = reader->LastFault();
    return false;
}

bool WaitForCard(CCardReadAttempt& attempt, int nPollingTime, const std::function<void(int)>& sleep)
{
    if (attempt.TryRead())
        return true;
    if (attempt.Fault() == EReaderFault::TimedOut)
        return false;
    for (CPollingCountdown countdown(nPollingTime); countdown.HasTicks();) {
        sleep(CPollingCountdown::kTickMs);
        if (!countdown.Tick())
            return false;
        if (attempt.TryRead())
            return true;
        if (attempt.Fault() == EReaderFault::TimedOut)
            return false;
    }
    return false;
}
