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
    CReaderMod* reader = m_pFelica ? m_pFelica->m_pReader.get() : nullptr;
    if (!reader)
        return false;
    bool answered = false;
    for (const uint16_t code : kSystemCodes) {
        if (reader->Polling(m_pIDm, m_pPMm, code, 0, 0)) {
            m_wSystemCode = code;
            answered = true;
            break;
        }
    }
    if (!answered)
        return false;
    if (onReading)
        onReading();
    return reader->ReadBlocks(m_pIDm, kHistoryService, m_wSystemCode, m_pBlocks, kHistoryBlocks) != 0;
}

bool WaitForCard(CCardReadAttempt& attempt, int nPollingTime, const std::function<void(int)>& sleep)
{
    if (attempt.TryRead())
        return true;
    for (CPollingCountdown countdown(nPollingTime); countdown.HasTicks();) {
        sleep(CPollingCountdown::kTickMs);
        if (!countdown.Tick())
            return false;
        if (attempt.TryRead())
            return true;
    }
    return false;
}
