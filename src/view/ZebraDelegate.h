// Paints every second row of the history list in the light 3-D colour while
// the zebra setting is on; the setting is asked at every paint. Texts keep a few
// pixels from the cell's edges.
#pragma once

#include <QStyledItemDelegate>

#include <QStringList>

#include <functional>

class CZebraDelegate : public QStyledItemDelegate {
public:
    CZebraDelegate(std::function<bool()> zebraOn, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The editor of column offers the texts completions gives when it opens.
    void SetCompletions(int column, std::function<QStringList()> completions);
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    std::function<bool()> m_zebraOn;
    int m_nCompletionColumn = -1;
    std::function<QStringList()> m_completions;
};
