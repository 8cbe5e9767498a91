#include "engine/automation/MUDTriggerMatcher.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TriggerTestSupport.h"
#include "core/CVAttributedString.h"
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

TEST_F(MUDTriggerMatcherTest, LoggingRange)
{
    EXPECT_EQ(MUDTriggerMatcher::attributedStringLoggingRange(output(QStringLiteral("plain"))),
              (CVRange{CVRange::NotFound, CVRange::NotFound}));
    EXPECT_EQ(MUDTriggerMatcher::attributedStringLoggingRange(output(QStringLiteral("ab[[cd]]e[[f]]"))),
              (CVRange{2, 2}));
}
