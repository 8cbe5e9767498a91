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
#include <vector>

#include "core/CVTLSSession.h"

namespace {
// One read hands over at most this much, so a flooding server cannot make a
// single call grow without bound.
constexpr qsizetype kMaxReadBytes = 256 * 1024;
constexpr qsizetype kReadChunkBytes = 64 * 1024;
// After this long without an answer the next address is tried too, while
// the earlier attempt goes on (RFC 8305's connection attempt delay).
constexpr int kNextAttemptDelayMs = 250;
// A name that resolves to more addresses is tried on its first ones only.
constexpr qsizetype kMaximumAddresses = 16;
// How long a read waits for the rest of a TLS record whose first bytes came.
constexpr int kRecordCompletionWaitMs = 100;

QString errnoText(int error)
{
    char buffer[256];
    // GNU strerror_r: returns a pointer that may or may not be `buffer`.
    return QString::fromLocal8Bit(strerror_r(error, buffer, sizeof buffer));
}

int familyOf(const QByteArray& address)
{
    return reinterpret_cast<const sockaddr*>(address.constData())->sa_family;
}

// Alternates address families, beginning with the family of the preferred
// (first) address, so a family that is broken as a whole (IPv6 without a
// route, say) holds up the other one by a single step at most (RFC 8305).
// Addresses too short to be one are left out, and a long list is cut.
QList<QByteArray> interleavedByFamily(const QList<QByteArray>& addresses)
{
    QList<QByteArray> preferred;
    QList<QByteArray> others;
    for (const QByteArray& address : addresses) {
        if (address.size() < qsizetype(sizeof(sockaddr_in)))
            continue;
        (preferred.isEmpty() || familyOf(address) == familyOf(preferred.first()) ? preferred : others).append(address);
    }
    QList<QByteArray> interleaved;
    for (qsizetype i = 0; i < qMax(preferred.size(), others.size()); ++i) {
        if (i < preferred.size())
            interleaved.append(preferred[i]);
        if (i < others.size())
            interleaved.append(others[i]);
    }
    return interleaved.mid(0, kMaximumAddresses);
}

// Starts a non-blocking connect to `address`: the descriptor, or -1 with
// `error` set when it failed at once; `connectedAtOnce` when it needs no wait.
int startConnect(const QByteArray& address, int* error, bool* connectedAtOnce)
{
    const int fd = ::socket(familyOf(address), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(address.constData()), socklen_t(address.size())) == 0) {
        *connectedAtOnce = true;
        return fd;
    }
    *error = errno;
    if (*error == EINPROGRESS)
        return fd;
    ::close(fd);
    return -1;
}

// The outcome of a connect that poll() reported finished: 0 when connected.
int pendingError(int fd)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
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
    if (name.endsWith(QLatin1String(".invalid"), Qt::CaseInsensitive) ||
        name.compare(QLatin1String("invalid"), Qt::CaseInsensitive) == 0)
        return fail({QString::fromLocal8Bit(gai_strerror(EAI_NONAME))});

    QString lookupFailure;
    const QList<QByteArray> addresses = interleavedByFamily(m_resolver(name, port, &lookupFailure));
    if (addresses.isEmpty())
        return fail({lookupFailure.isEmpty() ? QStringLiteral("No usable address") : lookupFailure});
    m_peerAddress = numericAddress(addresses.first().constData(), addresses.first().size());
    QStringList reasons;
    const qsizetype winner = connectFirstOf(addresses, maxWaitMs, &reasons);
    if (winner < 0)
        return fail(reasons);
    m_peerAddress = numericAddress(addresses[winner].constData(), addresses[winner].size(), &m_peerPort);
    m_connected = true;
    return true;
}

