#include "LoopbackServer.h"

#include <QMutexLocker>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kPollMs = 10;
constexpr qsizetype kFloodBlockBytes = 64 * 1024;

QByteArray floodBlock()
{
    // Whole lines only, so repeating the block never cuts an escape sequence.
    const QByteArray line = "\x1b[1;32mThe orc hits you.\x1b[0m You feel weaker and the room grows dark.\r\n";
    QByteArray block;
    while (block.size() + line.size() <= kFloodBlockBytes)
        block += line;
    return block;
}
}

LoopbackServer::LoopbackServer()
{
    if (pipe2(m_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return;
    }
    m_listenFd = fd;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer()
{
    m_stopping = true;
    wakeServer();
    if (m_thread.joinable())
        m_thread.join();
    closeClient();
    if (m_listenFd >= 0)
        close(m_listenFd);
    for (int fd : m_wakePipe) {
        if (fd >= 0)
            close(fd);
    }
}

int LoopbackServer::acceptedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_acceptedCount;
}

bool LoopbackServer::hasClient() const
{
    QMutexLocker lock(&m_mutex);
    return m_clientFd >= 0;
}

bool LoopbackServer::clientClosed() const
{
    QMutexLocker lock(&m_mutex);
    return m_clientClosed;
}

void LoopbackServer::send(const QByteArray& bytes)
{
    {
        QMutexLocker lock(&m_mutex);
        // A deep copy: no buffer is shared with the caller's thread.
        m_outgoing.append(bytes.constData(), bytes.size());
    }
    wakeServer();
}

void LoopbackServer::startFlood()
{
    {
        QMutexLocker lock(&m_mutex);
        m_flooding = true;
    }
    wakeServer();
}

void LoopbackServer::stopFlood()
{
    QMutexLocker lock(&m_mutex);
    m_flooding = false;
}

qint64 LoopbackServer::floodBytesSent() const
{
    QMutexLocker lock(&m_mutex);
    return m_floodBytesSent;
}

void LoopbackServer::dropClient()
{
    closeClient();
    wakeServer();
}

QList<LoopbackServer::ReceivedLine> LoopbackServer::receivedLines() const
{
    QMutexLocker lock(&m_mutex);
    // A fresh list, not a shared copy: the server thread appending later
    // would decide whether the caller still shares the lines by a relaxed
    // read of the share count, which orders nothing, and move them away.
    return QList<ReceivedLine>(m_lines.cbegin(), m_lines.cend());
}

QList<QByteArray> LoopbackServer::receivedTexts() const
{
    QList<QByteArray> texts;
    for (const ReceivedLine& line : receivedLines())
        texts.append(line.text);
    return texts;
}

QByteArray LoopbackServer::receivedBytes() const
{
    QMutexLocker lock(&m_mutex);
    return QByteArray(m_receivedBytes.constData(), m_receivedBytes.size());
}

void LoopbackServer::setResponder(Responder responder)
{
    QMutexLocker lock(&m_mutex);
    m_responder = std::move(responder);
}

qint64 LoopbackServer::receivedByteCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_receivedByteCount;
}

void LoopbackServer::clearReceived()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
    m_partialLine.clear();
    m_receivedBytes.clear();
    m_receivedByteCount = 0;
}

void LoopbackServer::run()
{
    while (!m_stopping) {
        int clientFd = -1;
        bool wantsWrite = false;
        {
            QMutexLocker lock(&m_mutex);
            clientFd = m_clientFd;
            wantsWrite = !m_outgoing.isEmpty() || m_flooding || m_floodOffset > 0;
        }
        pollfd fds[3] = {{m_wakePipe[0], POLLIN, 0}, {m_listenFd, POLLIN, 0}, {clientFd, POLLIN, 0}};
        if (wantsWrite)
            fds[2].events |= POLLOUT;
        if (poll(fds, clientFd >= 0 ? 3 : 2, kPollMs) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(m_wakePipe[0], drain, sizeof drain) > 0) { }
        }
        if (fds[1].revents & POLLIN)
            acceptClient();
        if (clientFd >= 0 && (fds[2].revents & (POLLIN | POLLHUP | POLLERR)))
            readClient();
        if (clientFd >= 0 && (fds[2].revents & POLLOUT))
            writeClient();
    }
}

void LoopbackServer::acceptClient()
{
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    closeClient();
    QMutexLocker lock(&m_mutex);
    m_clientFd = fd;
    m_clientClosed = false;
    ++m_acceptedCount;
}

void LoopbackServer::readClient()
{
    char buffer[64 * 1024];
    QMutexLocker lock(&m_mutex);
    if (m_clientFd < 0)
        return;
    const ssize_t count = recv(m_clientFd, buffer, sizeof buffer, 0);
    if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
        m_clientClosed = true;
        close(m_clientFd);
        m_clientFd = -1;
        return;
    }
    if (count < 0 || m_receivedByteCount + count > MaxReceivedBytes)
        return;
    m_receivedByteCount += count;
    m_receivedBytes.append(buffer, count);
    if (m_responder)
        m_outgoing.append(m_responder(m_receivedBytes));
    const Clock::time_point arrival = Clock::now();
    m_partialLine.append(buffer, count);
    qsizetype end;
    while ((end = m_partialLine.indexOf('\n')) >= 0) {
        m_lines.append({m_partialLine.left(end), arrival});
        m_partialLine.remove(0, end + 1);
    }
}

void LoopbackServer::writeClient()
{
    static const QByteArray block = floodBlock();
    QMutexLocker lock(&m_mutex);
    if (m_clientFd < 0)
        return;
    const bool flooding = m_floodOffset > 0 || (m_outgoing.isEmpty() && m_flooding);
    const char* data = flooding ? block.constData() + m_floodOffset : m_outgoing.constData();
    const qsizetype size = flooding ? block.size() - m_floodOffset : m_outgoing.size();
    const ssize_t count = ::send(m_clientFd, data, size, MSG_NOSIGNAL);
    if (count <= 0)
        return;
    if (flooding) {
        m_floodBytesSent += count;
        m_floodOffset = (m_floodOffset + count) % block.size();
    } else {
        m_outgoing.remove(0, count);
    }
}

void LoopbackServer::closeClient()
{
    QMutexLocker lock(&m_mutex);
    if (m_clientFd >= 0)
        close(m_clientFd);
    m_clientFd = -1;
    m_outgoing.clear();
    m_flooding = false;
    m_floodOffset = 0;
}

void LoopbackServer::wakeServer()
{
    if (m_wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakePipe[1], &byte, 1);
    }
}
