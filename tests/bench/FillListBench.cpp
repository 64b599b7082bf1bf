// The history list filled with a large document, in both filter states.
#include "RealisticEntries.h"
#include "ResidentSize.h"
#include "settings/AppProfile.h"
#include "document/CorvaneDoc.h"
#include "view/CorvaneForm.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>

#include <fstream>
#include <string>

namespace {

void FillList(benchmark::State& state)
{
    CAppProfile profile;
    CCorvaneDoc document;
    FillRealistic(document.m_data, static_cast<int>(state.range(0)));
    CCorvaneForm form(document, profile, nullptr);
    form.OnInitialUpdate();
    form.resize(1000, 600);
    form.show();
    form.ShowAllBox()->setChecked(state.range(1) != 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(form.FillList(document.m_data.m_entries));
        QApplication::processEvents(); // the view lays out and paints what it shows
    }
    // The whole process: Qt, the entries as loaded and the shown list.
    state.counters["resident_MB"] = ResidentMegabytes();
}
BENCHMARK(FillList)->Args({100000, 1})->Args({100000, 0})->Unit(benchmark::kMillisecond)->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