QList<QByteArray> CVSocket::systemResolve(const QString& host, quint64 port, QString* reason)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.toUtf8().constData(), QByteArray::number(port).constData(), &hints, &found);
    if (lookup != 0) {
        *reason = lookup == EAI_SYSTEM ? errnoText(errno) : QString::fromLocal8Bit(gai_strerror(lookup));
        return {};
    }
    QList<QByteArray> addresses;
    for (addrinfo* address = found; address; address = address->ai_next)
        addresses.append(QByteArray(reinterpret_cast<const char*>(address->ai_addr), address->ai_addrlen));
    freeaddrinfo(found);
    return addresses;
}

void CVSocket::adoptConnected(int fd, const QString& peerAddress, quint16 peerPort)
{
    close();
    m_fd = fd;
    m_peerAddress = peerAddress;
    m_peerPort = peerPort;
    m_connected = fd >= 0;
}

QString CVSocket::localAddress(quint16* port) const
{
    *port = 0;
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return {};
    return numericAddress(&local, length, port);
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

qsizetype CVSocket::connectFirstOf(const QList<QByteArray>& addresses, int maxWaitMs, QStringList* reasons)
{
    struct Attempt {
        int fd;
        qsizetype index;
        QDeadlineTimer deadline;
    };
    std::vector<Attempt> attempts;
    qsizetype next = 0;
    QDeadlineTimer nextStart(0);
    qsizetype winner = -1;
    auto failed = [&](int error) {
        const QString reason = errnoText(error);
        if (!reasons->contains(reason))
            reasons->append(reason);
        // A failure frees the way for the next address at once.
        nextStart = QDeadlineTimer(0);
    };

    // Every round starts an attempt or waits for one to end; each attempt
    // ends by its own limit, so the loop does too.
    while (winner < 0 && (next < addresses.size() || !attempts.empty())) {
        if (next < addresses.size() && (attempts.empty() || nextStart.hasExpired())) {
            int error = 0;
            bool connectedAtOnce = false;
            const int fd = startConnect(addresses[next], &error, &connectedAtOnce);
            if (fd < 0) {
                failed(error);
            } else if (connectedAtOnce) {
                winner = next;
                m_fd = fd;
            } else {
                attempts.push_back({fd, next, QDeadlineTimer(maxWaitMs)});
                nextStart = QDeadlineTimer(kNextAttemptDelayMs);
            }
            ++next;
            continue;
        }

        qint64 waitMs = next < addresses.size() ? nextStart.remainingTime() : maxWaitMs;
        std::vector<pollfd> polled;
        for (const Attempt& attempt : attempts) {
            waitMs = qMin(waitMs, attempt.deadline.remainingTime());
            polled.push_back({attempt.fd, POLLOUT, 0});
        }
        const int ready = poll(polled.data(), polled.size(), int(qMax<qint64>(0, waitMs)));
        for (qsizetype i = qsizetype(attempts.size()) - 1; i >= 0; --i) {
            const Attempt attempt = attempts[i];
            const bool finished = ready > 0 && polled[i].revents != 0;
            if (!finished && !attempt.deadline.hasExpired())
                continue;
            attempts.erase(attempts.begin() + i);
            const int error = finished ? pendingError(attempt.fd) : ETIMEDOUT;
            if (error == 0 && winner < 0) {
                winner = attempt.index;
                m_fd = attempt.fd;
                continue;
            }
            if (error != 0)
                failed(error);
            ::close(attempt.fd);
        }
    }
    for (const Attempt& attempt : attempts)
        ::close(attempt.fd);
    if (winner >= 0) {
        // Command lines are small and latency matters more than packet count.
        const int noDelay = 1;
        setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    }
    return winner;
}

bool CVSocket::setKeepAlive(int idleSeconds, int intervalSeconds, int count)
{
    if (m_fd < 0)
        return false;
    const int on = 1;
    const bool set = setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
                     setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds) == 0 &&
                     setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof intervalSeconds) == 0 &&
                     setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) == 0;
    if (!set)
        setError(errnoText(errno));
    return set;
}

