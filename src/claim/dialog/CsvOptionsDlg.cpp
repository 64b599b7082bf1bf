#include "claim/dialog/CsvOptionsDlg.h"

#include "settings/AppProfile.h"
#include "claim/ClaimColumns.h"
#include "resources/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

void AddColumnItem(QListWidget& list, int column, bool ticked)
{
    auto* item = new QListWidgetItem(QStringLiteral("%1  %2").arg(column, 2).arg(ClaimColumnTitle(column)), &list);
    item->setData(Qt::UserRole, column);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

} // namespace

CCsvOptionsDlg::CCsvOptionsDlg(const SClaimCsvOptions& options, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(LoadResString(IDS_CSVOPT_CAPTION));

    // The chosen columns first, in their order; the others after them, by number.
    m_pColumns = new QListWidget;
    m_pColumns->setObjectName(QStringLiteral("columns"));
    for (const int column : options.columns)
        AddColumnItem(*m_pColumns, column, true);
    for (int column = 1; column <= kClaimColumnCount; ++column) {
        if (std::find(options.columns.begin(), options.columns.end(), column) == options.columns.end())
            AddColumnItem(*m_pColumns, column, false);
    }
    m_pColumns->setCurrentRow(0);
    m_pUp = new QPushButton(LoadResString(IDS_CSVOPT_UP));
    m_pUp->setObjectName(QStringLiteral("up"));
    m_pDown = new QPushButton(LoadResString(IDS_CSVOPT_DOWN));
    m_pDown->setObjectName(QStringLiteral("down"));
    auto* moveButtons = new QVBoxLayout;
    moveButtons->addWidget(m_pUp);
    moveButtons->addWidget(m_pDown);
    moveButtons->addStretch();
    auto* columnsBox = new QGroupBox(LoadResString(IDS_CSVOPT_COLUMNS));
    auto* columnsLayout = new QHBoxLayout(columnsBox);
    columnsLayout->addWidget(m_pColumns);
    columnsLayout->addLayout(moveButtons);

    m_pApplyOnly = new QCheckBox(LoadResString(IDS_CSVOPT_APPLY_ONLY));
    m_pApplyOnly->setObjectName(QStringLiteral("applyOnly"));
    m_pApplyOnly->setChecked(options.applyOnly);
    m_pTitleRow = new QCheckBox(LoadResString(IDS_CSVOPT_HEADER));
    m_pTitleRow->setObjectName(QStringLiteral("titleRow"));
    m_pTitleRow->setChecked(options.titleRow);
    m_pEncoding = new QComboBox;
    m_pEncoding->setObjectName(QStringLiteral("encoding"));
    m_pEncoding->addItem(LoadResString(IDS_CSVOPT_SJIS), static_cast<int>(CsvEncoding::ShiftJis));
    m_pEncoding->addItem(LoadResString(IDS_CSVOPT_UTF8), static_cast<int>(CsvEncoding::Utf8Bom));
    m_pEncoding->setCurrentIndex(m_pEncoding->findData(static_cast<int>(options.encoding)));
    auto* encodingForm = new QFormLayout;
    encodingForm->addRow(LoadResString(IDS_CSVOPT_ENCODING), m_pEncoding);

    m_pButtons = new QDialogButtonBox;
    m_pOk = m_pButtons->addButton(LoadResString(IDS_CSVOPT_OK), QDialogButtonBox::AcceptRole);
    m_pOk->setObjectName(QStringLiteral("ok"));
    m_pOk->setDefault(true);
    m_pButtons->addButton(LoadResString(IDS_CSVOPT_CANCEL), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(columnsBox);
    layout->addWidget(m_pApplyOnly);
    layout->addWidget(m_pTitleRow);
    layout->addLayout(encodingForm);
    layout->addWidget(m_pButtons);

    connect(m_pUp, &QPushButton::clicked, this, [this] { MoveCurrentColumn(-1); });
    connect(m_pDown, &QPushButton::clicked, this, [this] { MoveCurrentColumn(1); });
    connect(m_pColumns, &QListWidget::currentRowChanged, this, &CCsvOptionsDlg::UpdateButtons);
    connect(m_pColumns, &QListWidget::itemChanged, this, &CCsvOptionsDlg::UpdateButtons);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    UpdateButtons();
}

SClaimCsvOptions CCsvOptionsDlg::Options() const
{
    SClaimCsvOptions options;
    for (int row = 0; row < m_pColumns->count(); ++row) {
        const QListWidgetItem* item = m_pColumns->item(row);
        if (item->checkState() == Qt::Checked)
            options.columns.push_back(item->data(Qt::UserRole).toInt());
    }
    options.applyOnly = m_pApplyOnly->isChecked();
    options.titleRow = m_pTitleRow->isChecked();
    options.encoding = static_cast<CsvEncoding>(m_pEncoding->currentData().toInt());
    return options;
}

void CCsvOptionsDlg::MoveCurrentColumn(int step)
{
    const int row = m_pColumns->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= m_pColumns->count())
        return;
    QListWidgetItem* item = m_pColumns->takeItem(row);
    m_pColumns->insertItem(target, item);
    m_pColumns->setCurrentRow(target);
}

void CCsvOptionsDlg::UpdateButtons()
{
    const int row = m_pColumns->currentRow();
    m_pUp->setEnabled(row > 0);
    m_pDown->setEnabled(row >= 0 && row + 1 < m_pColumns->count());
    // A file without columns is no export: OK waits for one ticked column.
    m_pOk->setEnabled(!Options().columns.empty());
}

bool EditCsvOptions(QWidget* parent, CAppProfile& profile)
{
    CCsvOptionsDlg dialog(ClaimCsvOptionsFrom(profile), parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    StoreClaimCsvOptions(dialog.Options(), profile);
    return true;
}
