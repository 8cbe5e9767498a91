#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "SessionFixture.h"
#include "TrustedTLSFront.h"
#include "app/session/MUDCertificateSheet.h"
#include "app/session/MUDSessionSecurity.h"
#include "app/session/MUDSessionWindow.h"
#include "app/views/MUDCommandTextView.h"
#include "engine/connection/MUDCertificatePin.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {
// Sessions and session windows on secure connections: TLS servers in this
// process in front of the loopback game server, the client trusting the
// test authority only.
class SessionTLSTest : public SessionFixture {
protected:
    void TearDown() override
    {
        delete m_window.data();
        SessionFixture::TearDown();
    }

    TLSTestServer& serve(const TestCertificate& certificate)
    {
        m_tls = std::make_unique<TLSTestServer>(TLSTestServer::Options{certificate, m_server.port()});
        EXPECT_TRUE(m_tls->isListening());
        return *m_tls;
    }

    // A stored connection marked secure that points at the TLS server.
    std::shared_ptr<MUDConnection> secureConnection(const QString& title)
    {
        const std::shared_ptr<MUDConnection> stored = storedConnection(title);
        const std::shared_ptr<MUDConnection> copy = stored->copy();
        copy->setPort(m_tls->port());
        copy->setSecure(true);
        stored->setModifiedInstance(copy);
        EXPECT_TRUE(MUDPreservation::saveConnection(*stored));
        const std::shared_ptr<MUDConnection> reloaded = MUDPreservation::loadConnectionById(stored->connectionId());
        EXPECT_TRUE(reloaded && reloaded->isSecure());
        return reloaded ? reloaded : copy;
    }

    MUDSessionWindow* openWindow(const std::shared_ptr<MUDConnection>& connection)
    {
        m_window = new MUDSessionWindow(&m_desktop);
        m_window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window));
        m_window->openConnection(connection);
        return m_window;
    }

    QString windowOutput() const
    {
        const MUDOutputModel& output = m_window->document().output();
        return output.text({0, output.length()});
    }

    bool waitForWindowOutput(const QString& text, int timeoutMs = 5000) const
    {
        return waitUntil([&] { return windowOutput().contains(text); }, timeoutMs);
    }

    MUDCertificateSheet* waitForSheet() const
    {
        EXPECT_TRUE(
            waitUntil([&] { return m_window->certificateSheet() && m_window->certificateSheet()->isVisible(); }));
        return m_window->certificateSheet();
    }

    TestCertificateAuthority m_authority;
    ScopedTrustedCertificates m_trust{m_authority.certificateFile()};
    std::unique_ptr<TLSTestServer> m_tls;
    QPointer<MUDSessionWindow> m_window;
};

QString pinnedStatus()
{
    return QStringLiteral(", pinned certificate)");
}
}

// A verified connection says so in the output and with the lock beside the
// input line; text whose characters are cut across TLS records decodes as
// one, telnet commands are consumed, and a typed line reaches the server.
TEST_F(SessionTLSTest, AVerifiedSessionShowsItsStatusAndDecodesAsOverPlainTCP)
{
    TLSTestServer& tls = serve(m_authority.issue({"localhost", "127.0.0.1"}));
    MUDSessionWindow* window = openWindow(secureConnection("Secure Game"));
    ASSERT_TRUE(waitUntil([&] { return window->document().isConnected() && tls.handshakeCount() == 1; }));
    ASSERT_TRUE(waitForWindowOutput("Connected to `Secure Game`.\r\nSecure connection (TLS 1."));
    const QString status = window->document().security().statusText();
    EXPECT_TRUE(status.startsWith("Secure connection (TLS 1.")) << status.toStdString();
    EXPECT_TRUE(status.endsWith(", certificate verified)")) << status.toStdString();
    EXPECT_TRUE(windowOutput().contains(status));
    ASSERT_TRUE(window->secureMark()->isVisible());
    EXPECT_EQ(window->secureMark()->toolTip(), status);
    EXPECT_EQ(window->secureMark()->accessibleName(), status);
    EXPECT_FALSE(window->secureMark()->pixmap().isNull());

    tls.sendRecord(QByteArrayLiteral("\xff\xfb\x19"
                                     "Caf\xc3"));
    spinEventLoop(50);
    tls.sendRecord(QByteArrayLiteral("\xa9 \xe2\x82"));
    spinEventLoop(50);
    tls.sendRecord(QByteArrayLiteral("\xac\r\n"));
    ASSERT_TRUE(waitForWindowOutput(QStringLiteral("\nCaf\u00e9 \u20ac"))) << windowOutput().toStdString();
    EXPECT_FALSE(windowOutput().contains(QChar(0xfffd)));

    QTest::keyClicks(window->commandTextView(), "look");
    QTest::keyClick(window->commandTextView(), Qt::Key_Return);
    ASSERT_TRUE(waitForServerLine("look"));

    m_server.dropClient();
    ASSERT_TRUE(waitForWindowOutput("You have been disconnected from the host server."));
    spinEventLoop(200);
    EXPECT_EQ(windowOutput().count("You have been disconnected from the host server."), 1);
    EXPECT_FALSE(window->secureMark()->isVisible());
    EXPECT_TRUE(window->document().security().statusText().isEmpty());
}

