// Reading the station data's CSV files: UTF-8, RFC 4180 quoting, one header row.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

struct CCsvRow {
    int line = 0;              // line of the file where the row starts, from 1
    QStringList fields;
};

class CCsvFile {
public:
    // Reads path, checks that its header is exactly header and that every row has
    // as many fields. On failure ErrorText() names the file, the line and the reason.
    bool Read(const QString& path, const QStringList& header);
    // The same for text already in memory; path only names it in messages.
    bool Parse(const QString& path, const QString& text, const QStringList& header);

    const std::vector<CCsvRow>& Rows() const { return m_rows; }
    QString ErrorText() const { return m_strError; }

private:
    bool Fail(int line, const QString& reason);

    QString m_strPath;
    std::vector<CCsvRow> m_rows;
    QString m_strError;
};
