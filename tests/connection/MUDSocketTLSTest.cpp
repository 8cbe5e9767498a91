#include "engine/connection/MUDSocket.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include "LoopbackServer.h"
#include "RecordingSocketDelegate.h"
#include "TestSupport.h"
#include "TrustedTLSFront.h"
#include "engine/connection/MUDCertificatePin.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {
using Trust = MUDSocketSecurity::Trust;

// TLS servers with certificates of every kind in front of the loopback game
// server; the client trusts the test authority only. Connections are stored,
// so a pin has a folder to live in.
class MUDSocketTLSTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_storage.isValid());
        qputenv("QUARROW_DATA_DIR", m_storage.path().toLocal8Bit());
        ASSERT_TRUE(m_authority.isValid());
        ASSERT_TRUE(m_server.isListening());
    }

    void TearDown() override
    {
        for (const auto& socket : MUDSocket::allConnectedSockets())
            socket->disconnect();
        EXPECT_TRUE(waitUntil([] { return MUDSocket::allConnectedSockets().isEmpty(); }));
        spinEventLoop(20);
        EXPECT_EQ(m_calls.offMainThread, 0);
    }

    TLSTestServer& serve(const TestCertificate& certificate, TLSTestServer::Options options = {})
    {
        options.certificate = certificate;
        options.backendPort = m_server.port();
        m_tls = std::make_unique<TLSTestServer>(options);
        EXPECT_TRUE(m_tls->isListening());
        return *m_tls;
    }

    TestCertificate localhostCertificate() const
    {
        return m_authority.issue({QStringLiteral("localhost"), QStringLiteral("127.0.0.1")});
    }

    std::shared_ptr<MUDConnection> storedConnection(const QString& host = QStringLiteral("127.0.0.1"))
    {
        MUDConnection draft;
        auto copy = std::make_shared<MUDConnection>();
        copy->setTitle(QStringLiteral("Secure Game"));
        copy->setConnectionId(QStringLiteral("SECURE-ID"));
        copy->setHost(host);
        copy->setPort(m_tls->port());
        copy->setSecure(true);
        draft.setModifiedInstance(copy);
        EXPECT_TRUE(MUDPreservation::saveConnection(draft));
        auto stored = MUDPreservation::loadConnectionById(QStringLiteral("SECURE-ID"));
        EXPECT_TRUE(stored);
        return stored ? stored : copy;
    }

    std::shared_ptr<MUDSocket> start(const std::shared_ptr<MUDConnection>& connection, int handshakeWaitMs = 5000)
    {
        auto socket = std::make_shared<MUDSocket>(connection);
        socket->setHandshakeWaitMs(handshakeWaitMs);
        m_delegate = std::make_shared<RecordingSocketDelegate>(m_calls);
        socket->setDelegate(m_delegate);
        socket->connect();
        return socket;
    }

    bool waitForOutcome(int timeoutMs = 5000)
    {
        return waitUntil([&] { return m_calls.connected + m_calls.failed > 0; }, timeoutMs);
    }

    QString failureMessage() const
    {
        QMutexLocker lock(&m_calls.mutex);
        return m_calls.failureMessage;
    }

    QTemporaryDir m_storage;
    TestCertificateAuthority m_authority;
    ScopedTrustedCertificates m_trust{m_authority.certificateFile()};
    LoopbackServer m_server;
    std::unique_ptr<TLSTestServer> m_tls;
    SocketCalls m_calls;
    std::shared_ptr<RecordingSocketDelegate> m_delegate;
    LogRecorder m_log;
};
}

