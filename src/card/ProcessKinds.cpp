#include "card/ProcessKinds.h"

using namespace ProcessKinds;

namespace {

bool IsShopProcess(uint8_t processKind)
{
    switch (processKind) {
    case kShopPurchase: case kCashCharge: case kShopCancel: case kShopAtEntry:
    case kShopWithCash: case kShopAtEntryWithCash:
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsShopTerminal(uint8_t terminalKind)
{
    return terminalKind == kShopTerminal || terminalKind == kVendingMachine;
}

bool IsShopBlock(uint8_t terminalKind, uint8_t processKind)
{
    return IsShopTerminal(terminalKind) || IsShopProcess(processKind);
}

bool IsBusBlock(uint8_t terminalKind, uint8_t processKind)
{
    return terminalKind == kBusTerminal || processKind == kBusFare || processKind == kBusFareOther
        || processKind == kBusCharge || processKind == kBusTicket;
}

bool IsClaimedWhenDecoded(const CEntryInfo& entry)
{
    return entry.amount > 0 && !IsShopBlock(entry.terminalKind, entry.processKind)
        && !StartsCounter(entry.processKind);
}

bool StartsCounter(uint8_t processKind)
{
    return processKind == kNewIssue || processKind == kReissue;
}

bool IsSalesEntry(const CEntryInfo& entry)
{
    return IsShopBlock(entry.terminalKind, entry.processKind) || entry.processKind == kBonusCharge;
}

bool IsClaimableFare(const CEntryInfo& entry)
{
    return IsClaimedWhenDecoded(entry) && entry.processKind != kBonusCharge;
}

bool CountsTowardsClaim(const CEntryInfo& entry)
{
    return entry.apply != 0 && IsClaimableFare(entry);
}
