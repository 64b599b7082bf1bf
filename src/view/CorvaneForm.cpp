#include "view/CorvaneForm.h"

#include "app/AppProfile.h"
#include "view/CardStatusBar.h"
#include "card/FormatAmount.h"
#include "view/HistoryColumns.h"
#include "resources/StringTable.h"
#include "view/ZebraDelegate.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableWidget>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

const std::array<HistoryColumn, kHistoryColumnCount>& kColumns = HistoryColumns();

constexpr int kBalanceColumn = kHistoryBalanceColumn;
constexpr int kBalanceColumnWidth = 80;

QString YenText(int32_t amount)
{
    return LoadResString(IDS_AMOUNT_YEN).arg(FormatAmount(amount));
}

} // namespace

CCorvaneForm::CCorvaneForm(CCorvaneDoc& document, CAppProfile& profile, ICardStatusBar* statusBar, QWidget* parent)
    : QWidget(parent)
    , m_pDocument(&document)
    , m_profile(profile)
    , m_pStatusBar(statusBar)
    , m_pList(new QTableWidget(this))
    , m_pTotalLabel(new QLabel(LoadResString(IDS_FORM_TOTAL_LABEL), this))
    , m_pTotalValue(new QLabel(LoadResString(IDS_FORM_TOTAL_ZERO), this))
    , m_pReadButton(new QPushButton(this))
    , m_pShowAll(new QCheckBox(LoadResString(IDS_FORM_SHOW_ALL), this))
{
    m_pList->setGeometry(DialogRect(7, 31, 396, 182));
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setWordWrap(false);
    m_pList->verticalHeader()->hide();
    m_pList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pList->verticalHeader()->setDefaultSectionSize(m_pList->fontMetrics().height() + 4);
    QHeaderView* header = m_pList->horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    // The selection stays visible while the focus is elsewhere.
    QPalette listPalette = m_pList->palette();
    listPalette.setColor(QPalette::Inactive, QPalette::Highlight, listPalette.color(QPalette::Active, QPalette::Highlight));
    listPalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         listPalette.color(QPalette::Active, QPalette::HighlightedText));
    m_pList->setPalette(listPalette);
    m_pList->setItemDelegate(new CZebraDelegate([this] { return m_profile.m_bZebraView != 0; }, m_pList));

    m_pTotalLabel->setGeometry(DialogRect(8, 216, 19, 8));
    m_pTotalLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pTotalValue->setGeometry(DialogRect(35, 216, 40, 8));
    m_pTotalValue->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pReadButton->setGeometry(DialogRect(7, 7, 23, 21));
    m_pShowAll->setGeometry(DialogRect(41, 17, 103, 10));

    // Template order is the tab order.
    setTabOrder(m_pList, m_pReadButton);
    setTabOrder(m_pReadButton, m_pShowAll);

    connect(m_pShowAll, &QCheckBox::clicked, this, &CCorvaneForm::OnShowAllClicked);
    connect(m_pReadButton, &QPushButton::clicked, this, &CCorvaneForm::OnReadClicked);

    resize(DialogRect(0, 0, 410, 228).size());
    m_pDocument->AddView(this);
}

CCorvaneForm::~CCorvaneForm()
{
    if (m_bInitialized) {
        m_profile.m_strColumnWidths = BuildColumnWidthText();
        SyncEntryOrder();
    }
    m_pDocument->RemoveView(this);
}

QRect CCorvaneForm::DialogRect(int x, int y, int w, int h) const
{
    // Dialog units: a quarter of the average character width, an eighth of the height.
    const QFontMetrics metrics = fontMetrics();
    const int cx = metrics.averageCharWidth();
    const int cy = metrics.height();
    return QRect(x * cx / 4, y * cy / 8, w * cx / 4, h * cy / 8);
}

void CCorvaneForm::OnInitialUpdate()
{
    if (m_bInitialized) {
        return;
    }
    m_pEntries = &m_pDocument->m_data.m_entries;
    InitColumns(m_profile.m_strColumnWidths);
    if (m_pStatusBar) {
        m_pStatusBar->SetCardStatus(QString(), -1);
    }
    const QPixmap card(QStringLiteral(":/images/card.png"));
    m_pReadButton->setIcon(card);
    m_pReadButton->setIconSize(card.size());
    m_pShowAll->setChecked(true);
    m_pShowAll->setEnabled(false);
    m_pTotalLabel->hide();
    m_pTotalValue->hide();
    m_bInitialized = true;
}

