// The rows of the history list: each refers to an entry the document owns, and
// every cell is read from that entry when the view asks for it. Between them the
// archive's gaps may have rows of their own, which are no entries: greyed, never
// ticked, edited, copied or counted.
#pragma once

#include "card/EntryInfo.h"
#include "history/ArchiveGaps.h"

#include <QAbstractTableModel>

#include <vector>

class CHistoryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kDestinationColumn = 10;
    static constexpr int kRemarksColumn = 11;
    static constexpr int kAmountColumn = 8;
    // After the twelve of the list's width text, shown only on request.
    static constexpr int kDistanceColumn = 12;
    static constexpr int kTimeColumn = 13;
    static constexpr int kColumnCount = 14;

    // The claim export's number of a list column (counted from 1, the distance and
    // the times after the twelve).
    static int ClaimColumn(int column);

    explicit CHistoryModel(QObject* parent = nullptr);

    // A gap's row goes before the entry rows[beforeEntry] (at the end when that is rows.size()).
    struct SGapRow {
        size_t beforeEntry = 0;
        SArchiveGap gap;
    };

    // gaps in the order of beforeEntry.
    void SetRows(std::vector<CEntryInfo*> rows, std::vector<SGapRow> gaps = {});
    // The entries of the rows, without the gaps.
    const std::vector<CEntryInfo*>& Rows() const { return m_rows; }
    // Null for a gap's row.
    CEntryInfo* EntryAt(int row) const;
    // Null for an entry's row.
    const SArchiveGap* GapAt(int row) const;
    // Unclaimed amounts drawn in the disabled text colour.
    void SetMarkUnclaimed(bool mark);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The person changed an entry through the list: a tick (column 0) or a text.
    void EntryEdited(int row, int column);

private:
    std::vector<CEntryInfo*> m_rows;
    std::vector<SGapRow> m_gaps;
    // Each row's place: an index into m_rows, or -1 - an index into m_gaps.
    std::vector<int64_t> m_layout;
    bool m_bMarkUnclaimed = false;
};
