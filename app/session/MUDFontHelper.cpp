#include "app/session/MUDFontHelper.h"

#include <QFontDatabase>
#include <QGuiApplication>

QStringList MUDFontHelper::preferredFamilies()
{
    return {QStringLiteral("SFMono-Regular"), QStringLiteral("Monaco"), QStringLiteral("DejaVu Sans Mono")};
}

QFont MUDFontHelper::monospacedFontOfSize(qreal pointSize)
{
    return monospacedFontOfSize(pointSize, preferredFamilies());
}

QFont MUDFontHelper::monospacedFontOfSize(qreal pointSize, const QStringList& families)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const QString& family : families) {
        if (QFontDatabase::hasFamily(family)) {
            font = QFont(family);
            break;
        }
    }
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(pointSize);
    return font;
}

qreal MUDFontHelper::systemFontSize()
{
    const qreal size = QGuiApplication::font().pointSizeF();
    return size > 0 ? size : 13.0;
}
