// The viewer started on a 100,000-entry file: time until its window is shown
// and the process's resident size then. Each start is a process of its own, so
// no start inherits the heap of the one before.
// viewer_start_bench [starts]
#include "RealisticEntries.h"
#include "ResidentSize.h"
#include "app/CorvaneApp.h"
#include "document/EntryInfoData.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kEntries = 100000;

// One start: prints "milliseconds megabytes".
int Start(int argc, char** argv, const QString& file)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    CCorvaneApp viewer({QStringLiteral("voluni-viewer"), file}, file + QStringLiteral(".lock"));
    viewer.SetReaderHooks({});
    if (!viewer.InitInstance())
        return 1;
    QApplication::processEvents();
    std::printf("%lld %.1f\n", static_cast<long long>(clock.elapsed()), ResidentMegabytes());
    viewer.ExitInstance();
    return 0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::string(argv[1]) == "--start")
        return Start(1, argv, QString::fromLocal8Bit(argv[2]));

    const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", folder.filePath(QStringLiteral("data")).toLocal8Bit());
    const QString file = folder.filePath(QStringLiteral("year.ent"));
    {
        CEntryInfoData data;
        FillRealistic(data, kEntries);
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        data.Store(out);
    }
    std::vector<double> times;
    std::vector<double> sizes;
    for (int i = 0; i < starts; ++i) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--start"), file});
        if (!child.waitForFinished(120000) || child.exitCode() != 0) {
            std::fprintf(stderr, "start %d failed\n", i + 1);
            return 1;
        }
        double ms = 0;
        double mb = 0;
        if (std::sscanf(child.readAllStandardOutput().constData(), "%lf %lf", &ms, &mb) != 2)
            return 1;
        times.push_back(ms);
        sizes.push_back(mb);
    }
    std::printf("viewer start on %d entries, %d starts: median %.0f ms to the shown window, median resident %.1f MB\n",
                kEntries, starts, Median(times), Median(sizes));
    return 0;
}
