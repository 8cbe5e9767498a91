#include "engine/automation/MUDLiteralSet.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/automation/MUDSearchText.h"

namespace {

using Starts = std::vector<qsizetype>;

// Every start of `literal` in `text`, overlapping ones included, by Qt's search.
Starts startsByIndexOf(QStringView text, QStringView literal)
{
    Starts starts;
    for (qsizetype at = text.indexOf(literal); at >= 0; at = text.indexOf(literal, at + 1))
        starts.push_back(at);
    return starts;
}

QString randomText(std::mt19937& random, qsizetype length, QStringView alphabet)
{
    QString text;
    for (qsizetype i = 0; i < length; ++i)
        text += alphabet.at(qsizetype(random() % alphabet.size()));
    return text;
}

}

TEST(MUDLiteralSet, FindsEveryOccurrenceOfEveryLiteralInOnePass)
{
    // Literals inside, overlapping and ending within one another.
    const MUDLiteralSet set({"he", "she", "his", "hers", "aa", "a"});
    const auto found = set.occurrences(u"ushers ahis aaaa");
    EXPECT_EQ(found[0], (Starts{2})) << "he";
    EXPECT_EQ(found[1], (Starts{1})) << "she";
    EXPECT_EQ(found[2], (Starts{8})) << "his";
    EXPECT_EQ(found[3], (Starts{2})) << "hers";
    EXPECT_EQ(found[4], (Starts{12, 13, 14})) << "aa";
    EXPECT_EQ(found[5], (Starts{7, 12, 13, 14, 15})) << "a";

    // A character outside ASCII breaks a match in the middle and starts none.
    const MUDLiteralSet words({"abc", "bcd"});
    const auto broken = words.occurrences(u"ab\u00e9cd abcd \u0101bc");
    EXPECT_EQ(broken[0], (Starts{6}));
    EXPECT_EQ(broken[1], (Starts{7}));
}

TEST(MUDLiteralSet, KeepsEachUsableLiteralOnce)
{
    const MUDLiteralSet set({"orc", "", "\u00e9l\u00e9phant", "orc", "troll"});
    EXPECT_EQ(set.literals(), (QStringList{"orc", "troll"}));
    EXPECT_EQ(set.indexOf(u"troll"), 1);
    EXPECT_EQ(set.indexOf(u"\u00e9l\u00e9phant"), -1);
    EXPECT_EQ(set.indexOf(u"orcs"), -1);
    EXPECT_EQ(set.occurrences(u"orc troll orc")[0], (Starts{0, 10}));

    const MUDLiteralSet empty{QStringList()};
    EXPECT_TRUE(empty.occurrences(u"anything").empty());
}

// Small alphabets make literals overlap, nest and repeat far more often than
// game text does.
TEST(MUDLiteralSet, AgreesWithQtsSearchOnRandomTexts)
{
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const QString alphabet = round % 3 == 0 ? QStringLiteral("ab") : QStringLiteral("abc \n\u00e9");
        QStringList literals;
        const int count = 1 + int(random() % 12);
        for (int i = 0; i < count; ++i)
            literals.append(randomText(random, 1 + qsizetype(random() % 5), u"abc "));
        const QString text = randomText(random, qsizetype(random() % 400), alphabet);
        const MUDLiteralSet set(literals);
        const auto found = set.occurrences(text);
        ASSERT_EQ(found.size(), size_t(set.literals().size()));
        for (qsizetype i = 0; i < set.literals().size(); ++i)
            ASSERT_EQ(found[size_t(i)], startsByIndexOf(text, set.literals().at(i)))
                << "round " << round << ", literal '" << qPrintable(set.literals().at(i)) << "' in '"
                << qPrintable(text) << "'";
    }
}

// A text prepared with literal sets answers every search as one prepared
// without them, including the possible places that characters outside
// ASCII give when case is ignored.
TEST(MUDLiteralSet, SearchTextAnswersAlikeWithAndWithoutSets)
{
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        QStringList lower;
        QStringList exact;
        for (int i = 0; i < 6; ++i) {
            lower.append(randomText(random, 1 + qsizetype(random() % 4), u"ab "));
            exact.append(randomText(random, 1 + qsizetype(random() % 4), u"aAbB "));
        }
        const QString text = randomText(random, qsizetype(random() % 300), u"aAbB \n\u00c5");
        const MUDSearchText plain(text);
        const MUDSearchText prepared(
            text, {std::make_shared<const MUDLiteralSet>(lower), std::make_shared<const MUDLiteralSet>(exact)});
        for (int probe = 0; probe < 20; ++probe) {
            const qsizetype from = qsizetype(random() % (text.size() + 2)) - 1;
            const qsizetype to = from + qsizetype(random() % (text.size() + 2));
            const bool ignoringCase = probe % 2 == 0;
            const QString& literal = (ignoringCase ? lower : exact).at(probe % 6);
            ASSERT_EQ(prepared.find(literal, ignoringCase, from, to), plain.find(literal, ignoringCase, from, to))
                << "round " << round << ", '" << qPrintable(literal) << "' in [" << from << ", " << to << ") of '"
                << qPrintable(text) << "'";
        }
    }
}
