#include "card/EntryInfo.h"

#include <QByteArray>

#include <algorithm>
#include <ctime>

std::unique_ptr<CEntryInfo> MakeBlankEntry()
{
    auto entry = std::make_unique<CEntryInfo>();
    entry->apply = 1;
    entry->terminalKind = 0xFF;
    entry->processKind = 0xFF;
    entry->dateTime = static_cast<int64_t>(std::time(nullptr));
    return entry;
}

QString IdmText(const IdmBytes& idm)
{
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(idm.data()), static_cast<int>(idm.size())).toHex().toUpper());
}

bool ParseIdm(const QString& text, IdmBytes& idm)
{
    if (text.size() != 2 * static_cast<qsizetype>(idm.size()))
        return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F')))
            return false;
    }
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    std::copy(bytes.begin(), bytes.end(), idm.begin());
    return true;
}
