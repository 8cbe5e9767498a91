#include "engine/automation/MUDTriggerProcessor.h"

#include <gtest/gtest.h>

#include "MUDJavascriptRecordingDelegate.h"
#include "TestSupport.h"
#include "core/CVAttributedString.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {

struct TriggerSpec {
    QString pattern;
    int32_t matchType = MUDTrigger::kMatchPlainText;
    bool fromStartOfLine = false;
    bool caseSpecific = false;
    QString action;
    QString title = QStringLiteral("t");
};

std::shared_ptr<MUDTrigger> makeTrigger(const TriggerSpec& spec)
{
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setTitle(spec.title);
    trigger->setMatchString(spec.pattern);
    trigger->setMatchType(spec.matchType);
    trigger->setMatchFromStartOfLine(spec.fromStartOfLine);
    trigger->setCaseSpecific(spec.caseSpecific);
    trigger->setAction(spec.action);
    return trigger;
}

std::shared_ptr<MUDTrigger> regexTrigger(const QString& pattern, bool fromStartOfLine = false)
{
    return makeTrigger({pattern, MUDTrigger::kMatchRegularExpression, fromStartOfLine});
}

// Text with the stretches between [[ and ]] marked as echoed user input.
CVAttributedString output(const QString& marked)
{
    CVAttributedString text;
    QTextCharFormat echoed;
    echoed.setProperty(MUDUserCommandProperty, true);
    const QStringList parts = marked.split(QStringLiteral("[["));
    text.append(parts.first(), QTextCharFormat());
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype close = parts[i].indexOf(QStringLiteral("]]"));
        text.append(QStringView(parts[i]).left(close), echoed);
        text.append(QStringView(parts[i]).mid(close + 2), QTextCharFormat());
    }
    return text;
}

QList<qsizetype> locations(const std::optional<QList<MUDTriggerProcessObject>>& objects)
{
    QList<qsizetype> result;
    for (const auto& object : objects.value_or(QList<MUDTriggerProcessObject>{}))
        result.append(object.range.location);
    return result;
}

class MUDTriggerProcessorTest : public ::testing::Test {
protected:
    std::shared_ptr<MUDTriggerProcessor> matcher()
    {
        return std::make_shared<MUDTriggerProcessor>(nullptr, QList<std::shared_ptr<MUDTrigger>>{});
    }
    LogRecorder m_log;
};

}