// Telnet commands and a UTF-8 text whose characters are cut across TLS
// records (each record read on its own) reach the delegate byte for byte;
// a line goes the other way. The host name travels as SNI.
TEST_F(MUDSocketTLSTest, AVerifiedConnectionCarriesBytesBothWaysUnchanged)
{
    TLSTestServer& tls = serve(localhostCertificate());
    auto socket = start(storedConnection(QStringLiteral("localhost")));
    ASSERT_TRUE(waitUntil([&] { return m_calls.connected == 1 && tls.handshakeCount() == 1; }));
    EXPECT_EQ(tls.serverName(), "localhost");
    const MUDSocketSecurity security = socket->security();
    EXPECT_EQ(security.trust, Trust::Verified);
    EXPECT_TRUE(security.statusText().startsWith("Secure connection (TLS 1."));
    EXPECT_TRUE(security.statusText().endsWith(", certificate verified)"));
    EXPECT_EQ(security.statusText(),
              QStringLiteral("Secure connection (%1, certificate verified)").arg(security.protocolVersion));

    const QList<QByteArray> records = {QByteArrayLiteral("\xff\xfb\x01\xff\xfd\x18"
                                                         "Caf\xc3"),
                                       QByteArrayLiteral("\xa9 \xe2\x82"), QByteArrayLiteral("\xac\xff\xf9\r\n")};
    QByteArray expected;
    for (const QByteArray& record : records) {
        expected += record;
        tls.sendRecord(record);
        ASSERT_TRUE(waitUntil([&] { return m_calls.receivedData().size() == expected.size(); }));
    }
    EXPECT_EQ(m_calls.receivedData(), expected);

    socket->sendText(QStringLiteral("say caf\u00e9 \u20ac"));
    ASSERT_TRUE(waitUntil([&] { return !m_server.receivedLines().isEmpty(); }));
    EXPECT_EQ(m_server.receivedTexts(), QList<QByteArray>{"say caf\xc3\xa9 \xe2\x82\xac"});
    EXPECT_TRUE(
        m_log.contains(QStringLiteral("MUDSocket - %1 to localhost:%2").arg(security.statusText()).arg(tls.port())));
}

// Each certificate that does not verify is refused before a byte of the
// game reaches the session, with its reason in the failure message (ending
// in ".") and in the log; the certificate is kept for the player to judge.
TEST_F(MUDSocketTLSTest, CertificatesThatDoNotVerifyAreRefusedWithTheirReason)
{
    struct Row {
        const char* name;
        TestCertificate certificate;
        const char* reason;
    };
    const Row rows[] = {
        {"expired", m_authority.issue({"localhost", "127.0.0.1"}, -30 * TestCertificateAuthority::Day, -60),
         "(certificate expired)."},
        {"not yet valid", m_authority.issue({"localhost", "127.0.0.1"}, TestCertificateAuthority::Day),
         "(certificate not yet valid)."},
        {"another host", m_authority.issue({"other.example"}), "(host name does not match)."},
        {"self-signed", TestCertificateAuthority::selfSigned({"localhost", "127.0.0.1"}),
         "(unknown issuer: the certificate is self-signed)."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_calls.failed = 0;
        m_log.clear();
        serve(row.certificate);
        const int accepted = m_server.acceptedCount();
        auto socket = start(storedConnection());
        // The game's banner is on its way as soon as TCP is up.
        ASSERT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted; }));
        m_server.send("Welcome, this must never be seen\r\n");
        ASSERT_TRUE(waitForOutcome());
        spinEventLoop(100);
        EXPECT_EQ(m_calls.connected, 0);
        EXPECT_EQ(m_calls.failed, 1);
        EXPECT_EQ(failureMessage(), QStringLiteral("The server's certificate is not trusted ") + row.reason);
        EXPECT_TRUE(m_calls.receivedData().isEmpty());
        EXPECT_EQ(m_log.count("Failed to connect"), 1);
        EXPECT_TRUE(m_log.lines().join('\n').contains(QString(row.reason).chopped(1)));
        const MUDSocketSecurity security = socket->security();
        EXPECT_EQ(security.trust, Trust::NotTrusted);
        EXPECT_TRUE(security.needsPlayersTrust());
        EXPECT_EQ(security.certificate.sha256, row.certificate.sha256);
        EXPECT_FALSE(socket->isConnected());
        EXPECT_FALSE(MUDSocket::allConnectedSockets().contains(socket));
    }
}

