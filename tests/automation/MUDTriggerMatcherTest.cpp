#include "engine/automation/MUDTriggerMatcher.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TriggerTestSupport.h"
#include "core/CVAttributedString.h"
#include "engine/automation/MUDLiteralSet.h"
#include "engine/automation/MUDSearchText.h"
#include "engine/automation/MUDTrigger.h"

namespace {

QList<qsizetype> locations(const std::optional<QList<MUDTriggerProcessObject>>& objects)
{
    QList<qsizetype> result;
    for (const auto& object : objects.value_or(QList<MUDTriggerProcessObject>{}))
        result.append(object.range.location);
    return result;
}

class MUDTriggerMatcherTest : public ::testing::Test {
protected:
    LogRecorder m_log;
};

}

TEST_F(MUDTriggerMatcherTest, MatchLocationsByTriggerKind)
{
    struct Row {
        const char* name;
        TriggerSpec spec;
        QString text;
        QList<qsizetype> expected;
    };
    const Row rows[] = {
        {"plain acts once, at the first occurrence", {QStringLiteral("orc")}, QStringLiteral("an orc and an orc"), {3}},
        {"regex acts on every occurrence",
         {QStringLiteral("orc"), MUDTrigger::kMatchRegularExpression},
         QStringLiteral("an orc and an orc"),
         {3, 14}},
        {"plain ignores case unless case specific", {QStringLiteral("ORC")}, QStringLiteral("an orc"), {3}},
        {"plain case specific",
         {QStringLiteral("ORC"), MUDTrigger::kMatchPlainText, false, true},
         QStringLiteral("an orc"),
         {}},
        {"regex ignores case unless case specific",
         {QStringLiteral("O.C"), MUDTrigger::kMatchRegularExpression},
         QStringLiteral("an orc"),
         {3}},
        {"start of line: start of text",
         {QStringLiteral("orc"), MUDTrigger::kMatchPlainText, true},
         QStringLiteral("orc here"),
         {0}},
        {"start of line: after a line feed",
         {QStringLiteral("orc"), MUDTrigger::kMatchPlainText, true},
         QStringLiteral("x\norc"),
         {2}},
        {"start of line: not after a space",
         {QStringLiteral("orc"), MUDTrigger::kMatchPlainText, true},
         QStringLiteral("x orc\norc"),
         {}},
        {"regex start of line skips only that match",
         {QStringLiteral("orc"), MUDTrigger::kMatchRegularExpression, true},
         QStringLiteral("x orc\norc"),
         {6}},
        {"regex anchors match real lines only",
         {QStringLiteral("^orc$"), MUDTrigger::kMatchRegularExpression},
         QStringLiteral("orc\nx orc\norc"),
         {0, 10}},
        {"echoed input never fires, later text does",
         {QStringLiteral("kill orc")},
         QStringLiteral("[[kill orc]]\nyou kill orc"),
         {13}},
        {"regex after echoed input",
         {QStringLiteral("kill orc"), MUDTrigger::kMatchRegularExpression},
         QStringLiteral("[[kill orc]]\nyou kill orc"),
         {13}},
        {"unknown match type matches nothing", {QStringLiteral("orc"), 7}, QStringLiteral("orc"), {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(locations(MUDTriggerMatcher::matchTrigger(makeTrigger(row.spec), output(row.text))), row.expected)
            << row.name;
    }
    EXPECT_FALSE(MUDTriggerMatcher::matchTrigger(makeTrigger({QString()}), output(QStringLiteral("x"))).has_value());
}

TEST_F(MUDTriggerMatcherTest, RegexParametersAndGroupRanges)
{
    const auto objects = MUDTriggerMatcher::matchTrigger(regexTrigger(QStringLiteral("(\\w+) arrives(!)?")),
                                                         output(QStringLiteral("An orc arrives.\nA troll arrives")));
    ASSERT_TRUE(objects.has_value());
    ASSERT_EQ(objects->size(), 2);
    const MUDTriggerProcessObject& first = objects->at(0);
    EXPECT_EQ(first.parameters->value(QStringLiteral("\\0")), QStringLiteral("orc arrives"));
    EXPECT_EQ(first.parameters->value(QStringLiteral("\\1")), QStringLiteral("orc"));
    EXPECT_TRUE(first.parameters->contains(QStringLiteral("\\2")));
    EXPECT_EQ(first.parameters->value(QStringLiteral("\\2")), QString());
    EXPECT_EQ(first.parameters->value(QStringLiteral("\\x")), QStringLiteral(".\nA troll arrives"));
    EXPECT_EQ(*first.parameterRanges, (QList<CVRange>{{3, 11}, {3, 3}, {CVRange::NotFound, 0}}));
    EXPECT_EQ(objects->at(1).parameters->value(QStringLiteral("\\x")), QString());
    EXPECT_EQ(objects->at(1).range, (CVRange{18, 13}));
}

TEST_F(MUDTriggerMatcherTest, BadPatternLogsEveryPassAndOthersGoOn)
{
    auto broken = regexTrigger(QStringLiteral("(unclosed"));
    broken->setTitle(QStringLiteral("broken"));
    const CVAttributedString text = output(QStringLiteral("unclosed"));
    EXPECT_FALSE(MUDTriggerMatcher::matchTrigger(broken, text).has_value());
    EXPECT_FALSE(MUDTriggerMatcher::matchTrigger(broken, text).has_value());
    const QStringList lines = m_log.lines().filter(QStringLiteral("Trigger broken failed with error: "));
    EXPECT_EQ(lines.size(), 2);
    EXPECT_EQ(broken->compiledRegex(), nullptr);
}

TEST_F(MUDTriggerMatcherTest, MatchedUpToPositions)
{
    auto plain = makeTrigger({QStringLiteral("orc")});
    auto regex = regexTrigger(QStringLiteral("troll"));
    const CVAttributedString text = output(QStringLiteral("an orc, a troll, the end"));
    const MUDSearchText search(text.string());
    EXPECT_EQ(MUDTriggerMatcher::matchTrigger(plain, text, search, {0, 20}, 100).matchedUpTo, 120)
        << "plain: end of the searched range";
    EXPECT_EQ(MUDTriggerMatcher::matchTrigger(regex, text, search, {0, 20}, 100).matchedUpTo, 115)
        << "regex: end of the last match";

    auto missing = regexTrigger(QStringLiteral("dragon"));
    EXPECT_FALSE(MUDTriggerMatcher::matchTrigger(missing, text, search, {0, text.length()}, 0).matchedUpTo.has_value())
        << "no match leaves the position alone";
    auto echoed = makeTrigger({QStringLiteral("kill")});
    const CVAttributedString typed = output(QStringLiteral("[[kill]] x"));
    const MUDSearchText typedSearch(typed.string());
    const MUDTriggerMatcher::Matches skipped =
        MUDTriggerMatcher::matchTrigger(echoed, typed, typedSearch, {0, typed.length()}, 0);
    ASSERT_TRUE(skipped.objects.has_value());
    EXPECT_TRUE(skipped.objects->isEmpty());
    EXPECT_EQ(skipped.matchedUpTo, typed.length()) << "plain: echoed input found still counts as searched";
}

// Every-line scope, as the "match every line" preference uses it.
TEST_F(MUDTriggerMatcherTest, EveryLineScope)
{
    // Each search runs twice: literal by literal, and (once the first run
    // compiled the expression) with the trigger's literals found beforehand
    // in one pass, as every-line passes prepare them. Both must agree.
    const auto everyLine = [](const std::shared_ptr<MUDTrigger>& trigger, const QString& text, qsizetype from = 0) {
        const CVAttributedString string = output(text);
        const auto match = [&](const MUDSearchText& search) {
            return MUDTriggerMatcher::matchTrigger(trigger, string, search, {from, string.length() - from}, 1000,
                                                   MUDTriggerMatcher::Scope::EveryLine)
                .objects;
        };
        const auto oneByOne = match(MUDSearchText(string.string()));
        QStringList ignoringCase;
        QStringList exact;
        MUDTriggerMatcher::collectLiterals({trigger}, &ignoringCase, &exact);
        EXPECT_FALSE(ignoringCase.isEmpty() && exact.isEmpty()) << "every trigger here has a literal";
        const auto prepared = match(MUDSearchText(string.string(), {std::make_shared<const MUDLiteralSet>(ignoringCase),
                                                                    std::make_shared<const MUDLiteralSet>(exact)}));
        EXPECT_EQ(locations(prepared), locations(oneByOne)) << qPrintable(text);
        return oneByOne;
    };
    EXPECT_EQ(locations(everyLine(makeTrigger({QStringLiteral("orc")}),
                                  QStringLiteral("an orc, an orc\r\nno\r\norc\r\nan ORC"))),
              (QList<qsizetype>{1003, 1020, 1028}))
        << "plain: the first occurrence of each line";
    EXPECT_EQ(locations(everyLine(makeTrigger({QStringLiteral("orc"), MUDTrigger::kMatchPlainText, true}),
                                  QStringLiteral("an orc\norc\n orc\norc"))),
              (QList<qsizetype>{1007, 1016}))
        << "plain from the start of a line";
    EXPECT_EQ(locations(everyLine(makeTrigger({QStringLiteral("Orc"), MUDTrigger::kMatchPlainText, false, true}),
                                  QStringLiteral("an orc\nan Orc, Orc\nORC Orc"))),
              (QList<qsizetype>{1010, 1023}))
        << "plain with case: exact occurrences only";
    EXPECT_EQ(locations(everyLine(makeTrigger({QStringLiteral("orc")}), QStringLiteral("an \u00f6rc\nthe ORC\n"))),
              (QList<qsizetype>{1011}))
        << "plain ignoring case, over text with characters outside ASCII";
    EXPECT_EQ(locations(everyLine(makeTrigger({QStringLiteral("orc"), MUDTrigger::kMatchPlainText, true}),
                                  QStringLiteral("xorc\norc"), 1)),
              (QList<qsizetype>{1005}))
        << "text before the searched range tells whether it begins a line";
    EXPECT_EQ(locations(everyLine(makeTrigger({QStringLiteral("kill orc")}),
                                  QStringLiteral("[[kill orc]]\nyou kill orc\n[[kill orc]] kill orc"))),
              (QList<qsizetype>{1013, 1031}))
        << "echoed input passed over on every line";
    EXPECT_EQ(locations(everyLine(regexTrigger(QStringLiteral("kill orc")),
                                  QStringLiteral("[[kill orc]]\nyou kill orc\n[[kill orc]] kill orc"))),
              (QList<qsizetype>{1013, 1031}))
        << "regex: echoed matches passed over, later ones kept";

    // Greedy across lines in one search; confined to each line here, so the
    // result does not depend on where a pass's text was cut.
    const QString tells = QStringLiteral("A tells you 'hi'\r\nB tells you 'yo'\r\nC tells you");
    EXPECT_EQ(locations(MUDTriggerMatcher::matchTrigger(regexTrigger(QStringLiteral("^(\\w) tells you '(.*)'$")),
                                                        output(tells))),
              (QList<qsizetype>{0}));
    EXPECT_EQ(locations(everyLine(regexTrigger(QStringLiteral("^(\\w) tells you '(.*)'$")), tells)),
              (QList<qsizetype>{1000, 1018}));
    EXPECT_EQ(locations(everyLine(regexTrigger(QStringLiteral("^orc")), QStringLiteral("xorc\norc"), 1)),
              (QList<qsizetype>{1005}))
        << "^ holds only at a real line start";
    EXPECT_EQ(locations(everyLine(regexTrigger(QStringLiteral("^orc")), QStringLiteral("\norc\norc"), 1)),
              (QList<qsizetype>{1001, 1005}));

    const auto regex = everyLine(regexTrigger(QStringLiteral("(\\w+) arrives")),
                                 QStringLiteral("An orc arrives now.\r\nA troll arrives\r\nend"));
    ASSERT_TRUE(regex.has_value());
    ASSERT_EQ(regex->size(), 2);
    EXPECT_EQ(regex->at(0).parameters->value(QStringLiteral("\\x")), QStringLiteral(" now."))
        << "the rest of the line, not of the whole text";
    EXPECT_EQ(regex->at(1).parameters->value(QStringLiteral("\\x")), QString());
    EXPECT_EQ(regex->at(1).parameters->value(QStringLiteral("\\1")), QStringLiteral("troll"));
}

TEST_F(MUDTriggerMatcherTest, LoggingRange)
{
    EXPECT_EQ(MUDTriggerMatcher::attributedStringLoggingRange(output(QStringLiteral("plain"))),
              (CVRange{CVRange::NotFound, CVRange::NotFound}));
    EXPECT_EQ(MUDTriggerMatcher::attributedStringLoggingRange(output(QStringLiteral("ab[[cd]]e[[f]]"))),
              (CVRange{2, 2}));
}
