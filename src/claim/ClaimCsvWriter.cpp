#include "claim/ClaimCsvWriter.h"

#include "settings/AppProfile.h"
#include "claim/ClaimColumns.h"
#include "claim/CsvLine.h"
#include "document/OutputFile.h"
#include "document/WriteAll.h"

#include <QStringList>

SClaimCsvOptions ClaimCsvOptionsFrom(const CAppProfile& profile)
{
    SClaimCsvOptions options;
    if (!ParseClaimColumns(profile.m_strCsvOutputItem, options.columns))
        ParseClaimColumns(QString::fromLatin1(kDefaultClaimColumns), options.columns);
    options.applyOnly = profile.m_bCsvApplyOnly != 0;
    options.titleRow = profile.m_bCsvOutputHeader != 0;
    options.encoding = profile.m_nCsvEncoding == static_cast<int32_t>(CsvEncoding::Utf8Bom) ? CsvEncoding::Utf8Bom
                                                                                             : CsvEncoding::ShiftJis;
    return options;
}

void StoreClaimCsvOptions(const SClaimCsvOptions& options, CAppProfile& profile)
{
    profile.m_strCsvOutputItem = ClaimColumnsText(options.columns);
    profile.m_bCsvApplyOnly = options.applyOnly ? 1 : 0;
    profile.m_bCsvOutputHeader = options.titleRow ? 1 : 0;
    profile.m_nCsvEncoding = static_cast<int32_t>(options.encoding);
}

std::vector<const CEntryInfo*> ClaimRows(const std::vector<const CEntryInfo*>& entries, bool applyOnly)
{
    std::vector<const CEntryInfo*> rows;
    for (const CEntryInfo* entry : entries) {
        if (entry && (!applyOnly || entry->apply != 0))
            rows.push_back(entry);
    }
    return rows;
}

QByteArray ClaimEntriesToCsv(const std::vector<const CEntryInfo*>& entries, const SClaimCsvOptions& options)
{
    QString text;
    const auto addLine = [&text](const QStringList& fields) { text += CsvLine(fields) + QStringLiteral("\r\n"); };
    if (options.titleRow) {
        QStringList titles;
        for (const int column : options.columns)
            titles << ClaimColumnTitle(column);
        addLine(titles);
    }
    for (const CEntryInfo* entry : ClaimRows(entries, options.applyOnly)) {
        QStringList cells;
        for (const int column : options.columns)
            cells << ClaimCellText(*entry, column);
        addLine(cells);
    }
    return CsvFilePrefix(options.encoding) + EncodeCsvText(text, options.encoding);
}

bool WriteClaimCsv(const QString& path, const std::vector<const CEntryInfo*>& entries,
                   const SClaimCsvOptions& options, QString& error)
{
    const QByteArray bytes = ClaimEntriesToCsv(entries, options);
    QString reason;
    if (!WriteOutputFile(path, [&bytes](QIODevice& device) { return WriteAll(device, bytes.constData(), bytes.size()); },
                         reason)) {
        error = path + QStringLiteral(": ") + reason;
        return false;
    }
    return true;
}
