#include "cli/VoluniCommand.h"

#include "card/AppMessage.h"
#include "card/EntryNames.h"
#include "settings/AppProfile.h"
#include "document/ArchiveError.h"
#include "readers/sim/CardImage.h"
#include "document/CorvaneDoc.h"
#include "claim/ClaimColumns.h"
#include "cli/ClaimArguments.h"
#include "cli/CommandEntries.h"
#include "cli/EntryCsvWriter.h"
#include "cli/ExportCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/NamesCommand.h"
#include "cli/ReportCommand.h"
#include "cli/WatchCommand.h"
#include "cli/EntryJsonWriter.h"
#include "cli/ExitCode.h"
#include "cli/OutputSink.h"
#include "cli/OutputTarget.h"
#include "cli/ReadersCommand.h"
#include "reading/CardReadCommand.h"
#include "readers/sim/SimulatedPcscService.h"
#include "resources/StringTable.h"
#include "history/HistoryArchive.h"
#include "reading/ArchivedRead.h"
#include "usernames/UserNames.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QThread>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>


void Fail(const QString& message)
{
    ShowAppMessage(message, MessageIcon::Stop);
}

int Usage(const QString& message)
{
    Fail(message + QStringLiteral("\nTry 'voluni --help'."));
    return EXIT_USAGE;
}

namespace {

const char* const kHelp = R"(Usage:
  voluni read [--card-image FILE] [--reader NAME] [--polling-time SECONDS]
              [--database FILE] [--no-archive] [--archive FILE]
              [--format json|csv] [--columns 1,2,9] [--apply-only]
              [--encoding utf8|sjis] [--output FILE]
  voluni show FILE.ent [--format json|csv] [--columns 1,2,9] [--apply-only]
              [--encoding utf8|sjis] [--output FILE]
  voluni history [--idm IDM] [--from DATE] [--to DATE] [--archive FILE]
              [--format json|csv] [--columns 2,5,8] [--apply-only]
              [--encoding utf8|sjis] [--output FILE]
  voluni history --cards [--archive FILE] [--format json|csv]
              [--encoding utf8|sjis] [--output FILE]
  voluni history --gaps [--idm IDM] [--from DATE] [--to DATE] [--archive FILE]
              [--format json|csv] [--output FILE]
  voluni history --import FILE.ent [--archive FILE]
  voluni history --recover [--archive FILE]
  voluni names list [--archive FILE] [--format json|csv] [--output FILE]
  voluni names set rail AREA-LINE-STATION --station NAME [--line NAME]
              [--company NAME] [--archive FILE]
  voluni names set bus LINE-STOP --station NAME [--line NAME] [--company NAME]
              [--archive FILE]
  voluni names remove rail|bus CODE [--archive FILE]
  voluni readers
  voluni watch [--archive FILE] [--reader NAME] [--quiet]
  voluni export FILE.ent|--card-image IMG [--apply-only] [--columns 2,5,8]
              [--encoding sjis|utf8] [--from DATE] [--to DATE] --output OUT.csv
  voluni report FILE.ent|--card-image IMG [--apply-only] [--from DATE] [--to DATE]
              [--name TEXT] [--department TEXT] [--employee-id TEXT]
              [--date DATE] [--purpose TEXT] [--archive FILE] --output OUT.pdf

--output FILE writes FILE (replaced whole, or written into when it is a pipe
or a device); "-" and /dev/stdout mean standard output.

read   Reads the card on the reader (or the card image given with --card-image,
       laid on a simulated reader named by --reader), names its stations from
       the viewer's station database (or --database) and prints card and
       entries.
       --polling-time defaults to the viewer's PollingTime setting; 0 means
       a single attempt. A successful read is merged into the history
       archive (see history) unless --no-archive is given; the archive also
       gives the oldest entry its fare when it holds the record before. An
       archive that cannot be written is reported on standard error; the
       read's output and exit code stay. Records that fell off the card
       since the last read are named on standard error (前回の読込以降の
       利用のうち n 件は…) and in the JSON's "gaps"; the exit code stays.
show   Loads an entry file (.ent) and prints its entries, the person's
       station names (see names) over the file's.
history  Prints the entries of the history archive, oldest first: every
       block ever read from each card, with the ticks, destinations and
       remarks set in the viewer, named as a read would name them now (the
       station database's names, then the person's). --idm (16
       hexadecimal digits) keeps one card, --from and --to (YYYY-MM-DD,
       both days included) a period.
       JSON as read prints it; CSV as export writes it (--columns,
       default 2,5,8,9,11,12; --apply-only), in UTF-8 unless --encoding
       sjis. --cards lists the cards instead: IDm,
       name, number of entries, first and last day, and readBy: the day
       by which the card should be read again, before records no read
       caught fall off it (its pace over the last 28 days of its archived
       records, until it has made 20 more; null, or empty in CSV, for a
       card with records on fewer than two days). --gaps lists the gaps
       instead: records a card made that no read caught, between two
       archived records whose counters are more than one apart; --idm,
       --from and --to keep the gaps of one card or touching a period. The
       archive is the viewer's (history.sqlite in its data folder,
       ~/.local/share/Ombrel/Voluni_Viewer/ on Linux); --archive names
       another file. --import takes the entries of an entry file into the
       archive, as the viewer's 履歴に取り込む does. --recover copies what can
       be read of a damaged archive (履歴ファイルが壊れています) into a new
       one, keeps the damaged file beside it as history.sqlite.damaged-<date>
       and says how many entries were saved.
