#include "engine/automation/MUDRegularExpressionPrefilter.h"

#include <gtest/gtest.h>

#include "engine/automation/MUDRegularExpression.h"
#include "engine/automation/MUDSearchText.h"

namespace {

struct AnalysisRow {
    const char* pattern;
    QStringList literals;
    qsizetype anchored;
};

TEST(MUDRegularExpressionPrefilter, ReadsRequiredLiteralsAndWhetherTheirPrefixStaysOnOneLine)
{
    const AnalysisRow rows[] = {
        {R"(^The orc arrives from the (\w+)\.)", {"the orc arrives from the "}, 0},
        {R"((\w+) says, "([^"]*) orc\.")", {" says, \"", " orc.\""}, 0},
        {R"(^\[Chat\] (\w+): .*orc)", {"[chat] ", "orc"}, 0},
        {R"(.*foo bar)", {"foo bar"}, -1},
        {R"(\s+hello)", {"hello"}, -1},
        {R"([^x]+hello)", {"hello"}, -1},
        {R"([a-z]+ hello)", {" hello"}, 0},
        {R"([\t-z]hello)", {"hello"}, -1},
        {R"(ab+cde)", {"cde"}, 0},
        {R"(abcd?)", {"abc"}, 0},
        {R"(x{2,3}yz)", {}, -1},
        {R"((?:a|b)hello(?<name>x))", {"hello"}, 0},
        {R"(one|two three)", {}, -1},
        {R"((?=abc)abc)", {}, -1},
        {R"(\Qabc\E)", {}, -1},
        {R"(a\nbcd)", {}, -1},
        {R"(\p{L}abcd)", {}, -1},
        {R"((?#note)abcd)", {}, -1},
        {R"((abc)\1)", {}, -1},
        {"ab\u00e9cde", {"cde"}, 0},
    };
    for (const auto& row : rows) {
        const auto prefilter = MUDRegularExpressionPrefilter::analyse(QString::fromUtf8(row.pattern), true, true);
        EXPECT_EQ(prefilter.requiredLiterals(), row.literals) << row.pattern;
        EXPECT_EQ(prefilter.lineAnchoredLiteral(), row.anchored) << row.pattern;
    }
    EXPECT_EQ(MUDRegularExpressionPrefilter::analyse(u"Foo.*Bar", false, false).requiredLiterals(),
              QStringList({"Foo", "Bar"}));
    EXPECT_EQ(MUDRegularExpressionPrefilter::analyse(u"a.Bar", false, false).lineAnchoredLiteral(), 0);
    EXPECT_EQ(MUDRegularExpressionPrefilter::analyse(u"a.Bar", false, true).lineAnchoredLiteral(), -1);
}

TEST(MUDSearchText, FindsLiteralsAndTreatsNonAsciiAsAPossiblePlace)
{
    const QString text = QString::fromUtf8("Hello World\nthe \u212Aing\r\nplain");
    const MUDSearchText search(text);
    EXPECT_EQ(search.find(u"world", true, 0, text.size()), 6);
    EXPECT_EQ(search.find(u"world", false, 0, text.size()), -1);
    EXPECT_EQ(search.find(u"World", false, 0, text.size()), 6);
    EXPECT_EQ(search.find(u"world", true, 7, text.size()), 16) << "the Kelvin sign may fold to k";
    EXPECT_EQ(search.find(u"plain", true, 17, text.size()), 22);
    EXPECT_EQ(search.find(u"plain", true, 17, 26), -1) << "an occurrence must end inside the range";
    EXPECT_EQ(search.lineStart(0), 0);
    EXPECT_EQ(search.lineStart(11), 0);
    EXPECT_EQ(search.lineStart(12), 12);
    EXPECT_EQ(search.lineStart(25), 22);
    EXPECT_TRUE(search.isAscii(0, 16));
    EXPECT_FALSE(search.isAscii(0, 17));
}

// The pre-filtered search must find exactly what ICU finds alone. A leading
// comment group keeps ICU's meaning but makes the pattern unknown to the
// pre-filter, which then leaves the whole search to ICU.
QList<QList<CVRange>> groupsOf(const QList<MUDRegularExpressionMatch>& matches)
{
    QList<QList<CVRange>> result;
    for (const auto& match : matches)
        result.append(match.groups);
    return result;
}

// Returns how many matches both found.
qsizetype expectSameMatches(const QString& pattern, int options, const QString& text, CVRange range)
{
    const auto filtered = MUDRegularExpression::compile(pattern, options);
    const auto plain = MUDRegularExpression::compile(QStringLiteral("(?#unfiltered)") + pattern, options);
    if (!filtered || !plain) {
        ADD_FAILURE() << "does not compile: " << pattern.toStdString();
        return 0;
    }
    const auto expected = groupsOf(plain->matchesInString(text, range));
    EXPECT_EQ(groupsOf(filtered->matchesInString(text, range)), expected)
        << "pattern " << pattern.toStdString() << " text " << text.toStdString() << " range "
        << range.toString().toStdString();
    return expected.size();
}

TEST(MUDRegularExpressionPrefilter, MatchesExactlyWhatIcuFindsAlone)
{
    const QStringList patterns = {
        R"(^The (\w+) arrives from the (\w+)\.)",
        R"((\w+) says, "([^"]*) orc\.")",
        R"(^\[Chat\] (\w+): .*orc)",
        R"(\bstrasse\b)",
        R"((\w*)king)",
        R"(office (\d+)$)",
        R"(kkk)",
        R"([a-z ]*ss\w)",
        R"(.*the end)",
        R"(\S+ lies here)",
        R"(^A small (\w+) lies here, (\w+)\.$)",
    };
    const QStringList texts = {
        QString::fromUtf8("The orc arrives from the north.\r\nBob says, \"Beware of\nthe orc.\"\r\n"
                          "[Chat] Mira: anyone up for the orc quest?\nA small orc lies here, sleeping.\n"),
        QString::fromUtf8("Stra\u00dfe and STRASSE and strasse.\nthe \u212Aing and the KING and (\u212A\u212A\u212A)\n"
                          "o\uFB03ce 12\noffice 7\nthe end the end"),
        QString::fromUtf8("\u00e9\u00e9 lies here\nx the orc arrives from the south. The ORC ARRIVES FROM THE WEST."),
    };
    const int optionSets[] = {
        MUDRegularExpression::AnchorsMatchLines | MUDRegularExpression::DotMatchesLineSeparators |
            MUDRegularExpression::CaseInsensitive,
        MUDRegularExpression::AnchorsMatchLines | MUDRegularExpression::DotMatchesLineSeparators,
        MUDRegularExpression::CaseInsensitive,
    };
    qsizetype found = 0;
    for (const QString& pattern : patterns) {
        for (const QString& text : texts) {
            for (int options : optionSets) {
                for (qsizetype start : {qsizetype(0), qsizetype(3), text.size() / 2}) {
                    found += expectSameMatches(pattern, options, text, {start, text.size() - start});
                    found += expectSameMatches(pattern, options, text, {start, (text.size() - start) / 2});
                }
            }
        }
    }
    EXPECT_GT(found, 100) << "the rows must find something to compare";
}

TEST(MUDRegularExpressionPrefilter, MatchesExactlyWhatIcuFindsAloneOnRandomText)
{
    // Text pieces with line feeds, case pairs and characters that fold
    // to ASCII, so occurrences, line starts and folding all meet often.
    const QStringList pieces = {"a",
                                "B",
                                " ",
                                "k",
                                "\n",
                                ".",
                                "\"",
                                "s",
                                "S",
                                " ab",
                                "bak",
                                "sAb",
                                "ab.",
                                QString::fromUtf8("\u212A"),
                                QString::fromUtf8("\u00df")};
    const QStringList patterns = {R"((\w+) ab)", R"(^ab\.)", R"(k?sab)", R"([^"]*ab ")", R"(\bbak$)", R"(ss ab)"};
    quint32 state = 7;
    auto next = [&](quint32 bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    qsizetype found = 0;
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int length = 1 + int(next(30));
        for (int i = 0; i < length; ++i)
            text.append(pieces.at(next(pieces.size())));
        const qsizetype start = next(text.size());
        const qsizetype rangeLength = next(text.size() - start + 1);
        for (const QString& pattern : patterns) {
            found += expectSameMatches(pattern,
                                       MUDRegularExpression::AnchorsMatchLines |
                                           MUDRegularExpression::DotMatchesLineSeparators |
                                           MUDRegularExpression::CaseInsensitive,
                                       text, {start, rangeLength});
        }
    }
    EXPECT_GT(found, 30) << "the random texts must find something to compare";
}

}
