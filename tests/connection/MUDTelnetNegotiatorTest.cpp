#include "engine/connection/MUDTelnetNegotiator.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/connection/MUDTelnet.h"

namespace {

using namespace MUDTelnet;
constexpr quint8 kNaws = Option::WindowSize;
constexpr quint8 kCharset = Option::Charset;
constexpr quint8 kUnknown = 200;

// A handler that writes down what the negotiator tells it.
class RecordingHandler : public MUDTelnetOptionHandler {
public:
    RecordingHandler(quint8 option, bool client, bool server, QStringList& events)
        : MUDTelnetOptionHandler(option, client, server)
        , m_events(events)
    {
    }
    void enabled(MUDTelnetSide side) override { m_events.append("on " + sideName(side)); }
    void disabled(MUDTelnetSide side) override { m_events.append("off " + sideName(side)); }
    void subnegotiation(QByteArrayView payload) override { m_events.append("sb " + payload.toByteArray().toHex()); }
    void reply(QByteArrayView payload) { sendSubnegotiation(payload); }

private:
    static QString sideName(MUDTelnetSide side) { return side == MUDTelnetSide::Client ? "client" : "server"; }
    QStringList& m_events;
};

// A negotiator whose sends are collected; NAWS is accepted on the client
// side, CHARSET on both.
class MUDTelnetNegotiatorTest : public ::testing::Test {
protected:
    MUDTelnetNegotiatorTest()
        : m_negotiator([this](const QByteArray& bytes) { m_sent += bytes; })
    {
        auto naws = std::make_unique<RecordingHandler>(kNaws, true, false, m_events);
        m_naws = naws.get();
        m_negotiator.addHandler(std::move(naws));
        m_negotiator.addHandler(std::make_unique<RecordingHandler>(kCharset, true, true, m_events));
    }

    // Feeds server commands and returns what the client sent for them.
    QByteArray feed(const QList<QByteArray>& commands)
    {
        m_sent.clear();
        for (const QByteArray& c : commands)
            m_negotiator.receivedCommand(c);
        return m_sent;
    }

    QByteArray m_sent;
    QStringList m_events;
    RecordingHandler* m_naws = nullptr;
    MUDTelnetNegotiator m_negotiator;
};

QByteArray cmd(quint8 verb, quint8 option)
{
    return command(verb, option);
}

}

// Each row: what the server sends, in order, and every byte the client
// answers; the Q method (RFC 1143) on both sides.
TEST_F(MUDTelnetNegotiatorTest, AnswersFollowTheQMethod)
{
    struct Row {
        const char* name;
        QList<QByteArray> server;
        QByteArray client;
    };
    const Row rows[] = {
        {"DO NAWS is agreed", {cmd(Do, kNaws)}, cmd(Will, kNaws)},
        {"a repeated DO is not answered", {cmd(Do, kNaws), cmd(Do, kNaws), cmd(Do, kNaws)}, cmd(Will, kNaws)},
        {"WILL NAWS is refused: only the client side is accepted", {cmd(Will, kNaws)}, cmd(Dont, kNaws)},
        {"an unknown option is refused on both sides",
         {cmd(Do, kUnknown), cmd(Will, kUnknown)},
         cmd(Wont, kUnknown) + cmd(Dont, kUnknown)},
        {"a refused request repeated is not answered again",
         {cmd(Do, kUnknown), cmd(Do, kUnknown), cmd(Will, kUnknown), cmd(Will, kUnknown)},
         cmd(Wont, kUnknown) + cmd(Dont, kUnknown)},
        {"DONT of an option that is off is not answered", {cmd(Dont, kNaws), cmd(Wont, kUnknown)}, {}},
        {"renegotiation: on, off, on again",
         {cmd(Do, kNaws), cmd(Dont, kNaws), cmd(Do, kNaws)},
         cmd(Will, kNaws) + cmd(Wont, kNaws) + cmd(Will, kNaws)},
        {"both sides of one option are separate",
         {cmd(Will, kCharset), cmd(Do, kCharset), cmd(Wont, kCharset)},
         cmd(Do, kCharset) + cmd(Will, kCharset) + cmd(Dont, kCharset)},
    };
    for (const Row& row : rows) {
        MUDTelnetNegotiator negotiator([this](const QByteArray& bytes) { m_sent += bytes; });
        negotiator.addHandler(std::make_unique<RecordingHandler>(kNaws, true, false, m_events));
        negotiator.addHandler(std::make_unique<RecordingHandler>(kCharset, true, true, m_events));
        m_sent.clear();
        for (const QByteArray& c : row.server)
            negotiator.receivedCommand(c);
        EXPECT_EQ(m_sent.toHex(' '), row.client.toHex(' ')) << row.name;
    }
}

