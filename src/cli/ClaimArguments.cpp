#include "cli/ClaimArguments.h"

#include "claim/ClaimColumns.h"
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
    parser.addOption({QStringLiteral("encoding"), QStringLiteral("sjis or utf8 (export: sjis by default, others utf8)."), QStringLiteral("NAME")});
    parser.addOption({QStringLiteral("from"), QStringLiteral("First day of the period."), QStringLiteral("DATE")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("Last day of the period."), QStringLiteral("DATE")});
}

namespace {

int CsvOptionsFromArguments(const QCommandLineParser& parser, const char* defaultColumns, SClaimCsvOptions& options)
{
    const QString columns = parser.isSet(QStringLiteral("columns")) ? parser.value(QStringLiteral("columns"))
                                                                     : QString::fromLatin1(defaultColumns);
    if (!ParseClaimColumns(columns, options.columns))
        return Usage(QStringLiteral("--columns takes column numbers from 1 to %1, such as 2,5,8").arg(kClaimColumnCount));
    if (parser.isSet(QStringLiteral("encoding")) &&
        !ParseCsvEncoding(parser.value(QStringLiteral("encoding")), options.encoding))
        return Usage(QStringLiteral("--encoding is sjis or utf8"));
    options.applyOnly = parser.isSet(QStringLiteral("apply-only"));
    return EXIT_OK;
}

} // namespace

int ClaimCsvOptionsFromArguments(const QCommandLineParser& parser, SClaimCsvOptions& options)
{
    return CsvOptionsFromArguments(parser, kDefaultClaimColumns, options);
}

int PrintedCsvOptionsFromArguments(const QCommandLineParser& parser, const QString& format,
                                   const char* defaultColumns, SClaimCsvOptions& options)
{
    if (format != QLatin1String("csv"))
        return EXIT_OK;
    options.encoding = CsvEncoding::Utf8Bom;
    options.byteOrderMark = false;
    return CsvOptionsFromArguments(parser, defaultColumns, options);
}

int ClaimPeriodFromArguments(const QCommandLineParser& parser, CClaimPeriod& period)
{
    if (!DateOption(parser, QStringLiteral("from"), period.m_from) ||
        !DateOption(parser, QStringLiteral("to"), period.m_to))
        return Usage(QStringLiteral("--from and --to take a date as YYYY-MM-DD"));
    if (!period.m_from.isNull() && !period.m_to.isNull() && period.m_from > period.m_to)
        return Usage(QStringLiteral("--from is after --to"));
    return EXIT_OK;
}

int LoadClaimInput(const QCommandLineParser& parser, CCorvaneDoc& document, SClaimInput& input)
{
    const QString command = parser.positionalArguments().value(0);
    if (parser.value(QStringLiteral("output")).isEmpty())
        return Usage(command + QStringLiteral(" needs --output"));
    if (const int rc = ClaimPeriodFromArguments(parser, input.period); rc != EXIT_OK)
        return rc;
    if (const int rc = LoadCommandEntries(parser, document); rc != EXIT_OK)
        return rc;
    input.rows = EntriesInPeriod(document.m_data.m_entries, input.period);
    return EXIT_OK;
}
