// The names a person gives stations and bus stops: kept per user in a small
// SQLite file beside the history archive, and put over the station database's.
#pragma once

#include "usernames/StationKey.h"

#include <QString>

#include <map>
#include <vector>

struct sqlite3;

struct SUserName {
    SStationKey key;
    QString station;     // never empty
    QString line;        // empty: the station database's line name stays
    QString company;     // empty: the station database's company stays
};

// Every call reads or writes the file in one go and leaves it as it was on
// failure, with the reason in LastError(). Never throws.
class CUserNames {
public:
    // names.sqlite in the folder of the history archive at archivePath; empty without one.
    static QString PathBeside(const QString& archivePath);

    explicit CUserNames(QString path);

    const QString& Path() const { return m_strPath; }
    // "<path>: <what failed>: <reason>".
    const QString& LastError() const { return m_strLastError; }

    // Reads the file again. A file not made yet holds no names; a file that
    // cannot be read leaves none either, and says why.
    bool Load();
    // Every name, rail before bus, in code order.
    std::vector<SUserName> List() const;
    // The name for key, or null.
    const SUserName* Find(const SStationKey& key) const;

    // The fields without surrounding spaces, as they are kept.
    static SUserName Normalized(const SUserName& name);
    // The first control character (line break, tab, escape...) in text, or a null character.
    static QChar ControlCharacter(const QString& text);
    // What keeps name (normalized) from being kept, or empty: an empty station
    // name, or a control character in a field.
    static QString Check(const SUserName& name);

    // Keeps name (normalized) for its code, over any earlier one; makes the file (mode 0600) as needed.
    bool Set(const SUserName& name);
    // Forgets the name for key; removed tells whether there was one.
    bool Remove(const SStationKey& key, bool* removed = nullptr);

private:
    bool Fail(const QString& what, const QString& reason);
    bool Write(const SUserName* name, const SStationKey& key, bool* changed);

    QString m_strPath;
    QString m_strLastError;
    std::map<SStationKey, SUserName> m_names;
};
