#include "view/ZebraDelegate.h"

#include <QApplication>
#include <QCompleter>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QTimer>

#include <utility>

namespace {

constexpr int kTextPadding = 4;

} // namespace

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

void CZebraDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    // The check box column keeps the style's own layout, so that clicks land where it is drawn.
    if (cell.features & QStyleOptionViewItem::HasCheckIndicator) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = cell.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Background and selection over the whole cell, the text clear of the edge it is
    // aligned to; a centred date needs all of its narrow column.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);
    if (cell.displayAlignment & Qt::AlignLeft)
        cell.rect.adjust(kTextPadding, 0, 0, 0);
    else if (cell.displayAlignment & Qt::AlignRight)
        cell.rect.adjust(0, 0, -kTextPadding, 0);
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
}

void CZebraDelegate::SetCompletions(int column, std::function<QStringList()> completions)
{
    m_nCompletionColumn = column;
    m_completions = std::move(completions);
}

QWidget* CZebraDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const
{
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line && index.column() == m_nCompletionColumn && m_completions) {
        auto* completer = new QCompleter(m_completions(), line);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
        line->setCompleter(completer);
        // The recent destinations show at once, not only after the first key.
        QTimer::singleShot(0, line, [line, completer] {
            completer->setCompletionPrefix(line->text());
            completer->complete();
        });
    }
    return editor;
}
