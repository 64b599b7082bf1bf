#include "view/HistoryModel.h"

#include "card/ProcessKinds.h"
#include "claim/ClaimColumns.h"
#include "resources/StringTable.h"
#include "view/HistoryColumns.h"

#include <QGuiApplication>
#include <QPalette>

#include <utility>

namespace {

bool IsTextColumn(int column)
{
    return column == CHistoryModel::kDestinationColumn || column == CHistoryModel::kRemarksColumn;
}

QString CellText(const CEntryInfo& entry, int column)
{
    if (column == CHistoryModel::kDistanceColumn)
        return entry.distance > 0 ? ClaimCellText(entry, kClaimDistanceColumn) : QString();
    if (column == CHistoryModel::kTimeColumn)
        return ClaimCellText(entry, kClaimTimeColumn);
    return column == 0 ? QString() : HistoryCellText(entry, column);
}

Qt::Alignment ColumnAlignment(int column)
{
    if (column == CHistoryModel::kDistanceColumn)
        return Qt::AlignRight | Qt::AlignVCenter;
    if (column == CHistoryModel::kTimeColumn)
        return Qt::AlignHCenter | Qt::AlignVCenter;
    return HistoryColumns()[static_cast<size_t>(column)].alignment;
}

// A gap's row: its count where the date stands (the view spans it over the row),
// the days on either side in its tip.
QVariant GapData(const SArchiveGap& gap, int column, int role)
{
    switch (role) {
    case Qt::DisplayRole:
        return column == 1 ? QVariant(LoadResString(IDS_GAP_ROW).arg(gap.nMissing)) : QVariant();
    case Qt::ToolTipRole: {
        const QString format = QStringLiteral("yyyy/MM/dd");
        return QStringLiteral("%1〜%2").arg(gap.afterDay.toString(format), gap.beforeDay.toString(format));
    }
    case Qt::TextAlignmentRole:
        return static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
    default:
        return {};
    }
}

} // namespace

int CHistoryModel::ClaimColumn(int column)
{
    switch (column) {
    case kDistanceColumn: return kClaimDistanceColumn;
    case kTimeColumn: return kClaimTimeColumn;
    default: return column + 1;
    }
}

CHistoryModel::CHistoryModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void CHistoryModel::SetRows(std::vector<CEntryInfo*> rows, std::vector<SGapRow> gaps)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_gaps = std::move(gaps);
    m_layout.clear();
    m_layout.reserve(m_rows.size() + m_gaps.size());
    size_t gap = 0;
    for (size_t entry = 0; entry <= m_rows.size(); ++entry) {
        for (; gap < m_gaps.size() && (m_gaps[gap].beforeEntry <= entry || entry == m_rows.size()); ++gap)
            m_layout.push_back(-1 - static_cast<int64_t>(gap));
        if (entry < m_rows.size())
            m_layout.push_back(static_cast<int64_t>(entry));
    }
    endResetModel();
}

CEntryInfo* CHistoryModel::EntryAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_layout.size() || m_layout[static_cast<size_t>(row)] < 0)
        return nullptr;
    return m_rows[static_cast<size_t>(m_layout[static_cast<size_t>(row)])];
}

const SArchiveGap* CHistoryModel::GapAt(int row) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_layout.size() || m_layout[static_cast<size_t>(row)] >= 0)
        return nullptr;
    return &m_gaps[static_cast<size_t>(-1 - m_layout[static_cast<size_t>(row)])].gap;
}

void CHistoryModel::SetMarkUnclaimed(bool mark)
{
    if (mark == m_bMarkUnclaimed)
        return;
    m_bMarkUnclaimed = mark;
    if (!m_rows.empty())
        emit dataChanged(index(0, kAmountColumn), index(rowCount() - 1, kAmountColumn), {Qt::ForegroundRole});
}

int CHistoryModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_layout.size());
}

int CHistoryModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CHistoryModel::data(const QModelIndex& index, int role) const
{
    if (const SArchiveGap* gap = index.isValid() ? GapAt(index.row()) : nullptr)
        return GapData(*gap, index.column(), role);
    const CEntryInfo* entry = index.isValid() ? EntryAt(index.row()) : nullptr;
    if (!entry)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return column == 0 ? QVariant() : QVariant(CellText(*entry, column));
    case Qt::EditRole:
        if (column == kDestinationColumn)
            return entry->destination;
        if (column == kRemarksColumn)
            return entry->remarks;
        return {};
    case Qt::TextAlignmentRole:
        return static_cast<int>(ColumnAlignment(column));
    case Qt::CheckStateRole:
        // Only a claimable fare has a box: nothing else can count towards the claim.
        if (column != 0 || !IsClaimableFare(*entry))
            return {};
        return entry->apply != 0 ? Qt::Checked : Qt::Unchecked;
    case Qt::ForegroundRole:
        if (column == kAmountColumn && m_bMarkUnclaimed && !CountsTowardsClaim(*entry))
            return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    default:
        return {};
    }
}

bool CHistoryModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    CEntryInfo* entry = index.isValid() ? EntryAt(index.row()) : nullptr;
    if (!entry)
        return false;
    const int column = index.column();
    if (role == Qt::CheckStateRole && column == 0) {
        if (!IsClaimableFare(*entry))
            return false;
        const uint8_t apply = value.value<Qt::CheckState>() == Qt::Checked ? 1 : 0;
        if (apply == entry->apply)
            return true;
        entry->apply = apply;
        emit dataChanged(index, index.siblingAtColumn(kAmountColumn), {Qt::CheckStateRole, Qt::ForegroundRole});
    } else if (role == Qt::EditRole && IsTextColumn(column)) {
        QString& text = column == kDestinationColumn ? entry->destination : entry->remarks;
        const QString edited = value.toString();
        if (edited == text)
            return true;
        text = edited;
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    } else {
        return false;
    }
    emit EntryEdited(index.row(), column);
    return true;
}

QVariant CHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole) {
        const QString title = ClaimColumnTitle(ClaimColumn(section));
        // The header draws its titles against the section edge; a space keeps
        // "残高" off "備考" as the cells keep their texts off the grid.
        const Qt::Alignment alignment = ColumnAlignment(section);
        if (alignment & Qt::AlignLeft)
            return QStringLiteral(" ") + title;
        if (alignment & Qt::AlignRight)
            return title + QStringLiteral(" ");
        return title;
    }
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(ColumnAlignment(section));
    return {};
}

Qt::ItemFlags CHistoryModel::flags(const QModelIndex& index) const
{
    // A gap's row takes no selection, tick or edit: there is nothing to claim in it.
    if (!index.isValid() || GapAt(index.row()))
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) {
        const CEntryInfo* entry = EntryAt(index.row());
        if (entry && IsClaimableFare(*entry))
            flags |= Qt::ItemIsUserCheckable;
    }
    else if (IsTextColumn(index.column()))
        flags |= Qt::ItemIsEditable;
    return flags;
}
