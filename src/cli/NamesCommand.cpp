#include "cli/NamesCommand.h"

#include "card/AppMessage.h"
#include "claim/CsvLine.h"
#include "cli/CommandEntries.h"
#include "cli/EntryJsonWriter.h"
#include "cli/ExitCode.h"
#include "cli/HistoryCommand.h"
#include "cli/OutputSink.h"
#include "cli/OutputTarget.h"
#include "usernames/UserNames.h"

#include <QCommandLineParser>

#include <vector>

namespace {

void WriteNamesJson(COutputSink& out, const std::vector<SUserName>& names)
{
    out.Write("{\n  \"names\": [");
    for (size_t i = 0; i < names.size(); ++i) {
        const SUserName& name = names[i];
        out.Write(i == 0 ? QByteArrayView("\n") : QByteArrayView(",\n"));
        out.Write("    {\"kind\": ");
        WriteJsonString(out, name.key.KindText());
        out.Write(", \"code\": ");
        WriteJsonString(out, name.key.Text());
        out.Write(", \"company\": ");
        WriteJsonString(out, name.company);
        out.Write(", \"line\": ");
        WriteJsonString(out, name.line);
        out.Write(", \"station\": ");
        WriteJsonString(out, name.station);
        out.Write("}");
    }
    out.Write(names.empty() ? QByteArrayView("]\n}\n") : QByteArrayView("\n  ]\n}\n"));
}

// UTF-8 and CRLF, as the tool's other CSV.
void WriteNamesCsv(COutputSink& out, const std::vector<SUserName>& names)
{
    out.Write("kind,code,company,line,station\r\n");
    for (const SUserName& name : names) {
        out.Write(CsvLine({name.key.KindText(), name.key.Text(), name.company, name.line, name.station}).toUtf8());
        out.Write("\r\n");
    }
}

// "rail|bus CODE" from the arguments after the sub-command.
int ParseKey(const QStringList& args, const QString& subCommand, SStationKey& key)
{
    EStationKind kind = EStationKind::Rail;
    if (args.size() != 4 || !SStationKey::ParseKind(args.at(2), kind))
        return Usage(QStringLiteral("names %1 takes rail AREA-LINE-STATION or bus LINE-STOP").arg(subCommand));
    QString error;
    if (!SStationKey::Parse(kind, args.at(3), key, error))
        return Usage(error);
    return EXIT_OK;
}

int RunList(const QCommandLineParser& parser, const QString& format, const COutputTarget& output)
{
    if (parser.positionalArguments().size() != 2)
        return Usage(QStringLiteral("names list takes no further argument"));
    CUserNames names = LoadUserNames(parser);
    if (!names.LastError().isEmpty())
        return EXIT_FILE;
    const std::vector<SUserName> list = names.List();
    return output.Write([&](COutputSink& out) {
        if (format == QLatin1String("csv"))
            WriteNamesCsv(out, list);
        else
            WriteNamesJson(out, list);
    });
}

int RunSet(const QCommandLineParser& parser)
{
    SUserName name;
    if (const int rc = ParseKey(parser.positionalArguments(), QStringLiteral("set"), name.key); rc != EXIT_OK)
        return rc;
    if (!parser.isSet(QStringLiteral("station")))
        return Usage(QStringLiteral("names set needs --station NAME"));
    name.station = parser.value(QStringLiteral("station"));
    name.line = parser.value(QStringLiteral("line"));
    name.company = parser.value(QStringLiteral("company"));
    const QString problem = CUserNames::Check(name);
    if (!problem.isEmpty())
        return Usage(problem);
    CUserNames names = LoadUserNames(parser);
    if (!names.LastError().isEmpty())
        return EXIT_FILE;
    if (!names.Set(name)) {
        Fail(names.LastError());
        return EXIT_FILE;
    }
    return EXIT_OK;
}

int RunRemove(const QCommandLineParser& parser)
{
    SStationKey key;
    if (const int rc = ParseKey(parser.positionalArguments(), QStringLiteral("remove"), key); rc != EXIT_OK)
        return rc;
    for (const char* option : {"station", "line", "company"}) {
        if (parser.isSet(QString::fromLatin1(option)))
            return Usage(QStringLiteral("names remove takes no --%1").arg(QString::fromLatin1(option)));
    }
    CUserNames names = LoadUserNames(parser);
    if (!names.LastError().isEmpty())
        return EXIT_FILE;
    bool removed = false;
    if (!names.Remove(key, &removed)) {
        Fail(names.LastError());
        return EXIT_FILE;
    }
    if (!removed)
        ShowAppMessage(QStringLiteral("%1 %2 has no name of its own; nothing removed").arg(key.KindText(), key.Text()),
                       MessageIcon::Information);
    return EXIT_OK;
}

} // namespace

CUserNames LoadUserNames(const QCommandLineParser& parser)
{
    CUserNames names(CUserNames::PathBeside(ArchivePathFromArguments(parser)));
    if (!names.Load())
        Fail(names.LastError());
    return names;
}

int RunNames(const QCommandLineParser& parser, const QString& format, const COutputTarget& output)
{
    const QString subCommand = parser.positionalArguments().value(1);
    if (subCommand == QLatin1String("list"))
        return RunList(parser, format, output);
    if (subCommand == QLatin1String("set"))
        return RunSet(parser);
    if (subCommand == QLatin1String("remove"))
        return RunRemove(parser);
    return Usage(subCommand.isEmpty() ? QStringLiteral("names takes list, set or remove")
                                      : QStringLiteral("unknown names command: ") + subCommand);
}
