// The document's data set: time stamp, card record and the owning entry list.
#pragma once

#include "document/ArchiveError.h"
#include "card/CardRecord.h"
#include "card/EntryInfo.h"

#include <cstdint>

class QIODevice;

class CEntryInfoData {
public:
    CEntryInfoData();
    ~CEntryInfoData();
    CEntryInfoData(const CEntryInfoData&) = delete;
    CEntryInfoData& operator=(const CEntryInfoData&) = delete;

    // Deletes every entry, zeroes the card record, stamps the current time.
    void Clear();
    // Replaces the data set with an entry file's content, from any byte source.
    // On failure it leaves the data set cleared and throws CArchiveError, or
    // std::bad_alloc when memory runs out.
    void Load(QIODevice& device);
    // Writes the data set as a version 3 entry file; throws CArchiveError, of
    // the no-cause kind, before writing anything, when there are no entries.
    void Store(QIODevice& device) const;

    int64_t m_time = 0;
    CCardRecord m_card;
    CEntryList m_entries;
};
