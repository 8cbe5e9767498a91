#pragma once

#include <QByteArrayView>
#include <QFont>
#include <QHash>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>

#include "engine/decoding/MUDColorDetails.h"

class CVAttributedString;

// The style in force for one output stream. The session feeds it every
// escape sequence in order (prepareANSI) and styles every text chunk with
// it, so a colour set in one read colours later reads until changed.
// Formats are cached per style, so runs of one style share one format
// object. Used from one thread at a time (the session's main thread).
class MUDStringColoring {
public:
    MUDStringColoring();

    // One escape sequence as the decoder delivers it (ESC through final
    // byte). Only SGR sequences (final byte "m", no private marker or
    // intermediate) change the style.
    void prepareANSI(QByteArrayView sequence, const QFont& font);
    // Applies the current style to the whole string; white space is drawn
    // at 5 % opacity.
    void colorAttributedString(CVAttributedString& string, const QFont& font);
    // The same styling for `text`, appended to `output` without a temporary string.
    void appendColoredText(CVAttributedString& output, QStringView text, const QFont& font);

    QColor lastUsedColor() const { return m_details.lastUsedForegroundColor(); }
    const MUDColorDetails& mudColorDetails() const { return m_details; }
    bool hasLastAttributes() const { return m_hasLastAttributes; }
    // The attributes of text styled now (the base style before any SGR).
    QTextCharFormat lastAttributes() const { return m_current.text; }

    // Back to the initial style, keeping the last used foreground colour.
    void clearCache();
    QString description() const;

private:
    struct Styles {
        QTextCharFormat text;
        QTextCharFormat whitespace;
        QColor foreground;
    };
    struct StyleKey {
        qint32 flags;
        quint64 foregroundColorCode, eightBitForegroundColorCode, backgroundColorCode, eightBitBackgroundColorCode;
        QRgb trueColorForeground, trueColorBackground, lastUsedForeground;
        bool hasTrueColorForeground, hasTrueColorBackground;
        bool operator==(const StyleKey&) const = default;
        friend size_t qHash(const StyleKey& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.flags, key.foregroundColorCode, key.eightBitForegroundColorCode,
                              key.backgroundColorCode, key.eightBitBackgroundColorCode, key.trueColorForeground,
                              key.trueColorBackground, key.lastUsedForeground, key.hasTrueColorForeground,
                              key.hasTrueColorBackground);
        }
    };

    void useFont(const QFont& font);
    Styles derivedStyles();
    static Styles plainStyles(const QFont& font);

    MUDColorDetails m_details;
    bool m_hasLastAttributes = false;
    QFont m_font;
    Styles m_current;
    QHash<StyleKey, Styles> m_cache;
};