TEST_F(MUDTriggerProcessorTest, MatchLocationsByTriggerKind)
{
    struct Row {
        const char* name;
        TriggerSpec spec;
        QString text;
        QList<qsizetype> expected;
    };
    const Row rows[] = {
        {"plain acts once, at the first occurrence", {QStringLiteral("orc")}, QStringLiteral("an orc and an orc"), {3}},
        {"regex acts on every occurrence", {QStringLiteral("orc"), MUDTrigger::kMatchRegularExpression},
         QStringLiteral("an orc and an orc"), {3, 14}},
        {"plain ignores case unless case specific", {QStringLiteral("ORC")}, QStringLiteral("an orc"), {3}},
        {"plain case specific", {QStringLiteral("ORC"), MUDTrigger::kMatchPlainText, false, true},
         QStringLiteral("an orc"), {}},
        {"regex ignores case unless case specific", {QStringLiteral("O.C"), MUDTrigger::kMatchRegularExpression},
         QStringLiteral("an orc"), {3}},
        {"start of line: start of text", {QStringLiteral("orc"), MUDTrigger::kMatchPlainText, true},
         QStringLiteral("orc here"), {0}},
        {"start of line: after a line feed", {QStringLiteral("orc"), MUDTrigger::kMatchPlainText, true},
         QStringLiteral("x\norc"), {2}},
        {"start of line: not after a space", {QStringLiteral("orc"), MUDTrigger::kMatchPlainText, true},
         QStringLiteral("x orc\norc"), {}},
        {"regex start of line skips only that match",
         {QStringLiteral("orc"), MUDTrigger::kMatchRegularExpression, true}, QStringLiteral("x orc\norc"), {6}},
        {"regex anchors match real lines only", {QStringLiteral("^orc$"), MUDTrigger::kMatchRegularExpression},
         QStringLiteral("orc\nx orc\norc"), {0, 10}},
        {"echoed input never fires, later text does", {QStringLiteral("kill orc")},
         QStringLiteral("[[kill orc]]\nyou kill orc"), {13}},
        {"regex after echoed input", {QStringLiteral("kill orc"), MUDTrigger::kMatchRegularExpression},
         QStringLiteral("[[kill orc]]\nyou kill orc"), {13}},
        {"unknown match type matches nothing", {QStringLiteral("orc"), 7}, QStringLiteral("orc"), {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(locations(matcher()->matchTrigger(makeTrigger(row.spec), output(row.text))), row.expected)
            << row.name;
    }
    EXPECT_FALSE(matcher()->matchTrigger(makeTrigger({QString()}), output(QStringLiteral("x"))).has_value());
}

TEST_F(MUDTriggerProcessorTest, RegexParametersAndGroupRanges)
{
    const auto objects = matcher()->matchTrigger(regexTrigger(QStringLiteral("(\\w+) arrives(!)?")),
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

TEST_F(MUDTriggerProcessorTest, BadPatternLogsEveryPassAndOthersGoOn)
{
    auto processor = matcher();
    auto broken = regexTrigger(QStringLiteral("(unclosed"));
    broken->setTitle(QStringLiteral("broken"));
    const CVAttributedString text = output(QStringLiteral("unclosed"));
    EXPECT_FALSE(processor->matchTrigger(broken, text).has_value());
    EXPECT_FALSE(processor->matchTrigger(broken, text).has_value());
    const QStringList lines = m_log.lines().filter(QStringLiteral("Trigger broken failed with error: "));
    EXPECT_EQ(lines.size(), 2);
    EXPECT_EQ(broken->compiledRegex(), nullptr);
}

TEST_F(MUDTriggerProcessorTest, RecordedPositions)
{
    auto processor = matcher();
    auto plain = makeTrigger({QStringLiteral("orc")});
    auto regex = regexTrigger(QStringLiteral("troll"));
    const CVAttributedString text = output(QStringLiteral("an orc, a troll, the end"));
    processor->matchTrigger(plain, text, {0, 20}, 100);
    processor->matchTrigger(regex, text, {0, 20}, 100);
    EXPECT_EQ(processor->recordedPosition(plain), 120) << "plain: end of the searched range";
    EXPECT_EQ(processor->recordedPosition(regex), 115) << "regex: end of the last match";

    auto missing = regexTrigger(QStringLiteral("dragon"));
    processor->matchTrigger(missing, text);
    EXPECT_FALSE(processor->recordedPosition(missing).has_value()) << "no match leaves the position alone";
}

TEST_F(MUDTriggerProcessorTest, LoggingRange)
{
    EXPECT_EQ(MUDTriggerProcessor::attributedStringLoggingRange(output(QStringLiteral("plain"))),
              (CVRange{CVRange::NotFound, CVRange::NotFound}));
    EXPECT_EQ(MUDTriggerProcessor::attributedStringLoggingRange(output(QStringLiteral("ab[[cd]]e[[f]]"))),
              (CVRange{2, 2}));
}

namespace {

// The end-to-end fixture: a runtime with a recording delegate, triggers
// whose scripts log, and passes driven like a session does.
class MUDTriggerPassTest : public ::testing::Test {
protected:
    void SetUp() override { m_runtime = std::make_shared<MUDJavascriptProcessor>(&m_delegate); }
    // Scripts still queued must not reach the next test's delegate.
    void TearDown() override { m_runtime->setDelegate(nullptr); }

    std::shared_ptr<MUDTriggerProcessor> processor(QList<std::shared_ptr<MUDTrigger>> triggers)
    {
        return std::make_shared<MUDTriggerProcessor>(m_runtime, std::move(triggers));
    }

    // Runs one pass over the text appended since `from` and waits until the
    // delegate has seen `expectedCalls` calls in all, then a little longer to
    // catch extra ones.
    QStringList pass(MUDTriggerProcessor& processor, const CVAttributedString& text, qsizetype from,
                     int expectedCalls)
    {
        processor.processTriggersInString(text, {from, text.length() - from}, 0, 1);
        waitUntil([&] { return m_delegate.calls().size() >= expectedCalls; }, 5000);
        spinEventLoop(150);
        return m_delegate.calls();
    }

    MUDJavascriptRecordingDelegate m_delegate;
    std::shared_ptr<MUDJavascriptProcessor> m_runtime;
    LogRecorder m_log;
};

}

TEST_F(MUDTriggerPassTest, ScriptsRunInPositionOrderWithParameters)
{
    auto later = makeTrigger({QStringLiteral("troll"), MUDTrigger::kMatchPlainText, false, false,
                              QStringLiteral("log('troll')"), QStringLiteral("later")});
    auto earlier = makeTrigger({QStringLiteral("(\\w+) arrives"), MUDTrigger::kMatchRegularExpression, false, false,
                                QStringLiteral("log('\\1 came')"), QStringLiteral("earlier")});
    auto trigger = processor({later, earlier});
    const CVAttributedString text = output(QStringLiteral("An orc arrives and then a troll."));
    EXPECT_EQ(pass(*trigger, text, 0, 2), (QStringList{"log: orc came", "log: troll"}));
    EXPECT_EQ(m_delegate.offMainThreadCalls(), 0);
}

TEST_F(MUDTriggerPassTest, MatchedTextIsNotMatchedAgainUntilTheListIsReset)
{
    auto orc = makeTrigger({QStringLiteral("orc"), MUDTrigger::kMatchPlainText, false, false, QStringLiteral("log('orc')")});
    auto trigger = processor({orc});
    CVAttributedString text = output(QStringLiteral("an orc\n"));
    EXPECT_EQ(pass(*trigger, text, 0, 1).size(), 1);
    EXPECT_EQ(pass(*trigger, text, 0, 2).size(), 1) << "already matched";
    text.append(QStringLiteral("another orc\n"), QTextCharFormat());
    EXPECT_EQ(pass(*trigger, text, 0, 2).size(), 2) << "new text matches";
    trigger->setTriggers({orc});
    EXPECT_EQ(pass(*trigger, text, 0, 3).size(), 3) << "reset list matches old text again";
}

TEST_F(MUDTriggerPassTest, ClearedOutputDoesNotSilenceTriggers)
{
    auto orc = makeTrigger({QStringLiteral("orc"), MUDTrigger::kMatchPlainText, false, false, QStringLiteral("log('orc')")});
    auto trigger = processor({orc});
    const CVAttributedString longText = output(QString(200, QLatin1Char('.')) + QStringLiteral(" orc"));
    ASSERT_EQ(pass(*trigger, longText, 0, 1).size(), 1);
    const CVAttributedString cleared = output(QStringLiteral("orc again"));
    EXPECT_EQ(pass(*trigger, cleared, 0, 2).size(), 2);
}

TEST_F(MUDTriggerPassTest, DisabledAndWaitingTriggersAreSkipped)
{
    auto disabled = makeTrigger({QStringLiteral("orc"), MUDTrigger::kMatchPlainText, false, false, QStringLiteral("log('disabled')")});
    disabled->setDisabled(true);
    auto asking = makeTrigger({QStringLiteral("orc"), MUDTrigger::kMatchPlainText, false, false,
                               QStringLiteral("log(commandAndReadFromServer('look'))"), QStringLiteral("asking")});
    auto trigger = processor({disabled, asking});
    CVAttributedString text = output(QStringLiteral("an orc\n"));
    EXPECT_EQ(pass(*trigger, text, 0, 1), QStringList{QStringLiteral("command: look")});
    ASSERT_EQ(m_runtime->waitingActions().size(), 1);

    text.append(QStringLiteral("one more orc\n"), QTextCharFormat());
    EXPECT_EQ(pass(*trigger, text, 7, 1), QStringList{QStringLiteral("command: look")}) << "waiting: not matched";
    m_runtime->processWaitingString(QStringLiteral("a room"));
    ASSERT_TRUE(waitUntil([&] { return m_runtime->waitingActions().isEmpty(); }, 3000));
    EXPECT_EQ(pass(*trigger, text, 7, 3), (QStringList{"command: look", "log: a room", "command: look"}));
    m_runtime->processWaitingString(QStringLiteral("done"));
    EXPECT_TRUE(waitUntil([&] { return m_delegate.calls().contains(QStringLiteral("log: done")); }, 3000));
}

TEST_F(MUDTriggerPassTest, LongAppendIsCutToTheWindow)
{
    auto early = makeTrigger({QStringLiteral("early"), MUDTrigger::kMatchPlainText, false, false,
                              QStringLiteral("log('early')"), QStringLiteral("early")});
    auto late = makeTrigger({QStringLiteral("late"), MUDTrigger::kMatchPlainText, false, false,
                             QStringLiteral("log('late')"), QStringLiteral("late")});
    auto trigger = processor({early, late});
    const CVAttributedString text =
        output(QStringLiteral("early") + QString(9990, QLatin1Char('x')) + QStringLiteral("late!"));
    ASSERT_EQ(text.length(), 10000);
    EXPECT_EQ(pass(*trigger, text, 0, 1), QStringList{QStringLiteral("log: late")});
    EXPECT_GE(m_log.count(QStringLiteral("Trigger early target range is to large: (10000)")), 1);
}
