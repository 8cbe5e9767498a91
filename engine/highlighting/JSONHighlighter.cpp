#include "engine/highlighting/JSONHighlighter.h"

#include <QBrush>
#include <QTextFormat>

#include "core/CVColorHelpers.h"
#include "engine/highlighting/CVHighlightable.h"
#include "engine/highlighting/JSONMetadataTokenizer.h"
#include "engine/highlighting/JSONParserTokenizerToken.h"

namespace {
using Token = JSONParserTokenizerToken;

// A string token is closed when it ends with its own quote, that quote is not
// the opening one and no odd run of backslashes escapes it.
bool isClosedString(QStringView text, QChar quote)
{
    if (text.size() < 2 || text.back() != quote)
        return false;
    qsizetype backslashes = 0;
    for (qsizetype i = text.size() - 2; i > 0 && text[i] == u'\\'; --i)
        ++backslashes;
    return backslashes % 2 == 0;
}
}

QColor JSONHighlighter::colorForType(int type)
{
    switch (type) {
    case Token::Keyword: return hexToColor(u"b2dfb2");
    case Token::Variable: return hexToColor(u"b5d3dd");
    case Token::Function: return hexToColor(u"66d0fb");
    case Token::SingleQuotedString:
    case Token::DoubleQuotedString: return hexToColor(u"f07b86");
    case Token::SingleLineComment:
    case Token::MultiLineComment: return hexToColor(u"919da3");
    case Token::Numeric: return hexToColor(u"edbb75");
    default: return labelColor();
    }
}

QList<CVTokenizerTokenPtr> JSONHighlighter::parseString(const QString& string) const
{
    // A fresh tokenizer: declared variables come only from the text parsed.
    return JSONMetadataTokenizer(string).allTokens();
}

void JSONHighlighter::highlightParserStringType(const CVTokenizerToken& token, CVHighlightable& highlightable,
                                                const QVariant&) const
{
    highlightable.addAttribute(QTextFormat::ForegroundBrush, QBrush(colorForType(token.type())), token.range());
}

bool JSONHighlighter::needsToExpandParserStringType(const CVTokenizerToken& token, QStringView targetString) const
{
    switch (token.type()) {
    case Token::SingleQuotedString: return !isClosedString(targetString, u'\'');
    case Token::DoubleQuotedString: return !isClosedString(targetString, u'"');
    // A comment that is last in the re-scanned piece may now swallow text
    // past it: a block comment unless closed, a line comment always (a
    // closed one would be followed by its line feed).
    case Token::MultiLineComment: return !(targetString.size() >= 4 && targetString.endsWith(QLatin1String("*/")));
    case Token::SingleLineComment: return true;
    default: return false;
    }
}
