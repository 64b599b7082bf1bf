// The days the list shows: 全期間, 今月, 先月, or two dates of the person's choosing.
#pragma once

#include "claim/ClaimPeriod.h"

#include <QDate>
#include <QWidget>

#include <functional>

class QComboBox;
class QDateEdit;

class CPeriodChoice : public QWidget {
    Q_OBJECT

public:
    enum EChoice { WholePeriod = 0, ThisMonth = 1, LastMonth = 2, Dates = 3 };

    // today: the day "今月" and "先月" are counted from (the clock by default).
    explicit CPeriodChoice(QWidget* parent = nullptr, std::function<QDate()> today = {});

    CClaimPeriod Period() const;
    EChoice Choice() const;
    void SetChoice(EChoice choice);
    void SetDates(QDate from, QDate to);

    QComboBox* ChoiceBox() const { return m_pChoice; }
    QDateEdit* FromEdit() const { return m_pFrom; }
    QDateEdit* ToEdit() const { return m_pTo; }

signals:
    void PeriodChanged();

private:
    void OnChoiceChanged();

    std::function<QDate()> m_today;
    QComboBox* m_pChoice;
    QDateEdit* m_pFrom;
    QDateEdit* m_pTo;
};
