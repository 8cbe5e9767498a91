#pragma once

#include <QString>

#include "TLSTestServer.h"
#include "TestCertificates.h"
#include "core/CVTLSSession.h"

// Makes every TLS client of this process trust the certificates of `file`,
// and no others, while it lives.
class ScopedTrustedCertificates {
public:
    explicit ScopedTrustedCertificates(const QString& file) { CVTLSSession::setTrustedCertificatesFile(file); }
    ~ScopedTrustedCertificates() { CVTLSSession::setTrustedCertificatesFile({}); }
    ScopedTrustedCertificates(const ScopedTrustedCertificates&) = delete;
    ScopedTrustedCertificates& operator=(const ScopedTrustedCertificates&) = delete;
};

// A TLS server for "localhost" and 127.0.0.1 in front of a plain server on
// `backendPort`, its certificate signed by a test authority that clients
// trust while this lives: the plain server's tests run unchanged over TLS.
struct TrustedTLSFront {
    explicit TrustedTLSFront(quint16 backendPort)
        : server({authority.issue({QStringLiteral("localhost"), QStringLiteral("127.0.0.1")}), backendPort})
    {
    }

    TestCertificateAuthority authority;
    ScopedTrustedCertificates trust{authority.certificateFile()};
    TLSTestServer server;
};
