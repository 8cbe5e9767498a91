#include "SessionFixture.h"
#include "TelnetTestServer.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDTelnet.h"

namespace {

class SessionTextEncodingTest : public SessionFixture {
protected:
    // Connects a session whose connection uses `encoding`.
    void connectWithEncoding(const QString& encoding)
    {
        auto connection = storedConnection(encoding + " game");
        connection->setTextEncoding(encoding);
        connectSession(connection);
    }
    // The server sends each read on its own; returns what the output shows after them.
    bool shows(const std::vector<QByteArray>& reads, const QString& text)
    {
        const qsizetype start = m_document->output().length();
        for (const QByteArray& read : reads) {
            m_server.send(read);
            // The client takes this read before the next is sent.
            spinEventLoop(50);
        }
        return waitUntil([&] { return outputAfter(start).contains(text); }, 3000);
    }
};

// The server writes in the connection's encoding; the output shows the
// characters, also where a read or an escape sequence cuts one in two.
TEST_F(SessionTextEncodingTest, ServerTextInGBKIsShownAsWritten)
{
    connectWithEncoding("GBK");
    EXPECT_TRUE(shows({"\xc4\xe3\xba\xc3\xa3\xac\xca\xc0\xbd\xe7\r\n"}, QString::fromUtf8("你好，世界\n")))
        << outputText().toStdString();
    EXPECT_TRUE(shows({"\x1b[32m\xb5\xda\xd2", "\xbb\xd5\xc2\x1b[0m\r\n"}, QString::fromUtf8("第一章\n")))
        << outputText().toStdString();
}

TEST_F(SessionTextEncodingTest, ServerTextInLatin1IsShownAsWritten)
{
    connectWithEncoding("ISO-8859-1");
    // IAC IAC is the letter ÿ (255).
    EXPECT_TRUE(shows({QByteArray("Caf\xe9 cr\xe8me, \xfc and \xff\xff.\r\n", 23)},
                      QString::fromUtf8("Café crème, ü and ÿ.\n")))
        << outputText().toStdString();
}

// Typed lines go out in the connection's encoding: the bytes the server
// receives. The letter 255 goes out doubled, as telnet data.
TEST_F(SessionTextEncodingTest, TypedTextGoesOutInTheConnectionsEncoding)
{
    connectWithEncoding("GBK");
    type(QString::fromUtf8("说 你好"));
    EXPECT_TRUE(waitForServerLine("\xcb\xb5 \xc4\xe3\xba\xc3"));
}

TEST_F(SessionTextEncodingTest, TypedLetter255GoesOutAsTelnetData)
{
    connectWithEncoding("ISO-8859-1");
    type(QString::fromUtf8("caf\u00e9 \u00ff"));
    EXPECT_TRUE(waitForServerLine(QByteArray("caf\xe9 \xff\xff", 7)))
        << m_server.receivedTexts().join("|").toHex(' ').toStdString();
}

// Once the server agrees to UTF-8 (CHARSET), the connection's text is
// UTF-8 both ways, from the byte after the agreement on.
TEST_F(SessionTextEncodingTest, AfterTheServerAgreesToUTF8TheTextIsUTF8)
{
    using namespace MUDTelnet;
    TelnetTestServer telnet(m_server);
    auto connection = storedConnection("Charset game");
    connection->setTextEncoding("GBK");
    connection->setNegotiatesTelnetOptions(true);
    connectSession(connection);
    telnet.send("\xc4\xe3\r\n" + command(Will, Option::Charset));
    ASSERT_TRUE(telnet.waitForCommand(command(Do, Option::Charset)));
    telnet.send("\xba\xc3\r\n" + subnegotiation(Option::Charset, "\x01;UTF-8") +
                QString::fromUtf8("世界\r\n").toUtf8());
    ASSERT_TRUE(telnet.waitForCommand(subnegotiation(Option::Charset, "\x02UTF-8")));
    EXPECT_TRUE(waitForOutput(QString::fromUtf8("你\n好\n世界\n"))) << outputText().toStdString();

    type(QString::fromUtf8("说"));
    // The client's telnet answers share the line with it: only the text counts.
    EXPECT_TRUE(waitUntil([&] { return telnet.receivedText().endsWith(QString::fromUtf8("说\n").toUtf8()); }))
        << telnet.receivedText().toHex(' ').toStdString();
}

}
