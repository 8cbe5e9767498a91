#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>
#include <atomic>
#include <thread>

#include "TestCertificates.h"

struct ssl_st;
struct ssl_ctx_st;

// A TLS server on 127.0.0.1 (OpenSSL, in this process) for tests and
// benchmarks. In front of a plain backend (usually a LoopbackServer) it
// terminates TLS and relays the bytes both ways, so everything the backend
// can do (send, flood, collect lines, drop the client) happens over TLS;
// when the backend drops its client this server drops its own without a
// TLS close_notify, as a crashing game server would. It can also send
// single TLS records, refuse to go past the TCP accept (a stalled
// handshake) or speak only an old protocol version. A new client replaces
// the previous one.
//
// Threads: one server thread does all socket and TLS work; the public
// operations may be called from any thread (state guarded by m_mutex).
// Bounded: the relay buffers at most RelayBufferBytes each way and stops
// reading a side while the other is behind.
class TLSTestServer {
public:
    static constexpr qsizetype RelayBufferBytes = 256 * 1024;

    struct Options {
        TestCertificate certificate;
        // A plain server on 127.0.0.1 to relay to; 0 for none.
        quint16 backendPort = 0;
        // The highest protocol version offered (an OpenSSL version constant); 0 for the library's.
        int maximumVersion = 0;
        // Accept connections but never answer the handshake.
        bool stallHandshake = false;
    };

    explicit TLSTestServer(const Options& options);
    ~TLSTestServer();
    TLSTestServer(const TLSTestServer&) = delete;
    TLSTestServer& operator=(const TLSTestServer&) = delete;

    bool isListening() const { return m_listenFd >= 0 && m_context; }
    quint16 port() const { return m_port; }

    int acceptedCount() const;
    int handshakeCount() const;
    // The host name the latest client asked for (SNI); empty when none.
    QString serverName() const;
    // Sends `bytes` as one TLS record of its own to the latest client.
    void sendRecord(const QByteArray& bytes);

private:
    void run();
    void acceptClient();
    void closeClient(bool sayGoodbye);
    void serveClient(short clientEvents, short backendEvents);
    void shakeHands();
    void readClient();
    void readBackend();
    void encryptPending();
    void flushToClient();
    void flushToBackend();
    void wakeServer();

    ssl_ctx_st* m_context = nullptr;
    const Options m_options;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;

    // Server thread only.
    int m_clientFd = -1;
    int m_backendFd = -1;
    ssl_st* m_ssl = nullptr;
    bool m_handshakeDone = false;
    // Plain bytes from the backend waiting to be encrypted, encrypted bytes
    // waiting for the client's socket, and plain bytes for the backend.
    QByteArray m_plainToClient;
    QByteArray m_cipherToClient;
    QByteArray m_plainToBackend;

    mutable QMutex m_mutex;
    int m_acceptedCount = 0;
    int m_handshakeCount = 0;
    QString m_serverName;
    QList<QByteArray> m_records;
};
