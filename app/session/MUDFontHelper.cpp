#include "app/session/MUDFontHelper.h"

#include <QFontDatabase>
#include <QGuiApplication>

QFont MUDFontHelper::monospacedFontOfSize(qreal pointSize)
{
    QFont font = QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans Mono"))
                     ? QFont(QStringLiteral("DejaVu Sans Mono"))
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(pointSize);
    return font;
}

qreal MUDFontHelper::systemFontSize()
{
    const qreal size = QGuiApplication::font().pointSizeF();
    return size > 0 ? size : 13.0;
}
