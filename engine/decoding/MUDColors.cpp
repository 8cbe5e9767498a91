#include "engine/decoding/MUDColors.h"

#include "core/CVColorHelpers.h"
#include "engine/decoding/MUDColorDetails.h"

const MUDColors& MUDColors::sharedInstance()
{
    // C++ guarantees a single, thread-safe initialisation.
    static const MUDColors instance;
    return instance;
}

MUDColors::MUDColors()
{
    const char* normal[8] = {"555555", "911c0e", "3fa12d", "9a972d", "001aac", "a82dad", "3aa3b1", "e6e6e6"};
    const char* bold[8] = {"666666", "ff0000", "00ff00", "ffff00", "0000ff", "ff00ff", "00ffff", "ffffff"};
    for (int i = 0; i < 8; ++i) {
        m_normal[i] = hexToColor(QString::fromLatin1(normal[i]));
        m_bold[i] = hexToColor(QString::fromLatin1(bold[i]));
    }

    const char* system[16] = {"#000000", "#800000", "#008000", "#808000", "#000080", "#800080", "#008080", "#c0c0c0",
                              "#808080", "#ff0000", "#00ff00", "#ffff00", "#0000ff", "#ff00ff", "#00ffff", "#ffffff"};
    for (int i = 0; i < 16; ++i)
        m_table[i] = hexToColor(QString::fromLatin1(system[i]));
    const int levels[6] = {0x00, 0x5f, 0x87, 0xaf, 0xd7, 0xff};
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b)
                m_table[16 + 36 * r + 6 * g + b] = QColor(levels[r], levels[g], levels[b]);
        }
    }
    for (int k = 0; k < 24; ++k)
        m_table[232 + k] = QColor(8 + 10 * k, 8 + 10 * k, 8 + 10 * k);
}

QColor MUDColors::colorFromDetails(MUDColorDetails& details, QColor* backgroundColor) const
{
    const bool bold = details.hasFlag(MUDColorDetails::Bold);
    QColor foreground = colorFromCode(details.foregroundColorCode(), bold, false);
    if (details.eightBitForegroundColorCode() != 0)
        foreground = colorFrom8Bit(details.eightBitForegroundColorCode());
    if (details.trueColorForeground().isValid())
        foreground = details.trueColorForeground();
    if (!foreground.isValid())
        foreground = details.lastUsedForegroundColor();

    if (backgroundColor) {
        if (details.backgroundColorCode() != 0)
            *backgroundColor = colorFromCode(details.backgroundColorCode(), bold, true);
        if (details.eightBitBackgroundColorCode() != 0)
            *backgroundColor = colorFrom8Bit(details.eightBitBackgroundColorCode());
        if (details.trueColorBackground().isValid())
            *backgroundColor = details.trueColorBackground();
    }
    details.setLastUsedForegroundColor(foreground);
    return foreground;
}

QColor MUDColors::colorFromCode(quint64 code, bool bold, bool isBackground) const
{
    if (isBackground) {
        if (code < 10)
            return {};
        code -= 10;
    }
    if (code == 0)
        return QColor(Qt::white);
    // Black as a background draws nothing, so the view's own background shows.
    if (code == 30 && isBackground)
        return {};
    if (code < 30 || code > 37)
        return {};
    return bold ? m_bold[code - 30] : m_normal[code - 30];
}

QColor MUDColors::colorFrom8Bit(quint64 index) const
{
    return m_table[index % 256];
}
