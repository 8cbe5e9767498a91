#include "engine/connection/MUDSocketSecurity.h"

MUDSocketSecurity MUDSocketSecurity::judge(const QString& protocolVersion, bool verified, const QString& problem,
                                           const CVTLSCertificate& certificate, const QByteArray& pinnedSHA256)
{
    MUDSocketSecurity security;
    security.protocolVersion = protocolVersion;
    security.problem = verified ? QString() : problem;
    security.certificate = certificate;
    security.pinnedSHA256 = pinnedSHA256;
    if (certificate.isNull())
        security.trust = Trust::NotTrusted;
    else if (!pinnedSHA256.isEmpty() && pinnedSHA256 != certificate.sha256)
        security.trust = Trust::PinMismatch;
    else if (verified)
        security.trust = Trust::Verified;
    else
        security.trust = pinnedSHA256.isEmpty() ? Trust::NotTrusted : Trust::Pinned;
    return security;
}

QString MUDSocketSecurity::statusText() const
{
    switch (trust) {
    case Trust::Verified: return QStringLiteral("Secure connection (%1, certificate verified)").arg(protocolVersion);
    case Trust::Pinned: return QStringLiteral("Secure connection (%1, pinned certificate)").arg(protocolVersion);
    default: return {};
    }
}

QString MUDSocketSecurity::refusalText() const
{
    switch (trust) {
    case Trust::NotTrusted: return QStringLiteral("The server's certificate is not trusted (%1)").arg(problem);
    case Trust::PinMismatch:
        return QStringLiteral("The server's certificate has changed: the pinned certificate has the SHA-256 "
                              "fingerprint %1, the server now presents %2")
            .arg(CVTLSCertificate::fingerprintText(pinnedSHA256), certificate.fingerprintText());
    default: return {};
    }
}
