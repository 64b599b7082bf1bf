// Builds the station database file from the CSV files of data/.
#pragma once

#include <QString>

struct CStationDataFiles {
    QString stations;          // AreaCode,LineCode,StationCode,CompanyName,LineName,StationName,Latitude,Longitude
    QString companies;         // CompanyName,Abbreviation
    QString busStops;          // BusLineCode,BusStationCode,BusCompanyName,BusLineName,BusStationName
    QString version;           // Version,Date (one row: data version number, ISO date)
    // AreaCode,LineCode,LineName,FullLineName,Source: the full name of the line a
    // station row's (AreaCode, LineCode, LineName) stands for. Empty: names as written.
    QString lineNames;
};

class CStationDbBuilder {
public:
    // Checks every file first, then writes a temporary file beside target and
    // renames it over target only when complete, so a failed build leaves the
    // old database as it was. On failure ErrorText() names file, line and reason.
    bool Build(const CStationDataFiles& files, const QString& target);
    QString ErrorText() const { return m_strError; }

private:
    bool Fail(const QString& error);

    QString m_strError;
};
