#pragma once

#include <QSet>
#include <QString>

#include "core/CVTokenizer.h"

class CVWhitespaceTokenizer;

// Cuts a script into a gap-free sequence of typed JSONParserTokenizerTokens
// in one pass: strings, comments, symbols, numbers, keywords, declared
// variables and function names, and type-0 tokens for everything between.
// Shallow on purpose (no grammar): one look-behind word for declarations and
// one look-ahead character for comment openers. Any text tokenizes; unclosed
// strings and comments run to the end. One thread at a time.
class JSONMetadataTokenizer : public CVTokenizer {
public:
    explicit JSONMetadataTokenizer(const QString& stringToParse);
    ~JSONMetadataTokenizer() override;

    // Scans the whole text.
    void enumerateTokens(const TokenCallback& callback) override;
    // Also scans the whole text; an empty range yields no token at all.
    void enumerateTokens(const TokenCallback& callback, CVRange range) override;

    const QString& stringToParse() const { return m_stringToParse; }
    // Words seen after a declaration keyword; kept across enumerations.
    const QSet<QString>& variables() const { return m_variables; }

private:
    class Scan;

    QString m_stringToParse;
    QSet<QString> m_variables;
};
