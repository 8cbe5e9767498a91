#include "engine/decoding/MUDColorDetails.h"

#include <algorithm>

#include "core/CVLogHelper.h"

MUDColorDetails::MUDColorDetails()
    : m_lastUsedForegroundColor(Qt::white)
{
}

void MUDColorDetails::clear()
{
    m_flags = 0;
    setForegroundColorCode(0);
    setBackgroundColorCode(0);
}

void MUDColorDetails::setForegroundColorCode(quint64 code)
{
    m_foregroundColorCode = code;
    m_eightBitForegroundColorCode = 0;
    m_trueColorForeground = QColor();
}

void MUDColorDetails::setEightBitForegroundColorCode(quint64 index)
{
    setForegroundColorCode(0);
    m_eightBitForegroundColorCode = index;
}

void MUDColorDetails::setTrueColorForeground(const QColor& color)
{
    setForegroundColorCode(0);
    m_trueColorForeground = color;
}

void MUDColorDetails::setBackgroundColorCode(quint64 code)
{
    m_backgroundColorCode = code;
    m_eightBitBackgroundColorCode = 0;
    m_trueColorBackground = QColor();
}

void MUDColorDetails::setEightBitBackgroundColorCode(quint64 index)
{
    setBackgroundColorCode(0);
    m_eightBitBackgroundColorCode = index;
}

void MUDColorDetails::setTrueColorBackground(const QColor& color)
{
    setBackgroundColorCode(0);
    m_trueColorBackground = color;
}

void MUDColorDetails::applyGraphicRendition(const qint64* codes, int count)
{
    for (int i = 0; i < count; ++i) {
        const qint64 code = codes[i];
        switch (code) {
        case 0: clear(); break;
        case 1: m_flags |= Bold; break;
        case 3: m_flags |= Italic; break;
        case 4: m_flags |= Underline; break;
        case 5:
        case 6: m_flags |= Blink; break;
        case 7: m_flags |= Reverse; break;
        case 8: m_flags |= Hidden; break;
        case 9: m_flags |= StrikeThrough; break;
        case 22: m_flags &= ~Bold; break; // normal intensity
        case 23: m_flags &= ~Italic; break;
        case 24: m_flags &= ~Underline; break;
        case 25: m_flags &= ~Blink; break;
        case 26: break; // proportional spacing: nothing to draw
        case 27: m_flags &= ~Reverse; break;
        case 28: m_flags &= ~Hidden; break;
        case 29: m_flags &= ~StrikeThrough; break;
        case 38: i = applyExtendedColor(codes, count, i, false); break;
        case 39: setForegroundColorCode(0); break;
        case 48: i = applyExtendedColor(codes, count, i, true); break;
        case 49: setBackgroundColorCode(0); break;
        default:
            if (code >= 30 && code <= 37)
                setForegroundColorCode(quint64(code));
            else if (code >= 40 && code <= 47)
                setBackgroundColorCode(quint64(code));
            // The bright colours are entries 8 to 15 of the 256-colour table,
            // which keeps "fg" and "bg" within their 16-colour codes.
            else if (code >= 90 && code <= 97)
                setEightBitForegroundColorCode(quint64(code - 90 + 8));
            else if (code >= 100 && code <= 107)
                setEightBitBackgroundColorCode(quint64(code - 100 + 8));
            else
                CVLog(QStringLiteral("Unknown: %1").arg(code));
        }
    }
}

int MUDColorDetails::applyExtendedColor(const qint64* codes, int count, int index, bool background)
{
    if (index + 1 >= count)
        return count;
    const qint64 mode = codes[index + 1];
    if (mode == 5) {
        if (index + 2 >= count)
            return count;
        const quint64 colorIndex = quint64(codes[index + 2]);
        background ? setEightBitBackgroundColorCode(colorIndex) : setEightBitForegroundColorCode(colorIndex);
        return index + 2;
    }
    if (mode == 2) {
        if (index + 4 >= count)
            return count;
        auto component = [&](int offset) { return int(std::clamp<qint64>(codes[index + offset], 0, 255)); };
        const QColor color(component(2), component(3), component(4));
        background ? setTrueColorBackground(color) : setTrueColorForeground(color);
        return index + 4;
    }
    // Unknown colour space: skip it and the one argument every form has.
    return std::min(index + 2, count);
}
