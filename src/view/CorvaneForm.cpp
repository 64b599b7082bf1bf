#include "view/CorvaneForm.h"

#include "resources/DialogUnits.h"
#include "settings/AppProfile.h"
#include "view/CardStatusBar.h"
#include "card/FormatAmount.h"
#include "card/ProcessKinds.h"
#include "view/HistoryColumns.h"
#include "view/HistoryModel.h"
#include "view/PeriodChoice.h"
#include "claim/ClaimColumns.h"
#include "claim/ClaimPeriod.h"
#include "card/AppMessage.h"
#include "card/EntryNames.h"
#include "history/HistoryArchive.h"
#include "usernames/UserNames.h"
#include "resources/StringTable.h"
#include "view/ZebraDelegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <unordered_map>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

const std::array<HistoryColumn, kHistoryColumnCount>& kColumns = HistoryColumns();

constexpr int kBalanceColumn = kHistoryBalanceColumn;
constexpr int kBalanceColumnWidth = 80;
constexpr int kDistanceColumn = CHistoryModel::kDistanceColumn;
// A column switched on that has no width of its own gets one.
constexpr int kApplyColumnWidth = 40;
constexpr int kSwitchedColumnWidth = 110;
constexpr int kDistanceColumnWidth = 70;
constexpr int kTimeColumnWidth = 90;

