#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

#include "core/CVAttributedString.h"
#include "engine/decoding/MUDTextStyle.h"

// Received text with the style of each stretch, its white space not yet
// split out: the compact form in which a batch goes from the style state to
// the output model. A typical line holds two dozen gaps of white space, each
// its own run once split; kept whole, a stretch of one style is one piece,
// and readers split it (forEachStretch) only where they look. A plain
// value, one thread at a time.
class MUDStyledText {
public:
    // Styles are shared: a batch holds thousands of pieces in a handful of styles.
    using Style = std::shared_ptr<const MUDTextStyle>;
    struct Piece {
        qsizetype length;
        Style style;
    };

    const QString& string() const { return m_string; }
    qsizetype length() const { return m_string.size(); }
    bool isEmpty() const { return m_string.isEmpty(); }
    // Pieces in order; neighbours never share a style.
    const std::vector<Piece>& pieces() const { return m_pieces; }

    void reserve(qsizetype length) { m_string.reserve(length); }
    void append(QStringView text, const Style& style);
    // Decodes `utf8` straight into the text; invalid bytes become U+FFFD.
    // Returns false when there were any.
    bool appendUtf8(QByteArrayView utf8, const Style& style);
    // The runs a reader sees: white space in the style's white-space format,
    // the rest in its text format.
    void appendTo(CVAttributedString& output) const;
    CVAttributedString attributedString() const;

    static bool isWhitespace(char16_t c);
    // Calls `block(start, length, whitespace)` for each maximal stretch of
    // white space or of other characters in `text`, in order.
    template<typename Block> static void forEachStretch(QStringView text, Block&& block)
    {
        const char16_t* characters = text.utf16();
        const qsizetype length = text.size();
        qsizetype start = 0;
        while (start < length) {
            const bool space = isWhitespace(characters[start]);
            qsizetype end = start + 1;
            while (end < length && isWhitespace(characters[end]) == space)
                ++end;
            block(start, end - start, space);
            start = end;
        }
    }

private:
    // Records `length` code units just added to the text, in `style`.
    void addPiece(qsizetype length, const Style& style);

    QString m_string;
    std::vector<Piece> m_pieces;
};
