#pragma once

#include <QColor>
#include <QString>
#include <QStringView>

// Colour conversions shared by the engine and the application. Any thread.

// Six hexadecimal digits, with or without a leading "#", as an opaque
// colour; anything else gives an invalid QColor.
QColor hexToColor(QStringView hex);

// A darker shade of the same hue, for backgrounds derived from a theme colour.
QColor darkerColor(const QColor& color);

// The same colour at the given opacity (0 to 1), for overlays drawn over text.
QColor withAlpha(QColor color, qreal alpha);

// "#rrggbb" in lower case.
QString hexadecimalValue(const QColor& color);
