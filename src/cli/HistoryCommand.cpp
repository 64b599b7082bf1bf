#include "cli/HistoryCommand.h"

#include "settings/AppProfile.h"
#include "card/EntryNames.h"
#include "claim/ClaimColumns.h"
#include "claim/ClaimCsvWriter.h"
#include "claim/CsvLine.h"
#include "cli/ClaimArguments.h"
#include "cli/CommandEntries.h"
#include "cli/EntryCsvWriter.h"
#include "cli/NamesCommand.h"
#include "cli/EntryJsonWriter.h"
#include "cli/ExitCode.h"
#include "cli/OutputSink.h"
#include "cli/OutputTarget.h"
#include "card/AppMessage.h"
#include "document/CorvaneDoc.h"
#include "history/HistoryArchive.h"
#include "resources/StringTable.h"
#include "usernames/UserNames.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <optional>

namespace {

QString DayText(const QDate& day)
{
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

void WriteCardsJson(COutputSink& out, const std::vector<SArchivedCard>& cards)
{
    out.Write("{\n  \"cards\": [");
    for (size_t i = 0; i < cards.size(); ++i) {
        const SArchivedCard& card = cards[i];
        out.Write(i == 0 ? QByteArrayView("\n") : QByteArrayView(",\n"));
        out.Write("    {\n      \"idm\": \"");
        out.Write(HexText(card.idm.data(), card.idm.size()));
        out.Write("\",\n      \"name\": ");
        WriteJsonString(out, card.strName);
        out.Write(",\n      \"entries\": ");
        out.Write(QByteArray::number(card.nEntries));
        for (const auto& [key, day] : {std::pair{"firstDay", std::optional(card.firstDay)},
                                       std::pair{"lastDay", std::optional(card.lastDay)}, std::pair{"readBy", card.readBy}}) {
            out.Write(",\n      \"");
            out.Write(key);
            out.Write("\": ");
            WriteJsonDay(out, day);
        }
        out.Write("\n    }");
    }
    out.Write(cards.empty() ? QByteArrayView("]\n}\n") : QByteArrayView("\n  ]\n}\n"));
}

// CRLF and the encoding chosen, as the entries' CSV.
void WriteCardsCsv(COutputSink& out, const std::vector<SArchivedCard>& cards, CsvEncoding encoding)
{
    out.Write("idm,name,entries,firstDay,lastDay,readBy\r\n");
    for (const SArchivedCard& card : cards) {
        out.Write(EncodeCsvText(CsvLine({IdmText(card.idm), card.strName, QString::number(card.nEntries),
                                         DayText(card.firstDay), DayText(card.lastDay),
                                         DayText(card.readBy.value_or(QDate()))})
                                    + QStringLiteral("\r\n"),
                                encoding));
    }
}

// UTF-8 and CRLF, as the cards' CSV.
void WriteGapsCsv(COutputSink& out, const std::vector<SArchiveGap>& gaps)
{
    out.Write("idm,missing,afterSequence,beforeSequence,afterDate,beforeDate\r\n");
    for (const SArchiveGap& gap : gaps) {
        out.Write(CsvLine({IdmText(gap.idm), QString::number(gap.nMissing), QString::number(gap.afterSequence),
                           QString::number(gap.beforeSequence), DayText(gap.afterDay), DayText(gap.beforeDay)})
                      .toUtf8());
        out.Write("\r\n");
    }
}

int RunGaps(CHistoryArchive& archive, bool exists, const SArchiveQuery& query, const QString& format,
            const COutputTarget& output)
{
    std::vector<SArchiveGap> gaps;
    if (exists && !archive.Gaps(query, gaps)) {
        Fail(archive.LastError());
        return EXIT_FILE;
    }
    return output.Write([&](COutputSink& out) {
        if (format == QLatin1String("csv"))
            WriteGapsCsv(out, gaps);
        else
            WriteGapsJson(out, gaps);
    });
}

int RunCards(const QCommandLineParser& parser, CHistoryArchive& archive, bool exists, const QString& format,
             const SClaimCsvOptions& options, const COutputTarget& output)
{
    for (const char* option : {"idm", "from", "to"}) {
        if (parser.isSet(QString::fromLatin1(option)))
            return Usage(QStringLiteral("--cards lists every card and takes no --%1").arg(QString::fromLatin1(option)));
    }
    std::vector<SArchivedCard> cards;
    if (exists && !archive.Cards(cards)) {
        Fail(archive.LastError());
        return EXIT_FILE;
    }
    return output.Write([&](COutputSink& out) {
        if (format == QLatin1String("csv"))
            WriteCardsCsv(out, cards, options.encoding);
        else
            WriteCardsJson(out, cards);
    });
}

// The viewer's 履歴に取り込む, with its messages.
int RunImport(CHistoryArchive& archive, const QString& path)
{
    CCorvaneDoc file;
    if (const int rc = OpenEntryFile(path, file); rc != EXIT_OK)
        return rc;
    SMergeOutcome outcome;
    if (!archive.ImportEntries(file.m_data.m_entries, &outcome)) {
        ShowFailureWithReason(LoadResString(IDS_HISTORY_WRITE_FAILED), archive.LastError());
        return EXIT_FILE;
    }
    const size_t known = file.m_data.m_entries.size() - outcome.nAdded;
    ShowAppMessage(LoadResString(IDS_HISTORY_IMPORTED).arg(outcome.nAdded).arg(known), MessageIcon::Information);
    return EXIT_OK;
}

int RunRecover(const QString& path)
{
    SArchiveRecovery outcome;
    QString error;
    if (!CHistoryArchive::Recover(path, outcome, error)) {
        ShowFailureWithReason(LoadResString(IDS_HISTORY_RECOVER_FAILED), error);
        return EXIT_FILE;
    }
    ShowAppMessage(LoadResString(IDS_HISTORY_RECOVERED).arg(outcome.nRecords).arg(outcome.strDamagedPath),
                   MessageIcon::Information);
    return EXIT_OK;
}

} // namespace

QString ArchivePathFromArguments(const QCommandLineParser& parser)
{
    return parser.isSet(QStringLiteral("archive")) ? parser.value(QStringLiteral("archive"))
                                                   : CHistoryArchive::DefaultPath();
}

int RunHistory(const QCommandLineParser& parser, const QString& format, const COutputTarget& output)
{
    if (parser.positionalArguments().size() != 1)
        return Usage(QStringLiteral("history takes no file argument"));
    CHistoryArchive archive(ArchivePathFromArguments(parser));
    const bool recover = parser.isSet(QStringLiteral("recover"));
    const bool import = parser.isSet(QStringLiteral("import"));
    if (recover || import) {
        for (const char* option : {"cards", "gaps", "idm", "from", "to", "output"}) {
            if (parser.isSet(QString::fromLatin1(option)))
                return Usage(QStringLiteral("--recover and --import take no --%1").arg(QString::fromLatin1(option)));
        }
        if (recover && import)
            return Usage(QStringLiteral("--recover and --import go one at a time"));
        return recover ? RunRecover(archive.Path()) : RunImport(archive, parser.value(QStringLiteral("import")));
    }
    // Looking makes no archive: without one there is nothing in it.
    const bool exists = QFileInfo::exists(archive.Path());
    const bool gaps = parser.isSet(QStringLiteral("gaps"));
    SClaimCsvOptions options;
    if (const int rc = PrintedCsvOptionsFromArguments(parser, format, kDefaultClaimColumns, options); rc != EXIT_OK)
        return rc;
    if (parser.isSet(QStringLiteral("cards"))) {
        if (gaps)
            return Usage(QStringLiteral("--cards and --gaps go one at a time"));
        return RunCards(parser, archive, exists, format, options, output);
    }

    SArchiveQuery query;
    if (parser.isSet(QStringLiteral("idm"))) {
        IdmBytes idm{};
        if (!ParseIdm(parser.value(QStringLiteral("idm")), idm))
            return Usage(QStringLiteral("--idm takes the card's IDm as 16 hexadecimal digits"));
        query.idm = idm;
    }
    CClaimPeriod period;
    if (const int rc = ClaimPeriodFromArguments(parser, period); rc != EXIT_OK)
        return rc;
    query.from = period.m_from;
    query.to = period.m_to;
    if (gaps)
        return RunGaps(archive, exists, query, format, output);

    CEntryList entries;
    std::vector<int64_t> ids;
    if (exists && !archive.Entries(query, entries, ids)) {
        Fail(archive.LastError());
        return EXIT_FILE;
    }
    CAppProfile profile;
    LoadCommandProfile(parser, profile);
    const CUserNames userNames = LoadUserNames(parser);
    RenameEntries(entries, profile.GetConnectString(), profile.GetPassword(), &userNames);
    return output.Write([&](COutputSink& out) {
        if (format == QLatin1String("csv"))
            WriteEntriesCsv(out, entries, options);
        else
            WriteEntriesJson(out, entries, std::nullopt, std::nullopt);
    });
}
