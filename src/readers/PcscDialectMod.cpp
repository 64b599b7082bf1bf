#include "readers/PcscDialectMod.h"

#include <algorithm>

int CPcscDialectMod::ReadInRuns(HistoryBlockList* pBlocks, uint8_t nBlocks, const ReadRun& readRun)
{
    unsigned perRun = kBlocksPerRun;
    HistoryBlockList run;
    for (unsigned n = 0; n < nBlocks;) {
        const unsigned count = std::min(perRun, nBlocks - n);
        run.clear();
        const RunResult result = readRun(static_cast<uint8_t>(n), count, run);
        if (result == RunResult::Refused && count > 1) {
            perRun = 1;
            continue;
        }
        if (result == RunResult::CardError)
            return 1;
        if (result != RunResult::Read || run.size() != count) {
            pBlocks->clear();
            return 0;
        }
        for (const HistoryBlock& block : run) {
            if (IsEmptyBlock(block))
                return 1;
            pBlocks->push_back(block);
        }
        n += count;
    }
    return 1;
}
