// The entries' CSV of the printing commands (read, show, history): the claim
// export's form, streamed into the command's output.
#pragma once

#include "card/EntryInfo.h"
#include "claim/ClaimCsvWriter.h"

class COutputSink;

void WriteEntriesCsv(COutputSink& out, const CEntryList& entries, const SClaimCsvOptions& options);
