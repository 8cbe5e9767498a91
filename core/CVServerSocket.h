#pragma once

#include <QMutex>
#include <QString>
#include <memory>

class CVSocket;

// A listening TCP socket on the loopback interfaces only (127.0.0.1 and,
// where the machine has IPv6, ::1), so nothing outside this machine can
// reach it. Accepted connections come back as connected CVSockets.
//
// Threads: one owner thread binds, accepts and closes; wake() and
// lastErrorText() may be called from any thread.
class CVServerSocket {
public:
    CVServerSocket();
    ~CVServerSocket();
    CVServerSocket(const CVServerSocket&) = delete;
    CVServerSocket& operator=(const CVServerSocket&) = delete;

    // Listens on `port` of both loopback addresses. Fails, listening on
    // neither, when 127.0.0.1 cannot be bound or ::1 is taken by another
    // program; a machine without IPv6 listens on 127.0.0.1 alone. May be
    // called again with another port after a failure.
    bool bindAndListen(quint16 port, int backlog);
    bool isListening() const { return m_fds[0] >= 0; }
    quint16 port() const { return m_port; }

    // Waits up to `maxWaitMs` for a viewer; none when the wait ran out, failed
    // or a wake-up is pending. The socket is non-blocking, as CVSocket needs.
    std::unique_ptr<CVSocket> acceptNextConnection(int maxWaitMs);

    // Makes the current and every later accept wait return at once. Any thread.
    void wake();
    // Stops listening and releases the port. Owner thread.
    void close();

    QString lastErrorText() const;

private:
    int listenOn(int family, quint16 port, int backlog, int* error);
    void setError(const QString& text);

    // IPv4 and IPv6 listening descriptors; -1 when not in use.
    int m_fds[2] = {-1, -1};
    int m_wakeFd = -1;
    quint16 m_port = 0;

    mutable QMutex m_errorMutex;
    QString m_lastErrorText;
};
