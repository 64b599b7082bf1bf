// What the history view needs of the window that shows the card's IDm and balance.
#pragma once

#include <QString>

#include <cstdint>

class ICardStatusBar {
public:
    virtual ~ICardStatusBar() = default;
    // An empty IDm and a negative balance blank both panes.
    virtual void SetCardStatus(const QString& idm, int32_t balance) = 0;
};
