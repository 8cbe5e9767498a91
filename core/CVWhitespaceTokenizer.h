#pragma once

#include <QString>

#include "core/CVTokenizer.h"

// Cuts text into words. With splitByWhitespace, white space separates words
// and is not reported (consumers that need to tile the text take the gaps
// between tokens). With splitBySymbols, every punctuation or symbol
// character -- ( ) * + , - . / : ; = [ \ ] { }, quotes and the rest, but not
// '_' or '$', which belong to identifiers -- arrives as a token of its own.
// Runs of all other characters (letters, digits, '_', '$') arrive whole.
// One thread at a time.
class CVWhitespaceTokenizer : public CVTokenizer {
public:
    // Token types this tokenizer assigns.
    static constexpr int WordType = 0;
    static constexpr int SymbolType = 1;

    CVWhitespaceTokenizer(const QString& string, bool splitBySymbols, bool splitByWhitespace);

    void enumerateTokens(const TokenCallback& callback) override;
    // Tokens lying in `range`; a range reaching past the text is clipped.
    void enumerateTokens(const TokenCallback& callback, CVRange range) override;

    // The same enumeration without token objects, for scanners that only
    // classify the pieces.
    using RangeCallback = std::function<void(CVRange range, int type, bool& stop)>;
    void enumerateRanges(const RangeCallback& callback, CVRange range) const;

    const QString& string() const { return m_string; }

    // True for the characters that form one-character tokens when splitting by symbols.
    static bool isSymbolCharacter(QChar character);

private:
    bool separatesWords(QChar character) const;

    QString m_string;
    bool m_splitBySymbols;
    bool m_splitByWhitespace;
};
