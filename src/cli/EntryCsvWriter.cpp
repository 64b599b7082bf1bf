#include "cli/EntryCsvWriter.h"

#include "cli/OutputSink.h"

#include <vector>

void WriteEntriesCsv(COutputSink& out, const CEntryList& entries, const SClaimCsvOptions& options)
{
    std::vector<const CEntryInfo*> rows;
    rows.reserve(entries.size());
    for (const auto& entry : entries)
        rows.push_back(entry.get());
    WriteClaimCsvRecords(rows, options, [&out](QByteArrayView bytes) { out.Write(bytes); });
}
