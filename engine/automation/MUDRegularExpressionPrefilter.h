#pragma once

#include <QString>
#include <QStringList>

// What a regular expression promises about its matches, read from the
// pattern text alone: literal stretches every match contains, and whether
// the part of the pattern before one of them can match a line feed. A
// pattern that uses anything this reader does not know promises nothing and
// is matched without a pre-filter. Immutable value, any thread.
class MUDRegularExpressionPrefilter {
public:
    MUDRegularExpressionPrefilter() = default;
    static MUDRegularExpressionPrefilter analyse(QStringView pattern, bool caseInsensitive, bool dotMatchesLineFeed);

    // Printable ASCII stretches of three or more characters that every match
    // contains, lower-cased when matching ignores case. Empty when the
    // pattern promises none.
    const QStringList& requiredLiterals() const { return m_requiredLiterals; }
    // Index in requiredLiterals() of a stretch before which the pattern
    // cannot match a line feed: every match starts on the line where that
    // stretch occurs. -1 when there is none.
    qsizetype lineAnchoredLiteral() const { return m_lineAnchoredLiteral; }
    bool caseInsensitive() const { return m_caseInsensitive; }

private:
    QStringList m_requiredLiterals;
    qsizetype m_lineAnchoredLiteral = -1;
    bool m_caseInsensitive = false;
};