void CCorvaneForm::OnUpdate(int hint)
{
    if (!m_pDocument || !m_bInitialized) {
        return;
    }
    switch (hint) {
    case HINT_LOADED:
        FillList(m_pDocument->m_data.m_entries);
        break;
    case HINT_SYNC_ORDER:
        SyncEntryOrder();
        break;
    case HINT_CLEAR:
        ClearAll();
        break;
    default:
        break;
    }
}

CCorvaneForm::ColumnWidths CCorvaneForm::ParseColumnWidths(const QString& widthText)
{
    const QStringList tokens = widthText.split(QLatin1Char(','), Qt::SkipEmptyParts);
    ColumnWidths widths{};
    for (int i = 0; i < kColumnCount; ++i) {
        const int fallback = kColumns[static_cast<size_t>(i)].defaultWidth;
        if (i >= tokens.size()) {
            widths[static_cast<size_t>(i)] = fallback;
            continue;
        }
        // Like atoi: the leading decimal integer, 0 when there is none.
        const QString token = tokens.at(i).trimmed();
        qsizetype end = 0;
        if (end < token.size() && (token[end] == QLatin1Char('-') || token[end] == QLatin1Char('+'))) {
            ++end;
        }
        while (end < token.size() && token[end].isDigit()) {
            ++end;
        }
        const int n = token.left(end).toInt();
        widths[static_cast<size_t>(i)] = n != 0 ? n : (fallback > 0 ? fallback : 0);
    }
    return widths;
}

bool CCorvaneForm::InitColumns(const QString& widthText)
{
    ApplyGridSetting();
    const ColumnWidths widths = ParseColumnWidths(widthText);
    m_pList->setColumnCount(0);
    for (int i = 0; i < kColumnCount; ++i) {
        const HistoryColumn& column = kColumns[static_cast<size_t>(i)];
        m_pList->insertColumn(i);
        if (m_pList->columnCount() != i + 1) {
            return false;
        }
        auto* title = new QTableWidgetItem(LoadResString(column.titleId));
        title->setTextAlignment(column.alignment);
        m_pList->setHorizontalHeaderItem(i, title);
        SetColumnWidth(i, widths[static_cast<size_t>(i)]);
    }
    return true;
}

void CCorvaneForm::SetColumnWidth(int column, int width)
{
    m_nColumnWidths[static_cast<size_t>(column)] = width;
    // A width of 0 or -1 takes no space at all.
    m_pList->setColumnHidden(column, width <= 0);
    if (width > 0) {
        m_pList->setColumnWidth(column, width);
    }
}

QString CCorvaneForm::BuildColumnWidthText() const
{
    QString text;
    for (int i = 0; i < kColumnCount; ++i) {
        const int width = m_pList->isColumnHidden(i) || i >= m_pList->columnCount()
            ? m_nColumnWidths[static_cast<size_t>(i)]
            : m_pList->columnWidth(i);
        text += QStringLiteral(",%1").arg(width);
    }
    return text.mid(1);
}

bool CCorvaneForm::IsClaimableFare(const CEntryInfo& entry)
{
    if (entry.amount <= 0) {
        return false;
    }
    switch (entry.processKind) {
    case 7:     // 新規発行
    case 17:    // 再発行
    case 70:    // 物販
    case 72:    // 特典チャージ
    case 73:    // 現金チャージ
    case 74:    // 物販取消
    case 75:    // 入場物販
    case 198:   // 現金併用物販
    case 203:   // 入場現金併用物販
        return false;
    default:
        break;
    }
    // Shop terminals and vending machines sell goods, not rides.
    return entry.terminalKind != 199 && entry.terminalKind != 200;
}

