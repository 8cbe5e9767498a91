#include <cctype>
#include <gtest/gtest.h>
#include <map>
#include <string>

#include "app/scripting/MUDRegexColoring.h"

namespace {

// One letter per character: . base colour, G group, P pair, C class,
// O anchor or quantifier, E escape.
QString colorCodes(const QString& pattern)
{
    QString codes;
    for (const QColor& color : MUDRegexColoring::characterColors(pattern)) {
        if (!color.isValid())
            codes += u'.';
        else if (color == MUDRegexColoring::groupColor())
            codes += u'G';
        else if (color == MUDRegexColoring::pairColor())
            codes += u'P';
        else if (color == MUDRegexColoring::classColor())
            codes += u'C';
        else if (color == MUDRegexColoring::operatorColor())
            codes += u'O';
        else if (color == MUDRegexColoring::escapeColor())
            codes += u'E';
        else
            codes += u'?';
    }
    return codes;
}

struct Row {
    const char* pattern;
    const char* codes;
};

// A row's name spells its pattern: letters and digits as they are, every
// other character by name, the parts joined by underscores ("^(\\w+)" is
// Caret_Open_Backslash_w_Plus_Close).
std::string rowName(const char* pattern)
{
    static const std::map<char, const char*> names = {
        {' ', "Space"}, {'(', "Open"},  {')', "Close"},  {'[', "Bracket"},  {']', "EndBracket"}, {'\\', "Backslash"},
        {'.', "Dot"},   {'^', "Caret"}, {'$', "Dollar"}, {'?', "Question"}, {'+', "Plus"},       {'*', "Star"},
    };
    std::string name;
    bool inWord = false;
    for (const char* c = pattern; *c; ++c) {
        const bool alphanumeric = std::isalnum(static_cast<unsigned char>(*c));
        if (!name.empty() && !(alphanumeric && inWord))
            name += '_';
        const auto found = names.find(*c);
        name += alphanumeric ? std::string(1, *c) : found != names.end() ? found->second : "Other";
        inWord = alphanumeric;
    }
    return name;
}

class RegexColoringTest : public ::testing::TestWithParam<Row> { };

TEST_P(RegexColoringTest, ColoursEachCharacter)
{
    const Row& row = GetParam();
    EXPECT_EQ(colorCodes(QString::fromUtf8(row.pattern)).toStdString(), row.codes) << row.pattern;
}

INSTANTIATE_TEST_SUITE_P(Patterns, RegexColoringTest,
                         ::testing::Values(Row{"plain words", "..........."}, Row{"(a)", "P.P"},
                                           Row{"((a)b)", "PP.P.P"}, Row{"(a", "G."}, Row{"a)", ".G"},
                                           Row{"\\(a\\)", "....."}, Row{"[abc]d", "CCCCC."}, Row{"x[ab", ".CCC"},
                                           Row{"[a.]", "CCCC"}, Row{"\\[a]", "...."}, Row{"^a.b?c+$", "O.O.O.OO"},
                                           Row{"a\\sb\\nc\\rd\\t", ".EE.EE.EE..."}, Row{"[\\s]", "CCCC"},
                                           Row{"^(\\w+) says (.*)$", "OP..OP......PO.PO"}),
                         [](const ::testing::TestParamInfo<Row>& paramInfo) {
                             return rowName(paramInfo.param.pattern);
                         });

TEST(RegexColoringSpans, PairPaintsOverTheGroupColour)
{
    const QList<MUDRegexColoring::Span> spans = MUDRegexColoring::spansForPattern(QStringLiteral("(x)"));
    ASSERT_EQ(spans.size(), 4);
    EXPECT_EQ(spans[0], (MUDRegexColoring::Span{CVRange{0, 1}, MUDRegexColoring::groupColor()}));
    EXPECT_EQ(spans[1], (MUDRegexColoring::Span{CVRange{2, 1}, MUDRegexColoring::groupColor()}));
    EXPECT_EQ(spans.last().color, MUDRegexColoring::pairColor());
}

}
