#include "card/GateLog.h"

#include "card/CardClock.h"
#include "card/ProcessKinds.h"

#include <QDate>

namespace {

constexpr uint8_t kEntryBit = 0x80;
constexpr uint8_t kPassBit = 0x40;
constexpr int64_t kSecondsPerDay = 86400;

// A BCD byte's value, or -1 when a digit is no decimal digit.
int FromBcd(uint8_t byte)
{
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

// The card's calendar day of an entry's moment.
QDate EntryDay(const CEntryInfo& entry)
{
    const int64_t wall = WallClockOfLocal(entry.dateTime);
    const int64_t days = wall >= 0 ? wall / kSecondsPerDay : (wall - kSecondsPerDay + 1) / kSecondsPerDay;
    return QDate(1970, 1, 1).addDays(days);
}

bool IsGateOf(const CEntryInfo& entry, const SGateRecord& gate, const QDate& day)
{
    if (entry.terminalKind != ProcessKinds::kGateTerminal)
        return false;
    const int32_t line = gate.bEntry ? entry.entryLine : entry.exitLine;
    const int32_t station = gate.bEntry ? entry.entryStation : entry.exitStation;
    const int16_t time = gate.bEntry ? entry.entryTime : entry.exitTime;
    return time < 0 && line == gate.line && station == gate.station && EntryDay(entry) == day;
}

// The newest entry the gate record may belong to; null when none.
CEntryInfo* GateEntry(const SGateRecord& gate, std::span<const std::unique_ptr<CEntryInfo>> entries)
{
    const QDate day(gate.year, gate.month, gate.day);
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (*it && IsGateOf(**it, gate, day))
            return it->get();
    }
    return nullptr;
}

} // namespace

std::optional<SGateRecord> DecodeGateBlock(const HistoryBlock& block)
{
    // 0x00 marks a record cleared at a staffed gate, and an empty slot.
    if (block[0] == 0x00)
        return std::nullopt;
    SGateRecord gate;
    gate.bEntry = (block[0] & kEntryBit) != 0;
    gate.bPass = (block[0] & kPassBit) != 0;
    gate.line = block[2];
    gate.station = block[3];
    const int date = block[6] << 8 | block[7];
    gate.year = 2000 + (date >> 9);
    gate.month = (date >> 5) & 0x0F;
    gate.day = date & 0x1F;
    const int hour = FromBcd(block[8]);
    const int minute = FromBcd(block[9]);
    if (!QDate::isValid(gate.year, gate.month, gate.day) || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return std::nullopt;
    gate.minutes = static_cast<int16_t>(hour * 60 + minute);
    gate.fare = block[10] | block[11] << 8;
    return gate;
}

void ApplyGateLog(std::span<const HistoryBlock> gateBlocks, std::span<const std::unique_ptr<CEntryInfo>> entries)
{
    // Newest first, so that of two passages of one gate in a day the later takes the later trip.
    for (const HistoryBlock& block : gateBlocks) {
        const std::optional<SGateRecord> gate = DecodeGateBlock(block);
        if (!gate)
            continue;
        CEntryInfo* entry = GateEntry(*gate, entries);
        if (!entry || (gate->fare != 0 && entry->amountKnown && entry->amount != gate->fare))
            continue;
        (gate->bEntry ? entry->entryTime : entry->exitTime) = gate->minutes;
    }
}

QString GateTimeText(int16_t minutes)
{
    if (minutes < 0)
        return QString();
    return QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString GateTimesText(const CEntryInfo& entry)
{
    if (entry.entryTime < 0 && entry.exitTime < 0)
        return QString();
    return GateTimeText(entry.entryTime) + QChar(0x2013) + GateTimeText(entry.exitTime);
}
