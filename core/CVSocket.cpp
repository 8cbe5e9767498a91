#include "core/CVSocket.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// One read hands over at most this much, so a flooding server cannot make a
// single call grow without bound.
constexpr qsizetype kMaxReadBytes = 256 * 1024;
constexpr qsizetype kReadChunkBytes = 64 * 1024;

QString errnoText(int error)
{
    char buffer[256];
    // GNU strerror_r: returns a pointer that may or may not be `buffer`.
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

int remainingMs(const QDeadlineTimer& deadline)
{
    return static_cast<int>(qMax<qint64>(0, deadline.remainingTime()));
}
}

CVSocket::CVSocket()
    : m_wakeFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

CVSocket::~CVSocket()
{
    close();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

bool CVSocket::connect(const QString& host, quint64 port, int maxWaitMs)
{
    {
        QMutexLocker lock(&m_errorMutex);
        m_connectFailReasons.clear();
    }
    auto fail = [this](const QStringList& reasons) {
        QMutexLocker lock(&m_errorMutex);
        m_connectFailReasons = reasons;
        m_lastErrorText = QStringLiteral("Connect failed: ") + reasons.join(QStringLiteral("; "));
        return false;
    };
    if (m_fd >= 0 || m_connected)
        return fail({QStringLiteral("Already connected")});
    if (host.trimmed().isEmpty())
        return fail({QStringLiteral("No host name given")});
    if (port == 0 || port > 65535)
        return fail({QStringLiteral("Invalid port %1").arg(port)});
    const QString name = host.trimmed();
    if (name.endsWith(QLatin1String(".invalid"), Qt::CaseInsensitive)
        || name.compare(QLatin1String("invalid"), Qt::CaseInsensitive) == 0)
        return fail({QString::fromLocal8Bit(gai_strerror(EAI_NONAME))});

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    const int lookup = getaddrinfo(name.toUtf8().constData(), QByteArray::number(port).constData(),
                                   &hints, &addresses);
    if (lookup != 0) {
        const QString reason = lookup == EAI_SYSTEM ? errnoText(errno) : QString::fromLocal8Bit(gai_strerror(lookup));
        return fail({reason});
    }

    // The time-out covers every address together, as one connect attempt.
    const QDeadlineTimer deadline(maxWaitMs);
    QStringList reasons;
    bool connected = false;
    if (addresses)
        m_peerAddress = numericAddress(addresses->ai_addr, addresses->ai_addrlen);
    for (addrinfo* address = addresses; address && !connected; address = address->ai_next) {
        QString reason;
        connected = connectAddress(address->ai_addr, address->ai_addrlen, address->ai_family, remainingMs(deadline),
                                   &reason);
        if (connected)
            m_peerAddress = numericAddress(address->ai_addr, address->ai_addrlen, &m_peerPort);
        else if (!reasons.contains(reason))
            reasons.append(reason);
    }
    freeaddrinfo(addresses);
    if (!connected)
        return fail(reasons);
    m_connected = true;
    return true;
}

void CVSocket::adoptConnected(int fd, const QString& peerAddress, quint16 peerPort)
{
    close();
    m_fd = fd;
    m_peerAddress = peerAddress;
    m_peerPort = peerPort;
    m_connected = fd >= 0;
}

QString CVSocket::numericAddress(const void* address, unsigned addressLength, quint16* port)
{
    char host[NI_MAXHOST] = {};
    char service[NI_MAXSERV] = {};
    if (getnameinfo(static_cast<const sockaddr*>(address), addressLength, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return {};
    if (port)
        *port = static_cast<quint16>(QByteArray(service).toUInt());
    return QString::fromLatin1(host);
}

bool CVSocket::connectAddress(const void* address, unsigned addressLength, int family, int maxWaitMs, QString* reason)
{
    const int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *reason = errnoText(errno);
        return false;
    }
    int error = 0;
    if (::connect(fd, static_cast<const sockaddr*>(address), addressLength) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd waiting{fd, POLLOUT, 0};
            const int ready = poll(&waiting, 1, maxWaitMs);
            if (ready == 0) {
                error = ETIMEDOUT;
            } else if (ready < 0) {
                error = errno;
            } else {
                socklen_t length = sizeof error;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
                    error = errno;
            }
        }
    }
    if (error != 0) {
        *reason = errnoText(error);
        ::close(fd);
        return false;
    }
    // Command lines are small and latency matters more than packet count.
    const int noDelay = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    m_fd = fd;
    return true;
}

QByteArray CVSocket::receiveBytes()
{
    if (m_fd < 0)
        return {};
    pollfd waiting[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int ready = poll(waiting, m_wakeFd >= 0 ? 2 : 1, m_maxReadIdleMs);
    if (ready <= 0)
        return {};
    if (!(waiting[0].revents & (POLLIN | POLLHUP | POLLERR)))
        return {};

    QByteArray received;
    while (received.size() < kMaxReadBytes) {
        const qsizetype offset = received.size();
        received.resize(offset + kReadChunkBytes);
        const ssize_t count = recv(m_fd, received.data() + offset, kReadChunkBytes, 0);
        received.resize(offset + qMax<ssize_t>(0, count));
        if (count > 0)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (count < 0 && errno == EINTR)
            continue;
        setError(count == 0 ? QStringLiteral("Connection closed by peer") : errnoText(errno));
        close();
        break;
    }
    return received;
}

bool CVSocket::sendBytes(const QByteArray& bytes)
{
    if (m_fd < 0 || !m_connected)
        return false;
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count = send(m_fd, bytes.constData() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count > 0) {
            sent += count;
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd waiting{m_fd, POLLOUT, 0};
            if (poll(&waiting, 1, m_maxSendIdleMs) > 0)
                continue;
            setError(QStringLiteral("Send idle limit of %1 ms reached").arg(m_maxSendIdleMs));
            return false;
        }
        setError(errnoText(errno));
        close();
        return false;
    }
    return true;
}

void CVSocket::close()
{
    m_connected = false;
    if (m_fd < 0)
        return;
    // No lingering is set, so close() returns at once and the kernel sends
    // what is still buffered on its own.
    ::close(m_fd);
    m_fd = -1;
}

void CVSocket::wake()
{
    if (m_wakeFd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wakeFd, &one, sizeof one);
}

void CVSocket::waitForWake(int ms)
{
    pollfd waiting{m_wakeFd, POLLIN, 0};
    poll(&waiting, m_wakeFd >= 0 ? 1 : 0, ms);
}

void CVSocket::clearWake()
{
    if (m_wakeFd < 0)
        return;
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &count, sizeof count);
}

void CVSocket::setError(const QString& text)
{
    QMutexLocker lock(&m_errorMutex);
    m_lastErrorText = text;
}

QString CVSocket::lastErrorText() const
{
    QMutexLocker lock(&m_errorMutex);
    return m_lastErrorText;
}

QStringList CVSocket::connectFailReasons() const
{
    QMutexLocker lock(&m_errorMutex);
    return m_connectFailReasons;
}
