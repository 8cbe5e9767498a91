#include <QElapsedTimer>

#include "SessionFixture.h"
#include "app/session/MUDSessionTriggers.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggerBacklog.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"
#include "engine/storage/MUDUserSettings.h"

namespace {

// Longer than the quiet delay, so a pass that would run has run.
constexpr int PassSettleMs = 500;

// A session whose triggers count their matches in script variables, with
// the player's "match every line" preference on.
class SessionEveryLineTriggerTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        MUDUserSettings::sharedInstance().setMatchEveryLine(true);
    }

    // A trigger whose script adds one to the variable `counter`.
    static std::shared_ptr<MUDTrigger> counting(const QString& counter, const QString& pattern, bool regex = false,
                                                bool fromStartOfLine = false)
    {
        auto trigger = std::make_shared<MUDTrigger>();
        trigger->setTitle(counter);
        trigger->setMatchType(regex ? MUDTrigger::kMatchRegularExpression : MUDTrigger::kMatchPlainText);
        trigger->setMatchString(pattern);
        trigger->setMatchFromStartOfLine(fromStartOfLine);
        trigger->setAction(QStringLiteral("setVar('%1', getVar('%1') + 1);").arg(counter));
        trigger->setIsNew(true);
        return trigger;
    }

    void connectWith(const QList<std::shared_ptr<MUDTrigger>>& triggers)
    {
        std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Every line"));
        for (const auto& trigger : triggers) {
            trigger->setParentURL(MUDPreservation::urlForTriggersInConnection(*connection));
            m_counters.append(trigger->title());
        }
        ASSERT_TRUE(MUDPreservation::saveTriggers(triggers, *connection));
        connectSession(connection);
        ASSERT_TRUE(m_document->triggers().matchesEveryLine());
        for (const QString& counter : m_counters)
            m_document->javascriptProcessor()->setVariable(counter, 0);
    }

    int count(const QString& counter) const
    {
        return m_document->javascriptProcessor()->variables().value(counter).toInt();
    }

    bool waitForCount(const QString& counter, int expected, int timeoutMs = 10000)
    {
        return waitUntil([&] { return count(counter) >= expected; }, timeoutMs);
    }

    QStringList m_counters;
};

// Lines of a burst: every third an attack, every fifth a tell; some
// attacks mention "hits you" twice.
QByteArray burst(qsizetype size, int* attacks, int* doubleAttacks, int* tells)
{
    QByteArray text;
    for (int line = 0; text.size() < size; ++line) {
        if (line % 3 == 0) {
            ++*attacks;
            if (line % 7 == 0) {
                ++*doubleAttacks;
                text += "The orc hits you. The goblin hits you. [HP: 400/500]\r\n";
            } else {
                text += "The orc hits you. [HP: 410/500]\r\n";
            }
        } else if (line % 5 == 0) {
            ++*tells;
            text += "Gandalf tells you 'line " + QByteArray::number(line) + "'\r\n";
        } else {
            text += "A breeze moves the leaves of the old oak near line " + QByteArray::number(line) + ".\r\n";
        }
    }
    return text;
}

TEST_F(SessionEveryLineTriggerTest, BurstsFireOnEveryMatchingLineExactlyOnce)
{
    connectWith({counting(QStringLiteral("plain"), QStringLiteral("hits you")),
                 counting(QStringLiteral("regex"), QStringLiteral("(\\w+) hits you"), true),
                 counting(QStringLiteral("tells"), QStringLiteral("Gandalf tells you"), false, true),
                 counting(QStringLiteral("never"), QStringLiteral("a dragon lands"))});
    int attacks = 0, doubleAttacks = 0, tells = 0;
    // One burst of 10,000 characters, then one of a million with no pause.
    for (qsizetype size : {qsizetype(10000), qsizetype(1000000)}) {
        SCOPED_TRACE(size);
        m_server.send(burst(size, &attacks, &doubleAttacks, &tells) + "end of burst\r\n");
        ASSERT_TRUE(waitForCount(QStringLiteral("plain"), attacks, 60000))
            << count(QStringLiteral("plain")) << " of " << attacks << "; backlog "
            << m_document->triggers().backlog()->characters() << " characters, "
            << m_document->triggers().backlog()->scripts() << " scripts; output " << m_document->output().length();
        ASSERT_TRUE(waitForCount(QStringLiteral("regex"), attacks + doubleAttacks, 60000));
        ASSERT_TRUE(waitForCount(QStringLiteral("tells"), tells, 60000));
        spinEventLoop(PassSettleMs);
        // A plain trigger acts once per line, a regular expression on each match.
        EXPECT_EQ(count(QStringLiteral("plain")), attacks);
        EXPECT_EQ(count(QStringLiteral("regex")), attacks + doubleAttacks);
        EXPECT_EQ(count(QStringLiteral("tells")), tells);
        EXPECT_EQ(count(QStringLiteral("never")), 0);
    }
    EXPECT_GT(attacks, 5000);
    // Nothing is left counted as waiting once the scripts have run.
    EXPECT_TRUE(waitUntil([&] { return m_document->triggers().backlog()->scripts() == 0; }));
    EXPECT_EQ(m_document->triggers().backlog()->characters(), 0);
}