TEST_F(MUDSocketTLSTest, APinnedCertificateConnectsSilentlyAndAnotherOneIsRefusedNamingBoth)
{
    const TestCertificate pinned = TestCertificateAuthority::selfSigned({"localhost"});
    serve(pinned);
    auto connection = storedConnection();
    ASSERT_TRUE(MUDCertificatePin::pinFingerprint(*connection, pinned.sha256));
    auto socket = start(connection);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(m_calls.connected, 1);
    EXPECT_EQ(socket->security().trust, Trust::Pinned);
    EXPECT_TRUE(socket->security().statusText().endsWith(", pinned certificate)"));
    socket->disconnect();
    ASSERT_TRUE(waitUntil([&] { return m_calls.disconnected == 1; }));

    // The server now presents another certificate, one that even verifies.
    const TestCertificate replacement = localhostCertificate();
    serve(replacement);
    connection->setPort(m_tls->port());
    m_calls.connected = 0;
    auto second = start(connection);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(m_calls.connected, 0);
    EXPECT_EQ(second->security().trust, Trust::PinMismatch);
    EXPECT_EQ(failureMessage(), QStringLiteral("The server's certificate has changed: the pinned certificate has the "
                                               "SHA-256 fingerprint %1, the server now presents %2.")
                                    .arg(CVTLSCertificate::fingerprintText(pinned.sha256),
                                         CVTLSCertificate::fingerprintText(replacement.sha256)));
}

TEST_F(MUDSocketTLSTest, AStalledHandshakeEndsAtItsOwnLimit)
{
    TLSTestServer::Options options;
    options.stallHandshake = true;
    serve(localhostCertificate(), options);
    QElapsedTimer clock;
    clock.start();
    auto socket = start(storedConnection(), 400);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(m_tls->acceptedCount(), 1) << "the TCP connect itself succeeded";
    EXPECT_EQ(failureMessage(), "TLS handshake timed out after 0.4 s.");
    EXPECT_EQ(socket->security().trust, Trust::Plain);
    EXPECT_FALSE(socket->security().needsPlayersTrust());
}

// A session closed during a long handshake must not leave its worker
// waiting out the whole limit.
TEST_F(MUDSocketTLSTest, ADisconnectEndsAWaitingHandshakeAtOnce)
{
    TLSTestServer::Options options;
    options.stallHandshake = true;
    serve(localhostCertificate(), options);
    auto socket = start(storedConnection(), MUDSocket::DefaultHandshakeWaitMs);
    ASSERT_TRUE(waitUntil([&] { return m_tls->acceptedCount() == 1; }));
    QElapsedTimer clock;
    clock.start();
    socket->disconnect();
    ASSERT_TRUE(waitForOutcome(2000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(failureMessage(), "TLS handshake cancelled.");
}

TEST_F(MUDSocketTLSTest, HandshakeFailuresSayWhy)
{
    TLSTestServer::Options oldServer;
    oldServer.maximumVersion = TLS1_1_VERSION;
    serve(localhostCertificate(), oldServer);
    start(storedConnection());
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(m_calls.connected, 0);
    EXPECT_EQ(failureMessage(), "TLS protocol version too old (the server offers less than TLS 1.2).");
    EXPECT_EQ(m_log.count("Failed to connect"), 1);

    // A plain game server on a connection marked secure: its banner is no handshake.
    m_calls.failed = 0;
    auto plain = std::make_shared<MUDConnection>();
    plain->setHost(QStringLiteral("127.0.0.1"));
    plain->setPort(m_server.port());
    plain->setSecure(true);
    const int accepted = m_server.acceptedCount();
    start(plain);
    ASSERT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted; }));
    m_server.send("Welcome to a plain game!\r\n");
    ASSERT_TRUE(waitForOutcome());
    EXPECT_TRUE(failureMessage().startsWith("TLS handshake failed (")) << failureMessage().toStdString();
    EXPECT_TRUE(failureMessage().endsWith(").")) << failureMessage().toStdString();
}
