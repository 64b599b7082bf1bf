// libFuzzer target for the station database file: a mutated SQLite file is
// opened and queried as a card read and the About box do; every call must
// return, with true or false, and never crash or abort.
#include "stationdb/StationDb.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("VoluniStn.mdb"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    const QString connect = QStringLiteral("Driver=Microsoft Access Driver (*.mdb);DBQ=%1;PageTimeout=5;").arg(path);
    CStationDb db;
    if (db.Connect(connect, QStringLiteral("7c1f0a93d4e6b285"), 10)) {
        QString name, line, company, date;
        double latitude = 0.0, longitude = 0.0;
        int version = 0;
        db.LookupStation(0, 1, 1, name, line, company, latitude, longitude);
        db.LookupStation(3, 251, 48, name, line, company, latitude, longitude);
        db.LookupBusStop(3665, 1866, name, line, company);
        db.ReadVersion(version, date);
    }
    db.VersionText(connect, QStringLiteral("7c1f0a93d4e6b285"));
    return 0;
}
