#include "cli/ReportCommand.h"

#include "card/AppMessage.h"
#include "card/GateLog.h"
#include "claim/ClaimArchiveFacts.h"
#include "claim/ClaimReport.h"
#include "claim/ClaimReportPainter.h"
#include "cli/ClaimArguments.h"
#include "cli/CommandEntries.h"
#include "cli/ExitCode.h"
#include "cli/HistoryCommand.h"
#include "cli/OutputTarget.h"
#include "document/CorvaneDoc.h"
#include "history/HistoryArchive.h"
#include "resources/StringTable.h"
#include "settings/AppProfile.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

// The settings' header with the options given over it.
int HeaderFromArguments(const QCommandLineParser& parser, SClaimHeader& header)
{
    CAppProfile profile;
    profile.LoadProfile();
    header = ClaimHeaderFrom(profile);
    for (const auto& [option, field] : {std::pair{"name", &header.name}, std::pair{"department", &header.department},
                                        std::pair{"employee-id", &header.employeeId},
                                        std::pair{"purpose", &header.purpose}}) {
        if (parser.isSet(QString::fromLatin1(option)))
            *field = parser.value(QString::fromLatin1(option)).simplified();
    }
    if (parser.isSet(QStringLiteral("date"))) {
        header.date = ParseClaimDate(parser.value(QStringLiteral("date")));
        if (!header.date.isValid())
            return Usage(QStringLiteral("--date takes a date as YYYY-MM-DD"));
    }
    return EXIT_OK;
}

// An archive that cannot be read costs the report the card's name and the
// line about unread trips, not the report.
void AddArchiveFactsFromArguments(const QCommandLineParser& parser, SClaimReport& report)
{
    const QString path = ArchivePathFromArguments(parser);
    if (!QFileInfo::exists(path))
        return;
    CHistoryArchive archive(path);
    if (!AddArchiveFacts(archive, report))
        ShowAppMessage(QStringLiteral("the history archive was not read: ") + archive.LastError(),
                       MessageIcon::Exclamation);
}

} // namespace

void AddReportOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("name"), QStringLiteral("氏名 on the report."), QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("department"), QStringLiteral("所属 on the report."), QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("employee-id"), QStringLiteral("社員番号 on the report."), QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("date"), QStringLiteral("申請日 on the report (default: today)."),
                      QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("purpose"), QStringLiteral("目的/用件 on the report."), QStringLiteral("TEXT")});
}

int RunReport(const QCommandLineParser& parser, const COutputTarget& output)
{
    SClaimHeader header;
    if (const int rc = HeaderFromArguments(parser, header); rc != EXIT_OK)
        return rc;
    CCorvaneDoc document;
    SClaimInput input;
    if (const int rc = LoadClaimInput(parser, document, input); rc != EXIT_OK)
        return rc;
    SClaimReport report = MakeClaimReport(input.rows, parser.isSet(QStringLiteral("apply-only")), input.period,
                                          document.m_data.m_card, QDate::currentDate(), header);
    AddArchiveFactsFromArguments(parser, report);
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
