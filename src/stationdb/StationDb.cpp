#include "stationdb/StationDb.h"

#include "stationdb/SqliteStatement.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTimeZone>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

const QString kUnregistered = QStringLiteral("未登録");

// The value of a clause in braces starting at open, "}}" standing for '}'; sets
// end to the position after the closing brace, or -1 when there is none.
QString BracedValue(const QString& connectString, qsizetype open, qsizetype& end)
{
    QString value;
    for (qsizetype i = open + 1; i < connectString.size(); ++i) {
        const QChar c = connectString.at(i);
        if (c == u'}') {
            if (i + 1 < connectString.size() && connectString.at(i + 1) == u'}') {
                value += c;
                ++i;
                continue;
            }
            end = i + 1;
            return value;
        }
        value += c;
    }
    end = -1;
    return {};
}

// The value of the DBQ clause, or empty without one. Clauses are "key=value"
// separated by ';'; a value in braces may itself hold ';'.
QString DatabasePath(const QString& connectString)
{
    qsizetype pos = 0;
    while (pos < connectString.size()) {
        const qsizetype equals = connectString.indexOf(u'=', pos);
        if (equals < 0)
            break;
        const QString key = connectString.mid(pos, equals - pos).trimmed();
        qsizetype valueStart = equals + 1;
        while (valueStart < connectString.size() && connectString.at(valueStart).isSpace())
            ++valueStart;
        qsizetype end = 0;
        QString value;
        if (valueStart < connectString.size() && connectString.at(valueStart) == u'{') {
            qsizetype close = 0;
            value = BracedValue(connectString, valueStart, close);
            if (close < 0)
                return {};
            end = connectString.indexOf(u';', close);
        } else {
            end = connectString.indexOf(u';', valueStart);
            value = connectString.mid(valueStart, end < 0 ? -1 : end - valueStart).trimmed();
        }
        if (key.compare(u"DBQ", Qt::CaseInsensitive) == 0)
            return value;
        if (end < 0)
            break;
        pos = end + 1;
    }
    return {};
}

// SQLite opens any file lazily; reading the schema is where a file that is no
// database fails. A database needs one of the four tables to count as a station
// database: a statement that needs a missing one fails on its own.
// Returns the reason, or empty when the file will do.
QString CheckStationTables(sqlite3* db)
{
    const SqliteStatementPtr statement = PrepareSqlite(db,
        "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name COLLATE NOCASE IN "
        "('StationCode', 'Company', 'BusCode', 'Version')");
    if (!statement || sqlite3_step(statement.get()) != SQLITE_ROW)
        return QString::fromUtf8(sqlite3_errmsg(db));
    if (sqlite3_column_int(statement.get(), 0) == 0)
        return QStringLiteral("not a station database");
    return {};
}

// SQLite says "unable to open database file" for every reason; the system's own
// reason (missing, unreadable, a folder) is more use to a person.
QString OpenFailureReason(const QString& path, sqlite3* db)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    return QString::fromUtf8(sqlite3_errmsg(db));
}

int TraceStatement(unsigned, void* context, void*, void* sql)
{
    const auto* trace = static_cast<const CStationDb::StatementTrace*>(context);
    if (*trace)
        (*trace)(QString::fromUtf8(static_cast<const char*>(sql)));
    return 0;
}

bool IsDateType(const char* declaredType)
{
    if (!declaredType)
        return false;
    const QByteArray type(declaredType);
    return type.compare("DATE", Qt::CaseInsensitive) == 0
        || type.compare("DATETIME", Qt::CaseInsensitive) == 0
        || type.compare("TIMESTAMP", Qt::CaseInsensitive) == 0;
}

QString ColumnString(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
}

// Dates are ISO text ("2009-04-01", with or without a time) or seconds since the epoch.
QString DateText(sqlite3_stmt* statement, int column, int storage)
{
    QDate date;
    if (storage == SQLITE_TEXT) {
        const QString text = ColumnString(statement, column);
        date = QDate::fromString(text.left(10), Qt::ISODate);
        if (!date.isValid())
            return text;
    } else {
        date = QDateTime::fromSecsSinceEpoch(sqlite3_column_int64(statement, column), QTimeZone::utc()).date();
    }
    return QString::asprintf("%04d%02d%02d", date.year(), date.month(), date.day());
}

// SQLite runs a statement at its first step, and only then finds a table that went
// away since preparing: an error there means the statement could not run, while
// SQLITE_DONE is a result without rows.
int FirstStep(sqlite3_stmt* statement)
{
    return statement ? sqlite3_step(statement) : SQLITE_ERROR;
}

