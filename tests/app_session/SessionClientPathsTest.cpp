#include <QSet>
#include <QSignalSpy>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "SessionFixture.h"
#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDScriptBridge.h"
#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDTextAttributes.h"
#include "engine/storage/MUDPreservation.h"

namespace {

class SessionClientPathsTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        m_connection = storedConnection(QStringLiteral("Paths"));
        connectSession(m_connection);
        m_server.clearReceived();
    }
    std::shared_ptr<MUDConnection> m_connection;
};

TEST_F(SessionClientPathsTest, ReturnWhileDisconnectedReconnectsAndKeepsTheTypedLine)
{
    m_server.dropClient();
    ASSERT_TRUE(waitForOutput(QStringLiteral("You have been disconnected from the host server.")));
    ASSERT_FALSE(m_document->isConnected());
    const int accepted = m_server.acceptedCount();
    const qsizetype start = m_document->output().length();
    type(QStringLiteral("look"));
    EXPECT_TRUE(outputAfter(start).contains(QStringLiteral("Attempting connection to `Paths`.")));
    EXPECT_EQ(m_input.text(), QStringLiteral("look")) << "the typed line waits in the input";
    ASSERT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted && m_document->isConnected(); }));
    spinEventLoop(100);
    EXPECT_TRUE(m_server.receivedTexts().isEmpty()) << "reconnecting sends nothing";
    EXPECT_TRUE(m_document->commandPipeline().historyCommands().isEmpty());

    type(QStringLiteral("look"));
    EXPECT_TRUE(waitForServerLine("look"));
}

TEST_F(SessionClientPathsTest, DisconnectShowsItselfDropsTheConnectionAndTheLineGoesOn)
{
    const qsizetype start = m_document->output().length();
    type(QStringLiteral("#disconnect;#set after=yes"));
    EXPECT_TRUE(waitUntil([&] { return outputAfter(start).startsWith(QStringLiteral("#disconnect\r\n")); }, 1000))
        << outputAfter(start).toStdString();
    EXPECT_TRUE(waitUntil([&] { return m_server.clientClosed(); }));
    EXPECT_TRUE(waitForOutput(QStringLiteral("You have been disconnected from the host server.")));
    EXPECT_TRUE(waitForOutput(QStringLiteral("Variable: after has been set to yes")))
        << "the rest of the line still runs";
    EXPECT_FALSE(m_document->isReconnectButtonHidden());
}

TEST_F(SessionClientPathsTest, CloseAsksTheWindowToCloseAndDropsTheRestOfTheLine)
{
    QSignalSpy closeRequested(m_document.get(), &MUDDocument::closeRequested);
    const qsizetype start = m_document->output().length();
    type(QStringLiteral("#close;north"));
    EXPECT_EQ(closeRequested.count(), 1);
    EXPECT_TRUE(outputAfter(start).contains(QStringLiteral("#close")));
    spinEventLoop(200);
    EXPECT_TRUE(m_server.receivedTexts().isEmpty());
    // A command that only starts like it is not it.
    type(QStringLiteral("#closed"));
    EXPECT_TRUE(waitForServerLine("#closed"));
    EXPECT_EQ(closeRequested.count(), 1);
}

TEST_F(SessionClientPathsTest, ClearOutputInAnyCaseEmptiesTheOutputThenEchoesAndEndsTheLine)
{
    for (const char* line : {"#clearOutput;north", "#CLEAROUTPUT;north", "#clearoutput;north"}) {
        SCOPED_TRACE(line);
        m_server.send("some server text\r\n");
        ASSERT_TRUE(waitForOutput(QStringLiteral("some server text")));
        const QString command = QString::fromUtf8(line).section(u';', 0, 0);
        type(QString::fromUtf8(line));
        EXPECT_TRUE(waitUntil([&] { return outputText() == command + QStringLiteral("\r\n"); }, 1000))
            << outputText().toStdString();
    }
    spinEventLoop(200);
    EXPECT_FALSE(m_server.receivedTexts().contains("north"));
    // Later server text lands in the emptied output.
    m_server.send("after clearing\r\n");
    EXPECT_TRUE(waitForOutput(QStringLiteral("#clearoutput\r\nafter clearing")));
}

TEST_F(SessionClientPathsTest, ClearMessagesInAnyCaseEmptiesTheMessages)
{
    MUDScriptBridge& bridge = m_document->scriptBridge();
    for (const char* line : {"#clearMessages", "#CLEARMESSAGES"}) {
        SCOPED_TRACE(line);
        bridge.javascriptProcessorReceivedMessage(nullptr, MUDMessage(QStringLiteral("one")));
        bridge.javascriptProcessorReceivedMessage(nullptr, MUDMessage(QStringLiteral("two")));
        ASSERT_EQ(m_document->messages().size(), 2);
        const qsizetype start = m_document->output().length();
        type(QString::fromUtf8(line));
        EXPECT_TRUE(m_document->messages().isEmpty());
        const QString echo = QString::fromUtf8(line) + QStringLiteral("\r\n");
        EXPECT_TRUE(waitUntil([&] { return outputAfter(start).contains(echo); }, 1000));
    }
}

