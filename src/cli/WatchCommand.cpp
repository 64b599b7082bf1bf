#include "cli/WatchCommand.h"

#include "card/AppMessage.h"
#include "cli/CommandEntries.h"
#include "cli/EntryJsonWriter.h"
#include "cli/ExitCode.h"
#include "cli/HistoryCommand.h"
#include "cli/WatchReport.h"
#include "cli/WatchStop.h"
#include "document/EntryInfoData.h"
#include "history/HistoryArchive.h"
#include "readers/CardReadAttempt.h"
#include "readers/CardReadResult.h"
#include "readers/ReaderWatch.h"
#include "readers/PcscService.h"
#include "reading/ArchivedRead.h"
#include "resources/StringTable.h"

#include <QCommandLineParser>
#include <QDate>
#include <QFile>

#include <cstdio>
#include <optional>
#include <string>

namespace {

// One blocking wait at most. Cards laid and readers coming and going wake it at once; a
// pcscd that stopped does not (pcsc-lite's client keeps waiting on it), so this is how
// long a stopped service may go unnoticed. A wake-up costs two calls to the service.
constexpr DWORD kWaitMs = 3000;
// Between tries to reach the service while it is away.
constexpr int kRetryMs = 1000;
// The wait for the card once pcscd has seen it laid: a card laid askew gets a few tries.
constexpr int kReadSeconds = 3;

QString WaitFailureText(LONG rc)
{
    // A broken connection to pcscd is pcscd gone: pcsc-lite says so on the first call after.
    const bool serviceGone = rc == SCARD_E_NO_SERVICE || rc == SCARD_E_SERVICE_STOPPED || rc == SCARD_F_COMM_ERROR;
    return serviceGone ? ServiceStoppedText() : LoadResString(IDS_READER_OPEN_FAILED);
}

void ReadLaidCard(const QCommandLineParser& parser, CWatchStop& stop, CWatchReport& report)
{
    CHistoryArchive archive(ArchivePathFromArguments(parser));
    CEntryInfoData data;
    SCardSummary summary;
    SReadArchiving archiving;
    const CardWaitFunction wait = [&stop](CCardReadAttempt& attempt, int) {
        stop.SetAttempt(&attempt);
        const bool read = WaitForCard(attempt, kReadSeconds, [&stop](int ms) { stop.Sleep(ms); });
        stop.SetAttempt(nullptr);
        return read;
    };
    // A read that failed has been told through the message presenter.
    if (ReadArchivedCard(parser, data, summary, &archive, wait, archiving) != EXIT_OK)
        return;
    if (!archiving.bArchived) {
        report.Failure(QStringLiteral("the read was not archived: ") + archiving.strError);
        return;
    }
    report.Saved({archiving.nAdded, summary.balance, NewGapsText(summary.gaps), summary.readBy});
}

} // namespace

int RunWatch(const QCommandLineParser& parser, QIODevice& standardOutput)
{
    CWatchStop stop;
    const CPcscCancelScope cancelScope(stop.PcscCancel());
    QFile standardError;
    standardError.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    CWatchReport report(standardOutput, standardError, parser.isSet(QStringLiteral("quiet")));
    // What the read says goes where the watcher tells things; nothing once the stop called
    // the read off.
    const MessagePresenter previous = SetMessagePresenter([&stop, &report](const QString& text, MessageIcon) {
        if (!stop.Stopped())
            report.Failure(text);
    });

    CReaderWatch watch(parser.value(QStringLiteral("reader")).toStdString());
    while (!stop.Stopped()) {
        std::string reader;
        const LONG rc = watch.WaitForCard(kWaitMs, reader);
        if (stop.Stopped())
            break;
        if (rc == SCARD_S_SUCCESS || rc == SCARD_E_TIMEOUT)
            report.Recovered();
        if (rc == SCARD_S_SUCCESS)
            ReadLaidCard(parser, stop, report);
        else if (rc != SCARD_E_TIMEOUT) {
            if (rc != SCARD_E_NO_READERS_AVAILABLE)
                report.Failure(WaitFailureText(rc));
            stop.Sleep(kRetryMs);
        }
    }
    SetMessagePresenter(previous);
    return EXIT_OK;
}
