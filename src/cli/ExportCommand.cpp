#include "cli/ExportCommand.h"

#include "claim/ClaimCsvWriter.h"
#include "cli/ClaimArguments.h"
#include "cli/CommandEntries.h"
#include "cli/ExitCode.h"
#include "cli/OutputTarget.h"
#include "document/CorvaneDoc.h"

#include <QCommandLineParser>

int RunExport(const QCommandLineParser& parser, const COutputTarget& output)
{
    SClaimCsvOptions options;
    if (const int rc = ClaimCsvOptionsFromArguments(parser, options); rc != EXIT_OK)
        return rc;
    CCorvaneDoc document;
    SClaimInput input;
    if (const int rc = LoadClaimInput(parser, document, input); rc != EXIT_OK)
        return rc;
    return output.Write(ClaimEntriesToCsv(input.rows, options));
}
