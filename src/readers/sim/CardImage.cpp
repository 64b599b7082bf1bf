#include "readers/sim/CardImage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <span>

namespace {

constexpr uint16_t kWildcardSystem = 0xFFFF;
constexpr uint16_t kHistoryService = 0x090F;
constexpr uint16_t kGateService = 0x108F;

bool IsHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Exactly out.size() bytes written as hex digits, nothing else.
QString ParseHex(const QJsonValue& value, const QString& what, std::span<uint8_t> out)
{
    if (!value.isString())
        return QStringLiteral("%1: expected a string of %2 hex digits").arg(what).arg(out.size() * 2);
    const QString text = value.toString();
    const bool hexOnly = std::all_of(text.begin(), text.end(), IsHexDigit);
    if (!hexOnly || static_cast<size_t>(text.size()) != out.size() * 2)
        return QStringLiteral("%1: \"%2\" is not %3 hex digits").arg(what, text).arg(out.size() * 2);
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return {};
}

// An array of 32-digit hex blocks.
QString ParseBlocks(const QJsonValue& value, const QString& what, HistoryBlockList& out)
{
    if (!value.isArray())
        return QStringLiteral("%1: expected an array of 32-digit hex blocks").arg(what);
    const QJsonArray blockList = value.toArray();
    for (qsizetype i = 0; i < blockList.size(); ++i) {
        HistoryBlock block{};
        const QString error = ParseHex(blockList.at(i), QStringLiteral("%1[%2]").arg(what).arg(i), block);
        if (!error.isEmpty())
            return error;
        out.push_back(block);
    }
    return {};
}

} // namespace

QString CCardImage::LoadJson(const QByteArray& json)
{
    if (json.size() > kMaxFileSize)
        return QStringLiteral("larger than %1 bytes, too large for a card image").arg(kMaxFileSize);
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
    if (!document.isObject())
        return QStringLiteral("not JSON: expected an object");
    const QJsonObject object = document.object();

    for (const char* name : {"idm", "pmm", "systems", "history"}) {
        if (!object.contains(QLatin1String(name)))
            return QStringLiteral("missing field \"%1\"").arg(QLatin1String(name));
    }
    CCardImage image;
    QString error = ParseHex(object.value(QLatin1String("idm")), QStringLiteral("idm"), image.m_idm);
    if (error.isEmpty())
        error = ParseHex(object.value(QLatin1String("pmm")), QStringLiteral("pmm"), image.m_pmm);
    if (!error.isEmpty())
        return error;

    const QJsonValue systems = object.value(QLatin1String("systems"));
    if (!systems.isArray())
        return QStringLiteral("systems: expected an array of 4-digit hex system codes");
    const QJsonArray systemList = systems.toArray();
    for (qsizetype i = 0; i < systemList.size(); ++i) {
        std::array<uint8_t, 2> code{};
        error = ParseHex(systemList.at(i), QStringLiteral("systems[%1]").arg(i), code);
        if (!error.isEmpty())
            return error;
        image.m_systems.push_back(static_cast<uint16_t>(code[0] << 8 | code[1]));
    }

    error = ParseBlocks(object.value(QLatin1String("history")), QStringLiteral("history"), image.m_history);
    if (error.isEmpty() && object.contains(QLatin1String("gate"))) {
        image.m_bHasGate = true;
        error = ParseBlocks(object.value(QLatin1String("gate")), QStringLiteral("gate"), image.m_gate);
        if (error.isEmpty() && image.m_gate.size() > kGateSlots)
            error = QStringLiteral("gate: at most %1 blocks").arg(kGateSlots);
    }
    if (!error.isEmpty())
        return error;

    if (object.contains(QLatin1String("atr"))) {
        // An ATR is 2 to 33 bytes.
        const QString text = object.value(QLatin1String("atr")).toString();
        if (text.size() < 4 || text.size() > 66 || text.size() % 2 != 0
            || !std::all_of(text.begin(), text.end(), IsHexDigit))
            return QStringLiteral("atr: expected 4 to 66 hex digits");
        const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
        image.m_atr.assign(bytes.begin(), bytes.end());
    }

    *this = std::move(image);
    return {};
}

QString CCardImage::LoadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    // One byte past the limit is enough to know; a pipe or /dev/zero never ends by itself.
    QByteArray json;
    while (json.size() <= kMaxFileSize) {
        const QByteArray piece = file.read(kMaxFileSize + 1 - json.size());
        if (piece.isEmpty())
            break;
        json += piece;
    }
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    const QString error = LoadJson(json);
    return error.isEmpty() ? error : QStringLiteral("%1: %2").arg(path, error);
}

const HistoryBlockList* CCardImage::ServiceBlocks(uint16_t serviceCode, size_t& slotCount) const
{
    if (serviceCode == kHistoryService) {
        slotCount = kHistorySlots;
        return &m_history;
    }
    if (serviceCode == kGateService && m_bHasGate) {
        slotCount = kGateSlots;
        return &m_gate;
    }
    slotCount = 0;
    return nullptr;
}

bool CCardImage::AnswersSystem(uint16_t systemCode) const
{
    if (systemCode == kWildcardSystem)
        return !m_systems.empty();
    return std::find(m_systems.begin(), m_systems.end(), systemCode) != m_systems.end();
}
