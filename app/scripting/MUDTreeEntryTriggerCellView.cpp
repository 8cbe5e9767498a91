#include "app/scripting/MUDTreeEntryTriggerCellView.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>

#include "app/scripting/MUDScriptTreeModel.h"

QColor MUDTreeEntryTriggerCellView::strikeThroughColor()
{
    QColor color(Qt::red);
    color.setAlphaF(0.3);
    return color;
}

void MUDTreeEntryTriggerCellView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, option.widget);

    const QRect rect = option.rect;
    const QRect iconRect(rect.left() + 2, rect.top() + (rect.height() - IconSize) / 2, IconSize, IconSize);
    index.data(Qt::DecorationRole).value<QIcon>().paint(painter, iconRect);

    QFont font = index.data(Qt::FontRole).value<QFont>();
    const bool removed = index.data(MUDScriptTreeModel::RemovedRole).toBool();
    font.setStrikeOut(false);
    const QFontMetrics metrics(font);
    const int textLeft = iconRect.right() + 1 + 3;
    const QRect textRect(textLeft, rect.top(), rect.right() - textLeft, rect.height());
    const QString text = metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width());

    painter->save();
    painter->setFont(font);
    // Green on the selection colour is hard to read: a selected row uses
    // the selection's text colour and shows its state again once left.
    const bool selected = option.state & QStyle::State_Selected;
    const QColor foreground =
        selected ? option.palette.color(QPalette::HighlightedText) : index.data(Qt::ForegroundRole).value<QColor>();
    painter->setPen(foreground);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    if (removed) {
        const int y = textRect.center().y() + 1;
        painter->setPen(QPen(strikeThroughColor(), 1));
        painter->drawLine(textLeft, y, textLeft + metrics.horizontalAdvance(text), y);
    }
    painter->restore();
}

QSize MUDTreeEntryTriggerCellView::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QFontMetrics metrics(index.data(Qt::FontRole).value<QFont>());
    const int width = 2 + IconSize + 3 + metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString()) + 4;
    return QSize(width, std::max(IconSize + 2, option.fontMetrics.height()));
}
