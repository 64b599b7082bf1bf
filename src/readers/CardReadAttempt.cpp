#include "readers/CardReadAttempt.h"

#include "card/GateLog.h"
#include "readers/FelicaMod.h"
#include "readers/ReaderMod.h"

CCardReadAttempt::CCardReadAttempt(CFelicaMod* pFelica, uint8_t* pIDm, uint8_t* pPMm, HistoryBlockList* pBlocks,
                                   HistoryBlockList* pGateBlocks)
    : m_pFelica(pFelica)
    , m_pIDm(pIDm)
    , m_pPMm(pPMm)
    , m_pBlocks(pBlocks)
    , m_pGateBlocks(pGateBlocks)
{
}

void ReadGateLog(CReaderMod& reader, const uint8_t* pIDm, uint16_t wSystemCode, HistoryBlockList& gate)
{
    gate.clear();
    if (!reader.ReadBlocks(pIDm, GateLog::kService, wSystemCode, &gate, GateLog::kBlocks))
        gate.clear();
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
        if (m_timeUp && m_timeUp())
            return false;
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
    if (reader->ReadBlocks(m_pIDm, kHistoryService, m_wSystemCode, m_pBlocks, kHistoryBlocks) != 0) {
        if (m_pGateBlocks)
            ReadGateLog(*reader, m_pIDm, m_wSystemCode, *m_pGateBlocks);
        return true;
    }
    m_fault = reader->LastFault();
    return false;
}

CPollingCountdown::CPollingCountdown(int nPollingTime, WaitClock clock)
    : m_nTicks(2 * nPollingTime)
    , m_bTimed(nPollingTime > 0)
    , m_clock(std::move(clock))
    , m_end(Now() + std::chrono::seconds(nPollingTime))
{
}

std::chrono::steady_clock::time_point CPollingCountdown::Now() const
{
    return m_clock ? m_clock() : std::chrono::steady_clock::now();
}

bool WaitForCard(CCardReadAttempt& attempt, int nPollingTime, const std::function<void(int)>& sleep,
                 WaitClock clock)
{
    CPollingCountdown countdown(nPollingTime, std::move(clock));
    attempt.SetTimeUp([&countdown] { return countdown.TimeIsUp(); });
    // A wait that ran past its time ends with the attempt that was under way.
    const auto over = [&] { return attempt.Fault() == EReaderFault::TimedOut || countdown.TimeIsUp(); };
    bool read = attempt.TryRead();
    while (!read && !over() && countdown.HasTicks()) {
        sleep(CPollingCountdown::kTickMs);
        if (!countdown.Tick())
            break;
        read = attempt.TryRead();
    }
    attempt.SetTimeUp({});
    return read;
}
