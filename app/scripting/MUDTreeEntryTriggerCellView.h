#pragma once

#include <QStyledItemDelegate>

// Paints a script tree row: a 22 x 22 icon 2 points from the left, the
// name 3 points right of it in a small bold font, truncated at the tail.
// Removed rows are struck through with a faint red line; modified rows are
// green (the model's foreground). Main thread.
class MUDTreeEntryTriggerCellView : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int IconSize = 22;
    // The colour of the strike-through line.
    static QColor strikeThroughColor();

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
