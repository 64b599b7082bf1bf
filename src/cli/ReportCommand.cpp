#include "cli/ReportCommand.h"

#include "card/AppMessage.h"
#include "card/GateLog.h"
#include "claim/ClaimReport.h"
#include "claim/ClaimReportPainter.h"
#include "cli/ClaimArguments.h"
#include "cli/CommandEntries.h"
#include "cli/ExitCode.h"
#include "cli/OutputTarget.h"
#include "document/CorvaneDoc.h"
#include "resources/StringTable.h"

#include <QCommandLineParser>

#include <algorithm>

int RunReport(const QCommandLineParser& parser, const COutputTarget& output)
{
    CCorvaneDoc document;
    SClaimInput input;
    if (const int rc = LoadClaimInput(parser, document, input); rc != EXIT_OK)
        return rc;
    SClaimReport report = MakeClaimReport(input.rows, parser.isSet(QStringLiteral("apply-only")), input.period,
                                          document.m_data.m_card, QDate::currentDate());
    // Without a list to switch it on, the times are shown where there are any.
    report.bShowTime = std::any_of(report.rows.begin(), report.rows.end(),
                                   [](const CEntryInfo* e) { return !GateTimesText(*e).isEmpty(); });
    const QByteArray pdf = ClaimReportPdf(report);
    if (pdf.isEmpty()) {
        Fail(parser.value(QStringLiteral("output")) + QStringLiteral(": ") + LoadResString(AFX_IDP_FAILED_TO_SAVE_DOC));
        return EXIT_FILE;
    }
    return output.Write(pdf);
}
