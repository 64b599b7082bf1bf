#include "history/ArchiveKeys.h"

#include <algorithm>

void CArchiveKeys::Assign(std::span<const std::unique_ptr<CEntryInfo>> entries, const std::vector<int64_t>& ids)
{
    m_ids.clear();
    Add(entries, ids);
}

void CArchiveKeys::Add(std::span<const std::unique_ptr<CEntryInfo>> entries, const std::vector<int64_t>& ids)
{
    const size_t count = std::min(entries.size(), ids.size());
    for (size_t i = 0; i < count; ++i) {
        if (ids[i] != 0)
            m_ids[entries[i].get()] = ids[i];
    }
}

std::optional<int64_t> CArchiveKeys::Find(const CEntryInfo* entry) const
{
    const auto found = m_ids.find(entry);
    if (found == m_ids.end())
        return std::nullopt;
    return found->second;
}
