#include "card/EntryNames.h"

#include "card/ProcessKinds.h"
#include "stationdb/StationDb.h"
#include "usernames/UserNames.h"

#include <map>

namespace {

struct SSideFields {
    uint8_t& area;
    int32_t& line;
    int32_t& station;
    QString& stationName;
    QString& lineName;
    QString& company;
    double& latitude;
    double& longitude;
};

SSideFields Fields(CEntryInfo& e, EEntrySide side)
{
    if (side == EEntrySide::Entry)
        return {e.entryArea, e.entryLine, e.entryStation, e.entryStationName, e.entryLineName, e.entryCompany,
                e.entryLatitude, e.entryLongitude};
    return {e.exitArea, e.exitLine, e.exitStation, e.exitStationName, e.exitLineName, e.exitCompany,
            e.exitLatitude, e.exitLongitude};
}

bool IsBusEntry(const CEntryInfo& e)
{
    return IsBusBlock(e.terminalKind, e.processKind);
}

} // namespace

std::optional<SStationKey> StationKeyOf(const CEntryInfo& e, EEntrySide side)
{
    if (IsBusEntry(e))
        return side == EEntrySide::Exit ? std::optional(SStationKey::Bus(e.exitLine, e.exitStation)) : std::nullopt;
    if (IsSalesEntry(e))
        return std::nullopt;
    const bool entry = side == EEntrySide::Entry;
    const int32_t line = entry ? e.entryLine : e.exitLine;
    if (line == 0)
        return std::nullopt;
    // The station table is asked with the codes as bytes.
    const int32_t station = entry ? e.entryStation : e.exitStation;
    return SStationKey::Rail(entry ? e.entryArea : e.exitArea, line & 0xFF, station & 0xFF);
}

SSideNames SideNames(const CEntryInfo& e, EEntrySide side)
{
    if (side == EEntrySide::Entry)
        return {e.entryStationName, e.entryLineName, e.entryCompany};
    return {e.exitStationName, e.exitLineName, e.exitCompany};
}

bool ApplyUserName(CEntryInfo& e, EEntrySide side, const SUserName& name)
{
    if (StationKeyOf(e, side) != name.key)
        return false;
    SSideFields f = Fields(e, side);
    f.stationName = name.station;
    if (!name.line.isEmpty())
        f.lineName = name.line;
    if (!name.company.isEmpty())
        f.company = name.company;
    return true;
}

void NameEntrySide(CEntryInfo& e, EEntrySide side, CStationDb& db, const CUserNames* userNames)
{
    const std::optional<SStationKey> key = StationKeyOf(e, side);
    if (!key)
        return;
    SSideFields f = Fields(e, side);
    if (db.IsOpen()) {
        // The station table is asked first, also for a bus stop with its codes cut to
        // bytes; a bus stop's names then replace its names, while any coordinates it found stay.
        db.LookupStation(f.area, static_cast<uint8_t>(f.line), static_cast<uint8_t>(f.station), f.stationName,
                         f.lineName, f.company, f.latitude, f.longitude);
        if (key->kind == EStationKind::Bus)
            db.LookupBusStop(f.line, f.station, f.stationName, f.lineName, f.company);
    }
    if (const SUserName* name = userNames ? userNames->Find(*key) : nullptr)
        ApplyUserName(e, side, *name);
}

void NameEntry(CEntryInfo& e, CStationDb& db, const CUserNames* userNames)
{
    NameEntrySide(e, EEntrySide::Entry, db, userNames);
    NameEntrySide(e, EEntrySide::Exit, db, userNames);
}

int ApplyUserNames(std::span<const std::unique_ptr<CEntryInfo>> entries, const CUserNames& userNames)
{
    int applied = 0;
    for (const auto& e : entries) {
        for (const EEntrySide side : {EEntrySide::Entry, EEntrySide::Exit}) {
            const std::optional<SStationKey> key = StationKeyOf(*e, side);
            const SUserName* name = key ? userNames.Find(*key) : nullptr;
            if (name && ApplyUserName(*e, side, *name))
                ++applied;
        }
    }
    return applied;
}

void RenameEntries(std::span<const std::unique_ptr<CEntryInfo>> entries, const QString& connectString,
                   const QString& password, const CUserNames* userNames, const std::optional<SStationKey>& key)
{
    CStationDb db;
    // Without the database the names as kept stay; the read pass is the one that says so.
    db.Connect(connectString, password, 10);
    // One lookup per code: a long history names the same few stations again and again.
    std::map<SStationKey, SSideNames> looked;
    for (const auto& e : entries) {
        for (const EEntrySide side : {EEntrySide::Entry, EEntrySide::Exit}) {
            const std::optional<SStationKey> sideKey = StationKeyOf(*e, side);
            if (!sideKey || (key && *key != *sideKey))
                continue;
            SSideFields f = Fields(*e, side);
            if (const auto known = looked.find(*sideKey); known != looked.end()) {
                f.stationName = known->second.station;
                f.lineName = known->second.line;
                f.company = known->second.company;
            } else {
                const double latitude = f.latitude;
                const double longitude = f.longitude;
                NameEntrySide(*e, side, db, nullptr);
                f.latitude = latitude;
                f.longitude = longitude;
                looked.emplace(*sideKey, SideNames(*e, side));
            }
            if (const SUserName* name = userNames ? userNames->Find(*sideKey) : nullptr)
                ApplyUserName(*e, side, *name);
        }
    }
}
