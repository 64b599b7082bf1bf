// A wait for a card against a reader that misbehaves, on a clock of its own: the emulated
// Sony readers and the simulated PC/SC service add to it what a real reader would make the
// host wait, and the wait's ticks what they would sleep. Shared by the wait's tests and its
// benchmark.
#pragma once

#include "EmulatedFelicaLibrary.h"
#include "FaultyPcscService.h"
#include "readers/CardReadAttempt.h"
#include "readers/FelicaMod.h"
#include "readers/PcscService.h"

#include <array>
#include <atomic>
#include <chrono>
#include <memory>

enum class EWaitReader { Pcsc, Rcs380, Rcs956 };
enum class EWaitFault {
    Silent,        // the reader answers nothing (PC/SC: the exchange never returns)
    AcksOnly,      // every command acknowledged, none answered (PC/SC: each exchange
                   // takes nearly its deadline and finds no card)
    StallsMidRead, // the card stops answering after the first blocks
};

class CWaitScenario {
public:
    using Clock = std::chrono::steady_clock;

    // The PC/SC exchange deadline of the scenario, and how long the slow reader takes of it.
    static constexpr std::chrono::milliseconds kPcscDeadline{300};
    static constexpr std::chrono::milliseconds kSlowPcscExchange{290};

    explicit CWaitScenario(CEmulatedFelicaLibrary& library)
        : m_library(library)
        , m_deadline(kPcscDeadline)
    {
    }

    ~CWaitScenario()
    {
        if (m_pPcsc)
            m_pPcsc->EndStall();
        WaitForAbandonedCalls();
        SetPcscService(nullptr);
    }

    CWaitScenario(const CWaitScenario&) = delete;
    CWaitScenario& operator=(const CWaitScenario&) = delete;

    Clock::time_point Now() const { return Clock::now() + Clock::duration(m_skew.load()); }
    void Pass(Clock::duration time) { m_skew += time.count(); }

    // Finds and opens the reader, then breaks it; false when it does not open.
    bool Prepare(EWaitReader reader, EWaitFault fault)
    {
        const bool pcsc = reader == EWaitReader::Pcsc;
        m_pPcsc = std::make_shared<CFaultyPcscService>(
            pcsc ? std::optional<CCardImage>(fault == EWaitFault::StallsMidRead ? Card() : OtherSystemCard())
                 : std::nullopt);
        m_pPcsc->SetReaderAttached(pcsc);
        SetPcscService(m_pPcsc);
        if (!pcsc) {
            m_library.Emulator().Clear();
            CEmulatedReader& emulated = m_library.Emulator().Plug(reader == EWaitReader::Rcs380 ? 0x06C1 : 0x02E1, Card());
            emulated.m_onWait = [this](unsigned ms) { Pass(std::chrono::milliseconds(ms)); };
        }
        m_pFelica = std::make_unique<CFelicaMod>();
        if (m_pFelica->OpenReader() != 0 || !m_pFelica->m_pReader || !m_pFelica->m_pReader->Open())
            return false;
        if (pcsc)
            BreakPcsc(fault);
        else
            BreakUsb(fault);
        return true;
    }

    // One wait; the time it took on the scenario's clock.
    std::chrono::milliseconds Wait(int pollingTime, bool& read)
    {
        std::array<uint8_t, 8> idm{};
        std::array<uint8_t, 8> pmm{};
        HistoryBlockList blocks;
        CCardReadAttempt attempt(m_pFelica.get(), idm.data(), pmm.data(), &blocks);
        const Clock::time_point start = Now();
        read = WaitForCard(
            attempt, pollingTime, [this](int ms) { Pass(std::chrono::milliseconds(ms)); },
            [this] { return Now(); });
        return std::chrono::duration_cast<std::chrono::milliseconds>(Now() - start);
    }

    void Close()
    {
        if (m_pFelica && m_pFelica->m_pReader)
            m_pFelica->m_pReader->Close();
        m_pFelica.reset();
    }

private:
    static CCardImage Card() { return LoadCardImage("twenty.json"); }
    // A card that answers no transit system code: every attempt polls all four.
    static CCardImage OtherSystemCard()
    {
        CCardImage card = Card();
        card.m_systems = {0xFE00};
        return card;
    }

    void BreakPcsc(EWaitFault fault)
    {
        using ETransmitFault = CFaultyPcscService::ETransmitFault;
        // An attempt transmits two pollings and the read's preparation before block 0.
        constexpr size_t kBlock1 = 4;
        if (fault == EWaitFault::Silent)
            m_pPcsc->SetTransmitFault(0, ETransmitFault::Stall);
        else if (fault == EWaitFault::AcksOnly)
            m_pPcsc->SetTransmitDelay([this] { Pass(kSlowPcscExchange); });
        else
            m_pPcsc->SetTransmitFault(kBlock1, ETransmitFault::Stall);
    }

    void BreakUsb(EWaitFault fault)
    {
        CEmulatedReader& emulated = m_library.Emulator().Reader(0);
        emulated.m_bSilent = fault == EWaitFault::Silent;
        emulated.m_bAcksOnly = fault == EWaitFault::AcksOnly;
        if (fault == EWaitFault::StallsMidRead) {
            // The first ten blocks come, the next ten never do.
            emulated.m_fault = EEmulatedFault::NoAnswer;
            emulated.m_nFaultFromRead = emulated.m_counts.readCommands + 1;
        }
    }

    CEmulatedFelicaLibrary& m_library;
    CTestDeadline m_deadline;
    std::shared_ptr<CFaultyPcscService> m_pPcsc;
    std::unique_ptr<CFelicaMod> m_pFelica;
    std::atomic<Clock::rep> m_skew{0};
};
