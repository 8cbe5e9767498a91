#include "app/views/MUDFontHelper.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>

QStringList MUDFontHelper::preferredFamilies()
{
    return {QStringLiteral("SFMono-Regular"), QStringLiteral("Monaco"), QStringLiteral("DejaVu Sans Mono")};
}

QFont MUDFontHelper::monospacedFontOfSize(qreal pointSize)
{
    // Asked for every batch of server text: the font database lookup costs
    // far more than the batch, and handing out one shared font lets the
    // style state compare fonts by identity.
    static QHash<qreal, QFont> chosen;
    auto found = chosen.constFind(pointSize);
    if (found == chosen.constEnd())
        found = chosen.insert(pointSize, monospacedFontOfSize(pointSize, preferredFamilies()));
    return *found;
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
