// The ticket-gate log of a transit card (service 0x108F): its last few gate
// passages with their times, which the usage history lacks.
#pragma once

#include "card/EntryInfo.h"
#include "card/HistoryBlock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

struct SGateRecord {
    bool bEntry = false;      // an entry gate; else an exit gate
    bool bPass = false;       // passed with a commuter pass
    uint8_t line = 0;
    uint8_t station = 0;
    int year = 0;
    int month = 0;
    int day = 0;
    int16_t minutes = 0;      // after midnight
    int32_t fare = 0;         // 0 when a staffed gate was involved
};

namespace GateLog {
constexpr uint16_t kService = 0x108F;
constexpr uint8_t kBlocks = 3;
} // namespace GateLog

// One block of the gate log; none for a record cleared at a staffed gate, an
// empty slot, or a date or time that cannot be.
std::optional<SGateRecord> DecodeGateBlock(const HistoryBlock& block);

// Gives the rail entries of one read (oldest first) the times of the gate log's
// blocks (newest first): each gate record goes to the newest entry of its gate,
// station and day that has no time of that kind yet, when their fares agree.
void ApplyGateLog(std::span<const HistoryBlock> gateBlocks, std::span<const std::unique_ptr<CEntryInfo>> entries);

// "08:12" of minutes after midnight; empty for -1.
QString GateTimeText(int16_t minutes);
// "08:12–08:40", "08:12–", "–08:40"; empty when neither side is known.
QString GateTimesText(const CEntryInfo& entry);
