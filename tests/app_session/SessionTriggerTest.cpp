#include "SessionFixture.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggerProcessor.h"
#include "engine/automation/MUDTriggersModifiedObject.h"
#include "engine/connection/MUDConnection.h"

namespace {

using SessionTriggerTest = SessionFixture;

// Longer than a trigger pass's debounce, so a pass that would fire has run.
constexpr int PassSettleMs = 500;

int messageCount(const MUDDocument& document, const QString& text)
{
    int count = 0;
    for (const MUDMessage& message : document.messages())
        count += message.message() == text;
    return count;
}

TEST_F(SessionTriggerTest, TriggersFireOnServerTextButNotOnTheSessionsOwnEchoes)
{
    std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Triggers"));
    storeTrigger(*connection, QStringLiteral("dragon"), QStringLiteral("dragon"),
                 QStringLiteral("addComm('dragon!');"));
    connectSession(connection);

    // Typed and echoed, and a local log line: neither is server text.
    m_input.m_text = QStringLiteral("look at the dragon");
    m_document->MUDCommandTextViewReturnKey();
    m_document->logMessageToContents(QStringLiteral("a dragon in a log line"));
    ASSERT_TRUE(waitForServerLine("look at the dragon"));
    ASSERT_TRUE(waitForOutput(QStringLiteral("a dragon in a log line")));
    spinEventLoop(PassSettleMs);
    EXPECT_EQ(messageCount(*m_document, QStringLiteral("dragon!")), 0);

    m_server.send("A dragon lands.\r\n");
    ASSERT_TRUE(waitUntil([&] { return messageCount(*m_document, QStringLiteral("dragon!")) == 1; }));
    // Later passes do not fire again on the same text.
    m_server.send("Nothing else.\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("Nothing else.")));
    spinEventLoop(PassSettleMs);
    EXPECT_EQ(messageCount(*m_document, QStringLiteral("dragon!")), 1);
}

// Passes copy only the output's tail; positions recorded in one pass still
// hold in the next, however long the output grows.
TEST_F(SessionTriggerTest, TriggersInALongOutputFireOnceOnTheirText)
{
    std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Long"));
    storeTrigger(*connection, QStringLiteral("wyrm"), QStringLiteral("wyrm"), QStringLiteral("addComm('wyrm!');"));
    connectSession(connection);
    QByteArray filler;
    for (int i = 0; i < 400; ++i)
        filler += "filler line " + QByteArray::number(i) + " of plain text\r\n";
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        const QByteArray marker = "round " + QByteArray::number(round) + " done";
        m_server.send(filler + "A wyrm stirs.\r\n" + marker + "\r\n");
        ASSERT_TRUE(waitForOutput(QString::fromLatin1(marker)));
        ASSERT_TRUE(waitUntil([&] { return messageCount(*m_document, QStringLiteral("wyrm!")) >= round; }));
        spinEventLoop(PassSettleMs);
        EXPECT_EQ(messageCount(*m_document, QStringLiteral("wyrm!")), round);
    }
    // Well past one match window.
    EXPECT_GT(m_document->output().length(), 5 * MUDTriggerProcessor::MatchWindow);
}

TEST_F(SessionTriggerTest, ATriggerSavedWhileConnectedFiresOnlyOnTextAfterTheReload)
{
    std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Reloaded"));
    connectSession(connection);
    m_server.send("A goblin lurks.\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("A goblin lurks.")));
    spinEventLoop(PassSettleMs);

    storeTrigger(*connection, QStringLiteral("goblin"), QStringLiteral("goblin"),
                 QStringLiteral("addComm('goblin!');"));
    MUDNotificationCenter::defaultCenter().postNotification(
        MUDTrigger::triggerModifiedNotification(),
        QVariant::fromValue(MUDTriggersModifiedObject(connection->connectionId())));
    ASSERT_TRUE(waitForOutput(QStringLiteral("Triggers reloaded")));
    // A pass over the old text (a new chunk starts one) does not reach back.
    m_server.send("quiet\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("quiet")));
    spinEventLoop(PassSettleMs);
    EXPECT_EQ(messageCount(*m_document, QStringLiteral("goblin!")), 0);

    m_server.send("Another goblin appears.\r\n");
    ASSERT_TRUE(waitUntil([&] { return messageCount(*m_document, QStringLiteral("goblin!")) == 1; }));
}

using SessionEchoTest = SessionFixture;

// An echo waits 0.15 s only when it follows server text within the same
// whole second and less than 0.15 s after that second began (the received
// time is kept in whole seconds). The clock is injected; only the delayed
// append itself runs on a timer.
TEST_F(SessionEchoTest, EchoWaitsOnlyShortlyAfterTheSecondOfTheLastServerText)
{
    struct Row {
        const char* name;
        double receivedAt;
        double echoedAt;
        bool delayed;
    };
    const Row rows[] = {
        {"early in the same second", 1000.02, 1000.10, true},
        {"late in the same second", 1000.02, 1000.20, false},
        {"received late, echoed at once", 1000.90, 1000.95, false},
        {"next second", 1000.05, 1001.05, false},
    };
    connectSession(storedConnection(QStringLiteral("Echo")));
    auto now = std::make_shared<double>(0);
    m_document->setClock([now] { return *now; });
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString server = QStringLiteral("server %1").arg(index);
        const QString echo = QStringLiteral("echo %1").arg(index++);
        *now = row.receivedAt;
        m_server.send(server.toUtf8() + "\r\n");
        ASSERT_TRUE(waitForOutput(server));
        *now = row.echoedAt;
        m_document->appendLocalText(MUDDocument::coloredString(echo, MUDDocument::localCommandColor()), true);
        EXPECT_EQ(outputText().contains(echo), !row.delayed);
        ASSERT_TRUE(waitForOutput(echo, 2000));
    }
}

}
