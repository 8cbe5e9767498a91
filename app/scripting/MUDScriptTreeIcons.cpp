#include "app/scripting/MUDScriptTreeIcons.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include "app/scripting/MUDScriptKind.h"

namespace {

constexpr int kSize = 24;

QColor lineColor()
{
    return QApplication::palette().color(QPalette::WindowText);
}

template<class Draw> QIcon drawn(Draw draw)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(lineColor(), 1.6));
    draw(painter);
    painter.end();
    return QIcon(pixmap);
}

void drawFolder(QPainter& painter)
{
    QPainterPath path;
    path.moveTo(3, 6);
    path.lineTo(9, 6);
    path.lineTo(11, 8);
    path.lineTo(21, 8);
    path.lineTo(21, 19);
    path.lineTo(3, 19);
    path.closeSubpath();
    painter.drawPath(path);
}

void drawNote(QPainter& painter)
{
    painter.drawRoundedRect(QRectF(5, 3, 14, 18), 2, 2);
    for (int y = 8; y <= 16; y += 4)
        painter.drawLine(QPointF(8, y), QPointF(16, y));
}

void drawCheckbox(QPainter& painter, bool checked)
{
    painter.drawRoundedRect(QRectF(4, 4, 16, 16), 3, 3);
    if (checked) {
        QPainterPath tick;
        tick.moveTo(8, 12);
        tick.lineTo(11, 15);
        tick.lineTo(16, 9);
        painter.drawPath(tick);
    }
}

void drawTrigger(QPainter& painter)
{
    QPainterPath bolt;
    bolt.moveTo(13, 3);
    bolt.lineTo(6, 14);
    bolt.lineTo(12, 14);
    bolt.lineTo(10, 21);
    bolt.lineTo(18, 10);
    bolt.lineTo(12, 10);
    bolt.closeSubpath();
    painter.drawPath(bolt);
}

void drawAlias(QPainter& painter)
{
    painter.drawLine(QPointF(4, 12), QPointF(18, 12));
    painter.drawLine(QPointF(13, 7), QPointF(18, 12));
    painter.drawLine(QPointF(13, 17), QPointF(18, 12));
}

}

namespace MUDScriptTreeIcons {

QIcon folder()
{
    return drawn(drawFolder);
}

QIcon note()
{
    return drawn(drawNote);
}

QIcon checkbox(bool checked)
{
    return drawn([checked](QPainter& painter) { drawCheckbox(painter, checked); });
}

QIcon tab(int scriptKind)
{
    switch (scriptKind) {
    case MUDScriptKind::Aliases: return drawn(drawAlias);
    case MUDScriptKind::Triggers: return drawn(drawTrigger);
    default: return drawn(drawNote);
    }
}

}
