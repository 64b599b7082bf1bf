// The three versions of the entry file: header texts and the record layout of each.
#pragma once

#include <QString>

struct CEntryInfo;
class CArchiveReader;
class CArchiveWriter;

enum class EntryFileVersion { V1 = 1, V2 = 2, V3 = 3 };

// The header text that starts a file of version.
QString EntryFileHeader(EntryFileVersion version);

// Reads the header text and tells its version; an unknown header throws
// CArchiveError of the bad-index kind.
EntryFileVersion ReadEntryFileHeader(CArchiveReader& ar);

// A record keeps its moment as it was in Japan, the card's own clock, so a file
// saved in one time zone lists the same days in another.

// Reads one record of version into entry; fields the version lacks are left as they are.
void ReadEntryRecord(CArchiveReader& ar, EntryFileVersion version, CEntryInfo& entry);

// Writes one record in the version 3 layout.
void WriteEntryRecord(CArchiveWriter& ar, const CEntryInfo& entry);
