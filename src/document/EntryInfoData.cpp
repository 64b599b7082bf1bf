#include "document/EntryInfoData.h"

#include "document/ArchiveError.h"
#include "document/ArchiveReader.h"
#include "document/ArchiveWriter.h"
#include "document/EntryRecord.h"

#include <ctime>
#include <limits>

namespace {

int64_t CurrentTime()
{
    return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace

CEntryInfoData::CEntryInfoData()
{
    m_time = CurrentTime();
}

CEntryInfoData::~CEntryInfoData()
{
    Clear();
}

void CEntryInfoData::Clear()
{
    m_entries.clear();
    m_card = CCardRecord{};
    m_time = CurrentTime();
}

void CEntryInfoData::Load(QIODevice& device)
{
    Clear();
    try {
        CArchiveReader ar(device);
        const EntryFileVersion version = ReadEntryFileHeader(ar);
        const uint32_t flag = ar.ReadUInt32();
        const int64_t storedTime = ar.ReadTime();
        if (flag != 0)
            m_time = storedTime;
        // No room is reserved for the count: a file may claim far more records than it holds.
        const int32_t count = ar.ReadInt32();
        for (int32_t i = 0; i < count; ++i) {
            std::unique_ptr<CEntryInfo> pending = MakeBlankEntry();
            ReadEntryRecord(ar, version, *pending);
            m_entries.push_back(std::move(pending));
        }
    } catch (...) {
        Clear();
        throw;
    }
}

void CEntryInfoData::Store(QIODevice& device) const
{
    if (m_entries.empty())
        throw CArchiveError(CArchiveError::Kind::NoCause);
    if (m_entries.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw CArchiveError(CArchiveError::Kind::Generic);

    CArchiveWriter ar(device);
    ar.WriteText(EntryFileHeader(EntryFileVersion::V3));
    ar.WriteUInt32(0);
    ar.WriteTime(m_time);
    ar.WriteInt32(static_cast<int32_t>(m_entries.size()));
    for (const std::unique_ptr<CEntryInfo>& entry : m_entries)
        WriteEntryRecord(ar, *entry);
    ar.Flush();
}
