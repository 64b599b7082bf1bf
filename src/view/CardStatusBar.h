// What the history view needs of the window that shows the card's IDm and balance,
// and a note of its own.
#pragma once

#include <QString>

#include <cstdint>

class ICardStatusBar {
public:
    virtual ~ICardStatusBar() = default;
    // An empty IDm and a negative balance blank both panes.
    virtual void SetCardStatus(const QString& idm, int32_t balance) = 0;
    // A note beside them (the day to read the card by, the gaps of the period
    // shown); empty to clear it.
    virtual void SetNote(const QString& text) = 0;
};
