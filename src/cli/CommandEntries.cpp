#include "cli/CommandEntries.h"

#include "cli/EntryJsonWriter.h"
#include "cli/ExitCode.h"
#include "document/CorvaneDoc.h"

#include <QCommandLineParser>

int LoadCommandEntries(const QCommandLineParser& parser, CCorvaneDoc& document)
{
    const QStringList args = parser.positionalArguments();
    const QString command = args.value(0);
    const bool fromCard = parser.isSet(QStringLiteral("card-image"));
    if (args.size() != (fromCard ? 1 : 2))
        return Usage(command + QStringLiteral(" takes one entry file or --card-image"));
    if (!fromCard)
        return OpenNamedEntryFile(parser, args.at(1), document);
    SCardSummary summary;
    return ReadCardEntries(parser, document.m_data, summary);
}
