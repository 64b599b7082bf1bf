#include "usernames/UserNames.h"

#include "stationdb/SqliteStatement.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>
#include <utility>

namespace {

constexpr int kSchemaVersion = 1;
// How long a write waits for another program's write to end.
constexpr int kBusyTimeoutMs = 300;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS user_name (
    kind TEXT NOT NULL CHECK (kind IN ('rail', 'bus')),
    area INTEGER NOT NULL,
    line INTEGER NOT NULL,
    station INTEGER NOT NULL,
    station_name TEXT NOT NULL,
    line_name TEXT NOT NULL,
    company TEXT NOT NULL,
    changed INTEGER NOT NULL,
    PRIMARY KEY (kind, area, line, station)
);
PRAGMA user_version = 1;
)sql";

// Closes the connection on every way out.
struct SqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqlitePtr = std::unique_ptr<sqlite3, SqliteCloser>;

QString EngineError(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

QString Column(sqlite3_stmt* statement, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

void Bind(sqlite3_stmt* statement, int index, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void BindKey(sqlite3_stmt* statement, const SStationKey& key)
{
    Bind(statement, 1, key.KindText());
    sqlite3_bind_int(statement, 2, key.area);
    sqlite3_bind_int(statement, 3, key.line);
    sqlite3_bind_int(statement, 4, key.station);
}

} // namespace

QString CUserNames::PathBeside(const QString& archivePath)
{
    if (archivePath.isEmpty())
        return {};
    return QFileInfo(archivePath).dir().filePath(QStringLiteral("names.sqlite"));
}

CUserNames::CUserNames(QString path)
    : m_strPath(std::move(path))
{
}

bool CUserNames::Fail(const QString& what, const QString& reason)
{
    m_strLastError = QStringLiteral("%1: %2: %3").arg(m_strPath, what, reason);
    return false;
}

bool CUserNames::Load()
{
    m_names.clear();
    m_strLastError.clear();
    if (!QFileInfo::exists(m_strPath))
        return true;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(m_strPath).constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const SqlitePtr db(raw);
    if (rc != SQLITE_OK)
        return Fail(QStringLiteral("opening it"), EngineError(raw));
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    {
        const SqliteStatementPtr version = PrepareSqlite(raw, "PRAGMA user_version");
        if (!version || sqlite3_step(version.get()) != SQLITE_ROW)
            return Fail(QStringLiteral("reading it"), EngineError(raw));
        if (sqlite3_column_int(version.get(), 0) > kSchemaVersion)
            return Fail(QStringLiteral("reading it"),
                        QStringLiteral("schema version %1 is newer than this program's %2")
                            .arg(sqlite3_column_int(version.get(), 0))
                            .arg(kSchemaVersion));
    }
    const SqliteStatementPtr select = PrepareSqlite(raw,
        "SELECT kind, area, line, station, station_name, line_name, company FROM user_name");
    if (!select)
        return Fail(QStringLiteral("reading it"), EngineError(raw));
    int step = SQLITE_ROW;
    std::map<SStationKey, SUserName> names;
    while ((step = sqlite3_step(select.get())) == SQLITE_ROW) {
        SUserName name;
        SStationKey::ParseKind(Column(select.get(), 0), name.key.kind);
        name.key.area = sqlite3_column_int(select.get(), 1);
        name.key.line = sqlite3_column_int(select.get(), 2);
        name.key.station = sqlite3_column_int(select.get(), 3);
        name.station = Column(select.get(), 4);
        name.line = Column(select.get(), 5);
        name.company = Column(select.get(), 6);
        names.insert_or_assign(name.key, name);
    }
    if (step != SQLITE_DONE)
        return Fail(QStringLiteral("reading it"), EngineError(raw));
    m_names = std::move(names);
    return true;
}

std::vector<SUserName> CUserNames::List() const
{
    std::vector<SUserName> list;
    list.reserve(m_names.size());
    for (const auto& [key, name] : m_names)
        list.push_back(name);
    return list;
}

const SUserName* CUserNames::Find(const SStationKey& key) const
{
    const auto found = m_names.find(key);
    return found == m_names.end() ? nullptr : &found->second;
}

SUserName CUserNames::Normalized(const SUserName& name)
{
    return {name.key, name.station.trimmed(), name.line.trimmed(), name.company.trimmed()};
}

QChar CUserNames::ControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control)
            return c;
    }
    return {};
}

