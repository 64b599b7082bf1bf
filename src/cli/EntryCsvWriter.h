// Entries as CSV: the history list's column titles, then its cell texts a row.
#pragma once

#include "card/EntryInfo.h"

#include <QByteArray>

class COutputSink;

// RFC 4180, UTF-8, CRLF line ends. The first column ("申請") holds 1 for an
// entry that counts towards the claim, else 0; amounts lose their padding.
// Written a row at a time.
void WriteEntriesCsv(COutputSink& out, const CEntryList& entries);
// The same as one text.
QByteArray EntriesToCsv(const CEntryList& entries);
