// A FeliCa transit card described by a JSON file: what the simulated reader and the
// virtual card answer with. Used by the demo mode and by tests.
#pragma once

#include "card/HistoryBlock.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class CCardImage {
public:
    using CardId = std::array<uint8_t, 8>;

    CardId m_idm{};
    CardId m_pmm{};
    // System codes the card answers a polling for, in the file's order.
    std::vector<uint16_t> m_systems;
    // Block 0 (the newest) first; slots after the last one are empty.
    HistoryBlockList m_history;
    // The gate log (optional "gate"), block 0 the newest; a card without the key
    // has no gate log and refuses its service.
    HistoryBlockList m_gate;
    bool m_bHasGate = false;
    // The ATR the reader reports for the card (optional "atr"); empty: the PC/SC
    // storage-card ATR of a FeliCa card.
    std::vector<uint8_t> m_atr;

    // A card holds a few kilobytes; a larger file is refused unread past this size.
    static constexpr qsizetype kMaxFileSize = 64 * 1024;

    // The slots the card keeps of the usage history and of the gate log.
    static constexpr size_t kHistorySlots = 20;
    static constexpr size_t kGateSlots = 3;

    // Reads {"idm", "pmm", "systems", "history"} and the optional "gate" and "atr"; on failure the image is left
    // untouched and the result names what is wrong. Empty result: success.
    QString LoadJson(const QByteArray& json);
    QString LoadFile(const QString& path);

    // The blocks of a service the card keeps and its slot count (blocks past the
    // image's are empty); null for a service the card does not have.
    const HistoryBlockList* ServiceBlocks(uint16_t serviceCode, size_t& slotCount) const;

    // FF FF is the wildcard: any card with a system answers it.
    bool AnswersSystem(uint16_t systemCode) const;
};
