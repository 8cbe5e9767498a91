#include "engine/decoding/MUDKeywordProcessor.h"

#include <gtest/gtest.h>

namespace {
QStringList keywordsAfter(const QStringList& texts)
{
    MUDKeywordProcessor processor;
    for (const QString& text : texts)
        processor.processHostString(text);
    return processor.hostKeywords();
}

const QStringList kStartWords{"consider", "kill", "look"};
}

TEST(MUDKeywordProcessor, FreshProcessorKnowsTheStartingWords)
{
    EXPECT_EQ(MUDKeywordProcessor().hostKeywords(), kStartWords);
}

TEST(MUDKeywordProcessor, SentenceAddsNounsVerbsAndSingulars)
{
    EXPECT_EQ(keywordsAfter({"You see 3 swords and a dagger."}),
              QStringList({"consider", "dagger", "kill", "look", "see", "sword", "swords"}));
}

struct WordRow {
    const char* name;
    const char* text;
    QStringList added;
};

class KeywordRule : public ::testing::TestWithParam<WordRow> { };

TEST_P(KeywordRule, AddsExactlyTheExpectedWords)
{
    const WordRow& row = GetParam();
    QStringList expected = kStartWords + row.added;
    expected.removeDuplicates();
    expected.sort(Qt::CaseInsensitive);
    EXPECT_EQ(keywordsAfter({QString::fromUtf8(row.text)}), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KeywordRule,
    ::testing::Values(WordRow{"UsAndSsPluralsKeepNoSingular", "status grass", {"grass", "status"}},
                      WordRow{"FourLetterPluralUnchanged", "rats", {"rats"}},
                      WordRow{"ShortWordsSkipped", "go to it", {}},
                      WordRow{"IgnoredWordsSkipped", "The HP and your charisma", {}},
                      WordRow{"UpperCaseLowered", "GOBLIN Shaman", {"goblin", "shaman"}},
                      WordRow{"DigitsMakeWordsSkipped", "orc2 troll", {"troll"}},
                      WordRow{"UnderscoreAllowed", "big_orc", {"big_orc"}},
                      WordRow{"ApostropheSplitsWords", "don't goblin's", {"don", "goblin"}},
                      WordRow{"HyphenSplitsWords", "well-made", {"made", "well"}},
                      WordRow{"NonAsciiSkipped", "épée blade", {"blade"}},
                      WordRow{"RepeatedWordStoredOnce", "goblins goblins goblin", {"goblin", "goblins"}}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(MUDKeywordProcessor, IgnoreListCollapsesDuplicatesAndSorts)
{
    const QStringList& words = MUDKeywordProcessor::ignoreWords();
    EXPECT_EQ(words.count("missed"), 1);
    EXPECT_EQ(words.size(), 18);
    EXPECT_EQ(words.first(), "and");
    EXPECT_EQ(words.last(), "your");
    EXPECT_LT(words.indexOf("HP"), words.indexOf("joyfully"));
}
