#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

class CVTLSSession;

// A client TCP connection over POSIX sockets: connect with a time-out, reads
// and sends that give up after an idle limit, a close that never blocks, and
// a wake-up that makes a waiting read return early. After startTLS the same
// reads and sends carry their bytes through TLS instead.
//
// Threads: one owner thread connects, reads, sends and closes. isConnected(),
// wake() and the error accessors may be called from any thread.
class CVSocket {
    friend class CVServerSocket;

public:
    // Turns a host name and port into the addresses to try, in order of
    // preference, each the raw bytes of a socket address (sockaddr_in or
    // sockaddr_in6). An empty list fails the connect with `reason`.
    using Resolver = std::function<QList<QByteArray>(const QString& host, quint64 port, QString* reason)>;

    CVSocket();
    ~CVSocket();
    CVSocket(const CVSocket&) = delete;
    CVSocket& operator=(const CVSocket&) = delete;

    // Resolves `host` (IPv4 or IPv6) and tries its addresses until one
    // connects, families alternating; each address has `maxWaitMs` of its
    // own (the name lookup aside), and when one has not answered within
    // 250 ms the next is started beside it, so an address that drops
    // packets does not use up the others' time.
    // On failure, connectFailReasons() says why. Only one connect per object.
    // Names under the reserved ".invalid" top-level domain (RFC 6761) fail at
    // once without asking the resolver.
    bool connect(const QString& host, quint64 port, int maxWaitMs);
    // Replaces the system's name lookup for this socket's connect.
    void setResolver(Resolver resolver) { m_resolver = std::move(resolver); }
    // The system's name lookup (getaddrinfo).
    static QList<QByteArray> systemResolve(const QString& host, quint64 port, QString* reason);

    // The numeric address and port of the other end: the one connected to or
    // accepted from. After a failed connect, the first address the name
    // resolved to (empty when it did not resolve) and port 0. Owner thread.
    QString peerAddress() const { return m_peerAddress; }
    quint16 peerPort() const { return m_peerPort; }
    // The numeric address of this end and, in `port`, its port; empty and 0
    // when not connected. Owner thread.
    QString localAddress(quint16* port) const;

    // Has the kernel probe an idle connection (TCP keep-alive): the first
    // probe after `idleSeconds` without traffic, then every
    // `intervalSeconds`; after `count` unanswered probes the connection
    // counts as broken. Nothing reaches the peer's application. False when
    // not connected or the system refuses. Owner thread.
    bool setKeepAlive(int idleSeconds, int intervalSeconds, int count);

    // Speaks TLS over the connection from now on: shakes hands as the
    // client of `hostName` within `maxWaitMs`, or until `cancelled` says so
    // (see CVTLSSession). False, with the connection closed and
    // lastErrorText() saying why, when the handshake fails. Owner thread.
    bool startTLS(const QString& hostName, int maxWaitMs, const std::function<bool()>& cancelled = {});
    // The TLS session once startTLS succeeded, until close(); null for a
    // plain connection. Owner thread.
    const CVTLSSession* tlsSession() const { return m_tls.get(); }

    void setMaxReadIdleMs(int ms) { m_maxReadIdleMs = ms; }
    void setMaxSendIdleMs(int ms) { m_maxSendIdleMs = ms; }

    // What arrived, waiting up to the read idle limit; empty when nothing came,
    // when a wake-up is pending or when the peer closed (isConnected() then
    // false). Data that is ready is returned even while a wake-up is pending.
    QByteArray receiveBytes();

    // Sends all of `bytes`; false when the send stalled past the send idle
    // limit or the connection broke. An empty send succeeds while connected.
    bool sendBytes(const QByteArray& bytes);
    bool sendString(const QString& text) { return sendBytes(text.toUtf8()); }

    // False before connecting and once closed or broken.
    bool isConnected() const { return m_connected.load(); }

    // Closes without waiting for unsent data to drain; never blocks.
    void close();

    // Makes the current and every later receiveBytes() return at once until
    // clearWake(); the owner clears it when it has taken what it was woken for.
    // Any thread.
    void wake();
    void clearWake();
    // Pauses up to `ms`, or less when a wake-up is or becomes pending.
    void waitForWake(int ms);

    // The last failure as one line of text, and the reasons a connect failed
    // (for example "Connection refused", "Name or service not known").
    QString lastErrorText() const;
    QStringList connectFailReasons() const;

private:
    // Takes over a connected descriptor from an accepting server socket.
    void adoptConnected(int fd, const QString& peerAddress, quint16 peerPort);
    // The numeric form of a socket address, and its port when `port` is given.
    static QString numericAddress(const void* address, unsigned addressLength, quint16* port = nullptr);
    // Races connects to `addresses`; the index of the one that connected
    // (its descriptor then in m_fd), or -1 with the reasons why not.
    qsizetype connectFirstOf(const QList<QByteArray>& addresses, int maxWaitMs, QStringList* reasons);
    void setError(const QString& text);
    // The reads and sends of a TLS connection.
    QByteArray receiveTLS();
    bool sendTLS(const QByteArray& bytes);
    bool writeTLS(const QByteArray& bytes);

    Resolver m_resolver = systemResolve;
    int m_fd = -1;
    int m_wakeFd = -1;
    int m_maxReadIdleMs = 100;
    int m_maxSendIdleMs = 100;
    std::atomic<bool> m_connected{false};
    QString m_peerAddress;
    quint16 m_peerPort = 0;
    std::unique_ptr<CVTLSSession> m_tls;
    // The rest of a TLS send that stalled: TLS must be given the same bytes
    // again before anything new.
    QByteArray m_tlsUnsent;

    mutable QMutex m_errorMutex;
    QString m_lastErrorText;
    QStringList m_connectFailReasons;
};
