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
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: voluni-make-sample <file.ent>\n");
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
