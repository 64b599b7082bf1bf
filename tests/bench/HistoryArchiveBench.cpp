// The history archive at 50,000 entries, ten records in it never read: merging
// the next 20-block read (with the look-up of the oldest record's fare before it),
// merging a read it holds already, one month of one card as the viewer's 履歴 asks
// for it, alone and shown in the history list with its gaps, the gaps of the whole
// card and of one month, and the check of the whole file before a run's first write.
// Apart from it: twenty programs merging overlapping reads of one card at once.
#include "card/HistoryDecoder.h"
#include "settings/AppProfile.h"
#include "document/CorvaneDoc.h"
#include "history/HistoryArchive.h"
#include "history/PendingWrites.h"
#include "view/CorvaneForm.h"
#include "view/HistoryModel.h"
#include "view/PeriodChoice.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <sqlite3.h>

namespace {

constexpr IdmBytes kIdm = {0x01, 0x2E, 0x44, 0x81, 0x4C, 0x0B, 0x1A, 0x0F};
constexpr int kArchived = 50000;
constexpr int kPerDay = 4;
constexpr int kReadsMerged = 200;
const QDate kFirstDay(2000, 1, 1);

// Record k of a commuter: four fares a day between two stations; the balance
// wanders between 1,000 and 10,000 yen.
HistoryBlock Record(int64_t k)
{
    const QDate day = kFirstDay.addDays(k / kPerDay);
    const int date = (day.year() - 2000) << 9 | day.month() << 5 | day.day();
    const int balance = 1000 + static_cast<int>((k * 7919) % 9000);
    const int64_t sequence = (k + 1) % (int64_t{1} << 24);
    return {0x16, 0x01, 0x00, 0x00, static_cast<uint8_t>(date >> 8), static_cast<uint8_t>(date), 0xE3,
            static_cast<uint8_t>(k % 200), 0xE3, static_cast<uint8_t>((k * 7) % 200),
            static_cast<uint8_t>(balance), static_cast<uint8_t>(balance >> 8), static_cast<uint8_t>(sequence >> 16),
            static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence), 0x00};
}

struct SRead {
    HistoryBlockList blocks;   // newest first
    CEntryList entries;        // oldest first, named as the read pass names them
};

// Every kGapEvery records one (k % kGapEvery == 40) fell off the card unread:
// one in February 2017, the month the viewer opens.
constexpr int64_t kGapEvery = 5000;

SRead MakeRead(int64_t first, int64_t count, bool withGaps = false)
{
    SRead read;
    for (int64_t k = first + count - 1; k >= first; --k) {
        if (!withGaps || k % kGapEvery != 40)
            read.blocks.push_back(Record(k));
    }
    int32_t previous = -1;
    for (auto block = read.blocks.rbegin(); block != read.blocks.rend(); ++block) {
        auto e = DecodeHistoryBlock(*block, kIdm, previous);
        e->entryStationName = QStringLiteral("新宿");
        e->entryLineName = QStringLiteral("山手線");
        e->entryCompany = QStringLiteral("ＪＲ東日本");
        e->exitStationName = QStringLiteral("東京");
        e->exitLineName = QStringLiteral("中央線快速");
        e->exitCompany = QStringLiteral("ＪＲ東日本");
        e->entryLatitude = 35.69;
        e->exitLatitude = 35.68;
        e->destination = QStringLiteral("株式会社サンプル商事 本社");
        read.entries.push_back(std::move(e));
    }
    return read;
}

// The archive is filled once, in one merge, on the disk the user's data would be on.
CHistoryArchive& FilledArchive()
{
    static QTemporaryDir dir(QStringLiteral(VOLUNI_BINARY_DIR "/history-bench-XXXXXX"));
    static CHistoryArchive archive(dir.filePath(QStringLiteral("history.sqlite")));
    static const bool filled = [] {
        const SRead all = MakeRead(0, kArchived, true);
        if (!archive.MergeRead(kIdm, all.blocks, all.entries)) {
            std::fprintf(stderr, "%s\n", archive.LastError().toUtf8().constData());
            std::abort();
        }
        return true;
    }();
    (void)filled;
    return archive;
}

const QString& FilledArchivePath()
{
    static const QString path = FilledArchive().Path();
    return path;
}

bool Merge(CHistoryArchive& archive, SRead& read)
{
    if (!read.blocks.empty())
        archive.BalanceBefore(kIdm, read.blocks.back());
    return archive.MergeRead(kIdm, read.blocks, read.entries);
}