// Leading spaces and a sign allowed, stops at the first non-digit, no digits give 0.
int LeadingInteger(const QString& text)
{
    const long value = std::strtol(text.toUtf8().constData(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

} // namespace

CStationDb::CStationDb() = default;

CStationDb::~CStationDb()
{
    Close();
}

bool CStationDb::Connect(const QString& connectString, const QString& password, uint32_t options)
{
    Close();
    m_strLastError.clear();
    if (connectString.isEmpty() && options != 0) {
        m_strLastError = QStringLiteral("empty connection string");
        return false;
    }
    const QString path = DatabasePath(connectString + QStringLiteral("PWD=") + password);
    if (path.isEmpty()) {
        m_strLastError = QStringLiteral("no DBQ clause in the connection string");
        return false;
    }
    // SQLite files carry no password; the PWD clause is accepted and ignored.
    sqlite3* db = nullptr;
    QString reason;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        reason = OpenFailureReason(path, db);
    else
        reason = CheckStationTables(db);
    if (!reason.isEmpty()) {
        m_strLastError = QStringLiteral("%1: %2").arg(path, reason);
        sqlite3_close(db);
        return false;
    }
    m_db = db;
    if (m_trace)
        sqlite3_trace_v2(m_db, SQLITE_TRACE_STMT, TraceStatement, &m_trace);
    return true;
}

bool CStationDb::IsOpen() const
{
    return m_db != nullptr;
}

void CStationDb::Close()
{
    sqlite3_close(m_db);
    m_db = nullptr;
}

bool CStationDb::LookupStation(uint8_t area, uint8_t line, uint8_t station, QString& stationName,
                               QString& lineName, QString& company, double& latitude, double& longitude)
{
    if (!m_db)
        return false;
    const QByteArray sql = QString::asprintf(
        "SELECT StationCode.StationName, StationCode.LineName, Company.Abbreviation, StationCode.Latitude, "
        "StationCode.Longitude, StationCode.Number FROM StationCode INNER JOIN Company ON "
        "StationCode.CompanyCode = Company.Code WHERE (((StationCode.AreaCode)=%d) AND "
        "((StationCode.LineCode)=%d) AND ((StationCode.StationCode)=%d));",
        int{area}, int{line}, int{station}).toUtf8();
    const SqliteStatementPtr statement = PrepareSqlite(m_db, sql.constData());
    const int step = FirstStep(statement.get());
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        return false;
    if (step == SQLITE_DONE) {
        stationName = kUnregistered;
        lineName.clear();
        company.clear();
        return false;
    }
    stationName = ValueText(statement.get(), 0);
    lineName = ValueText(statement.get(), 1);
    company = ValueText(statement.get(), 2);
    latitude = sqlite3_column_double(statement.get(), 3);
    longitude = sqlite3_column_double(statement.get(), 4);
    return true;
}

bool CStationDb::LookupBusStop(int busLine, int busStop, QString& stopName, QString& lineName, QString& company)
{
    if (!m_db)
        return false;
    const QByteArray sql = QString::asprintf(
        "SELECT BusCode.BusStationName, BusCode.BusLineName, BusCode.BusCompanyName, BusCode.Number FROM "
        "BusCode WHERE (((BusCode.BusLineCode)=%d) AND ((BusCode.BusStationCode)=%d));",
        busLine, busStop).toUtf8();
    const SqliteStatementPtr statement = PrepareSqlite(m_db, sql.constData());
    const int step = FirstStep(statement.get());
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        return false;
    if (step == SQLITE_DONE) {
        stopName = kUnregistered;
        lineName.clear();
        company.clear();
        return false;
    }
    stopName = ValueText(statement.get(), 0);
    lineName = ValueText(statement.get(), 1);
    company = ValueText(statement.get(), 2);
    return true;
}

bool CStationDb::ReadVersion(int& version, QString& date)
{
    if (!m_db)
        return false;
    const SqliteStatementPtr statement = PrepareSqlite(m_db, "SELECT Version.Version, Version.Date FROM Version;");
    if (FirstStep(statement.get()) != SQLITE_ROW)
        return false;
    version = LeadingInteger(ValueText(statement.get(), 0));
    date = ValueText(statement.get(), 1);
    return true;
}

QString CStationDb::VersionText(const QString& connectString, const QString& password)
{
    Close();
    if (!Connect(connectString, password, 10))
        return {};
    int version = 0;
    QString date;
    const bool read = ReadVersion(version, date);
    Close();
    if (!read || date.isEmpty())
        return {};
    return QStringLiteral("%1(%2)").arg(version).arg(date);
}

QString CStationDb::ValueText(sqlite3_stmt* statement, int column)
{
    const int storage = sqlite3_column_type(statement, column);
    if (storage == SQLITE_NULL || storage == SQLITE_BLOB)
        return {};
    if (IsDateType(sqlite3_column_decltype(statement, column)))
        return DateText(statement, column, storage);
    switch (storage) {
    case SQLITE_INTEGER:
        return QString::number(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return QString::asprintf("%f", sqlite3_column_double(statement, column));
    case SQLITE_TEXT:
        return ColumnString(statement, column);
    default:
        return {};
    }
}
