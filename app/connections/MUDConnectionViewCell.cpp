#include "app/connections/MUDConnectionViewCell.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "app/connections/MUDConnectionsGridModel.h"
#include "app/views/MUDImageLibrary.h"
#include "core/CVLogHelper.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

QString MUDConnectionViewCell::statusImageName(const std::optional<CVFTPortTesterResult>& result)
{
    switch (result ? result->connectionResultStatus : CVFTPortTesterResult::Unknown) {
    case CVFTPortTesterResult::Online: return QStringLiteral("ConnectionWindowStatusOnline");
    case CVFTPortTesterResult::Partial: return QStringLiteral("ConnectionWindowStatusPartial");
    case CVFTPortTesterResult::Offline: return QStringLiteral("ConnectionWindowStatusOffline");
    default: return QStringLiteral("ConnectionWindowStatusUnknown");
    }
}

QString MUDConnectionViewCell::statusText(const std::optional<CVFTPortTesterResult>& result)
{
    switch (result ? result->connectionResultStatus : CVFTPortTesterResult::Unknown) {
    case CVFTPortTesterResult::Online: return tr("online");
    case CVFTPortTesterResult::Partial: return tr("partly reachable");
    case CVFTPortTesterResult::Offline: return tr("offline");
    default: return tr("checking");
    }
}

QString MUDConnectionViewCell::addressLine(const std::optional<CVFTPortTesterResult>& result)
{
    if (!result || result->connectionResultStatus == CVFTPortTesterResult::Unknown)
        return QStringLiteral("searching");
    if (result->error && !result->error->description.isEmpty())
        return result->error->description;
    return result->hostDisplay;
}

QPixmap MUDConnectionViewCell::pictureForConnection(const MUDConnection& connection, int size)
{
    const QString path = MUDPreservation::imageURLForConnection(connection);
    if (!path.isEmpty() && QFile::exists(path)) {
        const QImage image(path);
        if (!image.isNull())
            return QPixmap::fromImage(image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    return MUDImageLibrary::imageNamed(QStringLiteral("MudConnection"), size);
}

void MUDConnectionViewCell::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = option.rect.adjusted(4, 4, -4, -4);
    if (option.state & QStyle::State_Selected) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(option.palette.color(QPalette::Highlight));
        painter->drawRoundedRect(cell, 8, 8);
    }

    const QPixmap picture = index.data(Qt::DecorationRole).value<QPixmap>();
    const QRect pictureRect(cell.left() + (cell.width() - PictureSize) / 2, cell.top() + 4, PictureSize, PictureSize);
    if (!picture.isNull()) {
        const QSize shown = picture.size().scaled(pictureRect.size(), Qt::KeepAspectRatio);
        painter->drawPixmap(QRect(pictureRect.center() - QPoint(shown.width() / 2, shown.height() / 2), shown),
                            picture);
    }

    const QColor textColor =
        option.palette.color((option.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text);
    QFont titleFont = option.font;
    titleFont.setPointSizeF(qMax(9.0, titleFont.pointSizeF() + 1));
    const QFontMetrics titleMetrics(titleFont);
    const QRect titleRect(cell.left() + 4, pictureRect.bottom() + 4, cell.width() - 8, titleMetrics.height());
    painter->setFont(titleFont);
    painter->setPen(textColor);
    painter->drawText(
        titleRect, Qt::AlignCenter,
        titleMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, titleRect.width()));

    QFont addressFont = option.font;
    addressFont.setPointSizeF(qMax(7.0, addressFont.pointSizeF() - 1));
    const QFontMetrics addressMetrics(addressFont);
    const int dot = addressMetrics.height() - 2;
    const QRect addressRect(cell.left() + 4 + dot + 4, titleRect.bottom() + 4, cell.width() - 12 - dot,
                            addressMetrics.height());
    painter->drawPixmap(
        QRect(cell.left() + 4, addressRect.top() + 1, dot, dot),
        MUDImageLibrary::imageNamed(index.data(MUDConnectionsGridModel::StatusImageNameRole).toString(), dot * 2));
    painter->setFont(addressFont);
    QColor addressColor = textColor;
    addressColor.setAlphaF(0.7);
    painter->setPen(addressColor);
    painter->drawText(addressRect, Qt::AlignLeft | Qt::AlignVCenter,
                      addressMetrics.elidedText(index.data(MUDConnectionsGridModel::AddressLineRole).toString(),
                                                Qt::ElideRight, addressRect.width()));
    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
        const QRect button = editButtonRect(option.rect);
        painter->setPen(Qt::NoPen);
        painter->setBrush(option.palette.color(QPalette::Button));
        painter->drawEllipse(button);
        painter->setPen(option.palette.color(QPalette::ButtonText));
        painter->setFont(option.font);
        painter->drawText(button, Qt::AlignCenter, QStringLiteral("\u270E"));
    }
    painter->restore();
}

QRect MUDConnectionViewCell::editButtonRect(const QRect& cellRect)
{
    constexpr int Size = 22;
    return QRect(cellRect.right() - 8 - Size, cellRect.top() + 8, Size, Size);
}

bool MUDConnectionViewCell::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                        const QModelIndex& index)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && editButtonRect(option.rect).contains(mouse->position().toPoint())) {
            CVLog(QStringLiteral("clickedConfiguration"));
            emit editButtonClicked(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

QSize MUDConnectionViewCell::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(CellWidth, CellHeight);
}
