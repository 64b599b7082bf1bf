#include "CsvFile.h"

#include <QFile>
#include <QStringDecoder>

bool CCsvFile::Read(const QString& path, const QStringList& header)
{
    m_strPath = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Fail(0, file.errorString());
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return Fail(0, QStringLiteral("not UTF-8 text"));
    return Parse(path, text, header);
}

bool CCsvFile::Parse(const QString& path, const QString& text, const QStringList& header)
{
    m_strPath = path;
    m_rows.clear();
    m_strError.clear();

    std::vector<CCsvRow> rows;
    CCsvRow row;
    QString field;
    int line = 1;
    row.line = line;
    qsizetype pos = text.startsWith(QChar(0xFEFF)) ? 1 : 0;
    bool fieldStarted = false;
    while (pos < text.size()) {
        const QChar c = text.at(pos);
        if (c == u'"' && !fieldStarted && field.isEmpty()) {
            // A quoted field runs to the next lone quote; "" stands for one quote.
            const int startLine = line;
            ++pos;
            for (;;) {
                if (pos >= text.size())
                    return Fail(startLine, QStringLiteral("quoted field not closed"));
                const QChar q = text.at(pos++);
                if (q == u'"') {
                    if (pos < text.size() && text.at(pos) == u'"') {
                        field += u'"';
                        ++pos;
                        continue;
                    }
                    break;
                }
                if (q == u'\n')
                    ++line;
                field += q;
            }
            fieldStarted = true;
            if (pos < text.size() && text.at(pos) != u',' && text.at(pos) != u'\r' && text.at(pos) != u'\n')
                return Fail(line, QStringLiteral("text after a closing quote"));
            continue;
        }
        if (c == u',') {
            row.fields.append(field);
            field.clear();
            fieldStarted = false;
            ++pos;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            pos += (c == u'\r' && pos + 1 < text.size() && text.at(pos + 1) == u'\n') ? 2 : 1;
            row.fields.append(field);
            rows.push_back(std::move(row));
            row = CCsvRow{};
            field.clear();
            fieldStarted = false;
            row.line = ++line;
            continue;
        }
        if (c == u'"' || fieldStarted)
            return Fail(line, QStringLiteral("quote inside an unquoted field"));
        field += c;
        ++pos;
    }
    if (fieldStarted || !field.isEmpty() || !row.fields.isEmpty()) {
        row.fields.append(field);
        rows.push_back(std::move(row));
    }

    if (rows.empty())
        return Fail(1, QStringLiteral("no header row"));
    if (rows.front().fields != header)
        return Fail(1, QStringLiteral("header is not \"%1\"").arg(header.join(u',')));
    for (const CCsvRow& r : rows) {
        if (r.fields.size() != header.size())
            return Fail(r.line, QStringLiteral("%1 fields, expected %2").arg(r.fields.size()).arg(header.size()));
    }
    rows.erase(rows.begin());
    m_rows = std::move(rows);
    return true;
}

bool CCsvFile::Fail(int line, const QString& reason)
{
    m_rows.clear();
    m_strError = line > 0 ? QStringLiteral("%1:%2: %3").arg(m_strPath).arg(line).arg(reason)
                          : QStringLiteral("%1: %2").arg(m_strPath, reason);
    return false;
}
