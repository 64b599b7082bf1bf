#include "cli/VoluniCommand.h"

#include "card/AppMessage.h"
#include "app/AppProfile.h"
#include "document/ArchiveError.h"
#include "readers/sim/CardImage.h"
#include "readers/CardReadAttempt.h"
#include "card/CardSession.h"
#include "document/CorvaneDoc.h"
#include "cli/EntryCsvWriter.h"
#include "cli/EntryJsonWriter.h"
#include "cli/ExitCode.h"
#include "card/HistoryDecoder.h"
#include "readers/sim/SimulatedPcscService.h"
#include "resources/StringTable.h"

#include <QCommandLineParser>
#include <QFile>
#include <QSaveFile>
#include <QThread>

#include <algorithm>
#include <memory>

namespace {

const char* const kHelp = R"(Usage:
  voluni read [--card-image FILE] [--reader NAME] [--polling-time SECONDS]
              [--database FILE] [--format json|csv] [--output FILE]
  voluni show FILE.ent [--format json|csv] [--output FILE]

read   Reads the card on the reader (or the card image given with --card-image,
       laid on a simulated reader named by --reader), names its stations from
       the viewer's station database (or --database) and prints card and
       entries.
       --polling-time defaults to the viewer's PollingTime setting; 0 means
       a single attempt.
show   Loads an entry file (.ent) and prints its entries.

JSON (the default) holds every field of every entry, oldest first; CSV holds
the history list's columns, the first one 1 for an entry that counts towards
the claim. Messages go to standard error.

Exit codes:
  0  success
  2  usage error
  3  no card reader connected
  4  the card reader could not be opened
  5  the smart-card service is stopped
  6  no card was read within the polling time
  7  a history block holds an invalid date
  8  file error (entry file unreadable or of an unknown format, output not written)
  9  the card image is missing or malformed
)";

void Fail(const QString& message)
{
    ShowAppMessage(message, MessageIcon::Stop);
}

int Usage(const QString& message)
{
    Fail(message + QStringLiteral("\nTry 'voluni --help'."));
    return EXIT_USAGE;
}

int Emit(const QByteArray& text, const QString& outputPath, QByteArray& output)
{
    if (outputPath.isEmpty()) {
        output = text;
        return EXIT_OK;
    }
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        Fail(outputPath + QStringLiteral(": ") + file.errorString());
        return EXIT_FILE;
    }
    return EXIT_OK;
}

int ReaderFailure(int rc)
{
    switch (rc) {
    case -3:
        Fail(LoadResString(IDS_SMARTCARD_SERVICE_STOPPED));
        return EXIT_SERVICE_STOPPED;
    case -2:
        Fail(LoadResString(IDS_READER_NOT_CONNECTED));
        return EXIT_NO_READER;
    case -5:
        Fail(LoadResString(IDS_CARD_READ_FAILED).simplified());
        return EXIT_NO_CARD;
    default:
        Fail(LoadResString(IDS_READER_OPEN_FAILED));
        return EXIT_READER_OPEN;
    }
}

int RunRead(const QCommandLineParser& parser, const QString& format, QByteArray& output)
{
    CAppProfile profile;
    profile.LoadProfile();
    if (parser.isSet(QStringLiteral("database")))
        profile.m_strConnect = CAppProfile::ConnectStringFor(parser.value(QStringLiteral("database")));

    int pollingTime = profile.m_nPollingTime;
    if (parser.isSet(QStringLiteral("polling-time"))) {
        bool ok = false;
        pollingTime = parser.value(QStringLiteral("polling-time")).toInt(&ok);
        if (!ok || pollingTime < 0)
            return Usage(QStringLiteral("--polling-time takes a whole number of seconds, 0 or more"));
    }

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

    CEntryInfoData data;
    CCardSession session(&data.m_entries, &data.m_card);
    // The tool always waits through its own loop, so that a card that never came
    // (-5) stays apart from a missing reader (-2); a polling time of 0 is one attempt.
    const auto wait = [pollingTime](CCardReadAttempt& attempt, int) {
        return WaitForCard(attempt, pollingTime, [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); });
    };
    const int rc = session.ReadCard(std::max(pollingTime, 1), wait);
    if (rc != 0)
        return ReaderFailure(rc);

    SCardSummary summary;
    summary.card = data.m_card;
    try {
        summary.balance = session.ImportHistory(profile.GetConnectString(), profile.GetPassword(), profile);
    } catch (const CInvalidDateError& e) {
        Fail(QString::fromUtf8(e.what()));
        return EXIT_INVALID_DATE;
    }

    const QByteArray text = format == QLatin1String("csv") ? EntriesToCsv(data.m_entries)
                                                           : EntriesToJson(data.m_entries, summary, std::nullopt);
    return Emit(text, parser.value(QStringLiteral("output")), output);
}

int RunShow(const QCommandLineParser& parser, const QString& format, QByteArray& output)
{
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        return Usage(QStringLiteral("show takes exactly one entry file"));
    CCorvaneDoc document;
    try {
        document.OnOpenDocument(args.at(1));
    } catch (...) {
        Fail(DocumentErrorText(std::current_exception(), false));
        return EXIT_FILE;
    }
    const CEntryInfoData& data = document.m_data;
    const QByteArray text = format == QLatin1String("csv") ? EntriesToCsv(data.m_entries)
                                                           : EntriesToJson(data.m_entries, std::nullopt, data.m_time);
    return Emit(text, parser.value(QStringLiteral("output")), output);
}

} // namespace

int RunVoluni(const QStringList& arguments, QByteArray& output)
{
    output.clear();
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kHelp));
    parser.addOption({QStringLiteral("card-image"), QStringLiteral("Card image (JSON) on a simulated reader."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("reader"), QStringLiteral("Name of the simulated reader."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("polling-time"), QStringLiteral("Seconds to wait for a card."),
                      QStringLiteral("SECONDS")});
    parser.addOption({QStringLiteral("database"), QStringLiteral("Station database file instead of the viewer's."),
                      QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("format"), QStringLiteral("json (default) or csv."), QStringLiteral("FORMAT"),
                      QStringLiteral("json")});
    parser.addOption({QStringLiteral("output"), QStringLiteral("Write to FILE instead of standard output."),
                      QStringLiteral("FILE")});
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    parser.addOption(help);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("read or show"));

    if (!parser.parse(arguments))
        return Usage(parser.errorText());
    if (parser.isSet(help)) {
        output = kHelp;
        return EXIT_OK;
    }
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("json") && format != QLatin1String("csv"))
        return Usage(QStringLiteral("--format is json or csv"));

    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    if (command == QLatin1String("read")) {
        if (args.size() != 1)
            return Usage(QStringLiteral("read takes no file argument"));
        return RunRead(parser, format, output);
    }
    if (command == QLatin1String("show"))
        return RunShow(parser, format, output);
    return Usage(command.isEmpty() ? QStringLiteral("no command given") : QStringLiteral("unknown command: ") + command);
}