names  The names the person gives stations and bus stops that the station
       database does not know or names wrongly; read, show, history, export,
       report and the viewer put them over the database's names. Codes are
       decimal, as the station data writes them: rail AREA-LINE-STATION (each
       0..255), bus LINE-STOP (each 0..65535). set keeps a name (--station is
       required; without --line or --company the database's stay), remove
       brings the database's name back, list prints them. They are kept in
       names.sqlite beside the history archive (--archive moves both).
readers  Lists every card reader pcscd offers: the reader module chosen for it
       (or why none), the card on it, its ATR and the IDm from one polling.
watch  Waits for cards until ended by SIGTERM or SIGINT (Ctrl+C) and reads
       each card laid on a reader once, as read does, into the history
       archive (or --archive); a card that stays is not read again, lifted
       and laid again it is. A card already on the reader when the watch
       begins is read too. --reader watches that reader alone (its name as
       readers lists it). Between reads it holds no reader. After each read
       it tells the desktop's notification service (or, without one, standard
       output) "n 件の利用履歴を保存しました" with the balance and any gap;
       --quiet keeps only gaps and failures. Failures (no smart-card
       service, a card not read, an archive not written) are told once,
       on the desktop or standard error, and the watch goes on. The package's
       systemd user unit runs it at login once enabled:
       systemctl --user enable --now voluni-watch
export Writes the claim CSV of the entries (the file's, or the card image's):
       --columns lists the columns by number (see below; default
       2,5,8,9,11,12), --apply-only keeps the entries that count towards the
       claim, --encoding is sjis (Shift_JIS, default) or utf8 (with a byte
       order mark). A title row comes first.
report Writes the claim report 交通費精算書 (A4, PDF) of the entries: --name
       (氏名), --department (所属), --employee-id (社員番号), --date (申請日,
       YYYY-MM-DD) and --purpose (目的/用件) fill its header, each in place of
       the viewer's 精算書の設定 (an empty field is a line to write on; the
       date is today unless set); the stamp boxes are the settings'. The
       card's name and the trips no read caught come from the history
       archive (--archive) when it holds the card.
       --from and --to (YYYY-MM-DD, both days included) limit either command
       to a period.