bool CVSocket::startTLS(const QString& hostName, int maxWaitMs, const std::function<bool()>& cancelled)
{
    if (m_fd < 0 || !m_connected || m_tls) {
        setError(QStringLiteral("TLS needs a plain connection to start on"));
        return false;
    }
    auto session = std::make_unique<CVTLSSession>(m_fd);
    if (!session->handshake(hostName, maxWaitMs, cancelled)) {
        setError(session->failureText());
        close();
        return false;
    }
    m_tls = std::move(session);
    return true;
}

QByteArray CVSocket::receiveBytes()
{
    if (m_fd < 0)
        return {};
    // What TLS already decrypted is delivered without waiting: the socket
    // may never become readable again for it.
    if (!m_tls || !m_tls->hasPendingData()) {
        pollfd waiting[2] = {{m_fd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        const int ready = poll(waiting, m_wakeFd >= 0 ? 2 : 1, m_maxReadIdleMs);
        if (ready <= 0)
            return {};
        if (!(waiting[0].revents & (POLLIN | POLLHUP | POLLERR)))
            return {};
    }
    if (m_tls)
        return receiveTLS();

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

QByteArray CVSocket::receiveTLS()
{
    QByteArray received;
    // Bytes of a record that has begun to arrive are data that came: the
    // read waits for the rest, as a plain read would have returned them.
    QDeadlineTimer recordWait(qMin(m_maxReadIdleMs, kRecordCompletionWaitMs));
    while (received.size() < kMaxReadBytes) {
        const qsizetype offset = received.size();
        received.resize(offset + kReadChunkBytes);
        qsizetype count = 0;
        const CVTLSSession::IOStatus status = m_tls->read(received.data() + offset, kReadChunkBytes, &count);
        received.resize(offset + count);
        if (status == CVTLSSession::IOStatus::Done)
            continue;
        if (status == CVTLSSession::IOStatus::WouldBlock) {
            pollfd waiting{m_fd, POLLIN, 0};
            if (received.isEmpty() && m_tls->wantsRead() && m_tls->hasPartialRecord() && !recordWait.hasExpired() &&
                poll(&waiting, 1, int(recordWait.remainingTime())) > 0)
                continue;
            break;
        }
        setError(m_tls->errorText());
        close();
        break;
    }
    return received;
}

bool CVSocket::sendTLS(const QByteArray& bytes)
{
    if (!m_tlsUnsent.isEmpty() && !writeTLS(QByteArray(m_tlsUnsent)))
        return false;
    return writeTLS(bytes);
}

bool CVSocket::writeTLS(const QByteArray& bytes)
{
    m_tlsUnsent.clear();
    qsizetype sent = 0;
    // The idle limit counts from the last progress, as for a plain send.
    QDeadlineTimer idle(m_maxSendIdleMs);
    while (sent < bytes.size()) {
        qsizetype count = 0;
        const CVTLSSession::IOStatus status = m_tls->write(bytes.constData() + sent, bytes.size() - sent, &count);
        if (status == CVTLSSession::IOStatus::Done) {
            sent += count;
            idle.setRemainingTime(m_maxSendIdleMs);
            continue;
        }
        if (status == CVTLSSession::IOStatus::WouldBlock) {
            pollfd waiting{m_fd, short(m_tls->wantsRead() ? POLLIN : POLLOUT), 0};
            if (!idle.hasExpired() && poll(&waiting, 1, int(idle.remainingTime())) > 0)
                continue;
            m_tlsUnsent = bytes.mid(sent);
            setError(QStringLiteral("Send idle limit of %1 ms reached").arg(m_maxSendIdleMs));
            return false;
        }
        setError(m_tls->errorText());
        close();
        return false;
    }
    return true;
}

bool CVSocket::sendBytes(const QByteArray& bytes)
{
    if (m_fd < 0 || !m_connected)
        return false;
    if (m_tls)
        return bytes.isEmpty() || sendTLS(bytes);
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
    if (m_tls) {
        m_tls->shutdown();
        m_tls.reset();
    }
    m_tlsUnsent.clear();
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
