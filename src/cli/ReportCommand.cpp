#include "cli/ReportCommand.h"

#include "claim/ClaimReport.h"
#include "claim/ClaimReportPainter.h"
#include "cli/ClaimArguments.h"
#include "cli/CommandEntries.h"
#include "cli/ExitCode.h"
#include "document/CorvaneDoc.h"

#include <QCommandLineParser>

int RunReport(const QCommandLineParser& parser)
{
    CCorvaneDoc document;
    SClaimInput input;
    if (const int rc = LoadClaimInput(parser, document, input); rc != EXIT_OK)
        return rc;
    const SClaimReport report = MakeClaimReport(input.rows, parser.isSet(QStringLiteral("apply-only")), input.period,
                                                document.m_data.m_card, QDate::currentDate());
    QString error;
    if (!WriteClaimReportPdf(parser.value(QStringLiteral("output")), report, error)) {
        Fail(error);
        return EXIT_FILE;
    }
    return EXIT_OK;
}
