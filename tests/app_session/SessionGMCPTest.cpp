#include <QCoreApplication>
#include <QJsonObject>

#include "SessionFixture.h"
#include "TelnetTestServer.h"
#include "app/session/MUDSessionTriggers.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/automation/MUDGMCPState.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDTelnet.h"

namespace {

using namespace MUDTelnet;

// A session whose server speaks GMCP, as a player's scripts and triggers
// see it: what the server receives, and what scripts print in the output.
class SessionGMCPTest : public SessionFixture {
protected:
    std::shared_ptr<MUDConnection> gmcpConnection(const QString& loginScript = {})
    {
        // The login script runs after the user name and password.
        std::shared_ptr<MUDConnection> connection =
            storedConnection(QStringLiteral("GMCP"), QStringLiteral("bob"), QStringLiteral("secret"), loginScript);
        connection->setNegotiatesTelnetOptions(true);
        return connection;
    }
    // Offers GMCP and waits for the client's greeting.
    void agree()
    {
        m_telnet.sendCommand(Will, Option::Gmcp);
        ASSERT_TRUE(m_telnet.waitForCommand(command(Do, Option::Gmcp)));
        ASSERT_TRUE(waitUntil([&] { return m_telnet.subnegotiations(Option::Gmcp).size() >= 2; }));
    }
    void sendGMCP(const QByteArray& payload) { m_telnet.sendSubnegotiation(Option::Gmcp, payload); }
    QStringList clientMessages() const
    {
        QStringList messages;
        for (const QByteArray& payload : m_telnet.subnegotiations(Option::Gmcp))
            messages.append(QString::fromUtf8(payload));
        return messages;
    }

    TelnetTestServer m_telnet{m_server};
};

TEST_F(SessionGMCPTest, AcceptingGMCPGreetsAndAsksForTheDefaultPackages)
{
    connectSession(gmcpConnection());
    agree();
    EXPECT_EQ(
        clientMessages(),
        (QStringList{QStringLiteral("Core.Hello {\"client\":\"Quarrow\",\"version\":\"%1\"}")
                         .arg(QCoreApplication::applicationVersion()),
                     "Core.Supports.Set [\"Core 1\",\"Char 1\",\"Char.Vitals 1\",\"Room 1\",\"Comm.Channel 1\"]"}));
    // Byte for byte on the wire.
    EXPECT_TRUE(m_telnet.receivedBytes().contains(
        QByteArray("\xff\xfa\xc9"
                   "Core.Supports.Set [\"Core 1\",\"Char 1\",\"Char.Vitals 1\",\"Room 1\","
                   "\"Comm.Channel 1\"]\xff\xf0")));
    EXPECT_EQ(m_telnet.count(command(Do, Option::Gmcp)), 1);
}

// A login script asks for one more package before the server has offered
// GMCP: the first Supports.Set carries it. Asked for afterwards, a package
// goes out at once in its own Add.
TEST_F(SessionGMCPTest, PackagesTheScriptsAskForJoinTheSupportsList)
{
    connectSession(gmcpConnection(QStringLiteral("log('early ' + sendGMCP('Core.Supports.Add', ['IRE.Rift 1'])); "
                                                 "log('refused ' + sendGMCP('Comm.Say', 'x'));"
                                                 "command('ready');")));
    ASSERT_TRUE(waitForServerLine("ready"));
    agree();
    EXPECT_EQ(clientMessages().value(1), QStringLiteral("Core.Supports.Set [\"Core 1\",\"Char 1\",\"Char.Vitals 1\","
                                                        "\"Room 1\",\"Comm.Channel 1\",\"IRE.Rift 1\"]"));
    EXPECT_TRUE(outputText().contains(QStringLiteral("Log: early true")));
    EXPECT_TRUE(outputText().contains(QStringLiteral("Log: refused false"))) << "nothing goes out before GMCP is on";

    storeTrigger(*m_document->connection(), QStringLiteral("more"), QStringLiteral("more please"),
                 QStringLiteral("log('sent ' + sendGMCP('Core.Supports.Add', ['Char.Skills 1']))"));
    m_document->triggers().reload();
    m_server.send("more please\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("Log: sent true")));
    // The log line can reach the output before the server has read the message.
    ASSERT_TRUE(waitUntil([&] { return clientMessages().size() >= 3; }));
    EXPECT_EQ(clientMessages().value(2), QStringLiteral("Core.Supports.Add [\"Char.Skills 1\"]"));
    EXPECT_EQ(clientMessages().size(), 3);
}

// What the server sends as a script reads it: names in any case, changes
// merged into a character package, a message near the size cap kept whole;
// bad JSON and an oversized message dropped with a log line, without harm
// to what was kept, to the output or to the session.
TEST_F(SessionGMCPTest, ScriptsReadTheLastValueOfEachPackage)
{
    LogRecorder log;
    std::shared_ptr<MUDConnection> connection = gmcpConnection();
    storeTrigger(*connection, QStringLiteral("show"), QStringLiteral("show vitals"),
                 QStringLiteral("log(JSON.stringify(getGMCP('CHAR.VITALS')) + ' ' + getGMCP('room.info').num + ' ' +"
                                "getGMCP('room.info').desc.length + ' ' + getGMCP('Comm.Channel.Text'))"));
    connectSession(connection);
    agree();
    const qsizetype nearCap = MUDGMCPMessage::MaximumPayloadBytes - 100;
    sendGMCP("char.vitals {\"hp\":10,\"mp\":5}");
    sendGMCP("Char.Vitals {\"hp\":7}");
    sendGMCP("Room.Info {\"num\":12,\"desc\":\"" + QByteArray(nearCap, 'd') + "\"}");
    sendGMCP("Char.Vitals {\"hp\":");
    const QByteArray oversized =
        "Char.Vitals {\"hp\":\"" + QByteArray(MUDGMCPMessage::MaximumPayloadBytes, 'x') + "\"}";
    sendGMCP(oversized);
    m_server.send("show vitals\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("Log: {\"hp\":7,\"mp\":5} 12 %1 undefined").arg(nearCap), 10000));
    EXPECT_EQ(m_document->javascriptProcessor()->gmcpState().packages(),
              (QStringList{QStringLiteral("Char.Vitals"), QStringLiteral("Room.Info")}));
    EXPECT_EQ(log.lines().filter(QStringLiteral("GMCP Char.Vitals: bad JSON dropped")).size(), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("GMCP message of %1 bytes dropped: larger than %2 bytes")
                                 .arg(oversized.size())
                                 .arg(MUDGMCPMessage::MaximumPayloadBytes)));
    EXPECT_FALSE(outputText().contains(QStringLiteral("xxxxxxxx"))) << "no part of a dropped message is shown";
    EXPECT_FALSE(outputText().contains(QStringLiteral("dddddddd")));
    type(QStringLiteral("#telnet"));
    EXPECT_TRUE(outputText().contains(QStringLiteral("GMCP packages received: Char.Vitals, Room.Info")))
        << outputText().right(600).toStdString();
}