TEST_F(MUDTelnetNegotiatorTest, HandlersHearTheOptionTurnOnAndOffOncePerChange)
{
    feed({cmd(Do, kNaws), cmd(Do, kNaws), cmd(Dont, kNaws), cmd(Dont, kNaws), cmd(Do, kNaws)});
    EXPECT_EQ(m_events, QStringList({"on client", "off client", "on client"}));
    EXPECT_TRUE(m_negotiator.isEnabled(kNaws, MUDTelnetSide::Client));
    EXPECT_FALSE(m_negotiator.isEnabled(kNaws, MUDTelnetSide::Server));
}

// A server that asks again each time it is answered gets one answer per
// change of state, and nothing for the rest, however long it goes on.
TEST_F(MUDTelnetNegotiatorTest, AServerRepeatingRequestsForeverGetsABoundedAnswer)
{
    QList<QByteArray> flood;
    for (int i = 0; i < 10000; ++i)
        flood += {cmd(Do, kNaws), cmd(Will, kUnknown), cmd(Do, kUnknown), cmd(Will, kNaws)};
    LogRecorder log;
    const QByteArray sent = feed(flood);
    EXPECT_EQ(sent.toHex(' '),
              (cmd(Will, kNaws) + cmd(Dont, kUnknown) + cmd(Wont, kUnknown) + cmd(Dont, kNaws)).toHex(' '));
    EXPECT_EQ(log.lines().filter("MUDTelnetNegotiator").size(), 4);
}

TEST_F(MUDTelnetNegotiatorTest, ClientRequestsWaitForTheAnswerAndQueueTheOppositeWish)
{
    // Asked on, then off before the server answers: the answer "on" is
    // followed at once by the request to turn it off.
    m_negotiator.request(kCharset, MUDTelnetSide::Server, true);
    EXPECT_EQ(m_sent, cmd(Do, kCharset));
    m_negotiator.request(kCharset, MUDTelnetSide::Server, false);
    m_negotiator.request(kCharset, MUDTelnetSide::Server, false);
    EXPECT_EQ(feed({cmd(Will, kCharset)}), cmd(Dont, kCharset));
    EXPECT_EQ(feed({cmd(Wont, kCharset)}), QByteArray());
    EXPECT_FALSE(m_negotiator.isEnabled(kCharset, MUDTelnetSide::Server));

    // A refusal of our request is not answered and leaves it off.
    m_sent.clear();
    m_negotiator.request(kCharset, MUDTelnetSide::Client, true);
    EXPECT_EQ(m_sent, cmd(Will, kCharset));
    EXPECT_EQ(feed({cmd(Dont, kCharset)}), QByteArray());
    EXPECT_FALSE(m_negotiator.isEnabled(kCharset, MUDTelnetSide::Client));

    // Turning off an option that is on waits for the server's agreement.
    feed({cmd(Do, kNaws)});
    m_sent.clear();
    m_negotiator.request(kNaws, MUDTelnetSide::Client, false);
    EXPECT_EQ(m_sent, cmd(Wont, kNaws));
    EXPECT_EQ(feed({cmd(Dont, kNaws)}), QByteArray());
    EXPECT_EQ(m_events.filter("client").last(), "off client");
}

TEST_F(MUDTelnetNegotiatorTest, SubnegotiationsReachTheirHandlerOnlyWhileTheOptionIsOn)
{
    const QByteArray withIac = subnegotiation(kNaws, QByteArray("\x00\xff\x00\x18", 4));
    LogRecorder log;
    feed({withIac, withIac});
    EXPECT_TRUE(m_events.isEmpty()) << "an option that is off takes no subnegotiation";
    EXPECT_EQ(log.lines().filter("SB Window size: ignored").size(), 1) << "logged once however often it comes";

    // The decoder cuts a subnegotiation short at a stray IAC command.
    const QByteArray cutShort("\xff\xfa\x1f\x00\x50\x00", 6);
    feed({cmd(Do, kNaws), withIac, subnegotiation(kUnknown, "x"), cutShort});
    EXPECT_EQ(m_events, QStringList({"on client", "sb 00ff0018"}));

    m_sent.clear();
    m_naws->reply(QByteArray("\x00\x50\xff\x00", 4));
    EXPECT_EQ(m_sent.toHex(' '), QByteArray("ff fa 1f 00 50 ff ff 00 ff f0"));
}

TEST_F(MUDTelnetNegotiatorTest, StateLinesListHandledAndRequestedOptions)
{
    feed({cmd(Do, kNaws), cmd(Will, kUnknown)});
    const QStringList lines = m_negotiator.stateLines();
    EXPECT_EQ(lines, QStringList({"Window size (31): client on, server off", "Charset (42): client off, server off",
                                  "200 (200): client off, server refused"}));
}
