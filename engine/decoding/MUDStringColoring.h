#pragma once

#include <QByteArrayView>
#include <QFont>
#include <QHash>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>
#include <vector>

#include "core/CVAttributedString.h"
#include "core/CVFormatId.h"
#include "engine/decoding/ANSIDataProcessorResults.h"
#include "engine/decoding/MUDColorDetails.h"
#include "engine/decoding/MUDStyledText.h"
#include "engine/decoding/MUDTextStyle.h"

// The style in force for one output stream. The session hands it each
// decoded batch (styleBatch): escape sequences change the style in order
// and text takes the style in force, so a colour set in one read colours
// later reads until changed.
// Formats are cached per style and interned: each distinct format exists
// once and carries a CVFormatId, so runs of one format share one format
// object and styled text compares ids, not formats. Used from one thread at
// a time (the session's main thread).
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
    // The same styling for `text`, appended to `output`.
    void appendColoredText(CVAttributedString& output, QStringView text, const QFont& font);
    // The same, with white space left to the reader to split out.
    void appendColoredText(MUDStyledText& output, QStringView text, const QFont& font);

    // Text chunks whose bytes were not all valid UTF-8, and their bytes.
    struct InvalidText {
        qsizetype chunks = 0;
        qsizetype bytes = 0;
    };
    // The text of one decoded batch as the session shows it: escape
    // sequences change the style in order, text chunks are decoded in the
    // style in force (invalid UTF-8 becomes U+FFFD and is counted in
    // `invalid` when given), telnet commands are skipped. The style carries
    // over to the next batch.
    MUDStyledText styleBatch(const ANSIDataProcessorResults& results, const QFont& font,
                             InvalidText* invalid = nullptr);
    // The one-call conversion of a whole buffer in a fresh style: decoded
    // and styled as above, keeping only printable ASCII and line feeds.
    static CVAttributedString createAttributedStringWithData(QByteArrayView data, const QFont& font);
    // The style text takes now in `font`.
    const MUDStyledText::Style& currentStyle(const QFont& font);

    QColor lastUsedColor() const { return m_details.lastUsedForegroundColor(); }
    const MUDColorDetails& mudColorDetails() const { return m_details; }
    bool hasLastAttributes() const { return m_hasLastAttributes; }
    // The attributes of text styled now (the base style before any SGR).
    QTextCharFormat lastAttributes() const { return m_current.style->text; }

    // Back to the initial style, keeping the last used foreground colour.
    void clearCache();
    QString description() const;

private:
    struct IdentifiedFormat {
        QTextCharFormat format;
        CVFormatId id;
    };
    struct Styles {
        MUDStyledText::Style style;
        QColor foreground;
    };
    // Everything a format is built from; equal specs build equal formats
    // and unequal specs unequal ones, so interning by spec interns formats.
    struct FormatSpec {
        // False for the base style before any SGR: font and foreground only.
        bool styled;
        QColor foreground, background, underlineColor;
        qint32 flags;
        quint64 foregroundColorCode, backgroundColorCode;
        bool operator==(const FormatSpec&) const = default;
        friend size_t qHash(const FormatSpec& spec, size_t seed = 0)
        {
            return qHashMulti(seed, spec.styled, quint64(spec.foreground.rgba64()), quint64(spec.background.rgba64()),
                              spec.flags, spec.foregroundColorCode, spec.backgroundColorCode);
        }
    };
    struct StyleKey {
        qint32 flags;
        quint64 foregroundColorCode, eightBitForegroundColorCode, backgroundColorCode, eightBitBackgroundColorCode;
        QRgb trueColorForeground, trueColorBackground, lastUsedForeground;
        bool hasTrueColorForeground, hasTrueColorBackground;
        bool operator==(const StyleKey&) const = default;
        friend size_t qHash(const StyleKey& key, size_t seed = 0)
        {
            // Looked up for every colour sequence: a multiply-xor chain
            // costs a fraction of qHashMulti and spreads these fields well.
            quint64 hash = seed ^ quint64(quint32(key.flags));
            for (quint64 field : {key.foregroundColorCode, key.eightBitForegroundColorCode, key.backgroundColorCode,
                                  key.eightBitBackgroundColorCode, quint64(key.trueColorForeground),
                                  quint64(key.trueColorBackground), quint64(key.lastUsedForeground),
                                  quint64(key.hasTrueColorForeground) | quint64(key.hasTrueColorBackground) << 1})
                hash = (hash ^ field) * 0x9e3779b97f4a7c15ULL;
            return size_t(hash ^ (hash >> 29));
        }
    };

    void useFont(const QFont& font);
    Styles derivedStyles();
    Styles plainStyles();
    // The interned format for `spec` (text) and the same with faint white
    // space foreground.
    Styles stylesFor(FormatSpec spec, const QColor& foreground);
    IdentifiedFormat intern(const FormatSpec& spec);
    QTextCharFormat build(const FormatSpec& spec) const;
    // Forgets every cached style and format; ids handed out later belong to
    // a new generation.
    void startOver();

    MUDColorDetails m_details;
    bool m_hasLastAttributes = false;
    QFont m_font;
    quint32 m_generation = 0;
    Styles m_current;
    QHash<StyleKey, Styles> m_cache;
    QHash<FormatSpec, IdentifiedFormat> m_formats;
    // Scratch space of prepareANSI, kept to spare an allocation per call.
    std::vector<qint64> m_codes;
};
