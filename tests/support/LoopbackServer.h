#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

// A scriptable TCP server on 127.0.0.1 with an ephemeral port, for tests and
// benchmarks that drive a client against a real socket. It accepts clients,
// sends what the test gives it (or floods), collects the lines it receives
// with their arrival time, and can drop the connection. A newly accepted
// client replaces the previous one (which is closed).
//
// Threads: one server thread does all socket work; the test calls the public
// operations from any thread (state guarded by m_mutex). Bounded: it keeps at
// most MaxReceivedBytes of received data and stops on destruction.
class LoopbackServer {
public:
    using Clock = std::chrono::steady_clock;
    struct ReceivedLine {
        QByteArray text; // without its "\n"
        Clock::time_point arrival;
    };
    static constexpr qsizetype MaxReceivedBytes = 16 * 1024 * 1024;

    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool isListening() const { return m_listenFd >= 0; }
    quint16 port() const { return m_port; }

    // Clients accepted so far; operations below act on the latest one.
    int acceptedCount() const;
    bool hasClient() const;
    // True once the latest client closed its side.
    bool clientClosed() const;

    void send(const QByteArray& bytes);
    // Sends without pause (repeating a 64 KiB block of text lines) until stopFlood().
    void startFlood();
    void stopFlood();
    qint64 floodBytesSent() const;
    // Closes the connection to the latest client from the server side.
    void dropClient();

    QList<ReceivedLine> receivedLines() const;
    QList<QByteArray> receivedTexts() const;
    // Every byte received from the latest clients, as it came.
    QByteArray receivedBytes() const;
    qint64 receivedByteCount() const;
    void clearReceived();
    // Called on the server thread after each read with all bytes received
    // so far; what it returns is sent to the client.
    using Responder = std::function<QByteArray(const QByteArray& received)>;
    void setResponder(Responder responder);

private:
    void run();
    void acceptClient();
    void readClient();
    void writeClient();
    void closeClient();
    void wakeServer();

    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;

    mutable QMutex m_mutex;
    int m_clientFd = -1;
    int m_acceptedCount = 0;
    bool m_clientClosed = false;
    bool m_flooding = false;
    qint64 m_floodBytesSent = 0;
    // Where the next send resumes inside the flood block: a block is always
    // finished, so the stream holds whole lines and escape sequences.
    qsizetype m_floodOffset = 0;
    QByteArray m_outgoing;
    QByteArray m_partialLine;
    QByteArray m_receivedBytes;
    Responder m_responder;
    QList<ReceivedLine> m_lines;
    qint64 m_receivedByteCount = 0;
};
