#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <atomic>

// A client TCP connection over POSIX sockets: connect with a time-out, reads
// and sends that give up after an idle limit, a close that never blocks, and
// a wake-up that makes a waiting read return early.
//
// Threads: one owner thread connects, reads, sends and closes. isConnected(),
// wake() and the error accessors may be called from any thread.
class CVSocket {
    friend class CVServerSocket;

public:
    CVSocket();
    ~CVSocket();
    CVSocket(const CVSocket&) = delete;
    CVSocket& operator=(const CVSocket&) = delete;

    // Resolves `host` (IPv4 or IPv6) and tries each address until one
    // connects; `maxWaitMs` bounds the connecting (not the name lookup).
    // On failure, connectFailReasons() says why. Only one connect per object.
    // Names under the reserved ".invalid" top-level domain (RFC 6761) fail at
    // once without asking the resolver.
    bool connect(const QString& host, quint64 port, int maxWaitMs);

    // The numeric address and port of the other end: the one connected to or
    // accepted from. After a failed connect, the first address the name
    // resolved to (empty when it did not resolve) and port 0. Owner thread.
    QString peerAddress() const { return m_peerAddress; }
    quint16 peerPort() const { return m_peerPort; }

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
    bool connectAddress(const void* address, unsigned addressLength, int family, int maxWaitMs, QString* reason);
    void setError(const QString& text);

    int m_fd = -1;
    int m_wakeFd = -1;
    int m_maxReadIdleMs = 100;
    int m_maxSendIdleMs = 100;
    std::atomic<bool> m_connected{false};
    QString m_peerAddress;
    quint16 m_peerPort = 0;

    mutable QMutex m_errorMutex;
    QString m_lastErrorText;
    QStringList m_connectFailReasons;
};
