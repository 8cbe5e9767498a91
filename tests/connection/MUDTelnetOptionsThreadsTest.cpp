#include <gtest/gtest.h>

#include <QJsonArray>
#include <atomic>
#include <functional>
#include <thread>

#include "TelnetTestServer.h"
#include "TestSupport.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/connection/MUDGMCPOptionHandler.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/connection/MUDTelnetNegotiator.h"
#include "engine/connection/MUDTelnetTerminalType.h"
#include "engine/connection/MUDTelnetWindowSize.h"

namespace {

using namespace MUDTelnet;
using Capabilities = MUDTelnetTerminalType::Capabilities;

// Every size the main thread sets has this many more rows than columns, so
// a size sent half old and half new shows.
constexpr int kRowsOverColumns = 7;

// The main thread turns speech and viewers on and off together: an answer
// claiming one without the other was read half changed.
Capabilities capabilities(bool shared)
{
    Capabilities result;
    result.screenReader = shared;
    result.proxy = shared;
    return result;
}

// A server that keeps negotiating on the socket loop thread while the main
// thread changes what the client's answers carry, one call at a time: the
// bytes the server got are checked for values torn between two changes,
// and a ThreadSanitizer build sees the two threads meet.
class MUDTelnetOptionsThreadsTest : public ::testing::Test {
protected:
    static constexpr int kChanges = 3000;

    MUDTelnetOptionsThreadsTest()
        : m_negotiator([this](const QByteArray& bytes) { m_wire += bytes; })
    {
        auto windowSize = std::make_unique<MUDTelnetWindowSize>(80, 80 + kRowsOverColumns);
        m_windowSize = windowSize.get();
        m_negotiator.addHandler(std::move(windowSize));
        auto terminalType = std::make_unique<MUDTelnetTerminalType>(capabilities(false));
        m_terminalType = terminalType.get();
        m_negotiator.addHandler(std::move(terminalType));
        auto gmcp = std::make_unique<MUDGMCPOptionHandler>(QStringLiteral("1.0"), [](const MUDGMCPMessage&) {});
        m_gmcp = gmcp.get();
        m_negotiator.addHandler(std::move(gmcp));
    }

    // The server repeats `round` until the main thread made its changes.
    void whileNegotiating(const QList<QByteArray>& round, const std::function<void(int)>& change)
    {
        std::atomic<bool> stop{false};
        std::atomic<int> rounds{0};
        std::thread socketLoop([&] {
            while (!stop.load()) {
                for (const QByteArray& command : round)
                    m_negotiator.receivedCommand(command);
                ++rounds;
            }
        });
        // Bounded: the main thread starts once the server has, and stops after its changes.
        for (int i = 0; i < 100000 && rounds.load() == 0; ++i)
            std::this_thread::yield();
        for (int i = 0; i < kChanges; ++i)
            change(i);
        stop = true;
        socketLoop.join();
    }

    // What the client sent for `option`, IAC IAC undone; read once the threads are done.
    QList<QByteArray> sent(quint8 option) const
    {
        QList<QByteArray> commands;
        QByteArray text;
        TelnetTestServer::split(m_wire, &commands, &text);
        EXPECT_TRUE(text.isEmpty());
        QList<QByteArray> payloads;
        for (const QByteArray& command : std::as_const(commands)) {
            if (command.size() >= 5 && quint8(command[1]) == Sb && quint8(command[2]) == option)
                payloads.append(subnegotiationPayload(command));
        }
        return payloads;
    }

    // The negotiator's log lines, one per step, stay out of the output.
    LogRecorder m_log;
    // Written by the sender, which runs under the negotiator's lock.
    QByteArray m_wire;
    MUDTelnetNegotiator m_negotiator;
    MUDTelnetWindowSize* m_windowSize = nullptr;
    MUDTelnetTerminalType* m_terminalType = nullptr;
    MUDGMCPOptionHandler* m_gmcp = nullptr;
};

}

TEST_F(MUDTelnetOptionsThreadsTest, WindowSizesSetOnTheMainThreadGoOutWhole)
{
    whileNegotiating({command(Do, Option::WindowSize), command(Dont, Option::WindowSize)}, [&](int i) {
        const int columns = 60 + i % 100;
        m_windowSize->setWindowSize(columns, columns + kRowsOverColumns);
    });
    const QList<QByteArray> sizes = sent(Option::WindowSize);
    ASSERT_FALSE(sizes.isEmpty());
    for (const QByteArray& size : sizes) {
        ASSERT_EQ(size.size(), 4);
        const int columns = quint8(size[0]) << 8 | quint8(size[1]);
        const int rows = quint8(size[2]) << 8 | quint8(size[3]);
        EXPECT_EQ(rows, columns + kRowsOverColumns) << columns << "x" << rows;
    }
}

TEST_F(MUDTelnetOptionsThreadsTest, TerminalTypesAnsweredWhileCapabilitiesChangeAreWhole)
{
    const QByteArray ask = subnegotiation(Option::TerminalType, QByteArray(1, '\x01'));
    whileNegotiating({command(Do, Option::TerminalType), ask, ask, ask, command(Dont, Option::TerminalType)},
                     [&](int i) { m_terminalType->setCapabilities(capabilities(i % 2 == 1)); });
    const QList<QByteArray> expected = {
        '\0' + MUDTelnetTerminalType::terminalName(0, {}),
        '\0' + MUDTelnetTerminalType::terminalName(1, {}),
        '\0' + MUDTelnetTerminalType::terminalName(2, capabilities(false)),
        '\0' + MUDTelnetTerminalType::terminalName(2, capabilities(true)),
    };
    const QList<QByteArray> answers = sent(Option::TerminalType);
    ASSERT_FALSE(answers.isEmpty());
    for (const QByteArray& answer : answers)
        EXPECT_TRUE(expected.contains(answer)) << answer.toHex(' ').constData();
}

TEST_F(MUDTelnetOptionsThreadsTest, ScriptsGMCPMessagesAndStateLinesWhileGMCPTurnsOnAndOff)
{
    const QByteArray vitals = subnegotiation(Option::Gmcp, "Char.Vitals {\"hp\":1}");
    whileNegotiating({command(Will, Option::Gmcp), vitals, command(Wont, Option::Gmcp)}, [&](int i) {
        if (i % 2 == 0)
            m_gmcp->send(QStringLiteral("Core.Supports.Add"), QJsonArray{QStringLiteral("Room 1")});
        else
            EXPECT_FALSE(m_negotiator.stateLines().isEmpty());
    });
    const QList<QByteArray> messages = sent(Option::Gmcp);
    ASSERT_FALSE(messages.isEmpty());
    for (const QByteArray& message : messages)
        EXPECT_TRUE(MUDGMCPMessage::parse(message).has_value()) << message.constData();
}
