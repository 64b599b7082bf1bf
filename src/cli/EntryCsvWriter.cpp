#include "cli/EntryCsvWriter.h"

#include "claim/CsvLine.h"
#include "view/HistoryColumns.h"
#include "resources/StringTable.h"

#include <QStringList>

namespace {

QByteArray CsvRecord(const QStringList& fields)
{
    return CsvLine(fields).toUtf8() + "\r\n";
}

} // namespace

QByteArray EntriesToCsv(const CEntryList& entries)
{
    QStringList titles;
    for (const HistoryColumn& column : HistoryColumns())
        titles << LoadResString(column.titleId);
    QByteArray out = CsvRecord(titles);
    for (const auto& entry : entries) {
        QStringList cells;
        cells << QString::number(entry->apply != 0 ? 1 : 0);
        for (int column = 1; column < kHistoryColumnCount; ++column)
            cells << HistoryCellText(*entry, column).trimmed();
        out += CsvRecord(cells);
    }
    return out;
}
