#include "claim/ClaimCsvWriter.h"

#include "settings/AppProfile.h"
#include "claim/ClaimColumns.h"
#include "claim/CsvLine.h"
#include "card/ProcessKinds.h"
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
        if (entry && (!applyOnly || CountsTowardsClaim(*entry)))
            rows.push_back(entry);
    }
    return rows;
}

void WriteClaimCsvRecords(const std::vector<const CEntryInfo*>& entries, const SClaimCsvOptions& options,
                          const std::function<void(QByteArrayView)>& write)
{
    if (options.byteOrderMark)
        write(CsvFilePrefix(options.encoding));
    QStringList fields;
    const auto writeLine = [&] {
        write(EncodeCsvText(CsvLine(fields) + QStringLiteral("\r\n"), options.encoding));
        fields.clear();
    };
    if (options.titleRow) {
        for (const int column : options.columns)
            fields << ClaimColumnTitle(column);
        writeLine();
    }
    for (const CEntryInfo* entry : ClaimRows(entries, options.applyOnly)) {
        for (const int column : options.columns)
            fields << ClaimCellText(*entry, column);
        writeLine();
    }
}

QByteArray ClaimEntriesToCsv(const std::vector<const CEntryInfo*>& entries, const SClaimCsvOptions& options)
{
    QByteArray bytes;
    WriteClaimCsvRecords(entries, options, [&bytes](QByteArrayView part) { bytes += part; });
    return bytes;
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