// The player is shown the self-signed certificate, trusts it with a click,
// the pin lands on disk for the owner only, and the session connects again
// at once and silently from then on.
TEST_F(SessionTLSTest, TrustingASelfSignedCertificatePinsItAndReconnects)
{
    const TestCertificate certificate = TestCertificateAuthority::selfSigned({"127.0.0.1"});
    serve(certificate);
    const std::shared_ptr<MUDConnection> connection = secureConnection("Own Certificate");
    MUDSessionWindow* window = openWindow(connection);
    ASSERT_TRUE(waitForWindowOutput("Failed to connect to host server: The server's certificate is not trusted "
                                    "(unknown issuer: the certificate is self-signed)."));
    MUDCertificateSheet* sheet = waitForSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isModal());
    EXPECT_TRUE(sheet->dimmingView()) << "the session window is dimmed under the sheet";
    const QString shown = sheet->text();
    EXPECT_TRUE(shown.contains("The server's certificate is not trusted"));
    EXPECT_TRUE(shown.contains("CN=127.0.0.1")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("O=Quarrow Tests"));
    EXPECT_TRUE(shown.contains(CVTLSCertificate::fingerprintText(certificate.sha256)));
    EXPECT_TRUE(shown.contains("Valid until:"));
    EXPECT_EQ(sheet->trustButton()->text(), "Trust This Certificate");
    EXPECT_EQ(sheet->cancelButton()->text(), "Cancel");
    EXPECT_FALSE(window->document().isConnected());

    const int handshakes = m_tls->handshakeCount();
    QTest::mouseClick(sheet->trustButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return window->document().isConnected(); }));
    ASSERT_TRUE(waitForWindowOutput(pinnedStatus()));
    EXPECT_FALSE(window->certificateSheet());
    EXPECT_GT(m_tls->handshakeCount(), handshakes);
    EXPECT_TRUE(window->secureMark()->toolTip().endsWith(pinnedStatus()));

    const QString pinPath = MUDCertificatePin::pathForConnection(*connection);
    ASSERT_TRUE(QFile::exists(pinPath));
    EXPECT_EQ(QFile::permissions(pinPath), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QFile pin(pinPath);
    ASSERT_TRUE(pin.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pin.readAll().contains(CVTLSCertificate::fingerprintText(certificate.sha256).toLatin1()));

    // Later connections with that certificate go ahead without a question.
    m_server.dropClient();
    ASSERT_TRUE(waitUntil([&] { return !window->document().isConnected(); }));
    QTest::mouseClick(window->reconnectButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return window->document().isConnected(); }));
    spinEventLoop(100);
    EXPECT_FALSE(window->certificateSheet());
    EXPECT_EQ(windowOutput().count(pinnedStatus()), 2);
}

// Another certificate on a pinned connection is refused naming both
// fingerprints; the same sheet shows both, and Cancel leaves the pin and
// the session as they are.
TEST_F(SessionTLSTest, AChangedCertificateIsRefusedNamingBothFingerprintsUntilTrusted)
{
    const TestCertificate old = TestCertificateAuthority::selfSigned({"127.0.0.1"});
    const TestCertificate replacement = TestCertificateAuthority::selfSigned({"127.0.0.1"});
    serve(replacement);
    const std::shared_ptr<MUDConnection> connection = secureConnection("Changed");
    ASSERT_TRUE(MUDCertificatePin::pinFingerprint(*connection, old.sha256));
    connection->setAutomaticallyReconnect(true);
    MUDSessionWindow* window = openWindow(connection);

    const QString oldPrint = CVTLSCertificate::fingerprintText(old.sha256);
    const QString newPrint = CVTLSCertificate::fingerprintText(replacement.sha256);
    ASSERT_TRUE(waitForWindowOutput(QStringLiteral("The server's certificate has changed: the pinned certificate "
                                                   "has the SHA-256 fingerprint %1, the server now presents %2.")
                                        .arg(oldPrint, newPrint)));
    MUDCertificateSheet* sheet = waitForSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->text().contains("The server's certificate has changed"));
    EXPECT_TRUE(sheet->text().contains(oldPrint));
    EXPECT_TRUE(sheet->text().contains(newPrint));

    QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
    spinEventLoop(300);
    EXPECT_FALSE(window->document().isConnected());
    EXPECT_EQ(MUDCertificatePin::pinnedFingerprint(*connection), old.sha256);
    EXPECT_FALSE(windowOutput().contains("Attempting to reconnect"))
        << "a refused certificate waits for the player instead of being refused again every few seconds";

    // Trusting the new certificate replaces the pin.
    QTest::mouseClick(window->reconnectButton(), Qt::LeftButton);
    sheet = waitForSheet();
    ASSERT_TRUE(sheet);
    QTest::mouseClick(sheet->trustButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return window->document().isConnected(); }));
    EXPECT_EQ(MUDCertificatePin::pinnedFingerprint(*connection), replacement.sha256);
}

// Certificates for another host or past their time are refused with their
// reason in the session's failure line.
TEST_F(SessionTLSTest, RefusedCertificatesSayWhyInTheFailureLine)
{
    struct Row {
        const char* name;
        TestCertificate certificate;
        const char* line;
    };
    const Row rows[] = {
        {"another host", m_authority.issue({"other.example"}),
         "Failed to connect to host server: The server's certificate is not trusted (host name does not match)."},
        {"expired", m_authority.issue({"127.0.0.1"}, -10 * TestCertificateAuthority::Day, -60),
         "Failed to connect to host server: The server's certificate is not trusted (certificate expired)."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        serve(row.certificate);
        m_document->setConnection(secureConnection(row.name));
        const qsizetype start = m_document->output().length();
        m_document->connectToServer();
        ASSERT_TRUE(waitUntil([&] { return outputAfter(start).contains("Failed to connect"); }));
        EXPECT_TRUE(outputAfter(start).contains(row.line)) << outputAfter(start).toStdString();
        EXPECT_FALSE(m_document->isConnected());
        EXPECT_TRUE(m_document->security().statusText().isEmpty());
    }
}
