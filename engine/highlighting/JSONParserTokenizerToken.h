#pragma once

#include "core/CVTokenizerToken.h"

// A token of the JavaScript tokenizer; its type is one of the constants below.
// One thread at a time.
class JSONParserTokenizerToken : public CVTokenizerToken {
public:
    static constexpr int Unknown = 0;
    static constexpr int Symbol = 1;
    static constexpr int Keyword = 2;
    static constexpr int Variable = 3;
    static constexpr int Function = 4;
    static constexpr int SingleQuotedString = 5;
    static constexpr int DoubleQuotedString = 6;
    static constexpr int SingleLineComment = 7;
    static constexpr int MultiLineComment = 8;
    static constexpr int Numeric = 9;

    using CVTokenizerToken::CVTokenizerToken;

    // The readable name of a type; values outside the table read "Unknown".
    static QString typeString(int type);

    CVTokenizerTokenPtr copy() const override { return std::make_shared<JSONParserTokenizerToken>(*this); }
    QString description() const override;
};
