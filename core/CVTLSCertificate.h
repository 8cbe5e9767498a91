#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What a player needs to judge a server's certificate: who it names, who
// signed it, when it is valid and its SHA-256 fingerprint (over the DER
// encoding, the form pins are compared in). A plain value; any thread.
struct CVTLSCertificate {
    QString subject;
    QString issuer;
    QDateTime notBefore;
    QDateTime notAfter;
    QByteArray sha256;

    bool isNull() const { return sha256.isEmpty(); }
    // Upper-case hex byte pairs joined by ":", the way certificate viewers show them.
    static QString fingerprintText(const QByteArray& sha256)
    {
        return QString::fromLatin1(sha256.toHex(':').toUpper());
    }
    QString fingerprintText() const { return fingerprintText(sha256); }
};
