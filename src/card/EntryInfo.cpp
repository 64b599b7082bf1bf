#include "card/EntryInfo.h"

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
