#include "app/HistoryCardsDlg.h"

#include "card/AppMessage.h"
#include "history/HistoryArchive.h"
#include "resources/StringTable.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int kNameColumn = 1;

QTableWidgetItem* ReadOnlyItem(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(alignment);
    return item;
}

QString DayText(const QDate& day)
{
    return day.isNull() ? QString() : day.toString(QStringLiteral("yyyy/MM/dd"));
}

} // namespace

CHistoryCardsDlg::CHistoryCardsDlg(CHistoryArchive& archive, QWidget* parent)
    : QDialog(parent)
    , m_archive(archive)
    , m_pTable(new QTableWidget(0, 6, this))
    , m_pShow(new QPushButton(LoadResString(IDS_CARDS_SHOW), this))
{
    setWindowTitle(LoadResString(IDS_CARDS_CAPTION));
    m_pTable->setHorizontalHeaderLabels({LoadResString(IDS_CARDS_IDM), LoadResString(IDS_CARDS_NAME),
                                         LoadResString(IDS_CARDS_COUNT), LoadResString(IDS_CARDS_FIRST),
                                         LoadResString(IDS_CARDS_LAST), LoadResString(IDS_CARDS_READ_BY)});
    m_pTable->verticalHeader()->hide();
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pTable->horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    Fill();

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_pShow, QDialogButtonBox::AcceptRole);
    buttons->addButton(LoadResString(IDS_CARDS_CLOSE), QDialogButtonBox::RejectRole);
    m_pShow->setEnabled(!m_cards.empty());
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pShow, &QPushButton::clicked, this, [this] {
        const int row = m_pTable->currentRow();
        if (row >= 0 && static_cast<size_t>(row) < m_cards.size()) {
            m_chosen = m_cards[static_cast<size_t>(row)];
            accept();
        }
    });
    connect(m_pTable, &QTableWidget::cellChanged, this, &CHistoryCardsDlg::OnNameEdited);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTable);
    layout->addWidget(buttons);
    resize(700, 300);
}

void CHistoryCardsDlg::Fill()
{
    std::vector<SArchivedCard> cards;
    m_archive.Cards(cards);
    m_bFilling = true;
    m_pTable->setRowCount(static_cast<int>(cards.size()));
    m_cards.clear();
    for (size_t i = 0; i < cards.size(); ++i) {
        const SArchivedCard& card = cards[i];
        const int row = static_cast<int>(i);
        m_cards.push_back(card.idm);
        m_pTable->setItem(row, 0, ReadOnlyItem(IdmText(card.idm)));
        m_pTable->setItem(row, kNameColumn, new QTableWidgetItem(card.strName));
        m_pTable->setItem(row, 2, ReadOnlyItem(QString::number(card.nEntries), Qt::AlignRight | Qt::AlignVCenter));
        m_pTable->setItem(row, 3, ReadOnlyItem(DayText(card.firstDay)));
        m_pTable->setItem(row, 4, ReadOnlyItem(DayText(card.lastDay)));
        m_pTable->setItem(row, 5, ReadOnlyItem(DayText(card.readBy.value_or(QDate()))));
    }
    if (!cards.empty())
        m_pTable->setCurrentCell(0, 0);
    m_bFilling = false;
}

void CHistoryCardsDlg::OnNameEdited(int row, int column)
{
    if (m_bFilling || column != kNameColumn || row < 0 || static_cast<size_t>(row) >= m_cards.size())
        return;
    const QString name = m_pTable->item(row, column)->text().trimmed();
    if (!m_archive.SetCardName(m_cards[static_cast<size_t>(row)], name))
        ShowFailureWithReason(LoadResString(IDS_HISTORY_WRITE_FAILED), m_archive.LastError());
}