int CCorvaneForm::FillList(const CEntryList& entries)
{
    DeleteAllRows();
    const bool showAll = m_pShowAll->isChecked();
    SetColumnWidth(kBalanceColumn, showAll ? kBalanceColumnWidth : 0);
    for (const auto& entry : entries) {
        if (entry && (showAll || IsClaimableFare(*entry))) {
            AddRow(entry.get());
        }
    }
    const int rows = m_pList->rowCount();
    if (rows > 0) {
        m_pList->setCurrentCell(0, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    UpdateTotal();
    m_pShowAll->setEnabled(rows > 0);
    return rows;
}

void CCorvaneForm::AddRow(CEntryInfo* entry)
{
    const int row = m_pList->rowCount();
    m_pList->insertRow(row);
    auto* apply = new QTableWidgetItem();
    apply->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    apply->setCheckState(entry->apply != 0 ? Qt::Checked : Qt::Unchecked);
    // The row refers to the entry; the document keeps owning it.
    apply->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry)));
    m_pList->setItem(row, 0, apply);

    for (int column = 1; column < kColumnCount; ++column) {
        auto* item = new QTableWidgetItem(HistoryCellText(*entry, column));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setTextAlignment(kColumns[static_cast<size_t>(column)].alignment);
        m_pList->setItem(row, column, item);
    }
}

CEntryInfo* CCorvaneForm::EntryAt(int row) const
{
    const QTableWidgetItem* item = m_pList->item(row, 0);
    return item ? reinterpret_cast<CEntryInfo*>(item->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

void CCorvaneForm::DeleteAllRows()
{
    m_pList->setRowCount(0);
}

void CCorvaneForm::UpdateTotal()
{
    if (m_pShowAll->isChecked()) {
        m_pTotalLabel->hide();
        m_pTotalValue->hide();
        return;
    }
    m_pTotalLabel->show();
    m_pTotalValue->show();
    int64_t sum = 0;
    for (int row = 0; row < m_pList->rowCount(); ++row) {
        const QTableWidgetItem* apply = m_pList->item(row, 0);
        const CEntryInfo* entry = EntryAt(row);
        if (apply && entry && apply->checkState() == Qt::Checked) {
            sum += entry->amount;
        }
    }
    const auto total = static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                               std::numeric_limits<int32_t>::max()));
    m_pTotalValue->setText(YenText(total));
}

void CCorvaneForm::SyncEntryOrder()
{
    if (!m_pEntries) {
        return;
    }
    CEntryList& entries = *m_pEntries;
    CEntryList shown;
    shown.reserve(static_cast<size_t>(m_pList->rowCount()));
    for (int row = 0; row < m_pList->rowCount(); ++row) {
        const CEntryInfo* entry = EntryAt(row);
        const auto owner = std::find_if(entries.begin(), entries.end(),
                                        [entry](const auto& candidate) { return candidate.get() == entry; });
        if (entry && owner != entries.end()) {
            shown.push_back(std::move(*owner));
        }
    }
    // What no row shows is deleted with the old list.
    entries = std::move(shown);
}

void CCorvaneForm::ClearAll()
{
    DeleteAllRows();
    m_pDocument->m_data.Clear();
    if (m_pStatusBar) {
        m_pStatusBar->SetCardStatus(QString(), -1);
    }
    m_pShowAll->setChecked(true);
    m_pShowAll->setEnabled(false);
    UpdateTotal();
}

void CCorvaneForm::ApplyGridSetting()
{
    m_pList->setShowGrid(m_profile.m_bGridView != 0);
}

void CCorvaneForm::RepaintList()
{
    m_pList->viewport()->repaint();
}

void CCorvaneForm::paintEvent(QPaintEvent* event)
{
    // The form, its static texts and buttons stand on the light 3-D colour,
    // taken at paint time so a new look is followed.
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Midlight));
}

void CCorvaneForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize size = event->size();
    if (size.isEmpty()) {
        return;
    }
    const QRect list = m_pList->geometry();
    const int newBottom = size.height() - 30;
    const int shift = newBottom - (list.y() + list.height());
    m_pList->setGeometry(list.x(), list.y(), size.width() - 10 - list.x(), newBottom - list.y());
    m_pTotalLabel->move(m_pTotalLabel->x(), m_pTotalLabel->y() + shift);
    m_pTotalValue->move(m_pTotalValue->x(), m_pTotalValue->y() + shift);
}

void CCorvaneForm::OnShowAllClicked()
{
    if (!m_pDocument || !m_bInitialized) {
        return;
    }
    FillList(m_pDocument->m_data.m_entries);
    m_pList->setFocus();
}

void CCorvaneForm::OnReadClicked()
{
    // Posted, so the read starts once the click has been handled.
    QMetaObject::invokeMethod(this, [this] { emit CommandPosted(ID_CARD_READ); }, Qt::QueuedConnection);
}
