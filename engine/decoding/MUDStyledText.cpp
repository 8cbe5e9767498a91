#include "engine/decoding/MUDStyledText.h"

#include <QChar>
#include <QStringDecoder>
#include <algorithm>
#include <array>

namespace {
constexpr std::array<bool, 128> makeAsciiSpaces()
{
    std::array<bool, 128> spaces{};
    for (char16_t c : {u' ', u'\t', u'\n', u'\v', u'\f', u'\r'})
        spaces[c] = true;
    return spaces;
}
constexpr std::array<bool, 128> kAsciiSpaces = makeAsciiSpaces();
}

bool MUDStyledText::isWhitespace(char16_t c)
{
    if (c < 128)
        return kAsciiSpaces[c];
    return QChar::isSpace(c);
}

void MUDStyledText::append(QStringView text, const Style& style)
{
    m_string.append(text);
    addPiece(text.size(), style);
}

bool MUDStyledText::appendUtf8(QByteArrayView utf8, const Style& style)
{
    const qsizetype start = m_string.size();
    // UTF-8 never takes fewer bytes than UTF-16 code units.
    m_string.resize(start + utf8.size());
    char16_t* out = reinterpret_cast<char16_t*>(m_string.data()) + start;
    bool valid = true;
    // Chunks between colour changes are short and mostly ASCII: widening
    // them costs less than setting up a decoder for each.
    if (std::all_of(utf8.begin(), utf8.end(), [](char byte) { return uchar(byte) < 0x80; })) {
        std::copy(utf8.begin(), utf8.end(), out);
    } else {
        // Stateless: a sequence cut off at the end is replaced, not held
        // back for a next call that never comes.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QChar* end = decoder.appendToBuffer(reinterpret_cast<QChar*>(out), utf8);
        m_string.truncate(end - m_string.constData());
        valid = !decoder.hasError();
    }
    addPiece(m_string.size() - start, style);
    return valid;
}

void MUDStyledText::addPiece(qsizetype length, const Style& style)
{
    if (length == 0)
        return;
    // The same style, or equal ids (they name equal formats), continue the
    // last piece; anything else starts one.
    if (!m_pieces.empty()) {
        const MUDTextStyle& last = *m_pieces.back().style;
        if (m_pieces.back().style == style ||
            (style->textId.isValid() && last.textId == style->textId && last.whitespaceId == style->whitespaceId)) {
            m_pieces.back().length += length;
            return;
        }
    }
    m_pieces.push_back({length, style});
}

void MUDStyledText::appendTo(CVAttributedString& output) const
{
    std::vector<CVAttributedString::Piece> runs;
    qsizetype start = 0;
    for (const Piece& piece : m_pieces) {
        forEachStretch(QStringView(m_string).sliced(start, piece.length), [&](qsizetype, qsizetype length, bool space) {
            if (space)
                runs.push_back({length, &piece.style->whitespace, piece.style->whitespaceId});
            else
                runs.push_back({length, &piece.style->text, piece.style->textId});
        });
        start += piece.length;
    }
    output.append(m_string, runs);
}

CVAttributedString MUDStyledText::attributedString() const
{
    CVAttributedString result;
    appendTo(result);
    return result;
}
