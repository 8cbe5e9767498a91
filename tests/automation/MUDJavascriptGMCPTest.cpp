#include <gtest/gtest.h>

#include "MUDJavascriptRecordingDelegate.h"
#include "TestSupport.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/automation/MUDGMCPState.h"

// getGMCP and sendGMCP as a script sees them, run off the main thread like
// every trigger script.
class MUDJavascriptGMCPTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_processor = std::make_shared<MUDJavascriptProcessor>(&m_delegate);
        for (const char* payload : {"Char.Vitals {\"hp\":10,\"name\":\"Bob\",\"bars\":[1,2]}", "Char.Target null",
                                    "Char.Level 42", "Comm.Say \"hi\"", "Core.Goodbye"})
            m_processor->gmcpState().apply(*MUDGMCPMessage::parse(QByteArray(payload)));
    }
    void TearDown() override { EXPECT_EQ(m_delegate.offMainThreadCalls(), 0); }

    QStringList run(const QString& action, quint64 commandIndex = 5)
    {
        auto source = std::make_shared<MUDJavascriptActionSource>();
        source->setActionName(QStringLiteral("Trigger: t"));
        EXPECT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, action, source, std::nullopt, commandIndex));
        return m_delegate.calls();
    }

    MUDJavascriptRecordingDelegate m_delegate;
    std::shared_ptr<MUDJavascriptProcessor> m_processor;
    LogRecorder m_log;
};

TEST_F(MUDJavascriptGMCPTest, GetGMCPGivesTheKeptValueAsAJavaScriptValue)
{
    run(QStringLiteral("var v = getGMCP('char.VITALS');"
                       "log(typeof v + ' ' + v.hp + ' ' + v.name + ' ' + v.bars.length + ' ' + (v.hp + 1));"
                       "log(getGMCP('Room.Info') === undefined);"
                       "log(getGMCP('Char.Target') === null);"
                       "log(getGMCP('Core.Goodbye') === null);"
                       "log(getGMCP('Char.Level') + 1);"
                       "log(getGMCP('Comm.Say') + '!');"
                       "log(getGMCP() === undefined);"));
    EXPECT_EQ(m_delegate.calls(), (QStringList{"log: object 10 Bob 2 11", "log: true", "log: true", "log: true",
                                               "log: 43", "log: hi!", "log: true"}));
    EXPECT_TRUE(m_delegate.errors().isEmpty());
}

TEST_F(MUDJavascriptGMCPTest, SendGMCPHandsEveryKindOfValueOverAsJSON)
{
    run(QStringLiteral("log(sendGMCP('Core.Supports.Add', ['IRE.Rift 1']));"
                       "sendGMCP('Core.Ping');"
                       "sendGMCP('Core.Ping', null);"
                       "sendGMCP('Char.Skills.Get', {group: 'x', n: 2, deep: {ok: true}});"
                       "sendGMCP('Comm.Say', 'a \"quoted\" word');"
                       "sendGMCP('Char.Level', 3.5);"));
    EXPECT_EQ(m_delegate.calls(),
              (QStringList{"gmcp: Core.Supports.Add [\"IRE.Rift 1\"]", "log: true", "gmcp: Core.Ping",
                           "gmcp: Core.Ping", "gmcp: Char.Skills.Get {\"deep\":{\"ok\":true},\"group\":\"x\",\"n\":2}",
                           "gmcp: Comm.Say \"a \\\"quoted\\\" word\"", "gmcp: Char.Level 3.5"}));
}

TEST_F(MUDJavascriptGMCPTest, SendGMCPSaysWhenNothingWentOut)
{
    m_delegate.sendGMCPResult = false;
    run(QStringLiteral("log(sendGMCP('Comm.Say', 'x'));"));
    EXPECT_EQ(m_delegate.calls(), (QStringList{"gmcp: Comm.Say \"x\"", "log: false"}));
}

TEST_F(MUDJavascriptGMCPTest, AStoppingScriptNeitherReadsNorSends)
{
    m_processor->setStopIndex(10);
    run(QStringLiteral("var v = getGMCP('Char.Vitals'); var s = sendGMCP('Comm.Say', 'x');"
                       "setVar('seen', String(v) + ' ' + s);"),
        5);
    EXPECT_EQ(m_delegate.calls(), QStringList{"log: Trigger: t is stopping."});
}
