// How long a wait for a card with a polling time of 3 s lasts against a reader that
// misbehaves, on the scenario's clock (what a real reader would make it take): reported as
// the iteration time.
#include "WaitScenario.h"

#include <benchmark/benchmark.h>

namespace {

void WaitAgainst(benchmark::State& state, EWaitReader reader, EWaitFault fault)
{
    CEmulatedFelicaLibrary library;
    if (!library.Loaded()) {
        state.SkipWithError("the emulated library does not load");
        return;
    }
    for (auto _ : state) {
        CWaitScenario scenario(library);
        if (!scenario.Prepare(reader, fault)) {
            state.SkipWithError("the reader does not open");
            return;
        }
        bool read = false;
        const std::chrono::milliseconds waited = scenario.Wait(3, read);
        scenario.Close();
        state.SetIterationTime(std::chrono::duration<double>(waited).count());
    }
}

BENCHMARK_CAPTURE(WaitAgainst, PcscSilent, EWaitReader::Pcsc, EWaitFault::Silent)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WaitAgainst, PcscSlowWithoutCard, EWaitReader::Pcsc, EWaitFault::AcksOnly)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WaitAgainst, PcscStallsMidRead, EWaitReader::Pcsc, EWaitFault::StallsMidRead)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WaitAgainst, Rcs380Silent, EWaitReader::Rcs380, EWaitFault::Silent)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WaitAgainst, Rcs380AcksOnly, EWaitReader::Rcs380, EWaitFault::AcksOnly)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WaitAgainst, Rcs380StallsMidRead, EWaitReader::Rcs380, EWaitFault::StallsMidRead)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WaitAgainst, Rcs956Silent, EWaitReader::Rcs956, EWaitFault::Silent)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WaitAgainst, Rcs956AcksOnly, EWaitReader::Rcs956, EWaitFault::AcksOnly)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WaitAgainst, Rcs956StallsMidRead, EWaitReader::Rcs956, EWaitFault::StallsMidRead)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
