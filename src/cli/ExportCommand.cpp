#include "cli/ExportCommand.h"

#include "claim/ClaimColumns.h"
#include "claim/ClaimCsvWriter.h"
#include "cli/ClaimArguments.h"
#include "cli/CommandEntries.h"
#include "cli/ExitCode.h"
#include "document/CorvaneDoc.h"

#include <QCommandLineParser>

namespace {

// The options the arguments give; the settings record plays no part, so a run
// writes the same file wherever it runs.
int ExportOptions(const QCommandLineParser& parser, SClaimCsvOptions& options)
{
    const QString columns = parser.isSet(QStringLiteral("columns")) ? parser.value(QStringLiteral("columns"))
                                                                     : QString::fromLatin1(kDefaultClaimColumns);
    if (!ParseClaimColumns(columns, options.columns))
        return Usage(QStringLiteral("--columns takes column numbers from 1 to %1, such as 2,5,8").arg(kClaimColumnCount));
    if (parser.isSet(QStringLiteral("encoding")) &&
        !ParseCsvEncoding(parser.value(QStringLiteral("encoding")), options.encoding))
        return Usage(QStringLiteral("--encoding is sjis or utf8"));
    options.applyOnly = parser.isSet(QStringLiteral("apply-only"));
    return EXIT_OK;
}

} // namespace

int RunExport(const QCommandLineParser& parser)
{
    SClaimCsvOptions options;
    if (const int rc = ExportOptions(parser, options); rc != EXIT_OK)
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
