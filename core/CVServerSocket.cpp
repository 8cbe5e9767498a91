#include "core/CVServerSocket.h"

#include <QMutexLocker>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/CVSocket.h"

namespace {
QString errnoText(int error)
{
    char buffer[256];
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

// The machine has no IPv6 loopback: listening on 127.0.0.1 alone is enough.
bool isMissingIPv6(int error)
{
    return error == EAFNOSUPPORT || error == EADDRNOTAVAIL || error == EPROTONOSUPPORT;
}
}

CVServerSocket::CVServerSocket()
    : m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

CVServerSocket::~CVServerSocket()
{
    close();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool CVServerSocket::bindAndListen(quint16 port, int backlog)
{
    close();
    if (port == 0) {
        setError(QStringLiteral("Invalid port 0"));
        return false;
    }
    int error = 0;
    const int ipv4 = listenOn(AF_INET, port, backlog, &error);
    if (ipv4 < 0) {
        setError(QStringLiteral("Cannot listen on 127.0.0.1 port %1: %2").arg(port).arg(errnoText(error)));
        return false;
    }
    const int ipv6 = listenOn(AF_INET6, port, backlog, &error);
    if (ipv6 < 0 && !isMissingIPv6(error)) {
        ::close(ipv4);
        setError(QStringLiteral("Cannot listen on ::1 port %1: %2").arg(port).arg(errnoText(error)));
        return false;
    }
    m_fds[0] = ipv4;
    m_fds[1] = ipv6;
    m_port = port;
    return true;
}

int CVServerSocket::listenOn(int family, quint16 port, int backlog, int* error)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    // Lets a restarted server take its port back while old connections linger
    // in TIME_WAIT; Linux still refuses a port that another socket listens on.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    int result = -1;
    if (family == AF_INET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } else {
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(port);
        address.sin6_addr = in6addr_loopback;
        result = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    if (result == 0)
        result = ::listen(fd, backlog);
    if (result != 0) {
        *error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

std::unique_ptr<CVSocket> CVServerSocket::acceptNextConnection(int maxWaitMs)
{
    if (!isListening())
        return nullptr;
    pollfd waiting[3] = {{m_wakeFd, POLLIN, 0}, {m_fds[0], POLLIN, 0}, {m_fds[1], POLLIN, 0}};
    const nfds_t count = m_fds[1] >= 0 ? 3 : 2;
    const int ready = poll(waiting, count, maxWaitMs);
    if (ready < 0)
        setError(errnoText(errno));
    if (ready <= 0 || (waiting[0].revents & POLLIN))
        return nullptr;
    for (nfds_t index = 1; index < count; ++index) {
        if (!(waiting[index].revents & POLLIN))
            continue;
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        const int fd =
            ::accept4(waiting[index].fd, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // The viewer may have given up between poll and accept.
            setError(errnoText(errno));
            continue;
        }
        // Frames are written whole; a viewer's reply must not wait for an ACK.
        const int noDelay = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        quint16 peerPort = 0;
        const QString peerAddress = CVSocket::numericAddress(&peer, peerLength, &peerPort);
        auto socket = std::make_unique<CVSocket>();
        socket->adoptConnected(fd, peerAddress, peerPort);
        return socket;
    }
    return nullptr;
}

void CVServerSocket::wake()
{
    if (m_wakeFd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

void CVServerSocket::close()
{
    for (int& fd : m_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    m_port = 0;
}

void CVServerSocket::setError(const QString& text)
{
    QMutexLocker lock(&m_errorMutex);
    m_lastErrorText = text;
}

QString CVServerSocket::lastErrorText() const
{
    QMutexLocker lock(&m_errorMutex);
    return m_lastErrorText;
}
