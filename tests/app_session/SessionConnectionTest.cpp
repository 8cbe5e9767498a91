#include "SessionFixture.h"

#include <thread>

#include "app/session/MUDReconnectCountdown.h"
#include "app/session/MUDSessionReceiver.h"
#include "app/session/MUDSessionTriggers.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/automation/MUDTriggersModifiedObject.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/decoding/MUDCountdownAttribute.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {

using SessionConnectionTest = SessionFixture;

TEST_F(SessionConnectionTest, LoginChainSendsUserThenPasswordHalfASecondApart)
{
    connectSession(storedConnection(QStringLiteral("Login"), QStringLiteral("bob"), QStringLiteral("secret")));
    ASSERT_TRUE(waitForServerLine("bob", 3000));
    ASSERT_TRUE(waitForServerLine("secret", 3000));
    const QList<LoopbackServer::ReceivedLine> lines = m_server.receivedLines();
    ASSERT_EQ(lines.size(), 2);
    const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(lines[1].arrival - lines[0].arrival);
    EXPECT_GE(gap.count(), 400);
    EXPECT_LE(gap.count(), 1500);
    EXPECT_TRUE(waitForOutput(QStringLiteral("Auto-login user: bob\n")));
    EXPECT_TRUE(waitForOutput(QStringLiteral("Auto-login password: *********")));
    EXPECT_FALSE(outputText().contains(QStringLiteral("secret")));
}

TEST_F(SessionConnectionTest, LoginChainStopsAtTheFirstMissingCredential)
{
    struct Row {
        const char* name;
        QString user, password;
        QList<QByteArray> expected;
    };
    const Row rows[] = {
        {"user only", QStringLiteral("alice"), QString(), {"alice"}},
        {"neither", QString(), QString(), {}},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_server.clearReceived();
        m_document = std::make_unique<MUDDocument>(&m_desktop);
        // The login script would send "scripted" if it ran.
        connectSession(storedConnection(QStringLiteral("Partial%1").arg(index++), row.user, row.password,
                                        QStringLiteral("command('scripted');")));
        spinEventLoop(1800);
        EXPECT_EQ(m_server.receivedTexts(), row.expected);
    }
}

