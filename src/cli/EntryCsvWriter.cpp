#include "cli/EntryCsvWriter.h"

#include "view/HistoryColumns.h"
#include "resources/StringTable.h"

#include <QStringList>

namespace {

QString CsvField(const QString& text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : text) {
        if (special.contains(c)) {
            QString quoted = text;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + quoted + QLatin1Char('"');
        }
    }
    return text;
}

QByteArray CsvLine(const QStringList& fields)
{
    QStringList quoted;
    for (const QString& field : fields)
        quoted << CsvField(field);
    return quoted.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

} // namespace

QByteArray EntriesToCsv(const CEntryList& entries)
{
    QStringList titles;
    for (const HistoryColumn& column : HistoryColumns())
        titles << LoadResString(column.titleId);
    QByteArray out = CsvLine(titles);
    for (const auto& entry : entries) {
        QStringList cells;
        cells << QString::number(entry->apply != 0 ? 1 : 0);
        for (int column = 1; column < kHistoryColumnCount; ++column)
            cells << HistoryCellText(*entry, column).trimmed();
        out += CsvLine(cells);
    }
    return out;
}
