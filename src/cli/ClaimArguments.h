// The arguments the claim commands (export, report) share.
#pragma once

#include "card/EntryInfo.h"
#include "claim/ClaimCsvWriter.h"
#include "claim/ClaimPeriod.h"

#include <vector>

class CCorvaneDoc;
class QCommandLineParser;

// --apply-only, --columns, --encoding, --from, --to.
void AddClaimOptions(QCommandLineParser& parser);

struct SClaimInput {
    CClaimPeriod period;
    std::vector<const CEntryInfo*> rows;    // the entries in the period, in order
};

// --columns, --encoding and --apply-only as a claim CSV's options; the settings
// record plays no part, so a run writes the same file wherever it runs. Returns
// EXIT_OK or the exit code of the reported usage error.
int ClaimCsvOptionsFromArguments(const QCommandLineParser& parser, SClaimCsvOptions& options);
// The same for the printing commands (read, show, history) when format is
// "csv": the columns default to defaultColumns, the text to UTF-8 without a
// byte order mark. Any other format takes no CSV options: EXIT_OK.
int PrintedCsvOptionsFromArguments(const QCommandLineParser& parser, const QString& format,
                                   const char* defaultColumns, SClaimCsvOptions& options);
// --from and --to; returns EXIT_OK or the exit code of the reported usage error.
int ClaimPeriodFromArguments(const QCommandLineParser& parser, CClaimPeriod& period);

// Checks --output, --from and --to, loads the entries (FILE.ent or
// --card-image) into document and picks those in the period. Returns EXIT_OK
// or the exit code of the reported failure.
int LoadClaimInput(const QCommandLineParser& parser, CCorvaneDoc& document, SClaimInput& input);
