#include "core/CVWhitespaceTokenizer.h"

#include <algorithm>

CVWhitespaceTokenizer::CVWhitespaceTokenizer(const QString& string, bool splitBySymbols, bool splitByWhitespace)
    : m_string(string)
    , m_splitBySymbols(splitBySymbols)
    , m_splitByWhitespace(splitByWhitespace)
{
}

bool CVWhitespaceTokenizer::isSymbolCharacter(QChar character)
{
    const char16_t c = character.unicode();
    if (c == u'_' || c == u'$')
        return false;
    return character.isPunct() || character.isSymbol();
}

bool CVWhitespaceTokenizer::separatesWords(QChar character) const
{
    return (m_splitByWhitespace && character.isSpace()) || (m_splitBySymbols && isSymbolCharacter(character));
}

void CVWhitespaceTokenizer::enumerateTokens(const TokenCallback& callback)
{
    enumerateTokens(callback, CVRange{0, m_string.size()});
}

void CVWhitespaceTokenizer::enumerateTokens(const TokenCallback& callback, CVRange range)
{
    enumerateRanges([&callback](CVRange piece, int type,
                                bool& stop) { callback(std::make_shared<CVTokenizerToken>(piece, type), stop); },
                    range);
}

void CVWhitespaceTokenizer::enumerateRanges(const RangeCallback& callback, CVRange range) const
{
    if (range.location < 0 || range.length < 0 || range.location >= m_string.size())
        return;
    const qsizetype end = std::min(range.location + range.length, m_string.size());
    const QChar* text = m_string.constData();
    bool stop = false;
    qsizetype i = range.location;
    while (i < end && !stop) {
        const QChar c = text[i];
        if (m_splitByWhitespace && c.isSpace()) {
            ++i;
            continue;
        }
        if (m_splitBySymbols && isSymbolCharacter(c)) {
            callback(CVRange{i, 1}, SymbolType, stop);
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < end && !separatesWords(text[i]))
            ++i;
        callback(CVRange{start, i - start}, WordType, stop);
    }
}