JSON (the default) holds every field of every entry, oldest first, and
"claimed": true for an entry that counts towards the claim (ticked, and a
fare). read's "card" object gives "readBy", the day by which the card should
be read again (as history --cards; null without an estimate or an archive). CSV is the export's: a title row, amounts as plain integers, fields
quoted where they hold a comma, a quote or a line break, CRLF line ends. read
and show write every column of the history list by default (--columns,
--apply-only as export); read, show and history write UTF-8 without a byte
order mark unless --encoding sjis. Messages go to standard error.

Columns of --columns:
%1
Exit codes:
  0  success
  2  usage error
  3  no card reader connected
  4  the card reader could not be opened
  5  the smart-card service is stopped
  6  no card was read within the polling time
  7  a history block holds an invalid date
  8  file error (entry file unreadable or of an unknown format, output not
     written, history archive unreadable)
  9  the card image is missing or malformed
)";

QString HelpText()
{
    QString columns;
    for (int column = 1; column <= kClaimColumnCount; ++column) {
        const QString note = column == 1 ? QStringLiteral(" (1 for an entry that counts towards the claim, else 0)")
                                         : QString();
        columns += QStringLiteral("  %1  %2%3\n").arg(column, 2).arg(ClaimColumnTitle(column), note);
    }
    return QString::fromUtf8(kHelp).arg(columns);
}

// The CSV of read and show holds the history list's twelve columns.
constexpr const char* kListColumns = "1,2,3,4,5,6,7,8,9,10,11,12";

// Streamed: the text of a large list never exists whole.
int WriteEntries(const QCommandLineParser& parser, const COutputTarget& output, const QString& format,
                 const CEntryList& entries, const std::optional<SCardSummary>& card,
                 const std::optional<int64_t>& time)
{
    SClaimCsvOptions options;
    if (const int rc = PrintedCsvOptionsFromArguments(parser, format, kListColumns, options); rc != EXIT_OK)
        return rc;
    return output.Write([&](COutputSink& out) {
        if (format == QLatin1String("csv"))
            WriteEntriesCsv(out, entries, options);
        else
            WriteEntriesJson(out, entries, card, time);
    });
}

int ReadFailureExit(const SCardReadOutcome& outcome)
{
    if (outcome.bInvalidDate)
        return EXIT_INVALID_DATE;
    switch (outcome.nResult) {
    case CARD_READ_SERVICE_STOPPED:
        return EXIT_SERVICE_STOPPED;
    case CARD_READ_NO_READER:
        return EXIT_NO_READER;
    case CARD_READ_CANCELLED:
        return EXIT_NO_CARD;
    default:
        return EXIT_READER_OPEN;
    }
}

} // namespace

void LoadCommandProfile(const QCommandLineParser& parser, CAppProfile& profile)
{
    profile.LoadProfile();
    if (parser.isSet(QStringLiteral("database")))
        profile.m_strConnect = CAppProfile::ConnectStringFor(parser.value(QStringLiteral("database")));
}

int ReadCardEntries(const QCommandLineParser& parser, CEntryInfoData& data, SCardSummary& summary,
                    CHistoryArchive* archive)
{
    if (parser.isSet(QStringLiteral("card-image"))) {
        CCardImage image;
        const QString error = image.LoadFile(parser.value(QStringLiteral("card-image")));
        if (!error.isEmpty()) {
            Fail(error);
            return EXIT_CARD_IMAGE;
        }
        const std::string reader = parser.isSet(QStringLiteral("reader"))
            ? parser.value(QStringLiteral("reader")).toStdString()
            : std::string(CSimulatedPcscService::kDefaultReaderName);
        SetPcscService(std::make_shared<CSimulatedPcscService>(image, reader));
    } else if (parser.isSet(QStringLiteral("reader"))) {
        return Usage(QStringLiteral("--reader names the simulated reader and needs --card-image"));
    }
    SReadArchiving archiving;
    const int rc = ReadArchivedCard(parser, data, summary, archive, {}, archiving);
    if (rc != EXIT_OK || !archive)
        return rc;
    if (!archiving.bArchived)
        ShowAppMessage(QStringLiteral("the read was not archived: ") + archiving.strError, MessageIcon::Exclamation);
    else if (!summary.gaps.empty())
        ShowAppMessage(NewGapsText(summary.gaps), MessageIcon::Information);
    return rc;
}

