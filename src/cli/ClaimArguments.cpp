#include "cli/ClaimArguments.h"

#include "cli/CommandEntries.h"
#include "cli/ExitCode.h"
#include "document/CorvaneDoc.h"

#include <QCommandLineParser>

namespace {

// A date option: unset leaves day null; false for a text that is no date.
bool DateOption(const QCommandLineParser& parser, const QString& name, QDate& day)
{
    if (!parser.isSet(name))
        return true;
    day = ParseClaimDate(parser.value(name));
    return day.isValid();
}

} // namespace

void AddClaimOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("apply-only"), QStringLiteral("Only the entries that count towards the claim.")});
    parser.addOption({QStringLiteral("columns"), QStringLiteral("Columns of the claim CSV, by number."),
                      QStringLiteral("LIST")});
    parser.addOption({QStringLiteral("encoding"), QStringLiteral("sjis (default) or utf8."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("from"), QStringLiteral("First day of the period."), QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("Last day of the period."), QStringLiteral("DATE")});
}

int LoadClaimInput(const QCommandLineParser& parser, CCorvaneDoc& document, SClaimInput& input)
{
    const QString command = parser.positionalArguments().value(0);
    if (parser.value(QStringLiteral("output")).isEmpty())
        return Usage(command + QStringLiteral(" needs --output"));
    if (!DateOption(parser, QStringLiteral("from"), input.period.m_from) ||
        !DateOption(parser, QStringLiteral("to"), input.period.m_to))
        return Usage(QStringLiteral("--from and --to take a date as YYYY-MM-DD"));
    if (!input.period.m_from.isNull() && !input.period.m_to.isNull() && input.period.m_from > input.period.m_to)
        return Usage(QStringLiteral("--from is after --to"));
    if (const int rc = LoadCommandEntries(parser, document); rc != EXIT_OK)
        return rc;
    input.rows = EntriesInPeriod(document.m_data.m_entries, input.period);
    return EXIT_OK;
}
