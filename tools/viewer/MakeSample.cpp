// Writes the sample entry file: voluni-make-sample <file.ent>
#include "document/EntryInfoData.h"
#include "SampleEntries.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    static const char* const kUsage = "usage: voluni-make-sample <file.ent>\n"
                                      "Writes the sample entry file, the trips of a month of commuting.\n";
    if (args.size() == 2 && (args.at(1) == QLatin1String("--help") || args.at(1) == QLatin1String("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() != 2 || args.at(1).startsWith(QLatin1Char('-'))) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    CEntryInfoData data;
    data.m_entries = MakeSampleEntries();
    QSaveFile file(args.at(1));
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args.at(1)), qPrintable(file.errorString()));
        return 1;
    }
    try {
        data.Store(file);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args.at(1)), e.what());
        return 1;
    }
    if (!file.commit()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args.at(1)), qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
