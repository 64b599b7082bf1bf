// The rows of the history list: each refers to an entry the document owns, and
// every cell is read from that entry when the view asks for it.
#pragma once

#include "card/EntryInfo.h"

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

    void SetRows(std::vector<CEntryInfo*> rows);
    const std::vector<CEntryInfo*>& Rows() const { return m_rows; }
    CEntryInfo* EntryAt(int row) const;
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
    bool m_bMarkUnclaimed = false;
};
