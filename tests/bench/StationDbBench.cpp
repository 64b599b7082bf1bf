// The database work of one card read: 20 station and 20 bus stop lookups on one
// connection to the generated station database; and the naming of a read's
// entries as the read pass does it, with and without the person's own names.
#include "card/EntryNames.h"
#include "stationdb/StationDb.h"
#include "usernames/UserNames.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <array>

namespace {

const QString kDatabase = QStringLiteral(VOLUNI_BINARY_DIR "/bin/VoluniStn.mdb");

// Codes spread over the whole data, one missing each.
constexpr std::array<std::array<uint8_t, 3>, 20> kStations{{
    {0, 0, 0}, {0, 3, 46}, {0, 7, 68}, {0, 11, 175}, {0, 16, 74}, {0, 24, 11}, {0, 41, 28},
    {0, 56, 72}, {0, 68, 44}, {0, 88, 113}, {0, 109, 9}, {0, 135, 17}, {0, 169, 40}, {0, 208, 4},
    {0, 230, 51}, {1, 140, 16}, {1, 213, 13}, {2, 173, 29}, {2, 254, 165}, {3, 220, 255}}};
constexpr std::array<std::array<int, 2>, 20> kBusStops{{
    {31, 1324}, {3615, 335}, {3615, 1026}, {3615, 1567}, {3615, 2100}, {3615, 2631}, {3615, 3400},
    {3615, 3929}, {3618, 1121}, {3618, 3637}, {3635, 21524}, {3665, 207}, {3665, 425}, {3665, 667},
    {3665, 890}, {3665, 1132}, {3665, 1422}, {3665, 1686}, {3665, 1961}, {65535, 65535}}};

const QString kConnect =
    QStringLiteral("Driver=Microsoft Access Driver (*.mdb);DBQ=%1;PageTimeout=5;").arg(kDatabase);
const QString kPassword = QStringLiteral("7c1f0a93d4e6b285");

void LookUpAll(CStationDb& db)
{
    QString name, line, company;
    double latitude = 0.0, longitude = 0.0;
    for (const auto& [area, lineCode, station] : kStations)
        benchmark::DoNotOptimize(db.LookupStation(area, lineCode, station, name, line, company, latitude, longitude));
    for (const auto& [busLine, busStop] : kBusStops)
        benchmark::DoNotOptimize(db.LookupBusStop(busLine, busStop, name, line, company));
}

// What a read pass pays: connect, 40 lookups, close.
void ReadPassLookups(benchmark::State& state)
{
    for (auto _ : state) {
        CStationDb db;
        if (!db.Connect(kConnect, kPassword, 10)) {
            state.SkipWithError("cannot open the generated station database");
            return;
        }
        LookUpAll(db);
    }
}
BENCHMARK(ReadPassLookups)->Unit(benchmark::kMicrosecond);

// The 40 lookups alone, on a connection opened once.
void LookupsOnOpenConnection(benchmark::State& state)
{
    CStationDb db;
    if (!db.Connect(kConnect, kPassword, 10)) {
        state.SkipWithError("cannot open the generated station database");
        return;
    }
    for (auto _ : state)
        LookUpAll(db);
}
BENCHMARK(LookupsOnOpenConnection)->Unit(benchmark::kMicrosecond);

// 20 rail entries (entry side) and 20 bus entries of the codes above.
CEntryList ReadEntries()
{
    CEntryList entries;
    for (const auto& [area, line, station] : kStations) {
        auto e = std::make_unique<CEntryInfo>();
        e->terminalKind = 0x16;
        e->processKind = 0x01;
        e->entryArea = area;
        e->entryLine = line;
        e->entryStation = station;
        entries.push_back(std::move(e));
    }
    for (const auto& [busLine, busStop] : kBusStops) {
        auto e = std::make_unique<CEntryInfo>();
        e->terminalKind = 0x05;
        e->processKind = 0x0D;
        e->exitLine = busLine;
        e->exitStation = busStop;
        entries.push_back(std::move(e));
    }
    return entries;
}

// Connect, name the 40 entries as the read pass does, close; state.range(0) names
// of the person's, every tenth of them for a code of the read.
void ReadPassNaming(benchmark::State& state)
{
    QTemporaryDir folder;
    CUserNames names(folder.filePath(QStringLiteral("names.sqlite")));
    for (int i = 0; i < state.range(0); ++i) {
        const auto& [area, line, station] = kStations.at(static_cast<size_t>(i) % kStations.size());
        const SStationKey key = i % 10 == 0 ? SStationKey::Rail(area, line, station) : SStationKey::Bus(i, i);
        names.Set({key, QStringLiteral("名前%1").arg(i), {}, {}});
    }
    const CEntryList entries = ReadEntries();
    for (auto _ : state) {
        CStationDb db;
        if (!db.Connect(kConnect, kPassword, 10)) {
            state.SkipWithError("cannot open the generated station database");
            return;
        }
        // Read again at every pass, as the viewer and the tool do.
        names.Load();
        for (const auto& e : entries)
            NameEntry(*e, db, &names);
    }
}
BENCHMARK(ReadPassNaming)->Arg(0)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
