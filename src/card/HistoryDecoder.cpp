#include "card/HistoryDecoder.h"

#include "card/ProcessKinds.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace {

uint16_t Word(const HistoryBlock& b, size_t at)
{
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

std::string FormatDate(int year, int month, int day, int hour, int minute)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", year, month, day, hour, minute);
    return text;
}

} // namespace

CInvalidDateError::CInvalidDateError(int year, int month, int day, int hour, int minute)
    : std::runtime_error("invalid date in history block: " + FormatDate(year, month, day, hour, minute))
    , m_date(FormatDate(year, month, day, hour, minute))
{
}

bool LocalTimeToSeconds(int year, int month, int day, int hour, int minute, int64_t& seconds)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = 0;
    tm.tm_isdst = -1; // let the zone's rules decide daylight saving
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return false;
    seconds = static_cast<int64_t>(t);
    return true;
}

std::unique_ptr<CEntryInfo> DecodeHistoryBlock(const HistoryBlock& block, const IdmBytes& idm,
                                               int32_t& previousBalance)
{
    auto e = std::make_unique<CEntryInfo>();
    e->reserved = 0;
    e->idm = idm;
    e->terminalKind = block[0];
    e->processKind = block[1];
    e->paymentKind = block[2];
    e->rawByte3 = block[3];

    const uint16_t date = Word(block, 4);
    const int day = date & 0x1F;
    const int month = (date >> 5) & 0x0F;
    const int year = 2000 + (date >> 9);
    int hour = 0;
    int minute = 0;
    if (IsShopTerminal(e->terminalKind)) {
        const uint16_t time = Word(block, 6);
        hour = time >> 11;
        minute = (time >> 5) & 0x3F;
    }
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59
        || !LocalTimeToSeconds(year, month, day, hour, minute, e->dateTime))
        throw CInvalidDateError(year, month, day, hour, minute);

    e->balance = block[10] | block[11] << 8;
    e->amount = previousBalance == -1 ? 0 : previousBalance - e->balance;
    // A new card's first record has nothing before it to know.
    e->amountKnown = previousBalance != -1 || StartsCounter(e->processKind);
    previousBalance = e->balance;
    e->apply = IsClaimedWhenDecoded(*e) ? 1 : 0;
    e->distance = 0;
    e->bearing = 0.0f;

    if (IsShopBlock(e->terminalKind, e->processKind)) {
        // Shops and sales terminals carry no station codes.
    } else if (IsBusBlock(e->terminalKind, e->processKind)) {
        e->exitLine = Word(block, 6);
        e->exitStation = Word(block, 8);
    } else {
        e->entryLine = block[6];
        e->entryStation = block[7];
        e->exitLine = block[8];
        e->exitStation = block[9];
    }

    int32_t sequence = block[12] << 16 | block[13] << 8 | block[14];
    if (sequence & 0x800000)
        sequence -= 0x1000000;
    e->sequence = sequence;
    e->region = block[15];
    e->entryArea = e->exitArea = static_cast<uint8_t>(block[15] >> 6);
    return e;
}
