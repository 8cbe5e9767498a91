#include <QFont>
#include <QMutex>
#include <gtest/gtest.h>
#include <memory>

#include "TestSupport.h"
#include "TinyMuxServer.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/connection/MUDSocketDelegate.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"
#include "engine/decoding/ANSIDataProcessorResults.h"
#include "engine/decoding/MUDStringColoring.h"

namespace {

// Plays the session's part of the receive path: decode on the socket's loop
// thread, then style on the main thread.
class DecodingReceiver : public MUDSocketDelegate, public ANSIDataProcessorDelegate {
public:
    DecodingReceiver()
        : m_decoder(this)
    {
        m_font.setFamily("DejaVu Sans Mono");
    }

    void MUDSocketHasConnected(MUDSocket*) override { m_connected = true; }
    void MUDSocketConnectionFailed(MUDSocket*, const QString& message) override { m_failure = message; }
    void MUDSocketReceivedData(MUDSocket*, QByteArray& data) override { m_decoder.processData(data); }
    void MUDSocketHasDisconnected(MUDSocket*) override { m_disconnected = true; }

    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        QMutexLocker lock(&m_mutex);
        m_batches.append(results);
    }

    // Walks the batches received so far into the styled output.
    void render()
    {
        QList<ANSIDataProcessorResults> batches;
        {
            QMutexLocker lock(&m_mutex);
            batches.swap(m_batches);
        }
        for (const ANSIDataProcessorResults& batch : batches) {
            for (const ANSIDataProcessorResult chunk : batch) {
                if (chunk.type() == ANSIResultType::Telnet)
                    ++m_telnetCommands;
            }
            m_coloring.styleBatch(batch, m_font).appendTo(m_output);
        }
    }

    bool waitForText(const QString& text, int timeoutMs = 10000)
    {
        return waitUntil(
            [&] {
                render();
                return m_output.string().contains(text);
            },
            timeoutMs);
    }

    bool m_connected = false;
    bool m_disconnected = false;
    QString m_failure;
    int m_telnetCommands = 0;
    CVAttributedString m_output;

private:
    ANSIDataProcessor m_decoder;
    MUDStringColoring m_coloring;
    QFont m_font;
    QMutex m_mutex;
    QList<ANSIDataProcessorResults> m_batches;
};

class TinyMuxTransport : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!TinyMuxServer::isInstalled())
            GTEST_FAIL() << "the tinymux package is required (scripts/install-deps.sh installs it)";
        QString error;
        ASSERT_TRUE(m_server.start(&error)) << error.toStdString();
        auto connection = std::make_shared<MUDConnection>();
        connection->setHost("127.0.0.1");
        connection->setPort(m_server.port());
        m_receiver = std::make_shared<DecodingReceiver>();
        m_socket = std::make_shared<MUDSocket>(connection);
        m_socket->setDelegate(m_receiver);
    }

    void TearDown() override
    {
        if (m_socket) {
            m_socket->disconnect();
            waitUntil([&] { return m_receiver->m_disconnected; }, 5000);
        }
        m_server.stop();
    }

    TinyMuxServer m_server;
    std::shared_ptr<DecodingReceiver> m_receiver;
    std::shared_ptr<MUDSocket> m_socket;
};

QColor foregroundOf(const CVAttributedString& output, const QString& text)
{
    const qsizetype at = output.string().lastIndexOf(text);
    if (at < 0)
        return {};
    return output.attributesAtIndex(at).foreground().color();
}

}

TEST_F(TinyMuxTransport, LogsInAndReceivesColouredGameOutput)
{
    m_socket->connect();
    ASSERT_TRUE(waitUntil([&] { return m_receiver->m_connected || !m_receiver->m_failure.isEmpty(); }));
    ASSERT_TRUE(m_receiver->m_connected) << m_receiver->m_failure.toStdString();

    ASSERT_TRUE(m_receiver->waitForText("Welcome to TinyMUX"));
    EXPECT_GE(m_receiver->m_telnetCommands, 8) << "the banner's negotiation arrives as telnet chunks";
    EXPECT_FALSE(m_receiver->m_output.string().contains(QChar(0xFFFD))) << "no telnet byte leaks into the text";
    EXPECT_FALSE(m_receiver->m_output.string().contains('\r'));

    m_socket->sendText(QString("connect %1 %2").arg(TinyMuxServer::WizardName, TinyMuxServer::WizardPassword));
    m_socket->sendText("look");
    ASSERT_TRUE(m_receiver->waitForText("Limbo(#0R)"));

    m_socket->sendText("@set me=ANSI");
    m_socket->sendText("think [ansi(r,Alarm bells)] and [ansi(hg,bright moss)]");
    ASSERT_TRUE(m_receiver->waitForText("bright moss"));
    EXPECT_EQ(foregroundOf(m_receiver->m_output, "Alarm bells"), QColor("#911c0e"));
    EXPECT_EQ(foregroundOf(m_receiver->m_output, "bright moss"), QColor(Qt::green));
    EXPECT_FALSE(m_receiver->m_output.string().contains("[31m")) << "escape sequences never show as text";

    m_socket->sendText("say hello");
    ASSERT_TRUE(m_receiver->waitForText("You say, \"hello\""));
}

TEST_F(TinyMuxTransport, QuitIsReportedAsOneDisconnect)
{
    m_socket->connect();
    ASSERT_TRUE(m_receiver->waitForText("Welcome to TinyMUX"));
    m_socket->sendText("QUIT");
    ASSERT_TRUE(waitUntil([&] { return m_receiver->m_disconnected; }, 10000))
        << m_receiver->m_output.string().right(300).toStdString();
    EXPECT_TRUE(MUDSocket::allConnectedSockets().isEmpty());
}
