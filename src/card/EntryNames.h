// The names of an entry's stations and bus stops: the station database's, then
// the names the person gave their codes over them.
#pragma once

#include "card/EntryInfo.h"
#include "usernames/StationKey.h"

#include <QString>

#include <memory>
#include <optional>
#include <span>

class CStationDb;
class CUserNames;
struct SUserName;

enum class EEntrySide { Entry, Exit };

struct SSideNames {
    QString station;
    QString line;
    QString company;
};

// The code a side names: each side of a rail entry whose line is not 0, the exit
// side of a bus entry as a bus stop; none for sales.
std::optional<SStationKey> StationKeyOf(const CEntryInfo& e, EEntrySide side);
SSideNames SideNames(const CEntryInfo& e, EEntrySide side);

// The person's name over the side's names: the station name always, the line
// and company where the person gave them. False when the side has no such code.
bool ApplyUserName(CEntryInfo& e, EEntrySide side, const SUserName& name);

// Looks the side up in db when it is open (a bus stop in the station table with
// its codes cut to bytes first, then in the bus table, as the read pass does),
// then puts the person's name for its code over the result.
void NameEntrySide(CEntryInfo& e, EEntrySide side, CStationDb& db, const CUserNames* userNames);
void NameEntry(CEntryInfo& e, CStationDb& db, const CUserNames* userNames);

// The person's names over the names entries carry (an entry file's); returns
// how many sides took one.
int ApplyUserNames(std::span<const std::unique_ptr<CEntryInfo>> entries, const CUserNames& userNames);

// Names every side again from the station database and the person's names, as a
// read would name it now; coordinates stay. A database that cannot be opened
// leaves the names the entries carry, under the person's. Only sides whose code
// is key when one is given.
void RenameEntries(std::span<const std::unique_ptr<CEntryInfo>> entries, const QString& connectString,
                   const QString& password, const CUserNames* userNames,
                   const std::optional<SStationKey>& key = std::nullopt);
