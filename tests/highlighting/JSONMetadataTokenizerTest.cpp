#include "engine/highlighting/JSONMetadataTokenizer.h"

#include <gtest/gtest.h>

#include "engine/highlighting/JSONParserTokenizerToken.h"

namespace {
// Renders tokens as "type:text" pieces joined by '|'; type numbers as in
// JSONParserTokenizerToken (0 unknown, 1 symbol, 2 keyword, 3 variable,
// 4 function, 5/6 strings, 7/8 comments, 9 numeric).
QString rendered(const QString& text)
{
    JSONMetadataTokenizer tokenizer(text);
    QStringList pieces;
    for (const CVTokenizerTokenPtr& token : tokenizer.allTokens())
        pieces
            << QStringLiteral("%1:%2").arg(token->type()).arg(text.mid(token->range().location, token->range().length));
    return pieces.join(u'|');
}

struct TokenRow {
    const char* name;
    const char* script;
    const char* expected;
};

const TokenRow kRows[] = {
    {"Empty", "", ""},
    {"PlainWords", "foo bar", "0:foo bar"},
    {"DeclarationAndLaterUse", "var x = 1;\nx = x + 1;",
     "2:var|0: |3:x|0: |1:=|0: |9:1|1:;|0:\n|3:x|0: |1:=|0: |3:x|0: |1:+|0: |9:1|1:;"},
    {"UseBeforeDeclarationStaysPlain", "x; let x", "0:x|1:;|0: |2:let|0: |3:x"},
    {"ConstDeclares", "const y=y", "2:const|0: |3:y|1:=|3:y"},
    {"FunctionNameBeforeBracket", "print(a)", "4:print|1:(|0:a|1:)"},
    {"SpaceAfterKeywordIsTheFunctionToken", "if (a)", "2:if|4: |1:(|0:a|1:)"},
    {"KeywordBeforeBracketHasNoFunction", "if(a)", "2:if|1:(|0:a|1:)"},
    {"DoubleQuotedString", "a = \"b c\";", "0:a |1:=|0: |6:\"b c\"|1:;"},
    {"SingleQuotedString", "'it'", "5:'it'"},
    {"EscapedQuoteStaysInside", "\"a\\\"b\" c", "6:\"a\\\"b\"|0: c"},
    {"EscapedBackslashClosesString", "\"a\\\\\" c", "6:\"a\\\\\"|0: c"},
    {"OtherQuoteInsideString", "\"it's\" 'say \"hi\"'", "6:\"it's\"|0: |5:'say \"hi\"'"},
    {"CommentOpenersInsideString", "\"//x /*y\" z", "6:\"//x /*y\"|0: z"},
    {"SingleLineComment", "a // note; var x\nb", "0:a |7:// note; var x|0:\nb"},
    {"MultiLineComment", "a /* x\n y */ b", "0:a |8:/* x\n y */|0: b"},
    {"ShortestClosedComment", "/**/x", "8:/**/|0:x"},
    {"SlashStarSlashStaysOpen", "/*/ a", "8:/*/ a"},
    {"UnclosedStringRunsToEnd", "a 'b c; d", "0:a |5:'b c; d"},
    {"UnclosedCommentRunsToEnd", "a /* b", "0:a |8:/* b"},
    {"LineCommentAtEnd", "a //b", "0:a |7://b"},
    {"SlashAtEndIsSymbol", "a /", "0:a |1:/"},
    {"SlashBeforeOtherIsSymbol", "a / b", "0:a |1:/|0: b"},
    {"EverySymbol", "()*+,-.:;=[\\]{}", "1:(|1:)|1:*|1:+|1:,|1:-|1:.|1::|1:;|1:=|1:[|1:\\|1:]|1:{|1:}"},
    {"OtherPunctuationIsPlain", "a < b && !c", "0:a < b && !c"},
    {"Numbers", "12 3.5 0x1F 1e3 x2", "9:12|0: |9:3|1:.|9:5|0: |9:0x1F|0: |9:1e3|0: x2"},
    {"KeywordsAreCaseSensitive", "Return return", "0:Return |2:return"},
    {"BooleansAreKeywords", "true false", "2:true|0: |2:false"},
};

class TokenizerRule : public ::testing::TestWithParam<TokenRow> { };

TEST_P(TokenizerRule, TokensAsExpected)
{
    const TokenRow& row = GetParam();
    EXPECT_EQ(rendered(QString::fromUtf8(row.script)), QString::fromUtf8(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, TokenizerRule, ::testing::ValuesIn(kRows),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });
}

TEST(JSONMetadataTokenizer, TokensTileTheText)
{
    const QString text = "var a = f(1, 'x\\'y');\n/* c */ a += \"s\" // end\n let b";
    JSONMetadataTokenizer tokenizer(text);
    qsizetype expectedLocation = 0;
    for (const CVTokenizerTokenPtr& token : tokenizer.allTokens()) {
        EXPECT_EQ(token->range().location, expectedLocation);
        EXPECT_GT(token->range().length, 0);
        expectedLocation = token->range().end();
    }
    EXPECT_EQ(expectedLocation, text.size());
}

TEST(JSONMetadataTokenizer, EmptyRangeYieldsNothingOtherRangesScanEverything)
{
    JSONMetadataTokenizer tokenizer("a b(c)");
    int count = 0;
    tokenizer.enumerateTokens([&](const CVTokenizerTokenPtr&, bool&) { ++count; }, {0, 0});
    EXPECT_EQ(count, 0);
    tokenizer.enumerateTokens([&](const CVTokenizerTokenPtr&, bool&) { ++count; }, {2, 1});
    EXPECT_EQ(count, 4);
}

TEST(JSONMetadataTokenizer, StopEndsTheScanWithoutTheRest)
{
    JSONMetadataTokenizer tokenizer("a;b;c;d");
    QList<CVRange> seen;
    tokenizer.enumerateTokens([&](const CVTokenizerTokenPtr& token, bool& stop) {
        seen << token->range();
        stop = seen.size() == 2;
    });
    EXPECT_EQ(seen, (QList<CVRange>{{0, 1}, {1, 1}}));
}

TEST(JSONMetadataTokenizer, VariablesCarryOverToTheNextEnumeration)
{
    JSONMetadataTokenizer tokenizer("y; var y");
    tokenizer.allTokens();
    EXPECT_TRUE(tokenizer.variables().contains("y"));
    EXPECT_EQ(tokenizer.allTokens().first()->type(), JSONParserTokenizerToken::Variable);
}

TEST(JSONParserTokenizerToken, DescriptionAndTypeNames)
{
    JSONParserTokenizerToken token(CVRange{3, 4}, JSONParserTokenizerToken::DoubleQuotedString);
    EXPECT_EQ(token.description(), "Double quoted string - {3, 4}");
    EXPECT_EQ(JSONParserTokenizerToken::typeString(9), "Numeric");
    EXPECT_EQ(JSONParserTokenizerToken::typeString(10), "Unknown");
    EXPECT_EQ(JSONParserTokenizerToken::typeString(-1), "Unknown");
    CVTokenizerTokenPtr copy = token.copy();
    EXPECT_NE(std::dynamic_pointer_cast<JSONParserTokenizerToken>(copy), nullptr);
    EXPECT_EQ(copy->range(), token.range());
}
