// The claim CSV: the chosen columns of the given entries, for a spreadsheet.
#pragma once

#include "card/EntryInfo.h"
#include "claim/CsvEncoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <vector>

class CAppProfile;

struct SClaimCsvOptions {
    std::vector<int> columns;   // 1-based claim column numbers, in output order
    bool applyOnly = false;     // only entries that count towards the claim
    bool titleRow = true;       // a first row of column titles
    CsvEncoding encoding = CsvEncoding::ShiftJis;
    bool byteOrderMark = true;  // a UTF-8 file starts with one; a stream for other programs does not
};

// The options as the settings record holds them ("CsvOutputItem",
// "CsvApplyOnly", "CsvOutputHeader", "CsvEncoding"); a column list that does
// not parse gives the default columns.
SClaimCsvOptions ClaimCsvOptionsFrom(const CAppProfile& profile);
void StoreClaimCsvOptions(const SClaimCsvOptions& options, CAppProfile& profile);

// The entries that an export with applyOnly holds, in the given order.
std::vector<const CEntryInfo*> ClaimRows(const std::vector<const CEntryInfo*>& entries, bool applyOnly);

// The one CSV form of every export: the byte order mark of a UTF-8 file, the
// title row, one record per entry, quoted as RFC 4180 has it; CRLF line ends.
// Handed to write a record at a time, so a long list never exists whole.
void WriteClaimCsvRecords(const std::vector<const CEntryInfo*>& entries, const SClaimCsvOptions& options,
                          const std::function<void(QByteArrayView)>& write);
// The same as one text.
QByteArray ClaimEntriesToCsv(const std::vector<const CEntryInfo*>& entries, const SClaimCsvOptions& options);

// Writes the file through a temporary one, so a failure leaves an old file
// whole; false with the reason in error.
bool WriteClaimCsv(const QString& path, const std::vector<const CEntryInfo*>& entries,
                   const SClaimCsvOptions& options, QString& error);
