#include "StationDbBuilder.h"

#include "CsvFile.h"
#include "stationdb/SqliteStatement.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

namespace {

// Exactly what the lookup statements read; Number is the row number the queries select.
const char* const kSchema = R"sql(
CREATE TABLE Company (
    Code INTEGER PRIMARY KEY,
    Abbreviation TEXT
);
CREATE TABLE StationCode (
    Number INTEGER PRIMARY KEY,
    AreaCode INTEGER NOT NULL,
    LineCode INTEGER NOT NULL,
    StationCode INTEGER NOT NULL,
    CompanyCode INTEGER NOT NULL REFERENCES Company (Code),
    LineName TEXT,
    StationName TEXT,
    Latitude REAL,
    Longitude REAL
);
CREATE INDEX StationCodeKey ON StationCode (AreaCode, LineCode, StationCode);
CREATE TABLE BusCode (
    Number INTEGER PRIMARY KEY,
    BusLineCode INTEGER NOT NULL,
    BusStationCode INTEGER NOT NULL,
    BusCompanyName TEXT,
    BusLineName TEXT,
    BusStationName TEXT
);
CREATE INDEX BusCodeKey ON BusCode (BusLineCode, BusStationCode);
CREATE TABLE Version (
    Version INTEGER,
    Date DATE
);
)sql";

struct StationRow {
    int area, line, station;
    qint64 company;
    QString lineName, stationName;
    std::optional<double> latitude, longitude;
};

struct BusRow {
    int line, stop;
    QString company, lineName, stopName;
};

QString RowError(const QString& path, const CCsvRow& row, const QString& reason)
{
    return QStringLiteral("%1:%2: %3").arg(path).arg(row.line).arg(reason);
}

// Field checks that keep the first reason in error.
class CDataReader {
public:
    QString error;

    bool Code(const QString& path, const CCsvRow& row, int column, const char* name, int max, int& value)
    {
        const QString& text = row.fields.at(column);
        bool digitsOnly = !text.isEmpty() && text.size() <= 9;
        for (const QChar c : text)
            digitsOnly = digitsOnly && c >= u'0' && c <= u'9';
        if (!digitsOnly)
            return Fail(path, row, QStringLiteral("%1 \"%2\" is not a decimal number").arg(name, text));
        value = text.toInt();
        if (value > max)
            return Fail(path, row, QStringLiteral("%1 %2 is out of range 0..%3").arg(name).arg(value).arg(max));
        return true;
    }

    bool Degrees(const QString& path, const CCsvRow& row, int column, const char* name, double limit,
                 std::optional<double>& value)
    {
        const QString& text = row.fields.at(column);
        if (text.isEmpty())
            return true;
        bool ok = false;
        const double degrees = text.toDouble(&ok);
        if (!ok || degrees < -limit || degrees > limit)
            return Fail(path, row, QStringLiteral("%1 \"%2\" is not a number of degrees within +-%3")
                                       .arg(name, text).arg(limit));
        value = degrees;
        return true;
    }

    bool Fail(const QString& path, const CCsvRow& row, const QString& reason)
    {
        error = RowError(path, row, reason);
        return false;
    }
};

// The full line names by (area, line code, line name as the station rows write it).
struct SLineName {
    QString fullName;
    const CCsvRow* row = nullptr;
    bool used = false;
};
using LineKey = std::tuple<int, int, QString>;
using LineNames = std::map<LineKey, SLineName>;

bool ReadLineNames(const QString& path, const CCsvFile& file, CDataReader& reader, LineNames& lines)
{
    for (const CCsvRow& row : file.Rows()) {
        int area = 0;
        int line = 0;
        if (!reader.Code(path, row, 0, "AreaCode", 255, area) || !reader.Code(path, row, 1, "LineCode", 255, line))
            return false;
        const QString& fullName = row.fields.at(3);
        if (fullName.isEmpty())
            return reader.Fail(path, row, u"empty FullLineName"_qs);
        const auto [place, added] = lines.try_emplace(LineKey{area, line, row.fields.at(2)}, SLineName{fullName, &row});
        if (!added)
            return reader.Fail(path, row, QStringLiteral("line %1-%2 \"%3\" listed twice, first on line %4")
                                              .arg(area).arg(line).arg(row.fields.at(2)).arg(place->second.row->line));
    }
    return true;
}

// A line row that no station row uses is a stale or mistyped one.
bool CheckLinesUsed(const QString& path, const LineNames& lines, CDataReader& reader)
{
    for (const auto& [key, line] : lines) {
        if (!line.used)
            return reader.Fail(path, *line.row, QStringLiteral("line %1-%2 \"%3\" has no station row")
                                                    .arg(std::get<0>(key)).arg(std::get<1>(key)).arg(std::get<2>(key)));
    }
    return true;
}

