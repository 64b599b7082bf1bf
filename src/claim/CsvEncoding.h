// The two encodings a claim CSV is written in.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// Values as the settings record stores them ("CsvEncoding").
enum class CsvEncoding : int32_t {
    ShiftJis = 0,   // what spreadsheets in Japan open without asking
    Utf8Bom = 1,    // UTF-8 with a byte order mark, so spreadsheets recognise it
};

// The bytes of text in encoding, without a byte order mark. In Shift_JIS a
// character that the encoding lacks becomes "?".
QByteArray EncodeCsvText(const QString& text, CsvEncoding encoding);
// The bytes a file in encoding starts with (the UTF-8 byte order mark, or nothing).
QByteArray CsvFilePrefix(CsvEncoding encoding);

// The command-line names: "sjis" and "utf8".
bool ParseCsvEncoding(const QString& name, CsvEncoding& encoding);