int ReadArchivedCard(const QCommandLineParser& parser, CEntryInfoData& data, SCardSummary& summary,
                     CHistoryArchive* archive, const CardWaitFunction& wait, SReadArchiving& archiving)
{
    CAppProfile profile;
    LoadCommandProfile(parser, profile);

    int pollingTime = profile.m_nPollingTime;
    if (parser.isSet(QStringLiteral("polling-time"))) {
        bool ok = false;
        pollingTime = parser.value(QStringLiteral("polling-time")).toInt(&ok);
        if (!ok || pollingTime < 0)
            return Usage(QStringLiteral("--polling-time takes a whole number of seconds, 0 or more"));
    }

    SCardReadRequest request;
    // The tool always waits through its own loop, so that a card that never came
    // (-5) stays apart from a missing reader (-2); a polling time of 0 is one attempt.
    request.nPollingTime = std::max(pollingTime, 1);
    request.wait = wait ? wait : [pollingTime](CCardReadAttempt& attempt, int) {
        return WaitForCard(attempt, pollingTime, [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); });
    };
    request.strConnect = profile.GetConnectString();
    request.strPassword = profile.GetPassword();
    request.destinationFor = profile.DestinationLookupFunction();
    const CUserNames userNames = LoadUserNames(parser);
    request.userNames = &userNames;
    if (archive)
        UseArchiveForRead(request, *archive);

    const SCardReadOutcome outcome = RunCardRead(data.m_entries, data.m_card, request);
    if (!outcome.Succeeded()) {
        // The wait without a window has no failure view of its own: say it here.
        Fail(outcome.nResult == CARD_READ_CANCELLED ? LoadResString(IDS_CARD_READ_FAILED).simplified()
                                                    : outcome.strMessage);
        return ReadFailureExit(outcome);
    }
    SMergeOutcome merged;
    if (archive) {
        archiving.bArchived = ArchiveRead(*archive, data.m_card, outcome, data.m_entries, &merged);
        if (!archiving.bArchived)
            archiving.strError = archive->LastError();
        archiving.nAdded = merged.nAdded;
    }

    summary.card = data.m_card;
    summary.gaps = std::move(merged.newGaps);
    // Estimated from what the archive holds with this read in it.
    if (archiving.bArchived)
        summary.readBy = archive->ReadBy(data.m_card.idm);
    summary.balance = outcome.nBalance;
    return EXIT_OK;
}

int OpenEntryFile(const QString& path, CCorvaneDoc& document)
{
    try {
        document.OnOpenDocument(path);
    } catch (...) {
        Fail(DocumentErrorText(std::current_exception(), false));
        return EXIT_FILE;
    }
    return EXIT_OK;
}

int OpenNamedEntryFile(const QCommandLineParser& parser, const QString& path, CCorvaneDoc& document)
{
    if (const int rc = OpenEntryFile(path, document); rc != EXIT_OK)
        return rc;
    ApplyUserNames(document.m_data.m_entries, LoadUserNames(parser));
    return EXIT_OK;
}

namespace {

int RunRead(const QCommandLineParser& parser, const QString& format, const COutputTarget& output)
{
    CEntryInfoData data;
    SCardSummary summary;
    std::optional<CHistoryArchive> archive;
    if (!parser.isSet(QStringLiteral("no-archive")))
        archive.emplace(ArchivePathFromArguments(parser));
    if (const int rc = ReadCardEntries(parser, data, summary, archive ? &*archive : nullptr); rc != EXIT_OK)
        return rc;
    return WriteEntries(parser, output, format, data.m_entries, summary, std::nullopt);
}

int RunShow(const QCommandLineParser& parser, const QString& format, const COutputTarget& output)
{
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        return Usage(QStringLiteral("show takes exactly one entry file"));
    CCorvaneDoc document;
    if (const int rc = OpenNamedEntryFile(parser, args.at(1), document); rc != EXIT_OK)
        return rc;
    const CEntryInfoData& data = document.m_data;
    return WriteEntries(parser, output, format, data.m_entries, std::nullopt, data.m_time);
}

} // namespace

