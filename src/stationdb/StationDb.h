// Connection to the station-name database: station, bus stop and version queries.
#pragma once

#include <QString>

#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

class CStationDb {
public:
    CStationDb();
    ~CStationDb();
    CStationDb(const CStationDb&) = delete;
    CStationDb& operator=(const CStationDb&) = delete;

    // Opens the database named by the DBQ clause of connectString, read-only.
    // The full string is connectString + "PWD=" + password. Never throws.
    bool Connect(const QString& connectString, const QString& password, uint32_t options);
    bool IsOpen() const;
    void Close();

    bool LookupStation(uint8_t area, uint8_t line, uint8_t station, QString& stationName,
                       QString& lineName, QString& company, double& latitude, double& longitude);
    bool LookupBusStop(int busLine, int busStop, QString& stopName, QString& lineName, QString& company);
    bool ReadVersion(int& version, QString& date);
    // "%d(%s)" of the version and date, or empty when the database cannot be read.
    QString VersionText(const QString& connectString, const QString& password);

    // A column of the current row as text, by its declared type and storage class.
    static QString ValueText(sqlite3_stmt* statement, int column);

private:
    sqlite3* m_db = nullptr;
};
