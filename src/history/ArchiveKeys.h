// Which archived record each entry of a list is, by the entry's address: a list
// moves into the document whole, and its entries keep their addresses.
#pragma once

#include "card/EntryInfo.h"

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

class CArchiveKeys {
public:
    // Forgets every key, then keys entries[i] by ids[i] (pairs past the shorter
    // list are left out, and a key of 0: an entry the archive lacks).
    void Assign(std::span<const std::unique_ptr<CEntryInfo>> entries, const std::vector<int64_t>& ids);
    // Adds to the keys already held, as after a read appended to a list.
    void Add(std::span<const std::unique_ptr<CEntryInfo>> entries, const std::vector<int64_t>& ids);
    void Clear() { m_ids.clear(); }

    // The archive key of entry; none for an entry that is not archived.
    std::optional<int64_t> Find(const CEntryInfo* entry) const;

private:
    std::unordered_map<const CEntryInfo*, int64_t> m_ids;
};
