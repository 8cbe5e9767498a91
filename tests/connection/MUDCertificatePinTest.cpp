#include "engine/connection/MUDCertificatePin.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocketSecurity.h"
#include "engine/storage/MUDPreservation.h"

namespace {
const QByteArray kFirst = QByteArray(32, '\x11');
const QByteArray kSecond = QByteArray(32, '\x22');

class MUDCertificatePinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_storage.isValid());
        qputenv("QUARROW_DATA_DIR", m_storage.path().toLocal8Bit());
        MUDConnection draft;
        auto copy = std::make_shared<MUDConnection>();
        copy->setTitle(QStringLiteral("Pinned"));
        copy->setHost(QStringLiteral("127.0.0.1"));
        copy->setPort(4000);
        draft.setModifiedInstance(copy);
        ASSERT_TRUE(MUDPreservation::saveConnection(draft));
        m_connection = copy;
    }

    QTemporaryDir m_storage;
    std::shared_ptr<MUDConnection> m_connection;
};
}

TEST_F(MUDCertificatePinTest, APinLivesBesideConnectionJsonForItsOwnerOnly)
{
    EXPECT_TRUE(MUDCertificatePin::pinnedFingerprint(*m_connection).isEmpty());
    ASSERT_TRUE(MUDCertificatePin::pinFingerprint(*m_connection, kFirst));
    const QString path = MUDCertificatePin::pathForConnection(*m_connection);
    EXPECT_EQ(path, MUDPreservation::urlForConnection(*m_connection) + "/pinnedCertificate.json");
    EXPECT_EQ(QFile::permissions(path), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("11:11:11")) << "stored the way a certificate viewer shows it";
    EXPECT_EQ(MUDCertificatePin::pinnedFingerprint(*m_connection), kFirst);

    ASSERT_TRUE(MUDCertificatePin::pinFingerprint(*m_connection, kSecond));
    EXPECT_EQ(MUDCertificatePin::pinnedFingerprint(*m_connection), kSecond) << "trusting again replaces the pin";
}

// A damaged pin file never trusts anything: the player is asked again.
TEST_F(MUDCertificatePinTest, AnUnreadablePinCountsAsNoneWithALogLine)
{
    const char* contents[] = {"", "not json", R"({"sha256": "AB:CD"})", R"({"sha256": 5})"};
    for (const char* content : contents) {
        QFile file(MUDCertificatePin::pathForConnection(*m_connection));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        LogRecorder log;
        EXPECT_TRUE(MUDCertificatePin::pinnedFingerprint(*m_connection).isEmpty()) << content;
        EXPECT_EQ(log.lines().size(), 1) << content;
    }
}

TEST_F(MUDCertificatePinTest, AConnectionWithoutAFolderHasNoPinAndCannotTakeOne)
{
    MUDConnection untitled;
    LogRecorder log;
    EXPECT_TRUE(MUDCertificatePin::pinnedFingerprint(untitled).isEmpty());
    CVError error;
    EXPECT_FALSE(MUDCertificatePin::pinFingerprint(untitled, kFirst, &error));
    EXPECT_FALSE(error.description.isEmpty());
    EXPECT_TRUE(log.lines().isEmpty());
}

// Whether a connection goes on, by what verified and what was pinned. A pin
// is strict: another certificate is refused even when it verifies.
TEST(MUDSocketSecurity, JudgesByVerificationAndPin)
{
    using Trust = MUDSocketSecurity::Trust;
    CVTLSCertificate first;
    first.sha256 = kFirst;
    struct Row {
        const char* name;
        bool verified;
        QByteArray pin;
        CVTLSCertificate certificate;
        Trust trust;
        bool asksPlayer;
    };
    const Row rows[] = {
        {"verified, no pin", true, {}, first, Trust::Verified, false},
        {"verified, its own pin", true, kFirst, first, Trust::Verified, false},
        {"verified, another pin", true, kSecond, first, Trust::PinMismatch, true},
        {"unverified, no pin", false, {}, first, Trust::NotTrusted, true},
        {"unverified, its own pin", false, kFirst, first, Trust::Pinned, false},
        {"unverified, another pin", false, kSecond, first, Trust::PinMismatch, true},
        {"no certificate", false, {}, CVTLSCertificate(), Trust::NotTrusted, false},
    };
    for (const Row& row : rows) {
        const MUDSocketSecurity security =
            MUDSocketSecurity::judge("TLS 1.3", row.verified, "unknown issuer", row.certificate, row.pin);
        EXPECT_EQ(security.trust, row.trust) << row.name;
        EXPECT_EQ(security.needsPlayersTrust(), row.asksPlayer) << row.name;
        EXPECT_EQ(security.isSecure(), !security.statusText().isEmpty()) << row.name;
        EXPECT_EQ(security.isSecure(), security.refusalText().isEmpty()) << row.name;
    }
}
