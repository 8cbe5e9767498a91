#include <QThread>

#include "SessionFixture.h"
#include "core/CVOperationQueue.h"
#include "engine/connection/MUDConnection.h"

// Scripts that sit in wait() or commandAndReadFromServer: they must neither
// hold up trigger matching nor outlive their session.
namespace {

using namespace std::chrono_literals;

class SessionWaitingScriptsTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        m_connection = storedConnection(QStringLiteral("Waiting"));
    }

    // Stores "sleepy": its script says "asleep", sleeps for long, then sends `last`.
    void storeSleepyAlias(const QString& last)
    {
        storeAlias(*m_connection, QStringLiteral("sleepy"), QStringLiteral("sleepy"),
                   QStringLiteral("command('asleep'); wait(30); command('%1');").arg(last));
    }
    void connect()
    {
        connectSession(m_connection);
        m_server.clearReceived();
    }

    std::shared_ptr<MUDConnection> m_connection;
};

TEST_F(SessionWaitingScriptsTest, WaitingScriptsLeaveTriggerMatchingFree)
{
    storeTrigger(*m_connection, QStringLiteral("orc"), QStringLiteral("An orc arrives"),
                 QStringLiteral("command('kill orc');"));
    storeSleepyAlias(QStringLiteral("awake"));
    connect();
    // As many sleeping scripts as the machine has cores, and at least two.
    const int sleepers = std::max(2, QThread::idealThreadCount());
    for (int i = 0; i < sleepers; ++i)
        type(QStringLiteral("sleepy"));
    ASSERT_TRUE(waitUntil([&] { return m_server.receivedTexts().count("asleep") == sleepers; }));

    m_server.send("An orc arrives.\r\n");
    EXPECT_TRUE(waitForServerLine("kill orc", 3000)) << m_server.receivedTexts().join('|').toStdString();
}

TEST_F(SessionWaitingScriptsTest, ClosingTheSessionStopsItsWaitingScripts)
{
    storeSleepyAlias(QStringLiteral("late"));
    storeAlias(*m_connection, QStringLiteral("ask"), QStringLiteral("ask"),
               QStringLiteral("commandAndReadFromServer('question'); command('late');"));
    connect();
    type(QStringLiteral("sleepy"));
    type(QStringLiteral("ask"));
    ASSERT_TRUE(waitForServerLine("asleep"));
    ASSERT_TRUE(waitForServerLine("question"));

    LogRecorder log;
    m_document->close();
    // The event loop turns meanwhile: a stopping script tells the session so.
    EXPECT_TRUE(
        waitUntil([] { return CVOperationQueue::sharedBlocking().waitUntilAllOperationsAreFinished(0ms); }, 1000));
    EXPECT_TRUE(outputText().contains(QStringLiteral("Log: Alias: sleepy is stopping.\r\n")));
    EXPECT_TRUE(outputText().contains(QStringLiteral("Log: Alias: ask is stopping.\r\n")));
    EXPECT_FALSE(log.contains(QStringLiteral("Timeout. Received no data.")));
    EXPECT_FALSE(m_server.receivedTexts().contains("late"));
}

}