TEST_F(SessionConnectionTest, ReceivedTextKeepsItsFirstLetterAndIsColoured)
{
    connectSession(storedConnection(QStringLiteral("Receive")));
    m_server.send("Fine day.\r\n\x1b[31mred\x1b[0m plain\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("plain")));
    const QString text = outputText();
    EXPECT_TRUE(text.contains(QStringLiteral("Fine day.\nred plain")));
    const qsizetype red = text.indexOf(QStringLiteral("red plain"));
    EXPECT_NE(m_document->output().attributesAtIndex(red).foreground().color(),
              m_document->output().attributesAtIndex(red + 4).foreground().color());
    EXPECT_FALSE(m_document->output().attributesAtIndex(red).hasProperty(MUDUserCommandProperty));
}

TEST_F(SessionConnectionTest, InvalidUtf8IsReplacedNotDropped)
{
    LogRecorder log;
    connectSession(storedConnection(QStringLiteral("Utf8")));
    // 0x80 is a lone continuation byte (0xff would be telnet IAC).
    m_server.send("caf\xc3\xa9 ok \x80 tail\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("tail")));
    EXPECT_TRUE(outputText().contains(QStringLiteral("caf\u00e9 ok \ufffd tail")));
    EXPECT_TRUE(waitUntil([&] {
        for (const QString& line : log.lines())
            if (line.startsWith(QStringLiteral("MUDDocument:ANSIDataProcessorReceivedData - Invalid UTF-8")))
                return true;
        return false;
    }));
}

TEST_F(SessionConnectionTest, InvalidUtf8InManyChunksOfOneReadIsLoggedOnce)
{
    LogRecorder log;
    QByteArray read;
    for (int i = 0; i < 1000; ++i)
        read += "\x80\x1b[0m";
    read += "end\r\n";
    m_document->processDataLocally(read);
    ASSERT_TRUE(waitForOutput(QStringLiteral("end\n")));
    const QStringList lines = log.lines().filter(QStringLiteral("Invalid UTF-8"));
    EXPECT_EQ(lines,
              QStringList{QStringLiteral(
                  "MUDDocument:ANSIDataProcessorReceivedData - Invalid UTF-8 replaced (1000 bytes in 1000 chunks).")});
}

TEST_F(SessionConnectionTest, DisconnectShowsTheLineAndTheReconnectButton)
{
    connectSession(storedConnection(QStringLiteral("Drop")));
    EXPECT_TRUE(m_document->isReconnectButtonHidden());
    m_server.dropClient();
    ASSERT_TRUE(waitForOutput(QStringLiteral("You have been disconnected from the host server.")));
    EXPECT_FALSE(m_document->isReconnectButtonHidden());
    // Reconnecting is off for this connection: no countdown.
    EXPECT_FALSE(outputText().contains(QStringLiteral("Attempting to reconnect")));
}

TEST_F(SessionConnectionTest, CountdownSpellsTheRemainingSeconds)
{
    struct Row {
        quint64 remaining;
        qint64 attempt;
        const char* expected;
    };
    const Row rows[] = {
        {5, 1, "\r\nAttempting to reconnect (attempt #1) in five seconds."},
        {4, 2, "\r\nAttempting to reconnect (attempt #2) in four seconds."},
        {3, 1, "\r\nAttempting to reconnect (attempt #1) in three seconds."},
        {2, 1, "\r\nAttempting to reconnect (attempt #1) in two seconds."},
        {1, 7, "\r\nAttempting to reconnect (attempt #7) in one second."},
    };
    for (const Row& row : rows) {
        auto countdown = MUDCountdownAttribute::create(nullptr, nullptr, row.remaining);
        EXPECT_EQ(m_document->reconnectCountdown().reconnectingString(*countdown, row.attempt),
                  QString::fromUtf8(row.expected));
    }
}

TEST_F(SessionConnectionTest, FailedConnectsCountAttemptsAndTheCountdownReconnects)
{
    std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Closed"));
    connection->setAutomaticallyReconnect(true);
    {
        // A port nobody listens on: take one from a server that then goes away.
        LoopbackServer gone;
        connection->setPort(gone.port());
    }
    m_document->reconnectCountdown().setTickInterval(std::chrono::milliseconds(40));
    m_document->setConnection(connection);
    m_document->connectToServer();
    ASSERT_TRUE(waitForOutput(QStringLiteral("Failed to connect to host server")));
    ASSERT_TRUE(waitForOutput(QStringLiteral("(attempt #1) in")));
    // The countdown reconnects by itself, fails again and counts on.
    ASSERT_TRUE(waitForOutput(QStringLiteral("(attempt #2) in"), 8000));
    EXPECT_EQ(m_document->reconnectCountdown().reconnectCount(), 2);
    // Only the latest countdown line stays in the output.
    EXPECT_EQ(outputText().count(QStringLiteral("Attempting to reconnect")), 1);

    // A successful connect resets the count.
    connection->setPort(m_server.port());
    ASSERT_TRUE(waitForOutput(QStringLiteral("Connected to `Closed`."), 8000));
    EXPECT_EQ(m_document->reconnectCountdown().reconnectCount(), 0);
    EXPECT_FALSE(outputText().contains(QStringLiteral("Attempting to reconnect")));
}

TEST_F(SessionConnectionTest, CountdownStopsWhileTheWindowIsHidden)
{
    std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Hidden"));
    connection->setAutomaticallyReconnect(true);
    {
        LoopbackServer gone;
        connection->setPort(gone.port());
    }
    m_document->reconnectCountdown().setTickInterval(std::chrono::milliseconds(20));
    m_document->setWindowVisible(false);
    m_document->setConnection(connection);
    m_document->connectToServer();
    ASSERT_TRUE(waitForOutput(QStringLiteral("(attempt #1) in five seconds.")));
    spinEventLoop(300);
    EXPECT_TRUE(outputText().contains(QStringLiteral("(attempt #1) in five seconds.")));
    EXPECT_EQ(m_document->reconnectCountdown().reconnectCount(), 1);
}

TEST_F(SessionConnectionTest, EchoedTextIsMarkedAndServerTextIsNot)
{
    connectSession(storedConnection(QStringLiteral("Marks")));
    m_document->appendLocalText(MUDDocument::coloredString(QStringLiteral("echo"), MUDDocument::localCommandColor()),
                                true);
    ASSERT_TRUE(waitForOutput(QStringLiteral("echo")));
    const qsizetype at = outputText().indexOf(QStringLiteral("echo"));
    EXPECT_EQ(m_document->output().attributesAtIndex(at).property(MUDUserCommandProperty).toInt(), 1);
    EXPECT_EQ(m_document->output().attributesAtIndex(at).foreground().color(), MUDDocument::localCommandColor());
}

TEST_F(SessionConnectionTest, TriggerWindowStartsAtALineAndNeverBeforeTheOffset)
{
    connectSession(storedConnection(QStringLiteral("Window")));
    const qsizetype offset = m_document->triggers().startOfTriggerProcessingOffset();
    // Short output: from the offset to the end.
    m_server.send("short line\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("short line")));
    EXPECT_EQ(m_document->triggers().triggerProcessingRange().location, offset);
    // Long output: the window starts at a line feed at least 1024 characters from the end.
    QByteArray lines;
    for (int i = 0; i < 100; ++i)
        lines += QByteArray("line number ") + QByteArray::number(i) + "\r\n";
    m_server.send(lines);
    ASSERT_TRUE(waitForOutput(QStringLiteral("line number 99")));
    spinEventLoop(300);
    const CVRange range = m_document->triggers().triggerProcessingRange();
    const qsizetype length = m_document->output().length();
    EXPECT_EQ(range.end(), length);
    EXPECT_GE(range.length, 1024);
    EXPECT_EQ(m_document->output().characterAt(range.location), u'\n');
    // After clearing, the range is clamped to the (empty) output.
    m_document->clearOutput();
    EXPECT_EQ(m_document->triggers().triggerProcessingRange().length, 0);
}

TEST_F(SessionConnectionTest, TriggerModifiedNotificationReloadsOnlyItsConnection)
{
    std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Reload"));
    connectSession(connection);
    MUDNotificationCenter::defaultCenter().postNotification(
        MUDTrigger::triggerModifiedNotification(),
        QVariant::fromValue(MUDTriggersModifiedObject(QStringLiteral("other"))));
    spinEventLoop(250);
    EXPECT_FALSE(outputText().contains(QStringLiteral("Triggers reloaded")));
    MUDNotificationCenter::defaultCenter().postNotification(
        MUDTrigger::triggerModifiedNotification(),
        QVariant::fromValue(MUDTriggersModifiedObject(connection->connectionId())));
    ASSERT_TRUE(waitForOutput(QStringLiteral("Triggers reloaded\r\n")));
    EXPECT_EQ(m_document->triggers().startOfTriggerProcessingOffset(), m_document->output().length());
}

TEST_F(SessionConnectionTest, LocallyFedTestTextNeverLandsInsideTheServersSequences)
{
    connectSession(storedConnection(QStringLiteral("Shared decoder")));
    constexpr int kLines = 3000;
    constexpr int kLocal = 20;
    QByteArray lines;
    for (int i = 0; i < kLines; ++i)
        lines += "\x1b[32mserver line " + QByteArray::number(i) + "\x1b[0m\r\n";
    m_server.send(lines);
    // #testColors feeds bytes on the main thread while the socket's thread
    // decodes the server's lines, whose sequences reads may cut in two.
    for (int i = 0; i < kLocal; ++i) {
        m_document->processCommand(QStringLiteral("#testColors"), nullptr);
        spinEventLoop(2);
    }
    ASSERT_TRUE(waitForOutput(QStringLiteral("server line %1\n").arg(kLines - 1), 10000));
    // The local batches land whole between the server's batches, which may
    // end anywhere in a line: without them the server's text is intact.
    QString text = outputText();
    EXPECT_EQ(text.count(QStringLiteral("hello world\n")), kLocal);
    text.remove(QStringLiteral("hello world\n"));
    qsizetype at = 0;
    for (int i = 0; i < kLines; ++i) {
        at = text.indexOf(QStringLiteral("server line %1\n").arg(i), at);
        ASSERT_GE(at, 0) << i;
    }
}

TEST_F(SessionConnectionTest, WhatADroppedConnectionLeftOpenNeverEatsTheNextBanner)
{
    struct Row {
        const char* name;
        QByteArray leftOpen;
    };
    const Row rows[] = {
        {"unterminated OSC", QByteArray("\x1b]0;a window title that never ends")},
        {"open telnet subnegotiation", QByteArray("\xff\xfa\x18\x01half a terminal type")},
        {"UTF-8 lead byte", QByteArray("caf\xc3")},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_document = std::make_unique<MUDDocument>(&m_desktop);
        const QString title = QStringLiteral("Dropped%1").arg(index++);
        connectSession(storedConnection(title));
        // The server's last read leaves the decoder inside something, then
        // the line drops (once the client has it all: the same send).
        m_server.send("Last words.\r\n" + row.leftOpen);
        ASSERT_TRUE(waitForOutput(QStringLiteral("Last words.\n")));
        m_server.dropClient();
        ASSERT_TRUE(waitForOutput(QStringLiteral("You have been disconnected from the host server.")));

        const int accepted = m_server.acceptedCount();
        m_document->connectToServer();
        ASSERT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted && m_document->isConnected(); }));
        m_server.send("Welcome, traveller.\r\nSecond line.\r\n");
        EXPECT_TRUE(waitForOutput(QStringLiteral("Second line."), 3000));
        const QString text = outputText();
        const QString secondConnection = text.mid(text.lastIndexOf(QStringLiteral("Connected to `%1`.").arg(title)));
        EXPECT_TRUE(secondConnection.contains(QStringLiteral("\nWelcome, traveller.\nSecond line.")))
            << secondConnection.toStdString();
    }
}

