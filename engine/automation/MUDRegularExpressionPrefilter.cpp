#include "engine/automation/MUDRegularExpressionPrefilter.h"

#include <optional>

namespace {

constexpr qsizetype kShortestUsefulLiteral = 3;

bool isAsciiLetterOrDigit(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isPrintableAscii(char16_t c)
{
    return c >= 0x20 && c < 0x7f;
}

// One piece of a pattern: a literal character or anything else, and whether
// it can match a line feed.
struct Atom {
    std::optional<char16_t> literal;
    bool matchesLineFeed = false;
};

// A recursive reader for the common subset of the ICU syntax: literal and
// escaped characters, \w \d \s \W \D \S \b \B \t, the dot, simple classes,
// plain, non-capturing and named groups, alternation, anchors and the
// quantifiers. Anything else (look-around, back references, inline flags,
// quoting, property classes) sets m_unknown and the analysis gives up.
class PatternReader {
public:
    PatternReader(QStringView pattern, bool dotMatchesLineFeed)
        : m_pattern(pattern)
        , m_dotMatchesLineFeed(dotMatchesLineFeed)
    {
    }

    struct Run {
        QString text;
        bool prefixMatchesLineFeed = false;
    };

    // The literal stretches at the top level, or nothing when the pattern
    // is outside the known subset or has a top-level alternation.
    std::optional<QList<Run>> topLevelRuns()
    {
        QList<Run> runs;
        sequence(0, &runs);
        if (m_unknown || m_topLevelAlternation || m_index != m_pattern.size())
            return std::nullopt;
        return runs;
    }

private:
    char16_t peek(qsizetype ahead = 0) const
    {
        return m_index + ahead < m_pattern.size() ? m_pattern[m_index + ahead].unicode() : u'\0';
    }
    bool atEnd() const { return m_index >= m_pattern.size(); }

    // Reads alternatives up to a ')' (left unread) or the end; true when the
    // sequence can match a line feed. At depth 0 collects literal runs.
    bool sequence(int depth, QList<Run>* runs)
    {
        bool matchesLineFeed = false;
        Run run;
        auto flush = [&] {
            if (runs && run.text.size() >= kShortestUsefulLiteral)
                runs->append(run);
            run = Run();
        };
        while (!atEnd() && !m_unknown) {
            const char16_t c = peek();
            if (c == u')') {
                if (depth == 0)
                    m_unknown = true;
                break;
            }
            if (c == u'|') {
                ++m_index;
                if (depth == 0)
                    m_topLevelAlternation = true;
                flush();
                continue;
            }
            const Atom piece = atom(depth);
            const bool quantified = quantifier();
            if (piece.literal && !quantified && isPrintableAscii(*piece.literal)) {
                if (run.text.isEmpty())
                    run.prefixMatchesLineFeed = matchesLineFeed;
                run.text.append(QChar(*piece.literal));
            } else {
                flush();
            }
            matchesLineFeed = matchesLineFeed || piece.matchesLineFeed;
        }
        flush();
        return matchesLineFeed;
    }

    Atom atom(int depth)
    {
        const char16_t c = peek();
        ++m_index;
        switch (c) {
        case u'\\': return escape();
        case u'.': return {std::nullopt, m_dotMatchesLineFeed};
        case u'[': return {std::nullopt, characterClass()};
        case u'(': return group(depth);
        case u'^':
        case u'$': return {};
        case u'*':
        case u'+':
        case u'?':
        case u'{':
        case u'}':
        case u']': m_unknown = true; return {};
        default:
            if (c < 0x20)
                return {std::nullopt, c == u'\n'};
            if (c >= 0x7f)
                return {};
            return {c, false};
        }
    }

    Atom escape()
    {
        if (atEnd()) {
            m_unknown = true;
            return {};
        }
        const char16_t e = peek();
        ++m_index;
        switch (e) {
        case u'w':
        case u'd':
        case u'S':
        case u'b':
        case u'B': return {};
        case u't': return {u'\t', false};
        case u's':
        case u'W':
        case u'D': return {std::nullopt, true};
        default:
            if (isPrintableAscii(e) && !isAsciiLetterOrDigit(e))
                return {e, false};
            m_unknown = true;
            return {};
        }
    }

    // After '['; true when the class can match a line feed.
    bool characterClass()
    {
        bool matchesLineFeed = false;
        if (peek() == u'^') {
            ++m_index;
            matchesLineFeed = true;
        }
        if (peek() == u']') {
            m_unknown = true;
            return true;
        }
        // The last plain member, -1 when there is none to start a range.
        int previous = -1;
        bool first = true;
        while (!m_unknown) {
            if (atEnd()) {
                m_unknown = true;
                break;
            }
            const char16_t c = peek();
            if (c == u']' && !first) {
                ++m_index;
                break;
            }
            if (c == u'[' || (c == u'&' && peek(1) == u'&') || (c == u'-' && peek(1) == u'-')) {
                m_unknown = true;
                break;
            }
            if (c == u'-' && !first && peek(1) != u']') {
                // A range needs a plain character on both sides.
                ++m_index;
                const std::optional<char16_t> last = classCharacter(&matchesLineFeed);
                if (previous < 0 || !last)
                    m_unknown = true;
                else if (previous <= u'\n' && u'\n' <= *last)
                    matchesLineFeed = true;
                previous = -1;
                continue;
            }
            const std::optional<char16_t> member = classCharacter(&matchesLineFeed);
            previous = member ? int(*member) : -1;
            first = false;
        }
        return matchesLineFeed;
    }

    // One member of a class: a character (returned) or a class escape.
    std::optional<char16_t> classCharacter(bool* matchesLineFeed)
    {
        const char16_t c = peek();
        ++m_index;
        if (c != u'\\') {
            if (c == u'\n')
                *matchesLineFeed = true;
            return c;
        }
        const Atom piece = escape();
        if (piece.matchesLineFeed)
            *matchesLineFeed = true;
        return piece.literal;
    }

    // After '('.
    Atom group(int depth)
    {
        if (peek() == u'?') {
            if (peek(1) == u':') {
                m_index += 2;
            } else if (peek(1) == u'<' && isAsciiLetterOrDigit(peek(2)) && !(peek(2) >= u'0' && peek(2) <= u'9')) {
                m_index += 2;
                while (isAsciiLetterOrDigit(peek()))
                    ++m_index;
                if (peek() != u'>') {
                    m_unknown = true;
                    return {};
                }
                ++m_index;
            } else {
                m_unknown = true;
                return {};
            }
        }
        const bool matchesLineFeed = sequence(depth + 1, nullptr);
        if (peek() != u')') {
            m_unknown = true;
            return {};
        }
        ++m_index;
        return {std::nullopt, matchesLineFeed};
    }

    // Reads a quantifier if one follows; true when it did.
    bool quantifier()
    {
        const char16_t c = peek();
        if (c == u'*' || c == u'+' || c == u'?') {
            ++m_index;
        } else if (c == u'{') {
            ++m_index;
            const qsizetype digitsStart = m_index;
            while (peek() >= u'0' && peek() <= u'9')
                ++m_index;
            if (m_index == digitsStart) {
                m_unknown = true;
                return true;
            }
            if (peek() == u',') {
                ++m_index;
                while (peek() >= u'0' && peek() <= u'9')
                    ++m_index;
            }
            if (peek() != u'}') {
                m_unknown = true;
                return true;
            }
            ++m_index;
        } else {
            return false;
        }
        if (peek() == u'?' || peek() == u'+')
            ++m_index;
        return true;
    }

    QStringView m_pattern;
    qsizetype m_index = 0;
    bool m_dotMatchesLineFeed = false;
    bool m_unknown = false;
    bool m_topLevelAlternation = false;
};

}

MUDRegularExpressionPrefilter MUDRegularExpressionPrefilter::analyse(QStringView pattern, bool caseInsensitive,
                                                                     bool dotMatchesLineFeed)
{
    MUDRegularExpressionPrefilter prefilter;
    prefilter.m_caseInsensitive = caseInsensitive;
    PatternReader reader(pattern, dotMatchesLineFeed);
    const auto runs = reader.topLevelRuns();
    if (!runs)
        return prefilter;
    for (const auto& run : *runs) {
        const QString text = caseInsensitive ? run.text.toLower() : run.text;
        if (!run.prefixMatchesLineFeed &&
            (prefilter.m_lineAnchoredLiteral < 0 ||
             text.size() > prefilter.m_requiredLiterals.at(prefilter.m_lineAnchoredLiteral).size()))
            prefilter.m_lineAnchoredLiteral = prefilter.m_requiredLiterals.size();
        prefilter.m_requiredLiterals.append(text);
    }
    return prefilter;
}
