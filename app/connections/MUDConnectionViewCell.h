#pragma once

#include <QPixmap>
#include <QStyledItemDelegate>
#include <optional>

#include "engine/connection/CVFTPortTesterResult.h"

class MUDConnection;

// Paints one connection of the connections grid: its picture, its title,
// a status picture for its reachability and its address line; a selected
// cell gets the selection colour behind it, a selected or hovered one an
// edit button. The display rules are static so
// the grid's model and tests share them. Main thread.
class MUDConnectionViewCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int CellWidth = 140;
    static constexpr int CellHeight = 160;
    static constexpr int PictureSize = 96;

    using QStyledItemDelegate::QStyledItemDelegate;

    // "ConnectionWindowStatusOnline", "...Partial", "...Offline" or "...Unknown".
    static QString statusImageName(const std::optional<CVFTPortTesterResult>& result);
    // "searching" until a result with a status arrives; then the resolved
    // address, or the probe's error when it has one.
    static QString addressLine(const std::optional<CVFTPortTesterResult>& result);
    // The status in words, for a screen reader ("online", "offline", ...).
    static QString statusText(const std::optional<CVFTPortTesterResult>& result);
    // The connection's stored picture when it loads, else "MudConnection".
    static QPixmap pictureForConnection(const MUDConnection& connection, int size = PictureSize);

    // The cell's edit button, in the top right corner of the cell.
    static QRect editButtonRect(const QRect& cellRect);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    // The edit button of the cell at `index` was clicked.
    void editButtonClicked(const QModelIndex& index);

protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
};
