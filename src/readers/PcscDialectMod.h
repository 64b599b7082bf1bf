// Base of the reader modules for readers outside the known-reader table: the PC/SC
// plumbing of CPcscMod without its escape commands (these readers have no mode byte, and
// the CCID driver refuses escapes by default), and a block read in runs of several blocks.
#pragma once

#include "readers/PcscMod.h"

#include <functional>

class CPcscDialectMod : public CPcscMod {
public:
    using CPcscMod::CPcscMod;

    // No escape commands: no firmware version, no mode byte, nothing the table's frames ask.
    int GetVersionNumber() override { return 0; }
    int SetReaderMode(uint8_t) override { return 0; }
    int ApplyReaderMode(uint8_t) override { return 0; }
    int GetReaderMode(uint8_t*) override { return 0; }
    int PollAnyCard(uint8_t*, uint8_t*) override { return 0; }
    int PollSystem(uint16_t) override { return 0; }

protected:
    // Blocks asked for in one exchange; a card that refuses that many is read one by one.
    static constexpr unsigned kBlocksPerRun = 10;

    enum class RunResult {
        Read,      // the blocks came, 16 bytes each
        Refused,   // the card or reader will not read that many blocks at once
        CardError, // the card reported a status error: the read ends with what it has
        Failed,    // the exchange failed
    };
    // Reads count blocks from first on, appending them to blocks.
    using ReadRun = std::function<RunResult(uint8_t first, unsigned count, HistoryBlockList& blocks)>;

    // The ReadBlocks rule over runs of blocks: blocks 0 .. nBlocks-1 in order, stopping with
    // success at an empty block or a card status error; a failed exchange empties pBlocks and
    // gives 0. The caller's transaction stays open.
    static int ReadInRuns(HistoryBlockList* pBlocks, uint8_t nBlocks, const ReadRun& readRun);
};
