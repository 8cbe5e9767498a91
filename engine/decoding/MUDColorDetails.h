#pragma once

#include <QColor>
#include <QtGlobal>

// The graphic-rendition state of one output stream: flags plus the colour
// the server last selected, in whichever form it chose (a 16-colour code,
// a 256-colour index or a 24-bit colour). Setting one form of a colour
// clears the others. Used from one thread at a time (the session's main
// thread).
class MUDColorDetails {
public:
    enum Flag : qint32 {
        Bold = 1,
        Blink = 4,
        Underline = 16,
        Italic = 256,
        Reverse = 512,
        Hidden = 1024,
        StrikeThrough = 2048,
    };

    MUDColorDetails();

    // Back to no flags and no colours; the last used foreground stays.
    void clear();

    // Applies the numeric parameters of one SGR sequence (ECMA-48 8.3.117
    // plus the 38/48 extended colour forms), in order.
    void applyGraphicRendition(const qint64* codes, int count);

    qint32 flags() const { return m_flags; }
    bool hasFlag(Flag flag) const { return m_flags & flag; }
    void setFlags(qint32 flags) { m_flags = flags; }
    // 0 or 30 to 37.
    quint64 foregroundColorCode() const { return m_foregroundColorCode; }
    void setForegroundColorCode(quint64 code);
    // 0 (none) or a 256-colour index (used modulo 256).
    quint64 eightBitForegroundColorCode() const { return m_eightBitForegroundColorCode; }
    void setEightBitForegroundColorCode(quint64 index);
    // Invalid when none.
    QColor trueColorForeground() const { return m_trueColorForeground; }
    void setTrueColorForeground(const QColor& color);
    // 0 or 40 to 47.
    quint64 backgroundColorCode() const { return m_backgroundColorCode; }
    void setBackgroundColorCode(quint64 code);
    quint64 eightBitBackgroundColorCode() const { return m_eightBitBackgroundColorCode; }
    void setEightBitBackgroundColorCode(quint64 index);
    QColor trueColorBackground() const { return m_trueColorBackground; }
    void setTrueColorBackground(const QColor& color);

    QColor lastUsedForegroundColor() const { return m_lastUsedForegroundColor; }
    void setLastUsedForegroundColor(const QColor& color) { m_lastUsedForegroundColor = color; }

    bool operator==(const MUDColorDetails&) const = default;

private:
    // Reads 38/48 and its arguments at codes[index]; returns the index of
    // the last code consumed.
    int applyExtendedColor(const qint64* codes, int count, int index, bool background);

    qint32 m_flags = 0;
    quint64 m_foregroundColorCode = 0;
    quint64 m_eightBitForegroundColorCode = 0;
    QColor m_trueColorForeground;
    quint64 m_backgroundColorCode = 0;
    quint64 m_eightBitBackgroundColorCode = 0;
    QColor m_trueColorBackground;
    QColor m_lastUsedForegroundColor;
};
