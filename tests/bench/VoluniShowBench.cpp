// `voluni show` of a 100,000-entry file, as a user runs it: the program's own
// process, its wall time and its peak resident size.
#include "document/EntryInfoData.h"
#include "RealisticEntries.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr int kEntries = 100000;

// The file is made once; every run reads it.
const QString& LargeEntryFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("large.ent"));
        CEntryInfoData data;
        FillRealistic(data, kEntries);
        QFile out(file);
        out.open(QIODevice::WriteOnly);
        data.Store(out);
        return file;
    }();
    return path;
}

struct SRunUsage {
    double peakMiB = 0;   // resident size
    double cpuSeconds = 0; // user and system: what a busy machine does not inflate
};

double Seconds(const timeval& time)
{
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// Runs voluni with args; false when it could not run or failed.
bool RunVoluni(const std::vector<std::string>& args, SRunUsage& result)
{
    std::vector<char*> argv;
    // VOLUNI_BENCH_PROGRAM measures another build of the tool against the same file.
    static std::string program = std::getenv("VOLUNI_BENCH_PROGRAM") ? std::getenv("VOLUNI_BENCH_PROGRAM")
                                                                      : VOLUNI_BINARY_DIR "/bin/voluni";
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    result.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    return true;
}

void BM_VoluniShow(benchmark::State& state, const char* format)
{
    const QString input = LargeEntryFile();
    QTemporaryDir dir;
    const std::string output = dir.filePath(QStringLiteral("out")).toStdString();
    double peak = 0;
    double cpu = 0;
    for (auto _ : state) {
        SRunUsage usage;
        if (!RunVoluni({"show", input.toStdString(), "--format", format, "--output", output}, usage)) {
            state.SkipWithError("voluni show failed");
            return;
        }
        peak = std::max(peak, usage.peakMiB);
        cpu += usage.cpuSeconds;
    }
    state.counters["peak_rss_MiB"] = peak;
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
    state.counters["input_MB"] = static_cast<double>(QFile(input).size()) / 1e6;
    state.counters["output_MB"] = static_cast<double>(QFile(QString::fromStdString(output)).size()) / 1e6;
}

}  // namespace

BENCHMARK_CAPTURE(BM_VoluniShow, json, "json")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_VoluniShow, csv, "csv")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

BENCHMARK_MAIN();
