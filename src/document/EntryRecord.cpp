#include "document/EntryRecord.h"

#include "document/ArchiveError.h"
#include "document/ArchiveReader.h"
#include "document/ArchiveWriter.h"
#include "card/CardClock.h"
#include "card/EntryInfo.h"

QString EntryFileHeader(EntryFileVersion version)
{
    switch (version) {
    case EntryFileVersion::V1:
        return QStringLiteral("<## EntryInfoData ##>");
    case EntryFileVersion::V2:
        return QStringLiteral("<## EntryInfoData V2 ##>");
    case EntryFileVersion::V3:
        return QStringLiteral("<## EntryInfoData V3 ##>");
    }
    return QString();
}

EntryFileVersion ReadEntryFileHeader(CArchiveReader& ar)
{
    const QString header = ar.ReadText();
    for (EntryFileVersion version : {EntryFileVersion::V1, EntryFileVersion::V2, EntryFileVersion::V3}) {
        if (header == EntryFileHeader(version))
            return version;
    }
    throw CArchiveError(CArchiveError::Kind::BadIndex);
}

// The file keeps the amounts and texts right after the date, ahead of the
// station fields, unlike the record's own order.
void ReadEntryRecord(CArchiveReader& ar, EntryFileVersion version, CEntryInfo& entry)
{
    const bool bV2 = version != EntryFileVersion::V1;
    const bool bV3 = version == EntryFileVersion::V3;

    if (bV3)
        entry.reserved = ar.ReadByte();
    entry.apply = ar.ReadByte();
    ar.ReadBytes(entry.idm.data(), static_cast<qsizetype>(entry.idm.size()));
    entry.terminalKind = ar.ReadByte();
    entry.processKind = ar.ReadByte();
    if (bV3) {
        entry.paymentKind = ar.ReadByte();
        entry.rawByte3 = ar.ReadByte();
    }
    entry.dateTime = LocalOfJapanSeconds(ar.ReadTime());
    entry.balance = ar.ReadInt32();
    entry.amount = ar.ReadInt32();
    entry.sequence = ar.ReadInt32();
    entry.region = ar.ReadInt32();
    if (bV2) {
        entry.distance = ar.ReadInt32();
        entry.bearing = ar.ReadFloat();
    }
    entry.destination = ar.ReadText();
    entry.remarks = ar.ReadText();

    entry.entryArea = ar.ReadByte();
    entry.entryLine = ar.ReadInt32();
    entry.entryStation = ar.ReadInt32();
    entry.entryStationName = ar.ReadText();
    entry.entryLineName = ar.ReadText();
    entry.entryCompany = ar.ReadText();
    if (bV2) {
        entry.entryLatitude = ar.ReadDouble();
        entry.entryLongitude = ar.ReadDouble();
    }

    entry.exitArea = ar.ReadByte();
    entry.exitLine = ar.ReadInt32();
    entry.exitStation = ar.ReadInt32();
    entry.exitStationName = ar.ReadText();
    entry.exitLineName = ar.ReadText();
    entry.exitCompany = ar.ReadText();
    if (bV2) {
        entry.exitLatitude = ar.ReadDouble();
        entry.exitLongitude = ar.ReadDouble();
    }
}

void WriteEntryRecord(CArchiveWriter& ar, const CEntryInfo& entry)
{
    ar.WriteByte(entry.reserved);
    ar.WriteByte(entry.apply);
    ar.WriteBytes(entry.idm.data(), static_cast<qsizetype>(entry.idm.size()));
    ar.WriteByte(entry.terminalKind);
    ar.WriteByte(entry.processKind);
    ar.WriteByte(entry.paymentKind);
    ar.WriteByte(entry.rawByte3);
    ar.WriteTime(JapanSecondsOfLocal(entry.dateTime));
    ar.WriteInt32(entry.balance);
    ar.WriteInt32(entry.amount);
    ar.WriteInt32(entry.sequence);
    ar.WriteInt32(entry.region);
    ar.WriteInt32(entry.distance);
    ar.WriteFloat(entry.bearing);
    ar.WriteText(entry.destination);
    ar.WriteText(entry.remarks);

    ar.WriteByte(entry.entryArea);
    ar.WriteInt32(entry.entryLine);
    ar.WriteInt32(entry.entryStation);
    ar.WriteText(entry.entryStationName);
    ar.WriteText(entry.entryLineName);
    ar.WriteText(entry.entryCompany);
    ar.WriteDouble(entry.entryLatitude);
    ar.WriteDouble(entry.entryLongitude);

    ar.WriteByte(entry.exitArea);
    ar.WriteInt32(entry.exitLine);
    ar.WriteInt32(entry.exitStation);
    ar.WriteText(entry.exitStationName);
    ar.WriteText(entry.exitLineName);
    ar.WriteText(entry.exitCompany);
    ar.WriteDouble(entry.exitLatitude);
    ar.WriteDouble(entry.exitLongitude);
}
