#include "card/EntryInfo.h"

#include <QByteArray>

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