void MergeNextRead(benchmark::State& state)
{
    CHistoryArchive& archive = FilledArchive();
    // Prepared beforehand: each iteration merges the read after the last.
    static std::vector<SRead> reads = [] {
        std::vector<SRead> made;
        for (int i = 0; i < kReadsMerged; ++i)
            made.push_back(MakeRead(kArchived + int64_t{i} * 20, 20));
        return made;
    }();
    static size_t next = 0;
    for (auto _ : state) {
        if (next == reads.size()) {
            state.SkipWithError("more iterations than prepared reads");
            break;
        }
        if (!Merge(archive, reads[next++]))
            state.SkipWithError(archive.LastError().toUtf8().constData());
    }
}
BENCHMARK(MergeNextRead)->Iterations(10)->Repetitions(15)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

void MergeReadAlreadyArchived(benchmark::State& state)
{
    CHistoryArchive& archive = FilledArchive();
    SRead read = MakeRead(kArchived / 2, 20);
    for (auto _ : state) {
        if (!Merge(archive, read))
            state.SkipWithError(archive.LastError().toUtf8().constData());
    }
}
BENCHMARK(MergeReadAlreadyArchived)->Iterations(10)->Repetitions(15)->Unit(benchmark::kMillisecond)
    ->ReportAggregatesOnly(true);

void QueryOneMonth(benchmark::State& state)
{
    CHistoryArchive& archive = FilledArchive();
    // A month in the middle of the 34 years: about 120 entries.
    const QDate from(2017, 2, 1);
    CEntryList entries;
    std::vector<int64_t> ids;
    for (auto _ : state) {
        if (!archive.Entries({kIdm, from, from.addMonths(1).addDays(-1)}, entries, ids))
            state.SkipWithError(archive.LastError().toUtf8().constData());
        benchmark::DoNotOptimize(entries.data());
    }
    state.counters["entries"] = static_cast<double>(entries.size());
}
BENCHMARK(QueryOneMonth)->Repetitions(15)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

void OpenMonthInTheViewer(benchmark::State& state)
{
    CHistoryArchive& archive = FilledArchive();
    CAppProfile profile;
    CCorvaneDoc document;
    CCorvaneForm form(document, profile, nullptr);
    form.OnInitialUpdate();
    form.SetHistoryArchive(&archive);
    form.resize(1000, 600);
    form.show();
    form.PeriodBox()->SetDates(QDate(2017, 2, 1), QDate(2017, 2, 28));
    form.PeriodBox()->SetChoice(CPeriodChoice::Dates);
    for (auto _ : state) {
        if (!form.ShowArchivedCard(kIdm))
            state.SkipWithError(archive.LastError().toUtf8().constData());
        QApplication::processEvents(); // laid out and painted
    }
    state.counters["rows"] = static_cast<double>(form.Model()->rowCount());
    state.counters["entries"] = static_cast<double>(form.ShownEntries().size());
}
BENCHMARK(OpenMonthInTheViewer)->Repetitions(15)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

void QueryEverything(benchmark::State& state)
{
    CHistoryArchive& archive = FilledArchive();
    CEntryList entries;
    std::vector<int64_t> ids;
    for (auto _ : state) {
        if (!archive.Entries({kIdm, {}, {}}, entries, ids))
            state.SkipWithError(archive.LastError().toUtf8().constData());
        benchmark::DoNotOptimize(entries.data());
    }
    state.counters["entries"] = static_cast<double>(entries.size());
}
BENCHMARK(QueryEverything)->Repetitions(5)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

// The gaps of the whole archive, as the 履歴 view looks for them beside a month.
void FindGapsOfWholeArchive(benchmark::State& state)
{
    CHistoryArchive& archive = FilledArchive();
    std::vector<SArchiveGap> gaps;
    for (auto _ : state) {
        if (!archive.Gaps({kIdm, {}, {}}, gaps))
            state.SkipWithError(archive.LastError().toUtf8().constData());
        benchmark::DoNotOptimize(gaps.data());
    }
}
BENCHMARK(FindGapsOfWholeArchive)->Repetitions(5)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

// The gaps touching one month, as the 履歴 view asks for them beside its entries.
void FindGapsOfOneMonth(benchmark::State& state)
{
    CHistoryArchive& archive = FilledArchive();
    const QDate from(2017, 2, 1);
    std::vector<SArchiveGap> gaps;
    for (auto _ : state) {
        if (!archive.Gaps({kIdm, from, from.addMonths(1).addDays(-1)}, gaps))
            state.SkipWithError(archive.LastError().toUtf8().constData());
        benchmark::DoNotOptimize(gaps.data());
    }
    state.counters["gaps"] = static_cast<double>(gaps.size());
}
BENCHMARK(FindGapsOfOneMonth)->Repetitions(15)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

