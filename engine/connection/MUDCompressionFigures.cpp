#include "engine/connection/MUDCompressionFigures.h"

#include <QLocale>

double MUDCompressionFigures::ratio() const
{
    return wireBytes == 0 ? 0.0 : double(inflatedBytes) / double(wireBytes);
}

QString MUDCompressionFigures::text() const
{
    const QLocale locale;
    return QStringLiteral("%1 bytes on the wire inflated to %2 (ratio %3)")
        .arg(locale.toString(wireBytes), locale.toString(inflatedBytes), locale.toString(ratio(), 'f', 1));
}
