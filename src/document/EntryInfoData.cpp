#include "EntryInfoData.h"

#include "ArchiveError.h"

#include <ctime>

CEntryInfoData::CEntryInfoData()
{
    m_time = static_cast<int64_t>(std::time(nullptr));
}

CEntryInfoData::~CEntryInfoData()
{
    Clear();
}

void CEntryInfoData::Clear()
{
    m_entries.clear();
    m_card = CCardRecord{};
    m_time = static_cast<int64_t>(std::time(nullptr));
}

void CEntryInfoData::Load(QIODevice&)
{
    Clear();
    throw CArchiveError(CArchiveError::Kind::Generic);
}

void CEntryInfoData::Store(QIODevice&) const
{
    throw CArchiveError(CArchiveError::Kind::Generic);
}
