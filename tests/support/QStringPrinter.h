// Every test program prints a QString in a failed check as its text, not as the bytes of
// its object; the test main libraries put this before every test source.
#pragma once

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
