// The document's data set: time stamp, card record and the owning entry list.
#pragma once

#include "CardRecord.h"
#include "EntryInfo.h"

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
    // Replaces the data set with an entry file's content; throws CArchiveError
    // (and leaves the data set cleared) on failure.
    void Load(QIODevice& device);
    // Writes the data set as a version 3 entry file; throws CArchiveError.
    void Store(QIODevice& device) const;

    int64_t m_time = 0;
    CCardRecord m_card;
    CEntryList m_entries;
};
