#include "core/CVWhitespaceTokenizer.h"

#include <gtest/gtest.h>

namespace {
// The tokens as text, joined by '|' so expectations read like the input.
QString splitText(const QString& text, bool bySymbols, bool byWhitespace, CVRange range = {0, -1})
{
    CVWhitespaceTokenizer tokenizer(text, bySymbols, byWhitespace);
    QStringList pieces;
    const auto collect = [&](const CVTokenizerTokenPtr& token, bool&) {
        pieces << text.mid(token->range().location, token->range().length);
    };
    if (range.length < 0)
        tokenizer.enumerateTokens(collect);
    else
        tokenizer.enumerateTokens(collect, range);
    return pieces.join(u'|');
}

struct SplitRow {
    const char* name;
    const char16_t* text;
    bool bySymbols;
    bool byWhitespace;
    const char16_t* expected;
};

const SplitRow kSplitRows[] = {
    {"Empty", u"", true, true, u""},
    {"OnlySpaces", u"  \t\n ", true, true, u""},
    {"WordsAtWhitespace", u"kill  orc\trat\n", false, true, u"kill|orc|rat"},
    {"EverySymbolAlone", u"a(b)*+,-./:;=[\\]{}c", true, true, u"a|(|b|)|*|+|,|-|.|/|:|;|=|[|\\|]|{|}|c"},
    {"QuotesAlone", u"'it''s' \"x\"", true, true, u"'|it|'|'|s|'|\"|x|\""},
    {"OtherPunctuationAlone", u"a<b>!c&&d", true, true, u"a|<|b|>|!|c|&|&|d"},
    {"IdentifierCharactersStayInWords", u"$foo_bar1 x2", true, true, u"$foo_bar1|x2"},
    {"SymbolsStayWithoutSymbolSplit", u"a.b;c d", false, true, u"a.b;c|d"},
    {"WhitespaceKeptWithoutWhitespaceSplit", u"a b.c", true, false, u"a b|.|c"},
    {"NothingSplit", u"a b.c", false, false, u"a b.c"},
    {"NonAsciiLettersAreWords", u"déjà vu", true, true, u"déjà|vu"},
};

class WhitespaceTokenizerSplit : public ::testing::TestWithParam<SplitRow> { };

TEST_P(WhitespaceTokenizerSplit, YieldsExpectedPieces)
{
    const SplitRow& row = GetParam();
    EXPECT_EQ(splitText(QString::fromUtf16(row.text), row.bySymbols, row.byWhitespace),
              QString::fromUtf16(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, WhitespaceTokenizerSplit, ::testing::ValuesIn(kSplitRows),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });
}

TEST(CVWhitespaceTokenizer, RangeLimitsTheScanAndCutsWords)
{
    EXPECT_EQ(splitText("one two three", true, true, {4, 6}), "two|th");
    EXPECT_EQ(splitText("one two", true, true, {5, 100}), "wo");
    EXPECT_EQ(splitText("one two", true, true, {7, 3}), "");
}

TEST(CVWhitespaceTokenizer, TokensCarryRangesAndTypes)
{
    CVWhitespaceTokenizer tokenizer("ab (c", true, true);
    const QList<CVTokenizerTokenPtr> tokens = tokenizer.allTokens();
    ASSERT_EQ(tokens.size(), 3);
    EXPECT_EQ(tokens[0]->range(), (CVRange{0, 2}));
    EXPECT_EQ(tokens[0]->type(), CVWhitespaceTokenizer::WordType);
    EXPECT_EQ(tokens[1]->range(), (CVRange{3, 1}));
    EXPECT_EQ(tokens[1]->type(), CVWhitespaceTokenizer::SymbolType);
    EXPECT_EQ(tokens[2]->range(), (CVRange{4, 1}));
}

TEST(CVWhitespaceTokenizer, StopEndsTheEnumeration)
{
    CVWhitespaceTokenizer tokenizer("a b c d", true, true);
    int seen = 0;
    tokenizer.enumerateTokens([&](const CVTokenizerTokenPtr&, bool& stop) { stop = ++seen == 2; });
    EXPECT_EQ(seen, 2);
}

TEST(CVTokenizerToken, CopyIsIndependentOfTheOriginal)
{
    CVTokenizerToken token(CVRange{2, 3}, 7);
    CVTokenizerTokenPtr copy = token.copy();
    copy->setRange({5, 1});
    copy->setType(1);
    EXPECT_EQ(token.range(), (CVRange{2, 3}));
    EXPECT_EQ(token.type(), 7);
}
