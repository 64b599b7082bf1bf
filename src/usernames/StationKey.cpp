#include "usernames/StationKey.h"

#include <QStringList>

#include <array>

namespace {

struct SCodePart {
    const char* name;
    int max;
};

constexpr std::array<SCodePart, 3> kRailParts{{{"area code", 255}, {"line code", 255}, {"station code", 255}}};
constexpr std::array<SCodePart, 2> kBusParts{{{"bus line code", 65535}, {"bus stop code", 65535}}};

// Digits only: no sign, no space, and few enough that the value cannot overflow.
bool IsDecimal(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

QString SStationKey::Text() const
{
    if (kind == EStationKind::Bus)
        return QStringLiteral("%1-%2").arg(line).arg(station);
    return QStringLiteral("%1-%2-%3").arg(area).arg(line).arg(station);
}

QString SStationKey::KindText() const
{
    return kind == EStationKind::Bus ? QStringLiteral("bus") : QStringLiteral("rail");
}

bool SStationKey::ParseKind(const QString& text, EStationKind& kind)
{
    if (text == QLatin1String("rail"))
        kind = EStationKind::Rail;
    else if (text == QLatin1String("bus"))
        kind = EStationKind::Bus;
    else
        return false;
    return true;
}

bool SStationKey::Parse(EStationKind kind, const QString& text, SStationKey& key, QString& error)
{
    const bool bus = kind == EStationKind::Bus;
    const QStringList parts = text.split(u'-');
    const qsizetype expected = bus ? kBusParts.size() : kRailParts.size();
    bool digits = parts.size() == expected;
    for (const QString& part : parts)
        digits = digits && IsDecimal(part);
    if (!digits) {
        error = bus ? QStringLiteral("a bus code is LINE-STOP, two decimal numbers: \"%1\"").arg(text)
                    : QStringLiteral("a rail code is AREA-LINE-STATION, three decimal numbers: \"%1\"").arg(text);
        return false;
    }
    std::array<int, 3> values{};
    for (qsizetype i = 0; i < expected; ++i) {
        const SCodePart& part = bus ? kBusParts.at(i) : kRailParts.at(i);
        values.at(i) = parts.at(i).toInt();
        if (values.at(i) > part.max) {
            error = QStringLiteral("%1 %2 is out of range 0..%3").arg(QString::fromLatin1(part.name), parts.at(i))
                        .arg(part.max);
            return false;
        }
    }
    key = bus ? Bus(values[0], values[1]) : Rail(values[0], values[1], values[2]);
    return true;
}
