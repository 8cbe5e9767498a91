#include "engine/highlighting/JSONMetadataTokenizer.h"

#include <array>

#include "core/CVStringHelpers.h"
#include "core/CVWhitespaceTokenizer.h"
#include "engine/highlighting/JSONParserTokenizerToken.h"

namespace {
using Token = JSONParserTokenizerToken;

constexpr std::array<QStringView, 11> kKeywords{u"return", u"var",  u"let",      u"const", u"continue", u"break",
                                                u"if",     u"else", u"function", u"true",  u"false"};

bool isKeyword(QStringView word)
{
    return std::find(kKeywords.cbegin(), kKeywords.cend(), word) != kKeywords.cend();
}

bool isDeclarationWord(QStringView word)
{
    return word == u"var" || word == u"let" || word == u"const";
}

// The characters that are tokens of their own; other punctuation counts as word text.
bool isSymbol(QChar c)
{
    return QStringView(u"()*+,-./:;=[\\]{}").contains(c);
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
}

// The state of one enumeration. Tokens are handed out one step late so the
// scan can drop empty or overlapping pieces before the consumer sees them.
class JSONMetadataTokenizer::Scan {
public:
    Scan(const QString& text, QSet<QString>& variables, const TokenCallback& callback)
        : m_text(text)
        , m_variables(variables)
        , m_callback(callback)
    {
    }

    void run()
    {
        CVWhitespaceTokenizer splitter(m_text, true, true);
        splitter.enumerateRanges(
            [this](CVRange word, int, bool& stopSplitter) {
                if (m_consumerStopped || m_splitterStopped) {
                    stopSplitter = true;
                    return;
                }
                handle(word);
                stopSplitter = m_consumerStopped || m_splitterStopped;
            },
            {0, m_text.size()});
        if (m_consumerStopped)
            return;
        if (m_pendingLocation < m_text.size())
            emitToken({m_pendingLocation, m_text.size() - m_pendingLocation}, m_pendingType);
        if (m_kept && !m_consumerStopped)
            m_callback(m_kept, m_consumerStopped);
    }

private:
    bool insideString() const
    {
        return m_pendingType == Token::SingleQuotedString || m_pendingType == Token::DoubleQuotedString;
    }

    QChar characterAt(qsizetype index) const { return index < m_text.size() ? m_text[index] : QChar(); }

    void handle(CVRange range)
    {
        if (m_skipUntil >= 0) {
            if (range.location < m_skipUntil)
                return;
            m_skipUntil = -1;
        }
        const QStringView text = QStringView(m_text).mid(range.location, range.length);
        if (range.length == 1)
            handleCharacter(range);
        else if (!insideString())
            handleWord(range, text);
        m_previousWord = text;
    }

    void handleCharacter(CVRange range)
    {
        const QChar c = m_text[range.location];
        const QChar next = characterAt(range.location + 1);
        if (!insideString() && c == u'/' && next == u'*')
            openMultiLineComment(range.location);
        else if (!insideString() && c == u'/' && next == u'/')
            openSingleLineComment(range.location);
        else if (c == u'"' || c == u'\'')
            handleQuote(range.location, c == u'"' ? Token::DoubleQuotedString : Token::SingleQuotedString);
        else if (insideString())
            return;
        else if (c == u'(') {
            emitPendingText(range.location, Token::Function);
            emitToken(range, Token::Symbol);
        } else if (isSymbol(c))
            emitAs(range, Token::Symbol);
        else if (isAsciiDigit(c))
            emitAs(range, Token::Numeric);
        else
            handleWord(range, QStringView(m_text).mid(range.location, 1));
    }

    void handleWord(CVRange range, QStringView text)
    {
        // Raw views over the scanned text: no copy per word.
        const QString word = QString::fromRawData(text.data(), text.size());
        if (isNumber(word)) {
            emitAs(range, Token::Numeric);
            return;
        }
        if (isKeyword(text)) {
            emitAs(range, Token::Keyword);
            return;
        }
        if (isDeclarationWord(m_previousWord))
            m_variables.insert(text.toString());
        if (m_variables.contains(word))
            emitAs(range, Token::Variable);
    }

    // A comment closes at the first "*/" whose asterisk lies at least two
    // characters after the opening slash, so "/*/" stays open.
    void openMultiLineComment(qsizetype slash)
    {
        emitPendingText(slash, m_pendingType);
        m_pendingType = Token::MultiLineComment;
        const qsizetype close = m_text.indexOf(QLatin1String("*/"), slash + 2);
        if (close < 0) {
            m_splitterStopped = true;
            return;
        }
        emitToken({slash, close + 2 - slash}, Token::MultiLineComment);
        m_skipUntil = close + 2;
    }

    void openSingleLineComment(qsizetype slash)
    {
        emitPendingText(slash, m_pendingType);
        m_pendingType = Token::SingleLineComment;
        const qsizetype lineFeed = m_text.indexOf(u'\n', slash + 2);
        if (lineFeed < 0) {
            m_splitterStopped = true;
            return;
        }
        emitToken({slash, lineFeed - slash}, Token::SingleLineComment);
        m_skipUntil = lineFeed;
    }

    // A quote is escaped by an odd number of backslashes right before it
    // (so "a\\" closes), counted inside the string only.
    bool isEscaped(qsizetype quote) const
    {
        qsizetype backslashes = 0;
        for (qsizetype i = quote - 1; i > m_pendingLocation && m_text[i] == u'\\'; --i)
            ++backslashes;
        return backslashes % 2 == 1;
    }

    void handleQuote(qsizetype quote, int stringType)
    {
        if (m_pendingType == stringType) {
            if (!isEscaped(quote))
                emitToken({m_pendingLocation, quote + 1 - m_pendingLocation}, stringType);
        } else if (!insideString()) {
            emitPendingText(quote, m_pendingType);
            m_pendingType = stringType;
        }
    }

    void emitAs(CVRange range, int type)
    {
        emitPendingText(range.location, m_pendingType);
        emitToken(range, type);
    }

    void emitPendingText(qsizetype upTo, int type) { emitToken({m_pendingLocation, upTo - m_pendingLocation}, type); }

    void emitToken(CVRange range, int type)
    {
        if (m_consumerStopped)
            return;
        if (range.length > 0 && range.location >= m_lastEnd) {
            if (m_kept)
                m_callback(m_kept, m_consumerStopped);
            m_kept = std::make_shared<Token>(range, type);
            m_lastEnd = range.end();
        }
        m_pendingLocation = m_lastEnd;
        m_pendingType = Token::Unknown;
    }

    const QString& m_text;
    QSet<QString>& m_variables;
    const TokenCallback& m_callback;

    qsizetype m_pendingLocation = 0;
    int m_pendingType = Token::Unknown;
    QStringView m_previousWord;
    qsizetype m_skipUntil = -1;
    qsizetype m_lastEnd = 0;
    CVTokenizerTokenPtr m_kept;
    bool m_consumerStopped = false;
    bool m_splitterStopped = false;
};

JSONMetadataTokenizer::JSONMetadataTokenizer(const QString& stringToParse)
    : m_stringToParse(stringToParse)
{
}

JSONMetadataTokenizer::~JSONMetadataTokenizer() = default;

void JSONMetadataTokenizer::enumerateTokens(const TokenCallback& callback)
{
    if (m_stringToParse.isEmpty())
        return;
    Scan(m_stringToParse, m_variables, callback).run();
}

void JSONMetadataTokenizer::enumerateTokens(const TokenCallback& callback, CVRange range)
{
    if (range.length == 0)
        return;
    enumerateTokens(callback);
}
