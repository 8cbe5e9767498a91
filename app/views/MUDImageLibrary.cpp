#include "app/views/MUDImageLibrary.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>

namespace {
QPixmap emptyPixmap(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}
} // namespace

QPixmap MUDImageLibrary::imageNamed(const QString& name, int size)
{
    if (name == QLatin1String("ConnectionWindowStatusOnline"))
        return statusDot(QColor(0x3c, 0xc8, 0x5a), size);
    if (name == QLatin1String("ConnectionWindowStatusPartial"))
        return statusDot(QColor(0xf0, 0xa0, 0x30), size);
    if (name == QLatin1String("ConnectionWindowStatusOffline"))
        return statusDot(QColor(0xe0, 0x40, 0x40), size);
    if (name == QLatin1String("ConnectionWindowStatusUnknown"))
        return statusDot(QColor(0x80, 0x80, 0x80), size);
    if (name == QLatin1String("AppIcon") || name == QLatin1String("MUDConnectionsWindowControllerImage"))
        return appIcon(size);
    if (name == QLatin1String("MudConnection"))
        return connectionPicture(size);
    if (name == QLatin1String("SecureConnection"))
        return lock(size);
    return {};
}

QIcon MUDImageLibrary::applicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(appIcon(size));
    return icon;
}

QPixmap MUDImageLibrary::statusDot(const QColor& color, int size)
{
    QPixmap pixmap = emptyPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color.darker(140), qMax(1.0, size / 16.0)));
    painter.setBrush(color);
    const qreal inset = size / 8.0;
    painter.drawEllipse(QRectF(inset, inset, size - 2 * inset, size - 2 * inset));
    return pixmap;
}

// A closed padlock in green, on a 16-unit grid.
QPixmap MUDImageLibrary::lock(int size)
{
    QPixmap pixmap = emptyPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    const QColor green(0x3c, 0xa0, 0x5a);
    painter.setPen(QPen(green, 1.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(4.5, 1.5, 7, 8), 0, 180 * 16);
    painter.drawLine(QPointF(4.5, 5.5), QPointF(4.5, 7.5));
    painter.drawLine(QPointF(11.5, 5.5), QPointF(11.5, 7.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(green);
    painter.drawRoundedRect(QRectF(2.5, 7, 11, 8), 1.5, 1.5);
    return pixmap;
}

// The same art as the installed quarrow.svg: a dark tile, a green prompt and
// a golden bolt, drawn on a 256-unit grid.
QPixmap MUDImageLibrary::appIcon(int size)
{
    QPixmap pixmap = emptyPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);
    painter.setPen(QPen(QColor(0x3a, 0x45, 0x60), 6));
    painter.setBrush(QColor(0x1d, 0x22, 0x30));
    painter.drawRoundedRect(QRectF(12, 12, 232, 232), 44, 44);
    QPen prompt(QColor(0x4c, 0xd0, 0x7d), 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(prompt);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(52, 92), QPointF(92, 124), QPointF(52, 156)}));
    painter.drawLine(QPointF(108, 164), QPointF(168, 164));
    const QColor gold(0xe6, 0xb4, 0x50);
    painter.setPen(QPen(gold, 10, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(118, 204), QPointF(204, 60));
    painter.setPen(QPen(gold, 8, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(118, 204), QPointF(112, 184));
    painter.drawLine(QPointF(118, 204), QPointF(136, 196));
    QPainterPath head;
    head.addPolygon(QPolygonF({QPointF(204, 60), QPointF(182, 70), QPointF(196, 84)}));
    painter.fillPath(head, gold);
    return pixmap;
}

QPixmap MUDImageLibrary::connectionPicture(int size)
{
    QPixmap pixmap = emptyPixmap(size);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(QPen(QColor(0x50, 0x5a, 0x70), 2));
    painter.setBrush(QColor(0x26, 0x2b, 0x38));
    painter.drawRoundedRect(QRectF(4, 8, 56, 44), 6, 6);
    painter.setPen(QPen(QColor(0x4c, 0xd0, 0x7d), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(14, 20), QPointF(24, 28), QPointF(14, 36)}));
    painter.drawLine(QPointF(30, 38), QPointF(44, 38));
    painter.setPen(QPen(QColor(0x50, 0x5a, 0x70), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(24, 58), QPointF(40, 58));
    return pixmap;
}
