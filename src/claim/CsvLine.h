// One CSV record as RFC 4180 has it: fields joined by commas, a field holding a
// comma, a quote or a line break enclosed in quotes with its quotes doubled.
#pragma once

#include <QString>
#include <QStringList>

// The record without its line end; callers add CRLF after encoding.
QString CsvLine(const QStringList& fields);
