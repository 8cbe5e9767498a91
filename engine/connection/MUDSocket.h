#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

#include "engine/connection/MUDSocketSecurity.h"

class CVSocket;
class MUDConnection;
class MUDSocketDelegate;
class MUDTextEncoding;

// Carries one session's bytes to and from the game server of a MUDConnection:
// a worker connects (and, for a secure connection, shakes hands in TLS and
// judges the server's certificate), then runs the connection loop that
// reads, sends queued lines and keeps the line alive, reporting to a weakly
// held delegate. Above the socket TLS changes nothing: the loop and the
// delegate see the same bytes either way.
// Serves exactly one connect attempt; sessions make a new one per connect.
//
// Threads: connect(), sendText(), disconnect() and isConnected() from the main
// thread (or any thread); one worker thread per socket connects and then runs
// the loop, holding the socket alive until the loop ends. The send queue,
// the disconnect request, the library socket pointer, the delegate and the
// text encoding are guarded by m_mutex, and so is the security found in the
// handshake; the
// registry by its own lock. Must be owned by a
// std::shared_ptr (the worker keeps a reference).
class MUDSocket : public std::enable_shared_from_this<MUDSocket> {
public:
    static constexpr double DefaultKeepAliveInterval = 20.0;
    static constexpr int DefaultReadWaitMs = 100;
    static constexpr int DefaultPauseAfterSendMs = 10;
    static constexpr int DefaultHandshakeWaitMs = 10000;

    explicit MUDSocket(std::shared_ptr<MUDConnection> connection);
    ~MUDSocket();
    MUDSocket(const MUDSocket&) = delete;
    MUDSocket& operator=(const MUDSocket&) = delete;

    std::shared_ptr<MUDConnection> connection() const { return m_connection; }

    // Starts the connect attempt on a worker and returns at once; a second
    // call only logs.
    void connect();
    bool isConnected() const;
    // Queues one line (a final "\n" is added when missing) and wakes the loop.
    // Always succeeds.
    bool sendText(const QString& text);
    // Queues raw bytes (telnet negotiation) in order with the lines, as they
    // are, and wakes the loop.
    void sendBytes(const QByteArray& bytes);
    // The encoding typed lines go out in (an IANA name): the connection's
    // from the start, UTF-8 once the server agreed to it. Any thread.
    void setTextEncoding(const QString& encoding);
    // Asks the loop to close the connection; returns at once.
    void disconnect();

    // Sockets that connected and whose loop has not ended. Any thread.
    static QList<std::shared_ptr<MUDSocket>> allConnectedSockets();

    std::shared_ptr<MUDSocketDelegate> delegate() const;
    void setDelegate(std::weak_ptr<MUDSocketDelegate> delegate);

    // Seconds since 1970 of the last send pass or keep-alive; 0 before any.
    double lastSendTimeInterval() const { return m_lastSendTimeInterval.load(); }
    // Seconds of silence after which an empty keep-alive send is made.
    void setKeepAliveInterval(double seconds) { m_keepAliveInterval = seconds; }
    // How long a pass's read waits for data, and how long the loop pauses
    // after sending; a queued line ends either wait. Tests stretch them to
    // show that no line waits for them. Set before connect().
    void setReadWaitMs(int ms) { m_readWaitMs = ms; }
    void setPauseAfterSendMs(int ms) { m_pauseAfterSendMs = ms; }
    // How long a TLS handshake may take, on top of the TCP connect's own
    // limit. Set before connect().
    void setHandshakeWaitMs(int ms) { m_handshakeWaitMs = ms; }

    // How the connection is secured: set before MUDSocketHasConnected or,
    // when the certificate was refused, before MUDSocketConnectionFailed.
    MUDSocketSecurity security() const;

    // The failure text for the delegate: the reasons joined by " ", trimmed,
    // ending in "." (so no reason at all gives ".").
    static QString connectionFailedMessage(const QStringList& reasons);

private:
    void connectOnWorker(const QString& host, quint64 port, bool secure, const QByteArray& pinnedSHA256);
    // The TLS handshake and the certificate's judgement; false (failure
    // reported) when the connection cannot go on.
    bool secureConnection(CVSocket& socket, const QString& host, quint64 port, const QByteArray& pinnedSHA256);
    void reportConnectionFailed(const QStringList& reasons);
    void connectionLoop(const std::shared_ptr<CVSocket>& socket);
    void dataPass(CVSocket& socket);
    bool receiveAndDeliver(CVSocket& socket);
    bool wantsToDisconnect() const;
    void postToDelegate(std::function<void(MUDSocketDelegate&, MUDSocket*)> call);
    static void registerConnected(const std::shared_ptr<MUDSocket>& socket, bool connected);
    // The bytes a typed line goes out as, in the text encoding.
    QByteArray encodeText(const QString& text);
    void enqueue(QByteArray bytes, qsizetype logLength);

    const std::shared_ptr<MUDConnection> m_connection;
    std::atomic<double> m_lastSendTimeInterval{0};
    std::atomic<double> m_keepAliveInterval{DefaultKeepAliveInterval};
    std::atomic<int> m_readWaitMs{DefaultReadWaitMs};
    std::atomic<int> m_pauseAfterSendMs{DefaultPauseAfterSendMs};
    std::atomic<int> m_handshakeWaitMs{DefaultHandshakeWaitMs};
    std::atomic<bool> m_isConnecting{false};

    mutable QMutex m_mutex;
    // What waits to be sent, already encoded, with the length the failure
    // log gives for it (a line's length in UTF-16 code units).
    struct Queued {
        QByteArray bytes;
        qsizetype logLength;
    };
    QList<Queued> m_sendDataQueue;
    bool m_wantsToDisconnect = false;
    // None for UTF-8.
    std::unique_ptr<MUDTextEncoding> m_textEncoding;
    std::shared_ptr<CVSocket> m_socket;
    std::weak_ptr<MUDSocketDelegate> m_delegate;
    MUDSocketSecurity m_security;
};
