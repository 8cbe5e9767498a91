#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/connection/MUDTelnetCharset.h"
#include "engine/connection/MUDTelnetNegotiator.h"
#include "engine/connection/MUDTelnetTerminalType.h"
#include "engine/connection/MUDTelnetWindowSize.h"

namespace {

using namespace MUDTelnet;

// The client's options behind one negotiator, byte by byte as a server sees them.
class MUDTelnetOptionsTest : public ::testing::Test {
protected:
    MUDTelnetOptionsTest()
        : m_negotiator([this](const QByteArray& bytes) { m_sent += bytes; })
    {
        auto windowSize = std::make_unique<MUDTelnetWindowSize>(80, 24);
        m_windowSize = windowSize.get();
        m_negotiator.addHandler(std::move(windowSize));
        auto terminalType = std::make_unique<MUDTelnetTerminalType>(MUDTelnetTerminalType::Capabilities{});
        m_terminalType = terminalType.get();
        m_negotiator.addHandler(std::move(terminalType));
        m_negotiator.addHandler(std::make_unique<MUDTelnetCharset>([](const QString&) {}));
    }

    QByteArray feed(const QByteArray& command)
    {
        m_sent.clear();
        m_negotiator.receivedCommand(command);
        return m_sent;
    }
    QByteArray is(quint8 option, QByteArrayView payload) { return subnegotiation(option, payload); }

    QByteArray m_sent;
    MUDTelnetNegotiator m_negotiator;
    MUDTelnetWindowSize* m_windowSize = nullptr;
    MUDTelnetTerminalType* m_terminalType = nullptr;
};

}

TEST_F(MUDTelnetOptionsTest, WindowSizeIsSentWhenAgreedAndOnEveryChange)
{
    m_windowSize->setWindowSize(100, 30);
    EXPECT_TRUE(m_sent.isEmpty()) << "nothing before the server asks";
    EXPECT_EQ(feed(command(Do, Option::WindowSize)),
              command(Will, Option::WindowSize) + is(Option::WindowSize, QByteArray("\x00\x64\x00\x1e", 4)));

    m_sent.clear();
    m_windowSize->setWindowSize(100, 30);
    EXPECT_TRUE(m_sent.isEmpty()) << "the same size is not sent again";
    // 255 columns: the size's IAC byte is doubled on the wire.
    m_windowSize->setWindowSize(255, 0);
    EXPECT_EQ(m_sent.toHex(' '), QByteArray("ff fa 1f 00 ff ff 00 01 ff f0"));
    m_sent.clear();
    m_windowSize->setWindowSize(100000, 50);
    EXPECT_EQ(m_sent.toHex(' '), QByteArray("ff fa 1f ff ff ff ff 00 32 ff f0"));

    EXPECT_EQ(feed(command(Dont, Option::WindowSize)), command(Wont, Option::WindowSize));
    m_sent.clear();
    m_windowSize->setWindowSize(90, 20);
    EXPECT_TRUE(m_sent.isEmpty()) << "off: the server hears nothing";
    EXPECT_EQ(feed(command(Do, Option::WindowSize)),
              command(Will, Option::WindowSize) + is(Option::WindowSize, QByteArray("\x00\x5a\x00\x14", 4)));
}

TEST_F(MUDTelnetOptionsTest, TerminalTypeCyclesNameTypeAndMttsThenRepeatsTheLast)
{
    const QByteArray send = is(Option::TerminalType, "\x01");
    EXPECT_EQ(feed(command(Do, Option::TerminalType)), command(Will, Option::TerminalType));
    QList<QByteArray> answers;
    for (int i = 0; i < 5; ++i)
        answers.append(feed(send));
    const auto reply = [&](const QByteArray& name) { return is(Option::TerminalType, '\0' + name); };
    EXPECT_EQ(answers, QList<QByteArray>({reply("QUARROW"), reply("XTERM-TRUECOLOR"), reply("MTTS 269"),
                                          reply("MTTS 269"), reply("MTTS 269")}));

    // Renegotiated: the cycle starts over, with what changed meanwhile.
    m_terminalType->setCapabilities({true, true, true, true});
    feed(command(Dont, Option::TerminalType));
    feed(command(Do, Option::TerminalType));
    EXPECT_EQ(feed(send), reply("QUARROW"));
    feed(send);
    EXPECT_EQ(feed(send), reply("MTTS 2509"));
    EXPECT_TRUE(feed(is(Option::TerminalType, "\x00XTERM")).isEmpty()) << "only SEND is answered";
}

TEST(MUDTelnetTerminalType, MttsSumsTheCapabilities)
{
    using Capabilities = MUDTelnetTerminalType::Capabilities;
    EXPECT_EQ(MUDTelnetTerminalType::mttsValue(Capabilities{false, false, false, false}), 1 + 8 + 256);
    EXPECT_EQ(MUDTelnetTerminalType::mttsValue(Capabilities{true, false, false, false}), 1 + 4 + 8 + 256);
    EXPECT_EQ(MUDTelnetTerminalType::mttsValue(Capabilities{true, true, false, false}), 269 + 64);
    EXPECT_EQ(MUDTelnetTerminalType::mttsValue(Capabilities{true, false, true, false}), 269 + 128);
    EXPECT_EQ(MUDTelnetTerminalType::mttsValue(Capabilities{true, false, false, true}), 269 + 2048);
}

TEST_F(MUDTelnetOptionsTest, CharsetAcceptsUtf8WhenOfferedAndRejectsTheRest)
{
    struct Row {
        const char* request; // after the REQUEST code
        QByteArray answer; // after IAC SB CHARSET
    };
    const Row rows[] = {
        {";UTF-8;ISO-8859-1", QByteArray("\x02UTF-8")},
        {" ISO-8859-1 utf-8", QByteArray("\x02utf-8")},
        {";UTF8", QByteArray("\x02UTF8")},
        {"[TTABLE]\x01;US-ASCII;UTF-8", QByteArray("\x02UTF-8")},
        {";ISO-8859-1;CP1252", QByteArray("\x03")},
        {";", QByteArray("\x03")},
        {"", QByteArray("\x03")},
    };
    feed(command(Will, Option::Charset));
    for (const Row& row : rows) {
        EXPECT_EQ(feed(is(Option::Charset, '\x01' + QByteArray(row.request))).toHex(' '),
                  is(Option::Charset, row.answer).toHex(' '))
            << row.request;
    }
    EXPECT_EQ(feed(is(Option::Charset, "\x04\x01stuff")), is(Option::Charset, "\x05"))
        << "a translation table is refused";
    EXPECT_TRUE(feed(is(Option::Charset, "\x02UTF-8")).isEmpty()) << "answers to requests we never made";
}
