// Throughput of storing and loading a large entry file, in memory and on disk.
#include "document/EntryInfoData.h"
#include "RealisticEntries.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace {

constexpr int kEntries = 100000;

void ReportPeakMemory(benchmark::State& state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

QByteArray StoredFile()
{
    CEntryInfoData data;
    FillRealistic(data, kEntries);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    data.Store(buffer);
    return bytes;
}

void BM_StoreToFile(benchmark::State& state)
{
    CEntryInfoData data;
    FillRealistic(data, kEntries);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.ent"));
    qint64 size = 0;
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        data.Store(file);
        file.close();
        size = file.size();
    }
    state.SetBytesProcessed(state.iterations() * size);
    state.counters["file_MB"] = static_cast<double>(size) / 1e6;
    ReportPeakMemory(state);
}

void BM_LoadFromFile(benchmark::State& state)
{
    const QByteArray bytes = StoredFile();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.ent"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        CEntryInfoData data;
        data.Load(file);
        benchmark::DoNotOptimize(data.m_entries.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    ReportPeakMemory(state);
}

void BM_LoadFromMemory(benchmark::State& state)
{
    const QByteArray bytes = StoredFile();
    for (auto _ : state) {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        CEntryInfoData data;
        data.Load(buffer);
        benchmark::DoNotOptimize(data.m_entries.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
    ReportPeakMemory(state);
}

}  // namespace

BENCHMARK(BM_StoreToFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFromMemory)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
