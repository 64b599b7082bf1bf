// Small station databases that tests build with the real builder.
#pragma once

#include "StationDbBuilder.h"

#include <QString>
#include <QTemporaryDir>

#include <ostream>

// The CSV texts a database is built from; without line names the station rows' own stay.
struct CStationCsv {
    QString stations;
    QString companies;
    QString busStops;
    QString version;
    QString lineNames;
};

// A few rows that show each lookup case: a plain station, a null line name,
// two rows with one code, bus stops including a "共通" company row.
CStationCsv SampleStationCsv();

class CStationDbFixture {
public:
    // Writes csv into a private folder and builds "VoluniStn.mdb" there.
    explicit CStationDbFixture(const CStationCsv& csv = SampleStationCsv());

    bool Built() const { return m_bBuilt; }
    QString BuildError() const { return m_strError; }
    QString DatabasePath() const;
    QString FolderPath() const { return m_dir.path(); }
    CStationDataFiles Files() const { return m_files; }
    // The default connection string of the settings, pointing at this database.
    QString ConnectString() const;
    // Runs sql on a writable connection of its own, to spoil the database after a build.
    bool Exec(const char* sql) const;

    static constexpr const char* kPassword = "7c1f0a93d4e6b285";

private:
    QTemporaryDir m_dir;
    CStationDataFiles m_files;
    bool m_bBuilt = false;
    QString m_strError;
};

// Writes text as UTF-8 with CRLF line ends, the form of the data files.
bool WriteCsvFile(const QString& path, const QString& text);

