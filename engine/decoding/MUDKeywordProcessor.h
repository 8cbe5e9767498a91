#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// Collects a session's vocabulary for command completion: words of server
// text that look like game nouns and verbs, plus a singular form of simple
// plurals. One per connect; the collection only grows. Main thread.
class MUDKeywordProcessor {
public:
    // Starts with "consider", "kill" and "look".
    MUDKeywordProcessor();

    // Adds the qualifying words of `string`.
    void processHostString(const QString& string);

    // Every collected word, sorted case-insensitively for the locale.
    QStringList hostKeywords() const;

    // Words never collected, shared by all processors, sorted like hostKeywords.
    static const QStringList& ignoreWords();

private:
    QSet<QString> m_hostWords;
};