bool Exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Empty CSV fields become NULL, as an empty cell of the original database would be.
void BindText(sqlite3_stmt* statement, int index, const QString& text)
{
    if (text.isEmpty()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void BindDegrees(sqlite3_stmt* statement, int index, const std::optional<double>& degrees)
{
    if (degrees)
        sqlite3_bind_double(statement, index, *degrees);
    else
        sqlite3_bind_null(statement, index);
}

// Steps and resets statement for the next row; false on any engine error.
bool InsertRow(sqlite3_stmt* statement)
{
    const bool done = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return done;
}

} // namespace

bool CStationDbBuilder::Build(const CStationDataFiles& files, const QString& target)
{
    m_strError.clear();
    CCsvFile companyFile;
    CCsvFile stationFile;
    CCsvFile busFile;
    CCsvFile versionFile;
    CCsvFile lineFile;
    if (!companyFile.Read(files.companies, {u"CompanyName"_qs, u"Abbreviation"_qs}))
        return Fail(companyFile.ErrorText());
    if (!stationFile.Read(files.stations, {u"AreaCode"_qs, u"LineCode"_qs, u"StationCode"_qs, u"CompanyName"_qs,
                                           u"LineName"_qs, u"StationName"_qs, u"Latitude"_qs, u"Longitude"_qs}))
        return Fail(stationFile.ErrorText());
    if (!busFile.Read(files.busStops, {u"BusLineCode"_qs, u"BusStationCode"_qs, u"BusCompanyName"_qs,
                                       u"BusLineName"_qs, u"BusStationName"_qs}))
        return Fail(busFile.ErrorText());
    if (!versionFile.Read(files.version, {u"Version"_qs, u"Date"_qs}))
        return Fail(versionFile.ErrorText());
    if (!files.lineNames.isEmpty()
        && !lineFile.Read(files.lineNames, {u"AreaCode"_qs, u"LineCode"_qs, u"LineName"_qs, u"FullLineName"_qs,
                                            u"Source"_qs}))
        return Fail(lineFile.ErrorText());

    CDataReader reader;
    LineNames lines;
    if (!ReadLineNames(files.lineNames, lineFile, reader, lines))
        return Fail(reader.error);
    // Company codes are numbered here, in file order from 1.
    QHash<QString, qint64> companyCodes;
    for (const CCsvRow& row : companyFile.Rows()) {
        const QString& name = row.fields.at(0);
        if (name.isEmpty())
            return Fail(RowError(files.companies, row, u"empty CompanyName"_qs));
        if (companyCodes.contains(name))
            return Fail(RowError(files.companies, row, QStringLiteral("company \"%1\" listed twice").arg(name)));
        companyCodes.insert(name, companyCodes.size() + 1);
    }

    std::vector<StationRow> stations;
    stations.reserve(stationFile.Rows().size());
    for (const CCsvRow& row : stationFile.Rows()) {
        StationRow station{};
        const QString& company = row.fields.at(3);
        if (!reader.Code(files.stations, row, 0, "AreaCode", 255, station.area)
            || !reader.Code(files.stations, row, 1, "LineCode", 255, station.line)
            || !reader.Code(files.stations, row, 2, "StationCode", 255, station.station)
            || !reader.Degrees(files.stations, row, 6, "Latitude", 90.0, station.latitude)
            || !reader.Degrees(files.stations, row, 7, "Longitude", 180.0, station.longitude)
            || (!companyCodes.contains(company)
                && !reader.Fail(files.stations, row,
                                QStringLiteral("company \"%1\" is not in %2").arg(company, files.companies))))
            return Fail(reader.error);
        station.company = companyCodes.value(company);
        station.lineName = row.fields.at(4);
        station.stationName = row.fields.at(5);
        // Rows of no line (connecting-station codes, terminals) keep the name as written.
        const auto line = lines.find(LineKey{station.area, station.line, station.lineName});
        if (line != lines.end()) {
            station.lineName = line->second.fullName;
            line->second.used = true;
        }
        stations.push_back(std::move(station));
    }
    if (!CheckLinesUsed(files.lineNames, lines, reader))
        return Fail(reader.error);

    std::vector<BusRow> busStops;
    busStops.reserve(busFile.Rows().size());
    for (const CCsvRow& row : busFile.Rows()) {
        BusRow stop{};
        if (!reader.Code(files.busStops, row, 0, "BusLineCode", 65535, stop.line)
            || !reader.Code(files.busStops, row, 1, "BusStationCode", 65535, stop.stop))
            return Fail(reader.error);
        stop.company = row.fields.at(2);
        stop.lineName = row.fields.at(3);
        stop.stopName = row.fields.at(4);
        busStops.push_back(std::move(stop));
    }

    if (versionFile.Rows().size() != 1)
        return Fail(QStringLiteral("%1: one row expected, found %2").arg(files.version).arg(versionFile.Rows().size()));
    const CCsvRow& versionRow = versionFile.Rows().front();
    int version = 0;
    const QDate date = QDate::fromString(versionRow.fields.at(1), Qt::ISODate);
    if (!reader.Code(files.version, versionRow, 0, "Version", 999999999, version))
        return Fail(reader.error);
    if (!date.isValid())
        return Fail(RowError(files.version, versionRow,
                             QStringLiteral("Date \"%1\" is not a date YYYY-MM-DD").arg(versionRow.fields.at(1))));

    const QFileInfo targetInfo(target);
    if (!QDir().mkpath(targetInfo.absolutePath()))
        return Fail(QStringLiteral("%1: cannot create the folder").arg(targetInfo.absolutePath()));
    QTemporaryFile temporary(targetInfo.absoluteFilePath() + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return Fail(QStringLiteral("%1: %2").arg(temporary.fileTemplate(), temporary.errorString()));
    temporary.close();
    // The temporary file is private to its owner; the database is for every user.
    temporary.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    sqlite3* db = nullptr;
    bool written = sqlite3_open_v2(QFile::encodeName(temporary.fileName()).constData(), &db,
                                   SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK
        && Exec(db, "BEGIN") && Exec(db, kSchema);
    {
        const SqliteStatementPtr insertCompany = PrepareSqlite(db, "INSERT INTO Company (Code, Abbreviation) VALUES (?, ?)");
        const SqliteStatementPtr insertStation = PrepareSqlite(db,
            "INSERT INTO StationCode (AreaCode, LineCode, StationCode, CompanyCode, LineName, StationName, "
            "Latitude, Longitude) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        const SqliteStatementPtr insertBus = PrepareSqlite(db,
            "INSERT INTO BusCode (BusLineCode, BusStationCode, BusCompanyName, BusLineName, BusStationName) "
            "VALUES (?, ?, ?, ?, ?)");
        const SqliteStatementPtr insertVersion = PrepareSqlite(db, "INSERT INTO Version (Version, Date) VALUES (?, ?)");
        written = written && insertCompany && insertStation && insertBus && insertVersion;
        for (const CCsvRow& row : companyFile.Rows()) {
            if (!written)
                break;
            sqlite3_bind_int64(insertCompany.get(), 1, companyCodes.value(row.fields.at(0)));
            BindText(insertCompany.get(), 2, row.fields.at(1));
            written = InsertRow(insertCompany.get());
        }
        for (const StationRow& station : stations) {
            if (!written)
                break;
            sqlite3_stmt* statement = insertStation.get();
            sqlite3_bind_int(statement, 1, station.area);
            sqlite3_bind_int(statement, 2, station.line);
            sqlite3_bind_int(statement, 3, station.station);
            sqlite3_bind_int64(statement, 4, station.company);
            BindText(statement, 5, station.lineName);
            BindText(statement, 6, station.stationName);
            BindDegrees(statement, 7, station.latitude);
            BindDegrees(statement, 8, station.longitude);
            written = InsertRow(statement);
        }
        for (const BusRow& stop : busStops) {
            if (!written)
                break;
            sqlite3_stmt* statement = insertBus.get();
            sqlite3_bind_int(statement, 1, stop.line);
            sqlite3_bind_int(statement, 2, stop.stop);
            BindText(statement, 3, stop.company);
            BindText(statement, 4, stop.lineName);
            BindText(statement, 5, stop.stopName);
            written = InsertRow(statement);
        }
        if (written) {
            sqlite3_bind_int(insertVersion.get(), 1, version);
            BindText(insertVersion.get(), 2, date.toString(Qt::ISODate));
            written = InsertRow(insertVersion.get());
        }
    }
    written = written && Exec(db, "COMMIT");
    const QString engineError = QString::fromUtf8(sqlite3_errmsg(db));
    if (sqlite3_close(db) != SQLITE_OK)
        written = false;
    if (!written)
        return Fail(QStringLiteral("%1: %2").arg(temporary.fileName(), engineError));

    // rename() replaces the old file in one step, so readers see the old or the new database.
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(targetInfo.absoluteFilePath()).constData())
        != 0)
        return Fail(QStringLiteral("%1: cannot replace: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    temporary.setAutoRemove(false);
    return true;
}

bool CStationDbBuilder::Fail(const QString& error)
{
    m_strError = error;
    return false;
}
