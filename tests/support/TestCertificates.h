#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

struct ssl_ctx_st;

// A certificate and its private key in PEM, with the SHA-256 fingerprint of
// the certificate's DER form (what a client pins).
struct TestCertificate {
    QByteArray certificatePem;
    QByteArray keyPem;
    QByteArray sha256;
    QString subject;

    // Makes a server context present this certificate; false when it cannot.
    bool installOn(ssl_ctx_st* context) const;
};

// Certificates made at run time with OpenSSL for TLS tests and benchmarks:
// a test certificate authority (its certificate written to a PEM file that
// a client can be told to trust) and server certificates it signs, plus
// self-signed ones. Keys are P-256, quick to make. Any single thread.
class TestCertificateAuthority {
public:
    static constexpr qint64 Day = 24 * 60 * 60;

    TestCertificateAuthority();
    ~TestCertificateAuthority();
    TestCertificateAuthority(const TestCertificateAuthority&) = delete;
    TestCertificateAuthority& operator=(const TestCertificateAuthority&) = delete;

    bool isValid() const { return !m_authority.certificatePem.isEmpty() && !m_file.isEmpty(); }
    // The authority's certificate as a PEM file (a trust store of one).
    QString certificateFile() const { return m_file; }

    // A server certificate for `names` (host names or numeric addresses,
    // the first also the common name), valid from `validFrom` to
    // `validUntil` seconds from now.
    TestCertificate issue(const QStringList& names, qint64 validFrom = -Day, qint64 validUntil = 30 * Day) const;
    // A certificate signed by its own key.
    static TestCertificate selfSigned(const QStringList& names, qint64 validFrom = -Day, qint64 validUntil = 30 * Day);

private:
    QTemporaryDir m_dir;
    QString m_file;
    TestCertificate m_authority;
};