// The cards with their days to read by, as the viewer asks at start.
void CardsWithTheirReadBy(benchmark::State& state)
{
    CHistoryArchive& archive = FilledArchive();
    std::vector<SArchivedCard> cards;
    for (auto _ : state) {
        if (!archive.Cards(cards))
            state.SkipWithError(archive.LastError().toUtf8().constData());
        benchmark::DoNotOptimize(cards.data());
    }
}
BENCHMARK(CardsWithTheirReadBy)->Repetitions(5)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

// The check before a run's first write: quick_check (structure only) against
// integrity_check (each index against its table as well).
void CheckWholeArchive(benchmark::State& state)
{
    const char* pragma = state.range(0) == 0 ? "PRAGMA quick_check" : "PRAGMA integrity_check(100)";
    FilledArchive().Close();
    sqlite3* db = nullptr;
    sqlite3_open_v2(FilledArchivePath().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt* check = nullptr;
        sqlite3_prepare_v2(db, pragma, -1, &check, nullptr);
        if (sqlite3_step(check) != SQLITE_ROW
            || std::string(reinterpret_cast<const char*>(sqlite3_column_text(check, 0))) != "ok")
            state.SkipWithError("the archive is not sound");
        sqlite3_finalize(check);
    }
    sqlite3_close(db);
    state.SetLabel(pragma);
}
BENCHMARK(CheckWholeArchive)->Arg(0)->Arg(1)->Repetitions(5)->Unit(benchmark::kMillisecond)->ReportAggregatesOnly(true);

// Twenty writers at once, each with its own connection, merge reads of 20 records
// starting 5 apart; state.range(0) is how long each waits for the lock. Counted:
// merges that went in at once, merges kept pending, and records missing once the
// archive is opened again (and takes the pending ones in).
void TwentyParallelMerges(benchmark::State& state)
{
    constexpr int kWriters = 20;
    std::vector<SRead> reads;
    for (int i = 0; i < kWriters; ++i)
        reads.push_back(MakeRead(int64_t{i} * 5, 20));
    const size_t expected = (kWriters - 1) * 5 + 20;
    double atOnce = 0;
    double pending = 0;
    double lost = 0;
    for (auto _ : state) {
        QTemporaryDir dir(QStringLiteral(VOLUNI_BINARY_DIR "/history-bench-XXXXXX"));
        const QString path = dir.filePath(QStringLiteral("history.sqlite"));
        SArchiveOptions options;
        options.nBusyTimeoutMs = static_cast<int>(state.range(0));
        CHistoryArchive(path, options).Open();
        std::vector<std::thread> writers;
        std::vector<int> merged(kWriters, 0);
        for (int i = 0; i < kWriters; ++i) {
            writers.emplace_back([&, i] {
                CHistoryArchive archive(path, options);
                merged[static_cast<size_t>(i)] = archive.MergeRead(kIdm, reads[static_cast<size_t>(i)].blocks,
                                                                   reads[static_cast<size_t>(i)].entries);
            });
        }
        for (std::thread& writer : writers)
            writer.join();
        state.PauseTiming();
        atOnce += static_cast<double>(std::count(merged.begin(), merged.end(), 1));
        pending += static_cast<double>(CPendingWrites(path).Files().size());
        CHistoryArchive archive(path);
        CEntryList entries;
        std::vector<int64_t> ids;
        archive.Entries({}, entries, ids);
        std::set<int> sequences;
        for (const auto& e : entries)
            sequences.insert(e->sequence);
        lost += static_cast<double>(expected) - static_cast<double>(sequences.size());
        if (sequences.size() != entries.size())
            state.SkipWithError("a record is there twice");
        state.ResumeTiming();
    }
    const auto perRound = [&state](double total) { return total / static_cast<double>(state.iterations()); };
    state.counters["merged_at_once"] = perRound(atOnce);
    state.counters["kept_pending"] = perRound(pending);
    state.counters["lost"] = perRound(lost);
}
BENCHMARK(TwentyParallelMerges)->Arg(300)->Arg(5000)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // Local days as the tests count them.
    setenv("TZ", "Asia/Tokyo", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
