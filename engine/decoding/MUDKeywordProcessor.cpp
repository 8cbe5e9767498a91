#include "engine/decoding/MUDKeywordProcessor.h"

#include <QCollator>
#include <algorithm>

#include "core/CVWhitespaceTokenizer.h"

namespace {
QStringList sortedCaseInsensitively(QStringList words)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(words.begin(), words.end(),
              [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    return words;
}

// Words are kept only when every character is an ASCII letter or '_'.
bool hasOnlyAllowedCharacters(const QString& word)
{
    return std::all_of(word.cbegin(), word.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return u == u'_' || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
    });
}
}

MUDKeywordProcessor::MUDKeywordProcessor()
    : m_hostWords{QStringLiteral("consider"), QStringLiteral("kill"), QStringLiteral("look")}
{
}

const QStringList& MUDKeywordProcessor::ignoreWords()
{
    // Compared after lower-casing, so "HP" never matches; kept as listed.
    static const QStringList words = [] {
        QStringList list{"and",    "any",      "are",    "because", "charisma", "completely", "joyfully",
                         "missed", "slightly", "killed", "perfect", "bruised",  "missed",     "HP",
                         "you",    "the",      "few",    "not",     "your"};
        list.removeDuplicates();
        return sortedCaseInsensitively(list);
    }();
    return words;
}

void MUDKeywordProcessor::processHostString(const QString& string)
{
    const QStringList& ignored = ignoreWords();
    CVWhitespaceTokenizer tokenizer(string, true, true);
    tokenizer.enumerateTokens([&](const CVTokenizerTokenPtr& token, bool&) {
        const CVRange range = token->range();
        const QString word = string.mid(range.location, range.length).toLower();
        if (word.size() < 3 || !hasOnlyAllowedCharacters(word) || ignored.contains(word))
            return;
        if (word.size() >= 5 && word.endsWith(u's') && !word.endsWith(QLatin1String("us")) &&
            !word.endsWith(QLatin1String("ss")))
            m_hostWords.insert(word.chopped(1));
        m_hostWords.insert(word);
    });
}

QStringList MUDKeywordProcessor::hostKeywords() const
{
    return sortedCaseInsensitively(QStringList(m_hostWords.cbegin(), m_hostWords.cend()));
}
