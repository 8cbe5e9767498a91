#include "engine/automation/MUDJavascriptReuseCheck.h"

#include <QSet>
#include <QStringView>

namespace {

// Words that reach the global object, a prototype or constructor, a way to
// call a function on a chosen object, a way to change an object other than
// by assignment, or state a later script could read.
const QSet<QStringView>& refusedWords()
{
    // Never destroyed: a script thread may still be checking a word while
    // the program exits and runs the destructors of statics.
    static const auto* const words = new QSet<QStringView>{
        u"this",
        u"globalThis",
        u"global",
        u"eval",
        u"Function",
        u"with",
        u"import",
        u"arguments",
        u"caller",
        u"callee",
        u"prototype",
        u"__proto__",
        u"constructor",
        u"getPrototypeOf",
        u"setPrototypeOf",
        u"Object",
        u"Reflect",
        u"Proxy",
        u"super",
        u"call",
        u"apply",
        u"bind",
        u"__defineGetter__",
        u"__defineSetter__",
        u"delete",
        u"RegExp",
        u"WeakRef",
        u"FinalizationRegistry",
        u"Atomics",
        u"captureStackTrace",
        u"QuarrowTempFunction",
    };
    return *words;
}

bool isIdentifierChar(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0x80)
        return true;
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '$';
}

bool isAsciiSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\v' || u == '\f';
}

// Characters JavaScript reads as white space or line breaks beyond ASCII, and
// the byte-order mark: they would split what this scan takes for one word.
bool isForeignSeparator(QChar c)
{
    return c.unicode() >= 0x80 && (c.isSpace() || c.unicode() == 0xFEFF);
}

class Scanner {
public:
    explicit Scanner(QStringView code)
        : m_code(code)
    {
    }

    std::optional<QStringList> run()
    {
        // Comments could hide what joins a member to its object, and escapes
        // could spell a refused word.
        for (QStringView hiding : {u"//", u"/*", u"<!--", u"-->", u"\\u"}) {
            if (m_code.contains(hiding))
                return std::nullopt;
        }
        for (QChar c : m_code) {
            if (isForeignSeparator(c))
                return std::nullopt;
        }
        const qsizetype size = m_code.size();
        for (qsizetype i = 0; i < size; ++i) {
            const QChar c = m_code.at(i);
            if (isIdentifierChar(c) && (i == 0 || !isIdentifierChar(m_code.at(i - 1)))) {
                if (!checkWord(i))
                    return std::nullopt;
            } else if (c == QLatin1Char('=')) {
                if (!checkEquals(i))
                    return std::nullopt;
            } else if ((c == QLatin1Char('+') || c == QLatin1Char('-')) && i + 1 < size && m_code.at(i + 1) == c) {
                if (!checkIncrement(i))
                    return std::nullopt;
            } else if (c == QLatin1Char('[')) {
                if (!checkBracket(i))
                    return std::nullopt;
            }
        }
        QStringList names(m_names.cbegin(), m_names.cend());
        names.sort();
        return names;
    }

private:
    // The first index from `index` on, walking by `step`, where `keep` fails
    // (-1 or the size past either end).
    qsizetype skip(qsizetype index, int step, bool (*keep)(QChar)) const
    {
        while (index >= 0 && index < m_code.size() && keep(m_code.at(index)))
            index += step;
        return index;
    }
    qsizetype wordEnd(qsizetype start) const { return skip(start, 1, isIdentifierChar); }
    qsizetype wordStart(qsizetype last) const { return skip(last, -1, isIdentifierChar) + 1; }
    // Index of the last non-space character before `index`, or -1.
    qsizetype previousVisible(qsizetype index) const { return skip(index - 1, -1, isAsciiSpace); }
    qsizetype nextVisible(qsizetype index) const { return skip(index, 1, isAsciiSpace); }
    QChar at(qsizetype index) const { return index >= 0 && index < m_code.size() ? m_code.at(index) : QChar(); }

    // An assignment target ending at `last`: a plain name is recorded; a
    // member, a parenthesised expression or a pattern refuses the script.
    bool recordTargetEndingAt(qsizetype last)
    {
        if (last < 0 || !isIdentifierChar(m_code.at(last)))
            return false;
        const qsizetype start = wordStart(last);
        if (at(previousVisible(start)) == QLatin1Char('.'))
            return false;
        m_names.insert(m_code.mid(start, last - start + 1).toString());
        return true;
    }

    bool checkWord(qsizetype start)
    {
        const qsizetype end = wordEnd(start);
        const QStringView word = m_code.mid(start, end - start);
        if (refusedWords().contains(word))
            return false;
        // for (target in ...) and for (target of ...) assign their target.
        if (word == u"in" || word == u"of") {
            const qsizetype before = previousVisible(start);
            const QChar c = at(before);
            if (c == QLatin1Char(')') || c == QLatin1Char(']') || c == QLatin1Char('}'))
                return false;
            if (before >= 0 && isIdentifierChar(c))
                return recordTargetEndingAt(before);
        }
        return true;
    }

    bool checkEquals(qsizetype i)
    {
        const QChar next = at(i + 1);
        if (next == QLatin1Char('=') || next == QLatin1Char('>'))
            return true;
        const QChar previous = at(i - 1);
        if (previous == QLatin1Char('=') || previous == QLatin1Char('!'))
            return true;
        if ((previous == QLatin1Char('<') || previous == QLatin1Char('>')) && at(i - 2) != previous)
            return true;
        qsizetype operatorStart = i;
        while (operatorStart > 0 && QStringView(u"+-*/%&|^?<>").contains(m_code.at(operatorStart - 1)))
            --operatorStart;
        return recordTargetEndingAt(previousVisible(operatorStart));
    }

    // ++ and -- change the name on either side; a member or an expression
    // there refuses the script.
    bool checkIncrement(qsizetype i)
    {
        qsizetype end = i;
        while (end < m_code.size() && m_code.at(end) == m_code.at(i))
            ++end;
        const qsizetype before = previousVisible(i);
        if (before >= 0) {
            const QChar c = m_code.at(before);
            if (c == QLatin1Char(')') || c == QLatin1Char(']'))
                return false;
            if (isIdentifierChar(c) && !recordTargetEndingAt(before))
                return false;
        }
        const qsizetype after = nextVisible(end);
        const QChar c = at(after);
        if (c == QLatin1Char('(') || c == QLatin1Char('['))
            return false;
        if (after < m_code.size() && isIdentifierChar(c)) {
            const qsizetype wordLast = wordEnd(after) - 1;
            const QChar following = at(nextVisible(wordLast + 1));
            if (following == QLatin1Char('.') || following == QLatin1Char('[') || following == QLatin1Char('('))
                return false;
            m_names.insert(m_code.mid(after, wordLast - after + 1).toString());
        }
        return true;
    }

    // A computed member could name any property; only a digit index is safe.
    // A bracket where an expression cannot end is an array literal.
    bool checkBracket(qsizetype i)
    {
        const qsizetype close = m_code.indexOf(QLatin1Char(']'), i);
        if (close > i) {
            const QStringView inside = m_code.mid(i + 1, close - i - 1).trimmed();
            if (!inside.isEmpty() &&
                std::all_of(inside.begin(), inside.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
                return true;
        }
        const qsizetype before = previousVisible(i);
        return before < 0 || QStringView(u"(=:;[!&|?+-*%<>~^").contains(m_code.at(before));
    }

    QStringView m_code;
    QSet<QString> m_names;
};

}

std::optional<QStringList> MUDJavascriptReuseCheck::assignedGlobalNames(const QString& code)
{
    return Scanner(code).run();
}
