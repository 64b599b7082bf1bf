// A card image of one commuter's records 1-8, for tests that read the card
// more than once and find what fell off it between reads.
#pragma once

#include <QString>
#include <QStringList>

// Newest first (counter in bytes 12-14): 210 yen a trip between 東京 and
// 有楽町, two a day from 1 May 2024; record k leaves 10000 - 210 k.
inline const char* const kCommuterRecords[] = {
    "16010000 30A4 01020101 8020 000008 00",
    "16010000 30A4 01010102 5221 000007 00",
    "16010000 30A3 01020101 2422 000006 00",
    "16010000 30A3 01010102 F622 000005 00",
    "16010000 30A2 01020101 C823 000004 00",
    "16010000 30A2 01010102 9A24 000003 00",
    "16010000 30A1 01020101 6C25 000002 00",
    "16010000 30A1 01010102 3E26 000001 00",
};

// The JSON card image holding records first .. last.
inline QString CommuterCardJson(int first, int last, const char* idm = "01010312A4B5C6D7")
{
    QStringList history;
    for (int k = last; k >= first; --k)
        history << QLatin1Char('"') + QString::fromLatin1(kCommuterRecords[8 - k]).remove(QLatin1Char(' ')) +
                       QLatin1Char('"');
    return QStringLiteral(R"({"idm": "%1", "pmm": "100B4B428485D0FF", "systems": ["0003"], "history": [%2]})")
        .arg(QString::fromLatin1(idm), history.join(QLatin1Char(',')));
}
