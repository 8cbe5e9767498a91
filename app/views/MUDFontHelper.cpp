#include "app/views/MUDFontHelper.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QHash>

#include "core/CVLogHelper.h"
#include "engine/storage/MUDUserSettings.h"

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

QFont MUDFontHelper::outputFont()
{
    // Asked for every batch of server text: derived again only when the
    // preferences change (their generation starts above zero).
    static quint64 derivedGeneration = 0;
    static QFont derived;
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    const quint64 generation = settings.generation();
    if (generation == derivedGeneration)
        return derived;

    const int chosenSize = settings.outputFontSize();
    const qreal pointSize = chosenSize > 0 ? qreal(chosenSize) : defaultOutputFontSize();
    const QString family = settings.outputFontFamily();
    if (!family.isEmpty() && isMonospacedFamily(family)) {
        derived = monospacedFontOfSize(pointSize, {family});
    } else {
        if (!family.isEmpty())
            CVLog(QStringLiteral("MUDFontHelper - Output font family \"%1\" is not an installed monospaced font. "
                                 "Using the default.")
                      .arg(family));
        derived = monospacedFontOfSize(pointSize);
    }
    derivedGeneration = generation;
    return derived;
}

bool MUDFontHelper::isMonospacedFamily(const QString& family)
{
    return QFontDatabase::hasFamily(family) && QFontDatabase::isFixedPitch(family);
}