// A text fit for one cell of a tab-separated line.
QString TsvField(QString text)
{
    for (QChar& c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

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
    , m_pPeriod(new CPeriodChoice(this))
    , m_pEmptyHint(new QLabel(LoadResString(IDS_FORM_EMPTY_HINT)))
{
    m_pList->setModel(m_pModel);
    m_pList->setGeometry(DialogUnitRect(font(), 7, 31, 396, 182));
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // 訪問先 and 備考 open for editing on a double-click, F2 or Enter.
    m_pList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_pList->installEventFilter(this);
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
    auto* delegate = new CZebraDelegate([this] { return m_profile.m_bZebraView != 0; }, m_pList);
    delegate->SetCompletions(CHistoryModel::kDestinationColumn, [this] { return m_profile.m_arrVisRecent; });
    m_pList->setItemDelegate(delegate);

    m_pTotalLabel->setGeometry(DialogUnitRect(font(), 8, 216, 19, 8));
    m_pTotalLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pTotalValue->setGeometry(DialogUnitRect(font(), 35, 216, 40, 8));
    m_pTotalValue->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pReadButton->setGeometry(DialogUnitRect(font(), 7, 7, 23, 21));
    m_pShowAll->setGeometry(DialogUnitRect(font(), 41, 17, 103, 10));
    const QRect periodRect = DialogUnitRect(font(), 150, 14, 250, 14);
    m_pPeriod->setGeometry(periodRect.x(), periodRect.y(), periodRect.width(),
                           std::max(periodRect.height(), m_pPeriod->sizeHint().height()));

    // Template order is the tab order.
    setTabOrder(m_pList, m_pReadButton);
    setTabOrder(m_pReadButton, m_pShowAll);
    setTabOrder(m_pShowAll, m_pPeriod);

    connect(m_pShowAll, &QCheckBox::clicked, this, &CCorvaneForm::OnShowAllClicked);
    connect(m_pPeriod, &CPeriodChoice::PeriodChanged, this, [this] {
        if (m_bShowingArchive)
            ShowArchivedCard(m_pDocument->m_data.m_card.idm);
        else if (m_bInitialized)
            FillList(m_pDocument->m_data.m_entries);
    });
    connect(m_pModel, &CHistoryModel::EntryEdited, this, &CCorvaneForm::OnEntryEdited);
    // An empty list says how to fill it.
    m_pEmptyHint->setAlignment(Qt::AlignCenter);
    m_pEmptyHint->setWordWrap(true);
    m_pEmptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pEmptyHint->setForegroundRole(QPalette::PlaceholderText);
    auto* hintLayout = new QVBoxLayout(m_pList->viewport());
    hintLayout->addWidget(m_pEmptyHint);
    connect(m_pModel, &QAbstractItemModel::modelReset, this,
            [this] { m_pEmptyHint->setVisible(m_pModel->rowCount() == 0); });
    m_pReadButton->setToolTip(LoadResString(IDS_FORM_READ_TOOLTIP));
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
    // The list has the keys from the start: Space ticks, arrows move.
    m_pList->setFocus();
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
        if (!m_bAdoptingArchive)
            FindArchivedEntries();
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
    if (m_pModel->columnCount() < kColumnCount) {
        return false;
    }
    for (int i = 0; i < kColumnCount; ++i) {
        SetColumnWidth(i, widths[static_cast<size_t>(i)]);
    }
    ApplyColumnVisibility(kDistanceColumn);
    ApplyColumnVisibility(CHistoryModel::kTimeColumn);
    return true;
}

void CCorvaneForm::SetColumnWidth(int column, int width)
{
    m_nColumnWidths[static_cast<size_t>(column)] = width;
    ApplyColumnVisibility(column);
}

int* CCorvaneForm::ColumnSwitch(int column) const
{
    switch (column) {
    case 0: return &m_profile.m_nShowApplyColumn;
    case 3: return &m_profile.m_nShowEntryLine;
    case 6: return &m_profile.m_nShowExitLine;
    case CHistoryModel::kDestinationColumn: return &m_profile.m_nShowDestination;
    case kDistanceColumn: return &m_profile.m_nShowDistance;
    case CHistoryModel::kTimeColumn: return &m_profile.m_nShowTime;
    default: return nullptr;
    }
}

void CCorvaneForm::ApplyColumnVisibility(int column)
{
    const int extraWidth = column == CHistoryModel::kTimeColumn ? kTimeColumnWidth : kDistanceColumnWidth;
    const int width = column < kColumnCount ? m_nColumnWidths[static_cast<size_t>(column)] : extraWidth;
    const int* choice = ColumnSwitch(column);
    // Without a choice a width of 0 or -1 takes no space at all; the distance
    // column has no width text and waits to be asked for.
    const bool shown = choice && *choice >= 0 ? *choice != 0 : column < kColumnCount && width > 0;
    m_pList->setColumnHidden(column, !shown);
    if (shown) {
        const int fallback = column == 0 ? kApplyColumnWidth : kSwitchedColumnWidth;
        m_pList->setColumnWidth(column, width > 0 ? width : fallback);
    }
    emit ColumnsChanged();
}

bool CCorvaneForm::IsColumnShown(int column) const
{
    return !m_pList->isColumnHidden(column);
}

void CCorvaneForm::ShowColumn(int column, bool shown)
{
    if (int* choice = ColumnSwitch(column)) {
        *choice = shown ? 1 : 0;
        ApplyColumnVisibility(column);
    }
}

int CCorvaneForm::WidthForColumns() const
{
    int columns = 0;
    for (int column = 0; column < m_pModel->columnCount(); ++column) {
        if (!m_pList->isColumnHidden(column))
            columns += m_pList->columnWidth(column);
    }
    const int frame = 2 * m_pList->frameWidth();
    const int scrollBar = m_pList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_pList);
    // The list's left edge, and the margin resizeEvent keeps on its right.
    return m_pList->x() + columns + frame + scrollBar + 10;
}

QString CCorvaneForm::BuildColumnWidthText() const
{
    QString text;
    for (int i = 0; i < kColumnCount; ++i) {
        // A column shown by its switch alone keeps "no width of its own".
        const int own = m_nColumnWidths[static_cast<size_t>(i)];
        const int width = m_pList->isColumnHidden(i) || i >= m_pModel->columnCount() || own <= 0
            ? own
            : m_pList->columnWidth(i);
        text += QStringLiteral(",%1").arg(width);
    }
    return text.mid(1);
}

int CCorvaneForm::FillList(const CEntryList& entries)
{
    const bool showAll = m_pShowAll->isChecked();
    SetColumnWidth(kBalanceColumn, showAll ? kBalanceColumnWidth : 0);
    const CClaimPeriod period = Period();
    std::vector<CEntryInfo*> shown;
    shown.reserve(entries.size());
    // A gap keeps its place whatever the filter leaves out around it.
    std::vector<CHistoryModel::SGapRow> gaps;
    auto gap = m_gaps.begin();
    for (size_t i = 0; i < entries.size(); ++i) {
        for (; gap != m_gaps.end() && gap->beforeEntry <= i; ++gap)
            gaps.push_back({shown.size(), gap->gap});
        const auto& entry = entries[i];
        if (entry && (showAll || IsClaimableFare(*entry)) && period.Contains(*entry)) {
            shown.push_back(entry.get());
        }
    }
    for (; gap != m_gaps.end(); ++gap)
        gaps.push_back({shown.size(), gap->gap});
    m_pModel->SetMarkUnclaimed(!showAll);
    m_pModel->SetRows(std::move(shown), std::move(gaps));
    m_pList->clearSpans();
    int firstEntryRow = -1;
    for (int row = 0; row < m_pModel->rowCount(); ++row) {
        // The count stands where the date does and runs on over the row.
        if (m_pModel->GapAt(row))
            m_pList->setSpan(row, 1, 1, m_pModel->columnCount() - 1);
        else if (firstEntryRow < 0)
            firstEntryRow = row;
    }
    const int rows = static_cast<int>(m_pModel->Rows().size());
    if (firstEntryRow >= 0) {
        m_pList->selectionModel()->setCurrentIndex(m_pModel->index(firstEntryRow, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    UpdateTotal();
    m_pShowAll->setEnabled(rows > 0);
    return rows;
}

std::vector<const CEntryInfo*> CCorvaneForm::ShownEntries() const
{
    return {m_pModel->Rows().begin(), m_pModel->Rows().end()};
}

CClaimPeriod CCorvaneForm::Period() const
{
    return m_pPeriod->Period();
}

QString CCorvaneForm::SelectedRowsText() const
{
    QModelIndexList selected = m_pList->selectionModel()->selectedRows();
    // A gap's row is no entry: it is never copied.
    selected.removeIf([this](const QModelIndex& index) { return !m_pModel->EntryAt(index.row()); });
    if (selected.isEmpty())
        return {};
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<int> columns;
    for (int column = 0; column < m_pModel->columnCount(); ++column) {
        if (IsColumnShown(column))
            columns.push_back(column);
    }
    const auto claimColumn = &CHistoryModel::ClaimColumn;
    QStringList lines;
    QStringList fields;
    for (const int column : columns)
        fields << TsvField(ClaimColumnTitle(claimColumn(column)));
    lines << fields.join(QLatin1Char('\t'));
    for (const QModelIndex& index : selected) {
        const CEntryInfo* entry = m_pModel->EntryAt(index.row());
        if (!entry)
            continue;
        fields.clear();
        for (const int column : columns)
            fields << TsvField(ClaimCellText(*entry, claimColumn(column)));
        lines << fields.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CCorvaneForm::CopySelectedRows() const
{
    const QString text = SelectedRowsText();
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void CCorvaneForm::ToggleSelectedTicks()
{
    const QModelIndexList selected = m_pList->selectionModel()->selectedRows();
    // Rows without a box (no claimable fare) neither take a tick nor hold one back.
    bool allTicked = true;
    for (const QModelIndex& index : selected) {
        const CEntryInfo* entry = m_pModel->EntryAt(index.row());
        if (entry && IsClaimableFare(*entry))
            allTicked = allTicked && entry->apply != 0;
    }
    const Qt::CheckState state = allTicked ? Qt::Unchecked : Qt::Checked;
    for (const QModelIndex& index : selected)
        m_pModel->setData(index.siblingAtColumn(0), state, Qt::CheckStateRole);
}

int CCorvaneForm::FillEmptyDestinations(const std::function<QString(const QString&)>& lookup)
{
    int filled = 0;
    for (int row = 0; row < m_pModel->rowCount(); ++row) {
        const CEntryInfo* entry = m_pModel->EntryAt(row);
        if (!entry || !entry->destination.isEmpty())
            continue;
        const QString destination = lookup(entry->exitStationName);
        if (!destination.isEmpty()
            && m_pModel->setData(m_pModel->index(row, CHistoryModel::kDestinationColumn), destination))
            ++filled;
    }
    return filled;
}

void CCorvaneForm::OnEntryEdited(int row, int column)
{
    UpdateTotal();
    const CEntryInfo* entry = m_pModel->EntryAt(row);
    if (!entry)
        return;
    if (column == CHistoryModel::kDestinationColumn)
        m_profile.RememberDestination(entry->destination);
    // What the archive kept needs no save unless a file holds it too.
    if (!ArchiveEdit(*entry) || !m_pDocument->GetPathName().isEmpty())
        m_pDocument->SetModifiedFlag();
}

bool CCorvaneForm::ArchiveEdit(const CEntryInfo& entry)
{
    const std::optional<int64_t> id = m_archiveKeys.Find(&entry);
    if (!m_pArchive || !id)
        return false;
    if (m_pArchive->UpdateEntry(*id, entry))
        return true;
    // The edit stays in the list and in the file; only the archive misses it.
    if (!m_bArchiveFailureShown) {
        m_bArchiveFailureShown = true;
        ShowFailureWithReason(LoadResString(IDS_HISTORY_WRITE_FAILED), m_pArchive->LastError());
    }
    return false;
}

void CCorvaneForm::FindArchivedEntries()
{
    // An entry file's trips that the archive also holds take their edits there
    // too, so the next read does not bring back what the file corrected.
    std::vector<int64_t> ids;
    if (!m_pArchive)
        return;
    if (m_pArchive->FindEntries(m_pDocument->m_data.m_entries, ids)) {
        m_archiveKeys.Assign(m_pDocument->m_data.m_entries, ids);
    } else if (!m_bArchiveFailureShown) {
        m_bArchiveFailureShown = true;
        ShowFailureWithReason(LoadResString(IDS_HISTORY_UNREADABLE), m_pArchive->LastError());
    }
}

int32_t CCorvaneForm::NewestArchivedBalance(const IdmBytes& idm)
{
    CEntryList entries;
    std::vector<int64_t> ids;
    SArchiveQuery query;
    query.idm = idm;
    // Unknown when the archive cannot say; the list's own query reports why.
    if (!m_pArchive || !m_pArchive->Entries(query, entries, ids) || entries.empty())
        return -1;
    return entries.back()->balance;
}

bool CCorvaneForm::ShowArchivedCard(const IdmBytes& idm)
{
    if (!m_pArchive)
        return false;
    CEntryInfoData archived;
    std::vector<int64_t> ids;
    std::vector<SArchiveGap> gaps;
    SArchiveQuery query;
    query.idm = idm;
    query.from = Period().m_from;
    query.to = Period().m_to;
    if (!m_pArchive->Entries(query, archived.m_entries, ids) || !m_pArchive->Gaps(query, gaps)) {
        ShowFailureWithReason(LoadResString(IDS_HISTORY_UNREADABLE), m_pArchive->LastError());
        return false;
    }
    // Kept through the document's clear, for the list it then fills.
    m_gaps = PlaceGaps(std::move(gaps), ids);
    // Trips kept long ago show the names a read would give them today.
    RenameEntries(archived.m_entries, m_profile.GetConnectString(), m_profile.GetPassword(), FreshUserNames());
    archived.m_card.idm = idm;
    if (!m_cardBalance || m_cardBalance->idm != idm)
        m_cardBalance = SCardBalance{idm, NewestArchivedBalance(idm)};
    const int32_t balance = m_cardBalance->balance;
    // Another period of the same history keeps the fare filter as it was.
    const bool faresOnly = m_bShowingArchive && !m_pShowAll->isChecked();
    m_bAdoptingArchive = true;
    m_pDocument->Adopt(archived);
    m_bAdoptingArchive = false;
    if (faresOnly) {
        m_pShowAll->setChecked(false);
        FillList(m_pDocument->m_data.m_entries);
    }
    m_archiveKeys.Assign(m_pDocument->m_data.m_entries, ids);
    m_bShowingArchive = true;
    // What the archive holds needs no file to be kept.
    m_pDocument->ClearPathName();
    m_pDocument->SetModifiedFlag(false);
    m_pDocument->UpdateAllViews(HINT_DOCUMENT_STATE);
    if (m_pStatusBar)
        m_pStatusBar->SetCardStatus(IdmText(idm), balance);
    UpdateNote();
    return true;
}

std::vector<CHistoryModel::SGapRow> CCorvaneForm::PlaceGaps(std::vector<SArchiveGap> gaps,
                                                            const std::vector<int64_t>& ids)
{
    std::vector<CHistoryModel::SGapRow> placed;
    if (gaps.empty())
        return placed;
    std::unordered_map<int64_t, size_t> place;
    place.reserve(ids.size());
    for (size_t i = 0; i < ids.size(); ++i)
        place.emplace(ids[i], i);
    for (SArchiveGap& gap : gaps) {
        // Before the record after it; else after the record before it; else, with
        // neither in the period, it spans the period, which then holds none of the card's.
        size_t beforeEntry = 0;
        if (const auto before = place.find(gap.beforeId); before != place.end())
            beforeEntry = before->second;
        else if (const auto after = place.find(gap.afterId); after != place.end())
            beforeEntry = after->second + 1;
        placed.push_back({beforeEntry, std::move(gap)});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const CHistoryModel::SGapRow& a, const CHistoryModel::SGapRow& b) {
        return a.beforeEntry < b.beforeEntry;
    });
    return placed;
}

void CCorvaneForm::UpdateNote()
{
    if (!m_pStatusBar)
        return;
    int64_t missing = 0;
    for (const CHistoryModel::SGapRow& gap : m_gaps)
        missing += gap.gap.nMissing;
    QStringList notes;
    if (!m_strReadByNote.isEmpty())
        notes << m_strReadByNote;
    if (missing > 0)
        notes << LoadResString(IDS_PERIOD_GAPS).arg(missing);
    m_pStatusBar->SetNote(notes.join(QStringLiteral("　")));
}

const CUserNames* CCorvaneForm::FreshUserNames()
{
    if (!m_pUserNames)
        return nullptr;
    if (m_pUserNames->Load())
        return m_pUserNames;
    ShowFailureWithReason(LoadResString(IDS_NAMES_UNREADABLE), m_pUserNames->LastError());
    return nullptr;
}

CEntryInfo* CCorvaneForm::CurrentEntry() const
{
    const QModelIndex current = m_pList->currentIndex();
    if (!current.isValid() || !m_pList->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        return nullptr;
    return m_pModel->EntryAt(current.row());
}

void CCorvaneForm::RenameStation(const SStationKey& key)
{
    RenameEntries(m_pDocument->m_data.m_entries, m_profile.GetConnectString(), m_profile.GetPassword(), m_pUserNames,
                  key);
    m_pList->viewport()->update();
    // The archive keeps codes and names its history when it is shown; a file keeps the names.
    if (!m_bShowingArchive)
        m_pDocument->SetModifiedFlag();
}

bool CCorvaneForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_pList || (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride))
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // Ctrl+C is the list's: whole rows for a spreadsheet, not the current cell.
    if (key->matches(QKeySequence::Copy)) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
            CopySelectedRows();
        return event->type() == QEvent::KeyPress;
    }
    // Keys an open editor passes on are not the list's.
    const QWidget* focus = QApplication::focusWidget();
    if (event->type() != QEvent::KeyPress || (focus && focus != m_pList))
        return false;
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && IsColumnShown(0)) {
        ToggleSelectedTicks();
        return true;
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        && (m_pModel->flags(m_pList->currentIndex()) & Qt::ItemIsEditable)) {
        m_pList->edit(m_pList->currentIndex());
        return true;
    }
    return false;
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
        if (CountsTowardsClaim(*entry)) {
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
    m_archiveKeys.Clear();
    m_bShowingArchive = false;
    m_pDocument->m_data.Clear();
    if (!m_bAdoptingArchive) {
        m_gaps.clear();
        m_strReadByNote.clear();
    }
    if (m_pStatusBar) {
        m_pStatusBar->SetCardStatus(QString(), -1);
        if (!m_bAdoptingArchive)
            m_pStatusBar->SetNote(QString());
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
