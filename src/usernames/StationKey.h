// The code of a station or bus stop as the station data writes it: rail
// "AREA-LINE-STATION", bus "LINE-STOP", decimal.
#pragma once

#include <QString>

#include <compare>

enum class EStationKind { Rail, Bus };

struct SStationKey {
    EStationKind kind = EStationKind::Rail;
    int area = 0;        // rail only, 0..255
    int line = 0;        // rail 0..255; bus line 0..65535
    int station = 0;     // rail 0..255; bus stop 0..65535

    static SStationKey Rail(int area, int line, int station) { return {EStationKind::Rail, area, line, station}; }
    static SStationKey Bus(int line, int stop) { return {EStationKind::Bus, 0, line, stop}; }

    // "0-3-46" or "3665-1866".
    QString Text() const;
    // "rail" or "bus".
    QString KindText() const;
    // Reads text as a code of kind; false with a message naming what is wrong.
    static bool Parse(EStationKind kind, const QString& text, SStationKey& key, QString& error);
    // "rail" or "bus" into kind; false for anything else.
    static bool ParseKind(const QString& text, EStationKind& kind);

    auto operator<=>(const SStationKey&) const = default;
};
