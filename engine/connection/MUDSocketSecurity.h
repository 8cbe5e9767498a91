#pragma once

#include <QByteArray>
#include <QString>

#include "core/CVTLSCertificate.h"

// How a socket's connection is secured, as its TLS handshake left it, and
// the rule that decides whether a server's certificate is accepted: one
// that verifies against the trust store, or the one the player pinned for
// the connection. A pin is strict: another certificate is refused even when
// it verifies, until the player trusts it. Plain value; any thread.
struct MUDSocketSecurity {
    enum class Trust {
        Plain, // no TLS asked for (or the handshake never finished)
        Verified, // the certificate verified
        Pinned, // the certificate did not verify but is the pinned one
        NotTrusted, // the certificate did not verify and none is pinned
        PinMismatch, // a certificate other than the pinned one
    };

    Trust trust = Trust::Plain;
    // As negotiated, "TLS 1.3".
    QString protocolVersion;
    // Why the certificate did not verify ("certificate expired", "unknown issuer", ...).
    QString problem;
    CVTLSCertificate certificate;
    // The pin the certificate was held against (empty when none).
    QByteArray pinnedSHA256;

    static MUDSocketSecurity judge(const QString& protocolVersion, bool verified, const QString& problem,
                                   const CVTLSCertificate& certificate, const QByteArray& pinnedSHA256);

    bool isSecure() const { return trust == Trust::Verified || trust == Trust::Pinned; }
    // The player may choose to trust the certificate (and so pin it).
    bool needsPlayersTrust() const
    {
        return (trust == Trust::NotTrusted || trust == Trust::PinMismatch) && !certificate.isNull();
    }
    // "Secure connection (TLS 1.3, certificate verified)" or "(..., pinned
    // certificate)" when secure; empty otherwise.
    QString statusText() const;
    // Why the connection was refused, for the failure line (without the final ".").
    QString refusalText() const;
};
