#include "view/CorvaneForm.h"

#include "resources/DialogUnits.h"
#include "app/AppProfile.h"
#include "view/CardStatusBar.h"
#include "card/FormatAmount.h"
#include "card/ProcessKinds.h"
#include "view/HistoryColumns.h"
#include "view/HistoryModel.h"
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
#include <QTableView>

#include <unordered_map>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

const std::array<HistoryColumn, kHistoryColumnCount>& kColumns = HistoryColumns();

constexpr int kBalanceColumn = kHistoryBalanceColumn;
constexpr int kBalanceColumnWidth = 80;

} // namespace

CCorvaneForm::CCorvaneForm(CCorvaneDoc& document, CAppProfile& profile, ICardStatusBar* statusBar, QWidget* parent)
    : QWidget(parent)
    , m_pDocument(&document)
    , m_profile(profile)
    , m_pStatusBar(statusBar)
    , m_pModel(new CHistoryModel(this))
    , m_pList(new QTableView(this))
    , m_pTotalLabel(new QLabel(LoadResString(IDS_FORM_TOTAL_LABEL), this))
    , m_pTotalValue(new QLabel(LoadResString(IDS_FORM_TOTAL_ZERO), this))
    , m_pReadButton(new QPushButton(this))
    , m_pShowAll(new QCheckBox(LoadResString(IDS_FORM_SHOW_ALL), this))
{
    m_pList->setModel(m_pModel);
    m_pList->setGeometry(DialogUnitRect(font(), 7, 31, 396, 182));
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

    m_pTotalLabel->setGeometry(DialogUnitRect(font(), 8, 216, 19, 8));
    m_pTotalLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pTotalValue->setGeometry(DialogUnitRect(font(), 35, 216, 40, 8));
    m_pTotalValue->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pReadButton->setGeometry(DialogUnitRect(font(), 7, 7, 23, 21));
    m_pShowAll->setGeometry(DialogUnitRect(font(), 41, 17, 103, 10));

    // Template order is the tab order.
    setTabOrder(m_pList, m_pReadButton);
    setTabOrder(m_pReadButton, m_pShowAll);

    connect(m_pShowAll, &QCheckBox::clicked, this, &CCorvaneForm::OnShowAllClicked);
    connect(m_pModel, &CHistoryModel::EntryEdited, this, [this] {
        UpdateTotal();
        m_pDocument->SetModifiedFlag();
    });
    connect(m_pReadButton, &QPushButton::clicked, this, &CCorvaneForm::OnReadClicked);

    resize(DialogUnitRect(font(), 0, 0, 410, 228).size());
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
    // Titles and alignment come from the model; only the widths are set here.
    if (m_pModel->columnCount() != kColumnCount) {
        return false;
    }
    for (int i = 0; i < kColumnCount; ++i) {
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
        const int width = m_pList->isColumnHidden(i) || i >= m_pModel->columnCount()
            ? m_nColumnWidths[static_cast<size_t>(i)]
            : m_pList->columnWidth(i);
        text += QStringLiteral(",%1").arg(width);
    }
    return text.mid(1);
}

int CCorvaneForm::FillList(const CEntryList& entries)
{
    const bool showAll = m_pShowAll->isChecked();
    SetColumnWidth(kBalanceColumn, showAll ? kBalanceColumnWidth : 0);
    std::vector<CEntryInfo*> shown;
    shown.reserve(entries.size());
    for (const auto& entry : entries) {
        if (entry && (showAll || IsClaimableFare(*entry))) {
            shown.push_back(entry.get());
        }
    }
    m_pModel->SetMarkUnclaimed(!showAll);
    m_pModel->SetRows(std::move(shown));
    const int rows = m_pModel->rowCount();
    if (rows > 0) {
        m_pList->selectionModel()->setCurrentIndex(m_pModel->index(0, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    UpdateTotal();
    m_pShowAll->setEnabled(rows > 0);
    return rows;
}

void CCorvaneForm::DeleteAllRows()
{
    m_pModel->SetRows({});
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
    for (const CEntryInfo* entry : m_pModel->Rows()) {
        if (entry->apply != 0) {
            sum += entry->amount;
        }
    }
    const auto total = static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                               std::numeric_limits<int32_t>::max()));
    m_pTotalValue->setText(FormatYen(total));
}

void CCorvaneForm::SyncEntryOrder()
{
    if (!m_pEntries) {
        return;
    }
    // The shown entries take the rows' order in the places they hold; entries no
    // row shows (filtered out) stay where they are.
    CEntryList& entries = *m_pEntries;
    std::unordered_map<const CEntryInfo*, size_t> place;
    place.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        place.emplace(entries[i].get(), i);
    }
    std::vector<size_t> places;
    std::vector<std::unique_ptr<CEntryInfo>> shown;
    places.reserve(m_pModel->Rows().size());
    shown.reserve(m_pModel->Rows().size());
    for (const CEntryInfo* entry : m_pModel->Rows()) {
        const auto found = place.find(entry);
        if (found != place.end() && entries[found->second]) {
            places.push_back(found->second);
            shown.push_back(std::move(entries[found->second]));
        }
    }
    std::sort(places.begin(), places.end());
    for (size_t i = 0; i < places.size(); ++i) {
        entries[places[i]] = std::move(shown[i]);
    }
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
