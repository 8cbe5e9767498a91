#include "SessionFixture.h"
#include "TelnetTestServer.h"
#include "ZlibStreams.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDTelnet.h"

namespace {

using namespace MUDTelnet;

// A session that negotiates, against a loopback server that offers
// compression and, once the client agrees, sends `afterAgreement`.
class SessionCompressionTest : public SessionFixture {
protected:
    void connectAndAgree(const QByteArray& afterAgreement, bool negotiate = true)
    {
        m_telnet.answer(command(Do, Option::Compress2), afterAgreement);
        std::shared_ptr<MUDConnection> connection = storedConnection(QStringLiteral("Compressed"));
        connection->setNegotiatesTelnetOptions(negotiate);
        connectSession(connection);
        m_telnet.sendCommand(Will, Option::Compress2);
    }
    static QByteArray compressionStart() { return subnegotiation(Option::Compress2, {}); }

    TelnetTestServer m_telnet{m_server};
};

// The compressed stream begins inside the write that carries plain text
// before it, and ends in a later one, followed by plain text again.
TEST_F(SessionCompressionTest, TextBeforeInsideAndAfterAStreamIsShownInOrder)
{
    const QByteArray stream = ZlibStreams::finished("\x1b[32mInside the stream.\x1b[0m\r\n");
    connectAndAgree("Plain before.\r\n" + compressionStart() + stream.first(10));
    ASSERT_TRUE(m_telnet.waitForCommand(command(Do, Option::Compress2)));
    ASSERT_TRUE(waitForOutput(QStringLiteral("Compression on (MCCP2).")));
    m_server.send(stream.sliced(10) + "Plain after.\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("Plain after.\n")));
    const QString output = outputText();
    EXPECT_LT(output.indexOf("Plain before.\n"), output.indexOf("Inside the stream.\n"));
    EXPECT_LT(output.indexOf("Inside the stream.\n"), output.indexOf("Plain after.\n"));
    EXPECT_TRUE(output.contains(
        QStringLiteral("Compression off (MCCP2): %1 bytes on the wire inflated to").arg(stream.size())));

    type(QStringLiteral("#telnet"));
    EXPECT_TRUE(waitForOutput(QStringLiteral("bytes on the wire inflated to")));
}

// A bomb ends what is shown of the stream, the client refuses compression,
// and the text the server sends once its stream ended is shown.
TEST_F(SessionCompressionTest, ABombIsRefusedAndTheConnectionGoesOnPlain)
{
    connectAndAgree(compressionStart() + ZlibStreams::bomb(quint64(32) * 1024 * 1024, true) + "Still here.\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("expands more than 100 times"), 20000)) << outputText().toStdString();
    EXPECT_TRUE(m_telnet.waitForCommand(command(Dont, Option::Compress2)));
    EXPECT_TRUE(waitForOutput(QStringLiteral("Still here.\n"), 20000));
    EXPECT_TRUE(m_document->isConnected());
}

TEST_F(SessionCompressionTest, ACorruptStreamClosesTheConnectionWithALine)
{
    connectAndAgree(compressionStart() + ZlibStreams::unfinished("Good text.\r\n") + QByteArray(8, '\xff'));
    ASSERT_TRUE(waitForOutput(QStringLiteral("The server's compressed data is corrupt: closing the connection.")));
    EXPECT_TRUE(waitForOutput(QStringLiteral("You have been disconnected from the host server.")));
    const QString output = outputText();
    EXPECT_LT(output.indexOf("Good text.\n"), output.indexOf("corrupt"));
}

// Without telnet options the client never agrees, so a compression start is
// only a telnet command and nothing is inflated.
TEST_F(SessionCompressionTest, WithoutTelnetOptionsNothingIsInflated)
{
    connectAndAgree({}, false);
    m_server.send(compressionStart() + "Plain all along.\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("Plain all along.\n")));
    EXPECT_FALSE(outputText().contains(QStringLiteral("Compression on")));
    EXPECT_FALSE(m_telnet.receivedBytes().contains('\xff'));
}

}
