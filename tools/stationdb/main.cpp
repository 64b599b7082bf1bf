// voluni-stationdb: builds the station database file from the CSV files of data/.
#include "StationDbBuilder.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("voluni-stationdb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Builds the station database from CSV files."));
    parser.addHelpOption();
    const QCommandLineOption stations(QStringLiteral("stations"), QStringLiteral("Stations CSV."), QStringLiteral("file"));
    const QCommandLineOption companies(QStringLiteral("companies"), QStringLiteral("Companies CSV."), QStringLiteral("file"));
    const QCommandLineOption busStops(QStringLiteral("bus-stops"), QStringLiteral("Bus stops CSV."), QStringLiteral("file"));
    const QCommandLineOption version(QStringLiteral("version-file"), QStringLiteral("Version CSV."), QStringLiteral("file"));
    const QCommandLineOption lineNames(QStringLiteral("line-names"),
                                       QStringLiteral("Full line names CSV (optional)."), QStringLiteral("file"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Database file to write."), QStringLiteral("file"));
    parser.addOptions({stations, companies, busStops, version, lineNames, output});
    parser.process(app);
    for (const QCommandLineOption& required : {stations, companies, busStops, version, output}) {
        if (!parser.isSet(required)) {
            std::fprintf(stderr, "voluni-stationdb: --%s is missing\n", qPrintable(required.names().constLast()));
            return 2;
        }
    }

    CStationDbBuilder builder;
    const CStationDataFiles files{parser.value(stations), parser.value(companies), parser.value(busStops),
                                  parser.value(version), parser.value(lineNames)};
    if (!builder.Build(files, parser.value(output))) {
        std::fprintf(stderr, "voluni-stationdb: %s\n", qUtf8Printable(builder.ErrorText()));
        return 1;
    }
    return 0;
}
