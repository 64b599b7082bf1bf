// One 20-block history read through the FeliCa library over an emulated reader, as the
// module makes it: host commands, card frames and bytes each way per read.
#include "EmulatedFelicaLibrary.h"
#include "readers/PasoriMod.h"

#include <benchmark/benchmark.h>

namespace {

void ReadTwentyBlocks(benchmark::State& state, uint16_t product, unsigned maxBlocksPerRead)
{
    CEmulatedFelicaLibrary library;
    if (!library.Loaded()) {
        state.SkipWithError("the emulated library does not load");
        return;
    }
    CCardImage card = LoadCardImage("twenty.json");
    library.Emulator().Plug(product, card).m_nMaxBlocksPerRead = maxBlocksPerRead;
    CPasoriMod pasori;
    if (!pasori.Open()) {
        state.SkipWithError("the emulated reader does not open");
        return;
    }
    uint8_t idm[8] = {};
    uint8_t pmm[8] = {};
    SEmulatorCounts counts;
    int64_t reads = 0;
    for (auto _ : state) {
        library.Emulator().ResetCounts();
        HistoryBlockList blocks;
        if (!pasori.Polling(idm, pmm, 0x0003, 0, 1) || !pasori.ReadBlocks(idm, 0x090F, 0x0003, &blocks, 20)
            || blocks.size() != 20) {
            state.SkipWithError("the read failed");
            return;
        }
        benchmark::DoNotOptimize(blocks.data());
        counts = library.Emulator().Counts();
        ++reads;
    }
    // Per read, polling included.
    state.counters["commands"] = counts.commands;
    state.counters["card_frames"] = counts.cardFrames;
    state.counters["read_frames"] = counts.readCommands;
    state.counters["bytes_out"] = static_cast<double>(counts.bytesOut);
    state.counters["bytes_in"] = static_cast<double>(counts.bytesIn);
    state.SetItemsProcessed(reads * 20);
}

BENCHMARK_CAPTURE(ReadTwentyBlocks, Rcs380, 0x06C1, 15);
BENCHMARK_CAPTURE(ReadTwentyBlocks, Rcs370, 0x02E1, 15);
BENCHMARK_CAPTURE(ReadTwentyBlocks, Rcs380OneBlockCard, 0x06C1, 1);

} // namespace

BENCHMARK_MAIN();