TEST_F(SessionConnectionTest, AReplacedSocketsLateBurstIsDropped)
{
    const std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Late"));
    m_document->setConnection(connection);
    auto receiver = std::make_shared<MUDSessionReceiver>(m_document.get());
    auto oldSocket = std::make_shared<MUDSocket>(connection);
    auto newSocket = std::make_shared<MUDSocket>(connection);

    receiver->attach(oldSocket);
    QByteArray before("shown before the switch\r\n\x1b]0;open title");
    receiver->MUDSocketReceivedData(oldSocket.get(), before);
    ASSERT_TRUE(waitForOutput(QStringLiteral("shown before the switch\n")));

    // A batch already decoded but not yet shown when the session moves on...
    QByteArray queued("queued on the old connection\r\n");
    std::thread([&] { receiver->MUDSocketReceivedData(oldSocket.get(), queued); }).join();
    receiver->attach(newSocket);
    // ...and a burst the old loop thread delivers afterwards.
    QByteArray late("late burst of the old connection\r\n");
    std::thread([&] { receiver->MUDSocketReceivedData(oldSocket.get(), late); }).join();
    QByteArray banner("New banner\r\n");
    std::thread([&] { receiver->MUDSocketReceivedData(newSocket.get(), banner); }).join();

    ASSERT_TRUE(waitForOutput(QStringLiteral("New banner\n")));
    spinEventLoop(50);
    const QString text = outputText();
    EXPECT_FALSE(text.contains(QStringLiteral("queued on the old connection")));
    EXPECT_FALSE(text.contains(QStringLiteral("late burst")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("shown before the switch\nNew banner\n"))) << text.toStdString();
}

}
