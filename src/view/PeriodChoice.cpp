#include "view/PeriodChoice.h"

#include "resources/StringTable.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

#include <utility>

CPeriodChoice::CPeriodChoice(QWidget* parent, std::function<QDate()> today)
    : QWidget(parent)
    , m_today(today ? std::move(today) : [] { return QDate::currentDate(); })
    , m_pChoice(new QComboBox(this))
    , m_pFrom(new QDateEdit(this))
    , m_pTo(new QDateEdit(this))
{
    setAccessibleName(LoadResString(IDS_PERIOD_LABEL));
    for (const int id : {IDS_PERIOD_WHOLE, IDS_PERIOD_THIS_MONTH, IDS_PERIOD_LAST_MONTH, IDS_PERIOD_DATES})
        m_pChoice->addItem(LoadResString(id));
    const QDate today0 = m_today();
    for (QDateEdit* edit : {m_pFrom, m_pTo}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        edit->setEnabled(false);
    }
    const CClaimPeriod month = CClaimPeriod::Month(today0);
    m_pFrom->setDate(month.m_from);
    m_pTo->setDate(month.m_to);
    m_pFrom->setAccessibleName(LoadResString(IDS_PERIOD_FROM));
    m_pTo->setAccessibleName(LoadResString(IDS_PERIOD_TO));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_pChoice);
    layout->addWidget(m_pFrom);
    layout->addWidget(new QLabel(QStringLiteral("〜"), this));
    layout->addWidget(m_pTo);
    layout->addStretch(1);

    connect(m_pChoice, &QComboBox::currentIndexChanged, this, &CPeriodChoice::OnChoiceChanged);
    connect(m_pFrom, &QDateEdit::dateChanged, this, [this] {
        if (Choice() == Dates)
            emit PeriodChanged();
    });
    connect(m_pTo, &QDateEdit::dateChanged, this, [this] {
        if (Choice() == Dates)
            emit PeriodChanged();
    });
}

CPeriodChoice::EChoice CPeriodChoice::Choice() const
{
    return static_cast<EChoice>(m_pChoice->currentIndex());
}

void CPeriodChoice::SetChoice(EChoice choice)
{
    m_pChoice->setCurrentIndex(choice);
}

void CPeriodChoice::SetDates(QDate from, QDate to)
{
    m_pFrom->setDate(from);
    m_pTo->setDate(to);
}

CClaimPeriod CPeriodChoice::Period() const
{
    switch (Choice()) {
    case ThisMonth:
        return CClaimPeriod::Month(m_today());
    case LastMonth:
        return CClaimPeriod::MonthBefore(m_today());
    case Dates: {
        // Dates given the wrong way round still mean the days between them.
        const QDate from = m_pFrom->date();
        const QDate to = m_pTo->date();
        return from <= to ? CClaimPeriod(from, to) : CClaimPeriod(to, from);
    }
    case WholePeriod:
        break;
    }
    return {};
}

void CPeriodChoice::OnChoiceChanged()
{
    const bool dates = Choice() == Dates;
    m_pFrom->setEnabled(dates);
    m_pTo->setEnabled(dates);
    // A month chosen shows its days, and they are where "期間指定" starts from.
    if (Choice() == ThisMonth || Choice() == LastMonth) {
        const CClaimPeriod month = Period();
        const QSignalBlocker blockFrom(m_pFrom);
        const QSignalBlocker blockTo(m_pTo);
        SetDates(month.m_from, month.m_to);
    }
    emit PeriodChanged();
}
