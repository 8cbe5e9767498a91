#pragma once

#include <QColor>

class QApplication;

// The application's look: always dark, whatever the desktop's theme
// (the Fusion style with a dark palette), and colours chosen to stay
// readable on the background they are drawn on. Main thread.
class MUDAppearance {
public:
    static void applyDarkAppearance(QApplication& application);

    // WCAG 2 relative luminance (0 black to 1 white) and contrast ratio
    // (1 to 21) of two opaque colours.
    static double relativeLuminance(const QColor& color);
    static double contrastRatio(const QColor& first, const QColor& second);

    // The colour of the session's status lines (connecting, connected,
    // reconnect countdown, sharing) on `background`: the navy #013783 on a
    // light background, a lighter blue of the same hue on a dark one.
    static QColor statusLineColor(const QColor& background);

    // The least contrast text should have against its background (WCAG AA).
    static constexpr double MinimumTextContrast = 4.5;
    // `color` with its lightness moved away from `background`, hue and
    // saturation kept, until it reads at MinimumTextContrast; unchanged when
    // it does already.
    static QColor readableColor(const QColor& color, const QColor& background);
    // How "High-contrast colours" draws `color` on `background`: the ANSI
    // palette's dark entries (blue, bold blue, the greys) made readable,
    // every other colour as it is.
    static QColor highContrastColor(const QColor& color, const QColor& background);
};
