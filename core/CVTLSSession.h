#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

#include "core/CVTLSCertificate.h"

struct ssl_st;
struct ssl_ctx_st;

// The client side of TLS (OpenSSL) over a connected, non-blocking socket
// descriptor that the caller keeps owning: a handshake with a time limit,
// then reads and writes that never block. TLS 1.2 at least, SNI, host-name
// verification against the system's trust store (or the file tests name).
// A certificate that does not verify does not stop the handshake: it
// completes, and the caller decides on verification() whether to go on, so
// an untrusted certificate can still be shown to the player and pinned.
//
// Threads: one owner thread (the socket's) does everything; the trusted
// certificates file is process-wide and may be set from any thread.
class CVTLSSession {
public:
    enum class Verification { Verified, Expired, NotYetValid, HostNameMismatch, UnknownIssuer, Other };
    // WouldBlock: poll the descriptor for wantsRead() ? reading : writing, then call again.
    enum class IOStatus { Done, WouldBlock, Closed, Failed };

    explicit CVTLSSession(int fd);
    ~CVTLSSession();
    CVTLSSession(const CVTLSSession&) = delete;
    CVTLSSession& operator=(const CVTLSSession&) = delete;

    // A PEM file of certificates to trust instead of the system's store
    // (tests trust their own authority this way); empty for the system's.
    static void setTrustedCertificatesFile(const QString& path);
    static QString trustedCertificatesFile();

    // Shakes hands as the client of `hostName` (a name or a numeric address),
    // giving up after `maxWaitMs` or as soon as `cancelled` says so (asked
    // at least every 100 ms). False with failureText() saying why.
    bool handshake(const QString& hostName, int maxWaitMs, const std::function<bool()>& cancelled = {});
    // Why the handshake failed, in words for the player: "TLS handshake
    // failed (...)", "TLS protocol version too old", "TLS handshake timed out".
    QString failureText() const { return m_failureText; }

    // After a handshake: the negotiated version ("TLS 1.3"), how the
    // server's certificate fared, in words ("certificate expired", "host name
    // does not match", "unknown issuer", ...), and the certificate itself.
    QString protocolVersion() const;
    Verification verification() const;
    QString verificationText() const;
    CVTLSCertificate peerCertificate() const;

    // Data already decrypted and waiting inside the session: a read returns
    // it without the descriptor becoming readable.
    bool hasPendingData() const;
    // Part of a record has arrived and the rest is still on its way.
    bool hasPartialRecord() const;
    // Up to `size` bytes into `buffer`; Done sets `count` (at least 1).
    IOStatus read(char* buffer, qsizetype size, qsizetype* count);
    // Writes part or all of `data`; Done sets `count`. After WouldBlock the
    // next write must be given the same bytes again.
    IOStatus write(const char* data, qsizetype size, qsizetype* count);
    bool wantsRead() const { return m_wantsRead; }
    // Says goodbye (close_notify) when the session is still sound; never blocks.
    void shutdown();
    // The last read or write failure, or how the peer closed.
    QString errorText() const { return m_errorText; }

private:
    IOStatus statusAfter(int result);
    // Why a handshake step failed, from OpenSSL's error queue.
    void setHandshakeFailure(int error);

    const int m_fd;
    ssl_ctx_st* m_context = nullptr;
    ssl_st* m_ssl = nullptr;
    bool m_wantsRead = true;
    bool m_broken = false;
    bool m_established = false;
    QString m_failureText;
    QString m_errorText;
};
