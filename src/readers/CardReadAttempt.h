// One attempt to read a card: poll the transit system codes in turn, then read the
// history blocks with the code that answered. The card wait dialog runs it on its
// timer, the command-line tool in a loop.
#pragma once

#include "card/HistoryBlock.h"
#include "readers/PcscService.h"
#include "readers/ReaderMod.h"

#include <chrono>
#include <cstdint>
#include <functional>

// The clock of the card wait: the steady clock unless a test puts its own in.
using WaitClock = std::function<std::chrono::steady_clock::time_point()>;

class CFelicaMod;

class CCardReadAttempt {
public:
    // Tried in this order: the common transit code first, then the regional ones.
    static constexpr uint16_t kSystemCodes[] = {0x0003, 0x865E, 0x80DE, 0x8592};
    static constexpr uint16_t kHistoryService = 0x090F;
    static constexpr uint8_t kHistoryBlocks = 20;

    // The buffers belong to the caller: 8-byte IDm and PMm, the block list, and the
    // gate log's blocks (not read when null).
    CCardReadAttempt(CFelicaMod* pFelica, uint8_t* pIDm, uint8_t* pPMm, HistoryBlockList* pBlocks,
                     HistoryBlockList* pGateBlocks = nullptr);

    // True when a card answered and its blocks were read; the gate log follows, and
    // whatever becomes of it the read stands. onReading runs once a
    // system code answered, before the blocks are read (the dialog shows it). May run
    // on a thread of its own; onReading then runs on that thread.
    bool TryRead(const std::function<void()>& onReading = {});

    // The system code that answered the last polling; 0 before any answered.
    uint16_t AnsweredSystemCode() const { return m_wSystemCode; }

    // Why the last TryRead failed beyond finding no card: a call past its deadline (the
    // reader is given up and the read ends), or the service gone (a later attempt
    // connects again). The attempt stops at either.
    EReaderFault Fault() const { return m_fault; }

    // From another thread: the TryRead in progress ends at once, and every later one fails.
    void Cancel() { m_cancel.Cancel(); }
    bool IsCancelled() const { return m_cancel.IsCancelled(); }

    // Asked before each polling: once it answers true, an attempt polls no further system
    // code, so that a slow reader cannot keep the wait beyond its time. Called on the
    // attempt's thread.
    void SetTimeUp(std::function<bool()> timeUp) { m_timeUp = std::move(timeUp); }

private:
    CFelicaMod* m_pFelica;
    uint8_t* m_pIDm;
    uint8_t* m_pPMm;
    HistoryBlockList* m_pBlocks;
    HistoryBlockList* m_pGateBlocks;
    uint16_t m_wSystemCode = 0;
    EReaderFault m_fault = EReaderFault::None;
    CPcscCancel m_cancel;
    std::function<bool()> m_timeUp;
};

// After the history, in the same session: the gate log's blocks of the card pIDm into
// gate, or none when the card or the reader refuses them. One read command, and its
// failure is no failure of the read.
void ReadGateLog(CReaderMod& reader, const uint8_t* pIDm, uint16_t wSystemCode, HistoryBlockList& gate);

// The count of a wait for a card, shared by the wait dialog and the wait without a
// window: one attempt at once, then one per 500 ms tick until 2 x nPollingTime
// ticks have passed; the tick that reaches 0 only fails. The polling time is also a
// time: measured from the countdown's making, once it has passed no tick is due, however
// few ticks came while slow attempts ran.
class CPollingCountdown {
public:
    static constexpr int kTickMs = 500;

    explicit CPollingCountdown(int nPollingTime, WaitClock clock = {});

    // Whether any tick follows the first attempt.
    bool HasTicks() const { return m_nTicks > 0; }
    // One tick passed: true when an attempt is due, false when the time ran out.
    bool Tick() { return --m_nTicks > 0 && !TimeIsUp(); }
    int Remaining() const { return m_nTicks; }
    // The polling time has passed since the wait began. A polling time of 0 is one whole
    // attempt, not a time.
    bool TimeIsUp() const { return m_bTimed && Now() >= m_end; }

private:
    std::chrono::steady_clock::time_point Now() const;

    int m_nTicks;
    bool m_bTimed;
    WaitClock m_clock;
    std::chrono::steady_clock::time_point m_end;
};

// Runs the wait for a card (the wait dialog, or a loop without a window) with one
// read attempt and the polling time; true when the card was read, false when the
// wait ended without it (cancelled, or the failure acknowledged).
using CardWaitFunction = std::function<bool(CCardReadAttempt& attempt, int nPollingTime)>;

// The wait without a window; sleep waits the given milliseconds. True when the
// card was read; false when the time ran out, or at once when a call to the reader
// passed its deadline.
bool WaitForCard(CCardReadAttempt& attempt, int nPollingTime, const std::function<void(int)>& sleep,
                 WaitClock clock = {});