QString CUserNames::Check(const SUserName& name)
{
    const SUserName kept = Normalized(name);
    if (kept.station.isEmpty())
        return QStringLiteral("the station name is empty");
    for (const auto& [field, text] : {std::pair{"station name", kept.station}, std::pair{"line name", kept.line},
                                      std::pair{"company", kept.company}}) {
        const QChar c = ControlCharacter(text);
        if (!c.isNull())
            return QStringLiteral("the %1 holds a control character (U+%2)")
                .arg(QString::fromLatin1(field), QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
    return {};
}

bool CUserNames::Set(const SUserName& name)
{
    const QString problem = Check(name);
    if (!problem.isEmpty()) {
        m_strLastError = problem;
        return false;
    }
    return Write(&name, name.key, nullptr);
}

bool CUserNames::Remove(const SStationKey& key, bool* removed)
{
    return Write(nullptr, key, removed);
}

// Keeps name for key, or forgets key without a name, in one transaction.
bool CUserNames::Write(const SUserName* name, const SStationKey& key, bool* changed)
{
    m_strLastError.clear();
    if (changed)
        *changed = false;
    if (m_strPath.isEmpty()) {
        m_strLastError = QStringLiteral("station names: the system names no data folder");
        return false;
    }
    const QFileInfo info(m_strPath);
    if (!name && !info.exists())
        return true;
    if (!QDir().mkpath(info.absolutePath()))
        return Fail(QStringLiteral("creating its folder"), QStringLiteral("the folder cannot be made"));
    if (!info.exists()) {
        // Made here, so that it is the user's alone from the start.
        QFile file(m_strPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return Fail(QStringLiteral("creating it"), file.errorString());
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(m_strPath).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const SqlitePtr db(raw);
    if (rc != SQLITE_OK)
        return Fail(QStringLiteral("opening it"), EngineError(raw));
    sqlite3_busy_timeout(raw, kBusyTimeoutMs);
    const QString what = name ? QStringLiteral("keeping the name of %1 %2").arg(key.KindText(), key.Text())
                              : QStringLiteral("removing the name of %1 %2").arg(key.KindText(), key.Text());
    if (sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return Fail(what, EngineError(raw));
    bool written = sqlite3_exec(raw, kSchema, nullptr, nullptr, nullptr) == SQLITE_OK;
    {
        const SqliteStatementPtr statement = PrepareSqlite(raw, name
            ? "INSERT OR REPLACE INTO user_name (kind, area, line, station, station_name, line_name, company, changed) "
              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"
            : "DELETE FROM user_name WHERE kind = ?1 AND area = ?2 AND line = ?3 AND station = ?4");
        written = written && statement;
        if (written) {
            BindKey(statement.get(), key);
            if (name) {
                const SUserName kept = Normalized(*name);
                Bind(statement.get(), 5, kept.station);
                Bind(statement.get(), 6, kept.line);
                Bind(statement.get(), 7, kept.company);
                sqlite3_bind_int64(statement.get(), 8, QDateTime::currentSecsSinceEpoch());
            }
            written = sqlite3_step(statement.get()) == SQLITE_DONE;
        }
    }
    const int rows = sqlite3_changes(raw);
    if (!written || sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString reason = EngineError(raw);
        sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
        return Fail(what, reason);
    }
    if (changed)
        *changed = rows > 0;
    if (name)
        m_names.insert_or_assign(key, Normalized(*name));
    else
        m_names.erase(key);
    return true;
}
