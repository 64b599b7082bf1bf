#include "cli/ExportCommand.h"

#include "claim/ClaimCsvWriter.h"
#include "cli/ClaimArguments.h"
#include "cli/CommandEntries.h"
#include "cli/ExitCode.h"
#include "document/CorvaneDoc.h"

#include <QCommandLineParser>

int RunExport(const QCommandLineParser& parser)
{
    SClaimCsvOptions options;
    if (const int rc = ClaimCsvOptionsFromArguments(parser, options); rc != EXIT_OK)
        return rc;
    CCorvaneDoc document;
    SClaimInput input;
    if (const int rc = LoadClaimInput(parser, document, input); rc != EXIT_OK)
        return rc;
    QString error;
    if (!WriteClaimCsv(parser.value(QStringLiteral("output")), input.rows, options, error)) {
        Fail(error);
        return EXIT_FILE;
    }
    return EXIT_OK;
}
