// Connection to the station-name database: station, bus stop and version queries.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

struct sqlite3;
struct sqlite3_stmt;

class CStationDb {
public:
    // Receives the text of every statement the engine starts on this connection.
    using StatementTrace = std::function<void(const QString& sql)>;

    CStationDb();
    ~CStationDb();
    CStationDb(const CStationDb&) = delete;
    CStationDb& operator=(const CStationDb&) = delete;

    // Opens the database named by the DBQ clause of connectString, read-only.
    // The full string is connectString + "PWD=" + password. Never throws.
    bool Connect(const QString& connectString, const QString& password, uint32_t options);
    bool IsOpen() const;
    void Close();
    // Why the last Connect failed: "<file>: <reason>" (missing, unreadable, not a
    // database), or what is wrong with the connection string.
    QString LastError() const { return m_strLastError; }
    // Takes effect from the next Connect.
    void SetStatementTrace(StatementTrace trace) { m_trace = std::move(trace); }

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
    QString m_strLastError;
    StatementTrace m_trace;
};