int RunVoluni(const QStringList& arguments, QIODevice& standardOutput)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(HelpText());
    parser.addOption({QStringLiteral("card-image"), QStringLiteral("Card image (JSON) on a simulated reader."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("reader"), QStringLiteral("Name of the simulated reader, or of the reader to watch."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("quiet"), QStringLiteral("watch: tell only gaps and failures.")});
    parser.addOption({QStringLiteral("polling-time"), QStringLiteral("Seconds to wait for a card."),
                      QStringLiteral("SECONDS")});
    parser.addOption({QStringLiteral("database"), QStringLiteral("Station database file instead of the viewer's."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("format"), QStringLiteral("json (default) or csv."), QStringLiteral("FORMAT"),
                      QStringLiteral("json")});
    parser.addOption({QStringLiteral("output"), QStringLiteral("Write to FILE instead of standard output."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("no-archive"), QStringLiteral("Do not merge the read into the history archive.")});
    parser.addOption({QStringLiteral("archive"), QStringLiteral("History archive file instead of the viewer's."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("idm"), QStringLiteral("The card whose archived entries to print."),
                      QStringLiteral("IDM")});
    parser.addOption({QStringLiteral("cards"), QStringLiteral("List the archived cards.")});
    parser.addOption({QStringLiteral("gaps"), QStringLiteral("List the records no read caught.")});
    parser.addOption({QStringLiteral("station"), QStringLiteral("Station or bus stop name to keep."),
                      QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("line"), QStringLiteral("Line name to keep."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("company"), QStringLiteral("Company name to keep."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("import"), QStringLiteral("Take the entries of an entry file into the archive."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("recover"), QStringLiteral("Copy what can be read of a damaged archive into a new one.")});
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    parser.addOption(help);
    AddClaimOptions(parser);
    AddReportOptions(parser);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("read, show, history, names, readers, watch, export or report"));

    if (!parser.parse(arguments))
        return Usage(parser.errorText());
    if (parser.isSet(help))
        return COutputTarget(QString(), standardOutput).Write(HelpText().toUtf8());
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("json") && format != QLatin1String("csv"))
        return Usage(QStringLiteral("--format is json or csv"));

    const COutputTarget output(parser.value(QStringLiteral("output")), standardOutput);
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command == QLatin1String("read")) {
        if (args.size() != 1)
            return Usage(QStringLiteral("read takes no file argument"));
        return RunRead(parser, format, output);
    }
    if (command == QLatin1String("show"))
        return RunShow(parser, format, output);
    if (command == QLatin1String("history"))
        return RunHistory(parser, format, output);
    if (command == QLatin1String("names"))
        return RunNames(parser, format, output);
    if (command == QLatin1String("export"))
        return RunExport(parser, output);
    if (command == QLatin1String("watch")) {
        if (args.size() != 1)
            return Usage(QStringLiteral("watch takes no file argument"));
        return RunWatch(parser, standardOutput);
    }
    if (command == QLatin1String("report"))
        return RunReport(parser, output);
    if (command == QLatin1String("readers")) {
        // The listing is printed also when no reader in it can be used.
        QByteArray listing;
        const int rc = RunReaders(listing);
        const int written = output.Write(listing);
        return written != EXIT_OK ? written : rc;
    }
    return Usage(command.isEmpty() ? QStringLiteral("no command given") : QStringLiteral("unknown command: ") + command);
}

int RunVoluni(const QStringList& arguments, QByteArray& output)
{
    output.clear();
    QBuffer buffer(&output);
    buffer.open(QIODevice::WriteOnly);
    const int rc = RunVoluni(arguments, buffer);
    if (rc != EXIT_OK && arguments.value(1) != QLatin1String("readers"))
        output.clear();
    return rc;
}
