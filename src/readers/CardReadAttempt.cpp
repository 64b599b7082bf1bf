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
    if (nPollingTime <= 0)
        return false;
    // Same countdown as the wait dialog's timer: the tick that reaches 0 only fails.
    for (int countdown = 2 * nPollingTime; ;) {
        sleep(500);
        if (--countdown <= 0)
            return false;
        if (attempt.TryRead())
            return true;
    }
}
