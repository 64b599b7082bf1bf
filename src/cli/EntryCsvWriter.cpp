#include "cli/EntryCsvWriter.h"

#include "cli/OutputSink.h"
#include "view/HistoryColumns.h"
#include "resources/StringTable.h"

#include <QBuffer>
#include <QStringEncoder>

namespace {

bool NeedsQuotes(const QString& text)
{
    for (const QChar c : text) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

void AppendField(QString& line, const QString& text)
{
    if (!NeedsQuotes(text)) {
        line += text;
        return;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    line += QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Encoded straight into the output; the line is kept for the next one, so its room is made once.
void WriteLine(COutputSink& out, QStringEncoder& utf8, QString& line)
{
    line += QStringLiteral("\r\n");
    char* const start = out.Reserve(utf8.requiredSpace(line.size()));
    out.Advance(utf8.appendToBuffer(start, line) - start);
    line.resize(0);
}

} // namespace

void WriteEntriesCsv(COutputSink& out, const CEntryList& entries)
{
    QStringEncoder utf8(QStringEncoder::Utf8);
    QString line;
    for (const HistoryColumn& column : HistoryColumns()) {
        if (!line.isEmpty())
            line += QLatin1Char(',');
        AppendField(line, LoadResString(column.titleId));
    }
    WriteLine(out, utf8, line);
    for (const auto& entry : entries) {
        line += entry->apply != 0 ? QLatin1Char('1') : QLatin1Char('0');
        for (int column = 1; column < kHistoryColumnCount; ++column) {
            line += QLatin1Char(',');
            AppendField(line, HistoryCellText(*entry, column).trimmed());
        }
        WriteLine(out, utf8, line);
    }
}

QByteArray EntriesToCsv(const CEntryList& entries)
{
    QByteArray text;
    QBuffer buffer(&text);
    buffer.open(QIODevice::WriteOnly);
    COutputSink sink(buffer);
    WriteEntriesCsv(sink, entries);
    sink.Flush();
    return text;
}
