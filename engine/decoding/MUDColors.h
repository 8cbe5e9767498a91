#pragma once

#include <QColor>
#include <array>

class MUDColorDetails;

// The shared ANSI palette: the eight 16-colour codes in normal and bold
// form and the standard 256-colour table. Built once on first use (safe for
// concurrent first use) and only read afterwards, so any thread.
class MUDColors {
public:
    // The desktop's system colours as the dark appearance draws them: the
    // session's own lines and the output view's highlights.
    static constexpr QColor SystemRed{255, 69, 58};
    static constexpr QColor SystemOrange{255, 159, 10};
    static constexpr QColor SystemYellow{255, 214, 10};
    static constexpr QColor SystemGreen{48, 209, 88};
    static constexpr QColor SystemBlue{10, 132, 255};
    static constexpr QColor SystemPurple{191, 90, 242};
    static constexpr QColor SystemPink{255, 55, 95};

    static const MUDColors& sharedInstance();

    // The foreground for `details`, stored back as its last used foreground.
    // `backgroundColor` receives the background when one is set and is left
    // untouched otherwise.
    QColor colorFromDetails(MUDColorDetails& details, QColor* backgroundColor) const;
    // Invalid QColor when the code names no colour (30 and 40 as background included).
    QColor colorFromCode(quint64 code, bool bold, bool isBackground) const;
    // Entry index modulo 256.
    QColor colorFrom8Bit(quint64 index) const;

private:
    MUDColors();

    std::array<QColor, 8> m_normal;
    std::array<QColor, 8> m_bold;
    std::array<QColor, 256> m_table;
};
