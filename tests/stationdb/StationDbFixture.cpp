#include "StationDbFixture.h"

#include <QFile>

#include <sqlite3.h>

CStationCsv SampleStationCsv()
{
    CStationCsv csv;
    csv.companies = QStringLiteral(
        "CompanyName,Abbreviation\n"
        "東日本旅客鉄道,JR東日本\n"
        "東京地下鉄,東京メトロ\n");
    csv.stations = QStringLiteral(
        "AreaCode,LineCode,StationCode,CompanyName,LineName,StationName,Latitude,Longitude\n"
        "0,1,1,東日本旅客鉄道,東海道,東京,35.681264,139.766798\n"
        "0,1,2,東日本旅客鉄道,東海道,有楽町,35.675069,139.763328\n"
        "0,2,5,東日本旅客鉄道,東北,上野,35.713768,139.777254\n"
        "0,2,5,東日本旅客鉄道,東北,二番目の上野,1.5,2.5\n"
        "3,251,48,東京地下鉄,,虎ノ門,35.670236,139.749832\n"
        "0,3,7,東日本旅客鉄道,中央,位置不明,,\n");
    csv.busStops = QStringLiteral(
        "BusLineCode,BusStationCode,BusCompanyName,BusLineName,BusStationName\n"
        "3665,1866,奈良交通,,三室山下\n"
        "31,1324,大阪市交通局,赤バス,阿倍野\n"
        "1,0,東急バス,,共通\n");
    csv.version = QStringLiteral("Version,Date\n3,2009-04-01\n");
    return csv;
}

bool WriteCsvFile(const QString& path, const QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QString crlf = text;
    crlf.replace(u"\n"_qs, u"\r\n"_qs);
    return file.write(crlf.toUtf8()) >= 0;
}

CStationDbFixture::CStationDbFixture(const CStationCsv& csv)
{
    m_files = {m_dir.filePath(u"stations.csv"_qs), m_dir.filePath(u"companies.csv"_qs),
               m_dir.filePath(u"bus_stops.csv"_qs), m_dir.filePath(u"version.csv"_qs), QString()};
    if (!WriteCsvFile(m_files.stations, csv.stations) || !WriteCsvFile(m_files.companies, csv.companies)
        || !WriteCsvFile(m_files.busStops, csv.busStops) || !WriteCsvFile(m_files.version, csv.version)) {
        m_strError = u"cannot write the CSV files"_qs;
        return;
    }
    if (!csv.lineNames.isEmpty()) {
        m_files.lineNames = m_dir.filePath(u"line_names.csv"_qs);
        if (!WriteCsvFile(m_files.lineNames, csv.lineNames)) {
            m_strError = u"cannot write the CSV files"_qs;
            return;
        }
    }
    CStationDbBuilder builder;
    m_bBuilt = builder.Build(m_files, DatabasePath());
    m_strError = builder.ErrorText();
}

QString CStationDbFixture::DatabasePath() const
{
    return m_dir.filePath(u"VoluniStn.mdb"_qs);
}

QString CStationDbFixture::ConnectString() const
{
    return QStringLiteral("Driver=Microsoft Access Driver (*.mdb);DBQ=%1;PageTimeout=5;").arg(DatabasePath());
}

bool CStationDbFixture::Exec(const char* sql) const
{
    sqlite3* db = nullptr;
    const bool done = sqlite3_open_v2(QFile::encodeName(DatabasePath()).constData(), &db, SQLITE_OPEN_READWRITE,
                                      nullptr) == SQLITE_OK
        && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return done;
}
