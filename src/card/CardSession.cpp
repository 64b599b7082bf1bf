#include "card/CardSession.h"

#include "card/AppMessage.h"
#include "card/EntryNames.h"
#include "card/GateLog.h"
#include "card/HistoryDecoder.h"
#include "card/MeasureDistance.h"
#include "card/ProcessKindName.h"
#include "card/ProcessKinds.h"
#include "stationdb/StationDb.h"
#include "resources/StringTable.h"

#include <iterator>

namespace {

using namespace ProcessKinds;

void CompleteBusEntry(CEntryInfo& e, const DestinationLookup& destinationFor)
{
    e.remarks = ProcessKindName(e.processKind);
    // "共通" rows stand for a whole company, not a place anyone visits.
    if (e.exitStationName != QStringLiteral("共通"))
        e.destination = destinationFor(e.exitStationName);
}

void CompleteRailEntry(CEntryInfo& e, const DestinationLookup& destinationFor)
{
    if (e.exitLine != 0)
        e.destination = destinationFor(e.exitStationName);
    if (e.processKind != kFarePayment) {
        e.remarks = ProcessKindName(e.processKind);
        if (e.processKind == kCharge)
            e.remarks.prepend(e.paymentKind == kCreditPayment ? QStringLiteral("クレジット") : QStringLiteral("現金"));
    }
    // 0.0 marks a coordinate the database did not have.
    if (e.entryLatitude != 0.0 && e.entryLongitude != 0.0 && e.exitLatitude != 0.0 && e.exitLongitude != 0.0)
        MeasureDistance(e.entryLatitude, e.entryLongitude, e.exitLatitude, e.exitLongitude, e.distance, e.bearing);
}

} // namespace

int32_t CCardSession::ImportHistory(const QString& connectString, const QString& password,
                                    const DestinationLookup& destinationFor)
{
    const DestinationLookup lookup = destinationFor ? destinationFor : [](const QString&) { return QString(); };
    // One connection for the whole pass; its destructor also closes it when a bad
    // date ends the pass early.
    CStationDb db;
    if (!db.Connect(connectString, password, 10))
        ShowAppMessage(LoadResString(IDS_STATIONDB_CONNECT_FAILED) + QLatin1Char('\n') + db.LastError(),
                       MessageIcon::Exclamation);

    // Oldest first, so that each amount follows from the balance before it.
    int32_t previousBalance = blocks.empty() ? -1 : balanceBeforeOldest;
    CEntryList newEntries;
    newEntries.reserve(blocks.size());
    for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
        newEntries.push_back(DecodeHistoryBlock(*block, card->idm, previousBalance));
        CEntryInfo& e = *newEntries.back();
        // The person's names count for the destination as much as the database's.
        NameEntry(e, db, userNames);
        if (IsBusBlock(e.terminalKind, e.processKind))
            CompleteBusEntry(e, lookup);
        else if (IsSalesEntry(e))
            e.remarks = ProcessKindName(e.processKind);
        else
            CompleteRailEntry(e, lookup);
    }
    db.Close();
    ApplyGateLog(gateBlocks, newEntries);

    entries->insert(entries->end(), std::make_move_iterator(newEntries.begin()),
                    std::make_move_iterator(newEntries.end()));
    return previousBalance;
}
