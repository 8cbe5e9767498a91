#include "app/views/MUDAppearance.h"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include "core/CVColorHelpers.h"
#include "engine/decoding/MUDColors.h"

namespace {
double linearChannel(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}
}

void MUDAppearance::applyDarkAppearance(QApplication& application)
{
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QColor window(0x2b, 0x2d, 0x33);
    const QColor base(0x1e, 0x1f, 0x24);
    const QColor text(0xe6, 0xe6, 0xe6);
    const QColor disabledText(0x7a, 0x7c, 0x82);
    const QColor highlight(0x2f, 0x6f, 0xd0);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabledText);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window.lighter(115));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, QColor(0x5a, 0xa0, 0xf0));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Light, window.lighter(150));
    palette.setColor(QPalette::Midlight, window.lighter(125));
    palette.setColor(QPalette::Mid, window.darker(120));
    palette.setColor(QPalette::Dark, window.darker(150));
    palette.setColor(QPalette::Shadow, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(130));
    application.setPalette(palette);
}

double MUDAppearance::relativeLuminance(const QColor& color)
{
    return 0.2126 * linearChannel(color.redF()) + 0.7152 * linearChannel(color.greenF()) +
           0.0722 * linearChannel(color.blueF());
}

double MUDAppearance::contrastRatio(const QColor& first, const QColor& second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor MUDAppearance::readableColor(const QColor& color, const QColor& background)
{
    if (contrastRatio(color, background) >= MinimumTextContrast)
        return color;
    // Towards whichever end reads better on this background: a mid grey reaches 4.5:1 only with black.
    const bool lighten = contrastRatio(Qt::white, background) >= contrastRatio(Qt::black, background);
    float hue = 0;
    float saturation = 0;
    float lightness = 0;
    color.toHsl().getHslF(&hue, &saturation, &lightness);
    QColor readable = color;
    // A hundredth of lightness a step: at most a hundred steps reach white or black, which always read.
    for (int step = 0; step < 100 && contrastRatio(readable, background) < MinimumTextContrast; ++step) {
        lightness = std::clamp(lightness + (lighten ? 0.01f : -0.01f), 0.0f, 1.0f);
        readable = QColor::fromHslF(hue, saturation, lightness).toRgb();
    }
    return readable;
}

QColor MUDAppearance::highContrastColor(const QColor& color, const QColor& background)
{
    const MUDColors& colors = MUDColors::sharedInstance();
    const QRgb dark[] = {colors.colorFromCode(34, false, false).rgb(),
                         colors.colorFromCode(34, true, false).rgb(),
                         colors.colorFromCode(30, false, false).rgb(),
                         colors.colorFromCode(30, true, false).rgb(),
                         colors.colorFrom8Bit(4).rgb(),
                         colors.colorFrom8Bit(8).rgb(),
                         colors.colorFrom8Bit(12).rgb()};
    if (std::find(std::begin(dark), std::end(dark), color.rgb()) == std::end(dark))
        return color;
    return readableColor(color, background);
}

QColor MUDAppearance::statusLineColor(const QColor& background)
{
    // The navy and its lighter twin (hue 215°, lightness 62 %): 5.1:1 on the
    // dark output background, 6.5:1 on the black of an export.
    static const QColor navy = hexToColor(u"#013783");
    static const QColor lightBlue = hexToColor(u"#3f8efe");
    return contrastRatio(navy, background) >= contrastRatio(lightBlue, background) ? navy : lightBlue;
}