TEST_F(SessionClientPathsTest, ScriptsTeachCompletionWordsUntilTheNextConnect)
{
    storeTrigger(*m_connection, QStringLiteral("Learn"), QStringLiteral("You see"),
                 QStringLiteral("processForAutocomplete('You see 3 lanterns and a dagger.');"));
    int accepted = m_server.acceptedCount();
    m_document->connectToServer();
    ASSERT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted && m_document->isConnected(); }));
    m_server.send("You see a room.\r\n");
    EXPECT_TRUE(waitUntil([&] {
        return m_document->MUDCommandTextWantsKeywords().contains(QStringLiteral("lantern"));
    })) << m_document->MUDCommandTextWantsKeywords().join(u' ').toStdString();
    const QStringList keywords = m_document->MUDCommandTextWantsKeywords();
    for (const char* word : {"see", "lanterns", "lantern", "dagger", "look"})
        EXPECT_TRUE(keywords.contains(QString::fromUtf8(word))) << word;
    EXPECT_FALSE(keywords.contains(QStringLiteral("and")));
    const qsizetype start = m_document->output().length();
    type(QStringLiteral("#autocomplete"));
    EXPECT_TRUE(waitUntil([&] { return outputAfter(start).contains(QStringLiteral("dagger    ")); }, 1000))
        << outputAfter(start).toStdString();

    // Each connect starts a fresh collection.
    accepted = m_server.acceptedCount();
    m_document->connectToServer();
    ASSERT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted && m_document->isConnected(); }));
    EXPECT_EQ(m_document->MUDCommandTextWantsKeywords(), (QStringList{"consider", "kill", "look"}));
}

TEST_F(SessionClientPathsTest, TestStartupShowsOurArtInColour)
{
    LogRecorder log;
    const qsizetype start = m_document->output().length();
    type(QStringLiteral("#testStartup"));
    ASSERT_TRUE(waitUntil([&] { return outputAfter(start).contains(QStringLiteral("Quarrow, a MUD client")); }, 2000))
        << outputAfter(start).toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("MUDClientCommands:testStartup - The start-up art is missing.")));
    const QString art = outputAfter(start);
    EXPECT_TRUE(art.contains(QStringLiteral("╭──"))) << "the icon's tile";
    EXPECT_FALSE(art.contains(QChar(0x1b))) << "escape sequences are decoded, not shown";
    for (const QString& line : art.split(u'\n'))
        EXPECT_LT(QString(line).remove(u'\r').size(), 80) << line.toStdString();
    // The art is coloured: the tile, the bolt and the name differ.
    QSet<QRgb> colours;
    m_document->output().enumerateAttributes({start, m_document->output().length() - start},
                                             [&](const QTextCharFormat& format, CVRange range, bool&) {
                                                 if (!m_document->output().text(range).trimmed().isEmpty())
                                                     colours.insert(format.foreground().color().rgba());
                                             });
    EXPECT_GE(colours.size(), 4);
}

// A game server that accepts and then never reads: what the client sends
// fills the socket buffers until a send gives up.
class SilentServer {
public:
    SilentServer()
    {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM, 0);
        // A small receive buffer, inherited by the accepted socket, fills quickly.
        const int small = 4096;
        ::setsockopt(m_listenFd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(m_listenFd, 1) == 0 &&
            ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~SilentServer()
    {
        if (m_clientFd >= 0)
            ::close(m_clientFd);
        ::close(m_listenFd);
    }
    quint16 port() const { return m_port; }
    // Reads what has arrived so far, without waiting.
    QByteArray drain()
    {
        if (m_clientFd < 0)
            m_clientFd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK);
        char buffer[65536];
        for (int reads = 0; m_clientFd >= 0 && reads < 256; ++reads) {
            const ssize_t count = ::recv(m_clientFd, buffer, sizeof buffer, 0);
            if (count <= 0)
                break;
            m_received.append(buffer, count);
        }
        return m_received;
    }

private:
    int m_listenFd = -1;
    int m_clientFd = -1;
    quint16 m_port = 0;
    QByteArray m_received;
};

TEST_F(SessionClientPathsTest, AFailedSendIsLoggedWithItsLengthAndTheConnectionGoesOn)
{
    SilentServer server;
    ASSERT_NE(server.port(), 0);
    m_connection->setPort(server.port());
    LogRecorder log;
    m_document->connectToServer();
    ASSERT_TRUE(waitUntil([&] { return m_document->isConnected(); }));

    // Far more than the socket buffers hold; two UTF-8 bytes per character,
    // so a length in bytes would read twice the line's length.
    const QString huge(4 * 1024 * 1024, QChar(0xe9));
    const auto script = std::make_shared<MUDJavascriptActionSource>();
    m_document->sendRawCommand(huge, script);
    const QString failed = QStringLiteral("Failed to send (%1 length)").arg(huge.size() + 1);
    ASSERT_TRUE(waitUntil([&] { return log.contains(failed); }, 10000)) << log.lines().join(u'\n').toStdString();
    EXPECT_TRUE(m_document->isConnected()) << "a failed line does not end the connection";

    // The server catches up with what did go out; then the next line goes through.
    qsizetype received = -1;
    for (int pass = 0; pass < 500; ++pass) {
        spinEventLoop(20);
        const qsizetype now = server.drain().size();
        if (now > 0 && now == received)
            break;
        received = now;
    }
    ASSERT_GT(received, 0);
    m_document->sendRawCommand(QStringLiteral("after"), script);
    EXPECT_TRUE(waitUntil([&] { return server.drain().endsWith("after\n"); }, 10000));
    EXPECT_EQ(log.count(failed), 1) << "the next line is sent, not failed";
}

}