// Each message fires the triggers of its package once, in order, with the
// package and the JSON text as parameters; a burst without pause loses none.
TEST_F(SessionGMCPTest, GMCPTriggersFireOncePerMessageWithTheirParameters)
{
    std::shared_ptr<MUDConnection> connection = gmcpConnection();
    storeTrigger(*connection, QStringLiteral("channel"), QStringLiteral("Comm.Channel"),
                 QStringLiteral("log('\\0 says ' + JSON.parse('\\1').text)"), MUDTrigger::kMatchGMCPPackage);
    storeTrigger(*connection, QStringLiteral("count"), QStringLiteral("char"),
                 QStringLiteral("setVar('chars', getVar('chars') + 1)"), MUDTrigger::kMatchGMCPPackage);
    connectSession(connection);
    m_document->javascriptProcessor()->setVariable(QStringLiteral("chars"), 0);
    agree();
    sendGMCP("Comm.Channel.Text {\"text\":\"it's \\\"one\\\"\"}");
    sendGMCP("comm.channel.text {\"text\":\"two\"}");
    sendGMCP("Comm.Channels {\"text\":\"not mine\"}");
    const int burst = 3000;
    QByteArray many;
    for (int i = 0; i < burst; ++i)
        many += subnegotiation(Option::Gmcp, "Char.Vitals {\"hp\":" + QByteArray::number(i) + "}");
    m_server.send(many + "after the burst\r\n");
    const auto chars = [&] {
        return m_document->javascriptProcessor()->variables().value(QStringLiteral("chars")).toInt();
    };
    ASSERT_TRUE(waitUntil([&] { return chars() == burst; }, 30000)) << chars();
    ASSERT_TRUE(waitForOutput(QStringLiteral("after the burst")));
    const QString text = outputText();
    const qsizetype one = text.indexOf(QStringLiteral("Log: Comm.Channel.Text says it's \"one\""));
    const qsizetype two = text.indexOf(QStringLiteral("Log: comm.channel.text says two"));
    EXPECT_GE(one, 0) << text.toStdString();
    EXPECT_GT(two, one);
    EXPECT_FALSE(text.contains(QStringLiteral("not mine")));
    EXPECT_FALSE(text.contains(QStringLiteral("Char.Vitals"))) << "GMCP never reaches the output";
    spinEventLoop(300);
    EXPECT_EQ(chars(), burst);
    EXPECT_EQ(m_document->javascriptProcessor()->gmcpState().value(QStringLiteral("Char.Vitals")),
              QJsonValue(QJsonObject{{QStringLiteral("hp"), burst - 1}}));
}

TEST_F(SessionGMCPTest, ScriptsSendMessagesTheServerReceivesWhole)
{
    std::shared_ptr<MUDConnection> connection = gmcpConnection();
    storeTrigger(*connection, QStringLiteral("ping"), QStringLiteral("ping"),
                 QStringLiteral("sendGMCP('Comm.Say', {text: 'hi \"there\"', n: 2}); sendGMCP('Core.Ping');"));
    connectSession(connection);
    agree();
    m_server.send("ping\r\n");
    ASSERT_TRUE(waitUntil([&] { return clientMessages().size() >= 4; }));
    EXPECT_EQ(clientMessages().mid(2), (QStringList{QStringLiteral("Comm.Say {\"n\":2,\"text\":\"hi \\\"there\\\"\"}"),
                                                    QStringLiteral("Core.Ping")}));
    EXPECT_TRUE(m_telnet.receivedText().isEmpty());
}

// A new connection starts with nothing kept and greets again.
TEST_F(SessionGMCPTest, ReconnectingForgetsWhatTheServerSent)
{
    std::shared_ptr<MUDConnection> connection = gmcpConnection();
    storeTrigger(*connection, QStringLiteral("show"), QStringLiteral("show vitals"),
                 QStringLiteral("log('vitals ' + JSON.stringify(getGMCP('Char.Vitals')))"));
    connectSession(connection);
    agree();
    sendGMCP("Char.Vitals {\"hp\":10}");
    m_server.send("show vitals\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("Log: vitals {\"hp\":10}")));

    m_server.clearReceived();
    m_server.dropClient();
    ASSERT_TRUE(waitForOutput(QStringLiteral("You have been disconnected")));
    connectSession(connection);
    m_server.send("show vitals\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("Log: vitals undefined")));
    agree();
    EXPECT_TRUE(clientMessages().value(0).startsWith(QStringLiteral("Core.Hello ")));
}
}
