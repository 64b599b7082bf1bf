// Throughput of storing and loading a large entry file, in memory and on disk.
#include "document/EntryInfoData.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace {

constexpr int kEntries = 100000;

const char16_t* const kStations[] = {u"新宿", u"東京", u"渋谷", u"池袋", u"品川", u"上野", u"秋葉原", u"横浜"};

void FillRealistic(CEntryInfoData& data)
{
    data.m_entries.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        auto e = MakeBlankEntry();
        e->apply = static_cast<uint8_t>(i % 3 != 0);
        e->idm = {0x01, 0x2E, 0x44, 0x81, 0x4C, 0x0B, 0x1A, 0x0F};
        e->terminalKind = 0x16;
        e->processKind = 0x01;
        e->dateTime = 1700000000 + i * 3600;
        e->entryLine = 0xE3;
        e->entryStation = i % 200;
        e->entryStationName = QString::fromUtf16(kStations[i % 8]);
        e->entryLineName = QStringLiteral("山手線");
        e->entryCompany = QStringLiteral("ＪＲ東日本");
        e->entryLatitude = 35.6 + i * 1e-6;
        e->entryLongitude = 139.7;
        e->exitLine = 0xE3;
        e->exitStation = (i * 7) % 200;
        e->exitStationName = QString::fromUtf16(kStations[(i + 3) % 8]);
        e->exitLineName = QStringLiteral("中央線快速");
        e->exitCompany = QStringLiteral("ＪＲ東日本");
        e->exitLatitude = 35.68;
        e->exitLongitude = 139.76;
        e->balance = 10000 - i % 9000;
        e->sequence = i;
        e->amount = 210;
        e->distance = 6100;
        e->bearing = 95.5f;
        e->destination = QStringLiteral("株式会社サンプル商事 本社");
        e->remarks = QStringLiteral("運賃支払(改札出場)");
        data.m_entries.push_back(std::move(e));
    }
}

void ReportPeakMemory(benchmark::State& state)
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

QByteArray StoredFile()
{
    CEntryInfoData data;
    FillRealistic(data);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    data.Store(buffer);
    return bytes;
}

void BM_StoreToFile(benchmark::State& state)
{
    CEntryInfoData data;
    FillRealistic(data);
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
