#pragma once

#include <QList>
#include <QString>
#include <memory>

#include "core/CVRange.h"
#include "engine/automation/MUDRegularExpressionPrefilter.h"

class MUDSearchText;

// One match: the whole match first, then each capture group in order; a
// group that took no part in the match has location CVRange::NotFound.
struct MUDRegularExpressionMatch {
    QList<CVRange> groups;
    CVRange range() const { return groups.value(0); }
};

// A compiled ICU regular expression over UTF-16 text (offsets count UTF-16
// code units). Immutable after compile: one object may match on several
// threads at once, each call with its own matcher.
class MUDRegularExpression {
public:
    // Option flags as stored with triggers and aliases.
    enum Option : int {
        CaseInsensitive = 1,
        DotMatchesLineSeparators = 8,
        AnchorsMatchLines = 16,
    };

    // Null on a syntax error, whose description goes to `error`.
    static std::shared_ptr<MUDRegularExpression> compile(const QString& pattern, int options, QString* error = nullptr);
    ~MUDRegularExpression();

    // Every match inside `range` of `text`, in order, without anchoring
    // bounds: ^ and $ match only at real line boundaries, not at the edges
    // of the range. A range outside the text gives nothing.
    QList<MUDRegularExpressionMatch> matchesInString(const QString& text, CVRange range) const;
    // The same over a text prepared once for many expressions: literals the
    // pattern requires are looked up first, and ICU runs only where a match
    // can start.
    QList<MUDRegularExpressionMatch> matchesInString(const MUDSearchText& text, CVRange range) const;

    // Matches confined to single lines, as matching every line of output
    // wants: no match reaches past a line's end, whatever the pattern (so
    // the result never depends on how much text one search was given), and
    // ^ and $ match at each line's ends. Lines end at a line feed, a carriage
    // return before it excluded. Only lines holding the pattern's required
    // literals are handed to ICU. Matches begin inside `range`; the text
    // before it only tells where its first line begins.
    QList<MUDRegularExpressionMatch> matchesInLines(const MUDSearchText& text, CVRange range) const;

    int numberOfCaptureGroups() const { return m_groupCount; }
    const MUDRegularExpressionPrefilter& prefilter() const { return m_prefilter; }
    QString pattern() const { return m_pattern; }

private:
    struct Compiled;
    MUDRegularExpression();

    QString m_pattern;
    std::unique_ptr<Compiled> m_compiled;
    MUDRegularExpressionPrefilter m_prefilter;
    int m_groupCount = 0;
};
