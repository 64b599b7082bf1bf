#include "app/DestinationDlg.h"

#include "settings/AppProfile.h"
#include "resources/StringTable.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <utility>

CDestinationDlg::CDestinationDlg(const QStringList& stations, const QStringList& destinations,
                                 std::function<int(const Lookup&)> fillEmpty, QWidget* parent)
    : QDialog(parent)
    , m_fillEmpty(std::move(fillEmpty))
    , m_pTable(new QTableWidget(0, 2, this))
    , m_pApply(new QPushButton(LoadResString(IDS_DEST_APPLY), this))
    , m_pResult(new QLabel(this))
{
    setWindowTitle(LoadResString(IDS_DEST_CAPTION));
    m_pTable->setHorizontalHeaderLabels({LoadResString(IDS_DEST_STATION), LoadResString(IDS_DEST_DESTINATION)});
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_pTable->verticalHeader()->hide();
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (qsizetype i = 0; i < stations.size(); ++i)
        AddRow(stations.at(i), i < destinations.size() ? destinations.at(i) : QString());

    auto* add = new QPushButton(LoadResString(IDS_DEST_ADD), this);
    auto* remove = new QPushButton(LoadResString(IDS_DEST_REMOVE), this);
    connect(add, &QPushButton::clicked, this, [this] {
        AddRow(QString(), QString());
        m_pTable->setCurrentCell(m_pTable->rowCount() - 1, 0);
        m_pTable->editItem(m_pTable->currentItem());
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_pTable->currentRow() >= 0)
            m_pTable->removeRow(m_pTable->currentRow());
    });
    connect(m_pApply, &QPushButton::clicked, this, [this] {
        const int filled = m_fillEmpty ? m_fillEmpty([this](const QString& station) { return DestinationFor(station); })
                                       : 0;
        m_pResult->setText(LoadResString(IDS_DEST_APPLIED).arg(filled));
    });
    m_pApply->setEnabled(static_cast<bool>(m_fillEmpty));

    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(add);
    rowButtons->addWidget(remove);
    rowButtons->addStretch();
    rowButtons->addWidget(m_pApply);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(LoadResString(IDS_CSVOPT_OK));
    buttons->button(QDialogButtonBox::Cancel)->setText(LoadResString(IDS_CSVOPT_CANCEL));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pTable);
    layout->addLayout(rowButtons);
    layout->addWidget(m_pResult);
    layout->addWidget(buttons);
    resize(420, 320);
}

void CDestinationDlg::AddRow(const QString& station, const QString& destination)
{
    const int row = m_pTable->rowCount();
    m_pTable->insertRow(row);
    m_pTable->setItem(row, 0, new QTableWidgetItem(station));
    m_pTable->setItem(row, 1, new QTableWidgetItem(destination));
}

QString CDestinationDlg::CellText(int row, int column) const
{
    const QTableWidgetItem* item = m_pTable->item(row, column);
    return item ? item->text().trimmed() : QString();
}

bool CDestinationDlg::IsKept(int row) const
{
    // A destination without a station is kept too: lists from elsewhere hold such.
    return !CellText(row, 0).isEmpty() || !CellText(row, 1).isEmpty();
}

QStringList CDestinationDlg::Stations() const
{
    QStringList stations;
    for (int row = 0; row < m_pTable->rowCount(); ++row) {
        if (IsKept(row))
            stations << CellText(row, 0);
    }
    return stations;
}

QStringList CDestinationDlg::Destinations() const
{
    QStringList destinations;
    for (int row = 0; row < m_pTable->rowCount(); ++row) {
        if (IsKept(row))
            destinations << CellText(row, 1);
    }
    return destinations;
}

QString CDestinationDlg::DestinationFor(const QString& station) const
{
    // The first pair of a station counts, as a read's lookup takes it.
    CAppProfile pairs;
    pairs.m_arrVisStation = Stations();
    pairs.m_arrVisHistry = Destinations();
    return pairs.FindDestination(station);
}

bool EditDestinations(QWidget* parent, CAppProfile& profile, std::function<int(const CDestinationDlg::Lookup&)> fillEmpty)
{
    CDestinationDlg dialog(profile.m_arrVisStation, profile.m_arrVisHistry, std::move(fillEmpty), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    profile.m_arrVisStation = dialog.Stations();
    profile.m_arrVisHistry = dialog.Destinations();
    return true;
}