// Without a quiet moment the default passes would wait for the stream to
// end; every-line matching must fire while it still flows.
TEST_F(SessionEveryLineTriggerTest, AContinuousStreamFiresWhileItFlows)
{
    connectWith({counting(QStringLiteral("seen"), QStringLiteral("The gate opens"))});
    m_server.send("The gate opens.\r\n");
    QElapsedTimer clock;
    clock.start();
    qint64 firedAfterMs = -1;
    for (int line = 0; line < 40 && firedAfterMs < 0; ++line) {
        m_server.send("Rain falls, line " + QByteArray::number(line) + "\r\n");
        spinEventLoop(50);
        if (count(QStringLiteral("seen")) == 1)
            firedAfterMs = clock.elapsed();
    }
    ASSERT_GE(firedAfterMs, 0) << "the trigger waited for the stream to end";
    EXPECT_LT(firedAfterMs, 1000);
}

TEST_F(SessionEveryLineTriggerTest, APromptIsMatchedWhenQuietAndNotAgainWhenItsLineCompletes)
{
    connectWith({counting(QStringLiteral("prompt"), QStringLiteral("HP: 100>")),
                 counting(QStringLiteral("starts"), QStringLiteral("look"), false, true)});
    m_server.send("HP: 100> ");
    ASSERT_TRUE(waitForCount(QStringLiteral("prompt"), 1));
    m_server.send("look\r\nHP: 100> ");
    ASSERT_TRUE(waitForCount(QStringLiteral("prompt"), 2));
    spinEventLoop(PassSettleMs);
    EXPECT_EQ(count(QStringLiteral("prompt")), 2);
    // The rest of the prompt's line does not begin a line.
    EXPECT_EQ(count(QStringLiteral("starts")), 0);
    m_server.send("\r\nlook at me\r\n");
    ASSERT_TRUE(waitForCount(QStringLiteral("starts"), 1));
}

TEST_F(SessionEveryLineTriggerTest, EchoedInputNeverFires)
{
    connectWith({counting(QStringLiteral("dragon"), QStringLiteral("dragon"))});
    type(QStringLiteral("look at the dragon"));
    ASSERT_TRUE(waitForServerLine("look at the dragon"));
    m_server.send("You see nothing special.\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("You see nothing special.")));
    spinEventLoop(PassSettleMs);
    EXPECT_EQ(count(QStringLiteral("dragon")), 0);
    m_server.send("A dragon lands.\r\nThe dragon roars.\r\n");
    ASSERT_TRUE(waitForCount(QStringLiteral("dragon"), 2));
}

TEST_F(SessionEveryLineTriggerTest, SwitchingTheModeWhileConnected)
{
    connectWith({counting(QStringLiteral("orc"), QStringLiteral("orc"))});
    const QByteArray twoLines = "An orc arrives.\r\nAn orc leaves.\r\n";
    m_server.send(twoLines);
    ASSERT_TRUE(waitForCount(QStringLiteral("orc"), 2));

    MUDUserSettings::sharedInstance().setMatchEveryLine(false);
    EXPECT_FALSE(m_document->triggers().matchesEveryLine());
    m_server.send(twoLines);
    ASSERT_TRUE(waitForCount(QStringLiteral("orc"), 3));
    spinEventLoop(PassSettleMs);
    // One pass, one action for a plain trigger, as before.
    EXPECT_EQ(count(QStringLiteral("orc")), 3);

    MUDUserSettings::sharedInstance().setMatchEveryLine(true);
    m_server.send(twoLines);
    ASSERT_TRUE(waitForCount(QStringLiteral("orc"), 5));
    spinEventLoop(PassSettleMs);
    // Text matched before the switch is not matched again.
    EXPECT_EQ(count(QStringLiteral("orc")), 5);
}

TEST_F(SessionEveryLineTriggerTest, ClearedOutputKeepsMatchingNewText)
{
    connectWith({counting(QStringLiteral("orc"), QStringLiteral("orc"))});
    m_server.send("An orc arrives.\r\nAn orc leaves.\r\n");
    ASSERT_TRUE(waitForCount(QStringLiteral("orc"), 2));
    m_document->clearOutput();
    m_server.send("An orc returns.\r\n");
    ASSERT_TRUE(waitForCount(QStringLiteral("orc"), 3));
}

// A script that holds the script queue must slow the flood down, not let
// matched scripts pile up without bound; and no line is lost meanwhile.
TEST_F(SessionEveryLineTriggerTest, AFloodThatOutrunsTheScriptsIsSlowedNotDropped)
{
    auto gate = counting(QStringLiteral("gate"), QStringLiteral("first line"));
    gate->setAction(QStringLiteral("setVar('gate', 1); var t = Date.now(); while (Date.now() - t < 1000) {}"));
    connectWith({gate, counting(QStringLiteral("lines"), QStringLiteral("line"))});
    QByteArray flood = "first line\r\n";
    constexpr int floodLines = 100000;
    for (int i = 1; i < floodLines; ++i)
        flood += "line " + QByteArray::number(i) + "\r\n";
    m_server.send(flood);
    qsizetype peak = 0;
    const bool done = waitUntil(
        [&] {
            peak = std::max(peak, m_document->triggers().backlog()->scripts());
            return count(QStringLiteral("lines")) >= floodLines;
        },
        60000);
    ASSERT_TRUE(done) << count(QStringLiteral("lines"));
    spinEventLoop(PassSettleMs);
    EXPECT_EQ(count(QStringLiteral("lines")), floodLines);
    EXPECT_GE(peak, MUDTriggerBacklog::MaxScripts / 2) << "the gate did not hold the scripts back";
    // Unchecked, all of the flood would be waiting at once. Checked, what
    // gets through is what was in flight plus a slice per bounded wait (the
    // wait gives way now and then, since a script waiting for server text
    // needs it).
    EXPECT_LT(peak, floodLines * 4 / 10);
}

}
