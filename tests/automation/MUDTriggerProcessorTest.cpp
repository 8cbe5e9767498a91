#include "engine/automation/MUDTriggerProcessor.h"

#include <gtest/gtest.h>

#include "MUDJavascriptRecordingDelegate.h"
#include "TestSupport.h"
#include "TriggerTestSupport.h"
#include "core/CVAttributedString.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDTrigger.h"

// A pass records, per trigger, how far its search got: the end of the
// searched text for plain text, the end of the last match for a regular
// expression; a trigger that found nothing keeps no position.
TEST(MUDTriggerProcessor, PassRecordsHowFarEachTriggerGot)
{
    LogRecorder quiet;
    auto plain = makeTrigger({QStringLiteral("orc")});
    auto regex = regexTrigger(QStringLiteral("troll"));
    auto missing = regexTrigger(QStringLiteral("dragon"));
    auto processor =
        std::make_shared<MUDTriggerProcessor>(nullptr, QList<std::shared_ptr<MUDTrigger>>{plain, regex, missing});
    const CVAttributedString searched = output(QStringLiteral("an orc, a troll, the end")).substring({0, 20});
    processor->doProcessTriggers(processor->triggers(), searched, 100, 0, 1);
    EXPECT_EQ(processor->recordedPosition(plain), 120) << "plain: end of the searched range";
    EXPECT_EQ(processor->recordedPosition(regex), 115) << "regex: end of the last match";
    EXPECT_FALSE(processor->recordedPosition(missing).has_value()) << "no match leaves the position alone";
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
    QStringList pass(MUDTriggerProcessor& processor, const CVAttributedString& text, qsizetype from, int expectedCalls)
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
    auto orc =
        makeTrigger({QStringLiteral("orc"), MUDTrigger::kMatchPlainText, false, false, QStringLiteral("log('orc')")});
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
    auto orc =
        makeTrigger({QStringLiteral("orc"), MUDTrigger::kMatchPlainText, false, false, QStringLiteral("log('orc')")});
    auto trigger = processor({orc});
    const CVAttributedString longText = output(QString(200, QLatin1Char('.')) + QStringLiteral(" orc"));
    ASSERT_EQ(pass(*trigger, longText, 0, 1).size(), 1);
    const CVAttributedString cleared = output(QStringLiteral("orc again"));
    EXPECT_EQ(pass(*trigger, cleared, 0, 2).size(), 2);
}

TEST_F(MUDTriggerPassTest, DisabledAndWaitingTriggersAreSkipped)
{
    auto disabled = makeTrigger(
        {QStringLiteral("orc"), MUDTrigger::kMatchPlainText, false, false, QStringLiteral("log('disabled')")});
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
