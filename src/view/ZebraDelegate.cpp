#include "view/ZebraDelegate.h"

#include <utility>

CZebraDelegate::CZebraDelegate(std::function<bool()> zebraOn, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_zebraOn(std::move(zebraOn))
{
}

void CZebraDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // Counted from the top of the list, not of the visible part.
    if (index.row() % 2 == 1 && m_zebraOn()) {
        option->backgroundBrush = option->palette.brush(QPalette::Midlight);
    }
}
