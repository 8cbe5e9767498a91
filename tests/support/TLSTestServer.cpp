#include "TLSTestServer.h"

#include <QMutexLocker>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace {
constexpr int kPollMs = 10;
constexpr qsizetype kChunkBytes = 64 * 1024;
// One TLS record holds at most this much.
constexpr qsizetype kRecordBytes = 16 * 1024;

sockaddr_in loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Sends what the socket takes now; false when the peer is gone.
bool sendSome(int fd, QByteArray& bytes)
{
    const ssize_t count = ::send(fd, bytes.constData(), bytes.size(), MSG_NOSIGNAL);
    if (count > 0)
        bytes.remove(0, count);
    return count >= 0 || errno == EAGAIN || errno == EINTR;
}
}

TLSTestServer::TLSTestServer(const Options& options)
    : m_options(options)
{
    m_context = SSL_CTX_new(TLS_server_method());
    if (!m_context || !options.certificate.installOn(m_context)) {
        SSL_CTX_free(m_context);
        m_context = nullptr;
        return;
    }
    if (options.maximumVersion != 0) {
        // Old versions need the old ciphers and signatures that the default security level refuses.
        SSL_CTX_set_security_level(m_context, 0);
        SSL_CTX_set_cipher_list(m_context, "DEFAULT:@SECLEVEL=0");
        SSL_CTX_set_min_proto_version(m_context, 0);
        SSL_CTX_set_max_proto_version(m_context, options.maximumVersion);
    }
    if (pipe2(m_wakePipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            close(fd);
        return;
    }
    m_listenFd = fd;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

TLSTestServer::~TLSTestServer()
{
    m_stopping = true;
    wakeServer();
    if (m_thread.joinable())
        m_thread.join();
    closeClient(false);
    if (m_listenFd >= 0)
        close(m_listenFd);
    for (int fd : m_wakePipe) {
        if (fd >= 0)
            close(fd);
    }
    SSL_CTX_free(m_context);
}

int TLSTestServer::acceptedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_acceptedCount;
}

int TLSTestServer::handshakeCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_handshakeCount;
}

QString TLSTestServer::serverName() const
{
    QMutexLocker lock(&m_mutex);
    return m_serverName;
}

void TLSTestServer::sendRecord(const QByteArray& bytes)
{
    {
        QMutexLocker lock(&m_mutex);
        m_records.append(QByteArray(bytes.constData(), bytes.size()));
    }
    wakeServer();
}

void TLSTestServer::run()
{
    while (!m_stopping) {
        const bool relaying = m_backendFd >= 0;
        pollfd fds[4] = {{m_wakePipe[0], POLLIN, 0}, {m_listenFd, POLLIN, 0}, {m_clientFd, 0, 0}, {m_backendFd, 0, 0}};
        if (m_clientFd >= 0) {
            fds[2].events = short((m_plainToBackend.size() < RelayBufferBytes ? POLLIN : 0) |
                                  (m_cipherToClient.isEmpty() ? 0 : POLLOUT));
        }
        if (relaying) {
            fds[3].events = short((m_plainToClient.size() < RelayBufferBytes ? POLLIN : 0) |
                                  (m_plainToBackend.isEmpty() ? 0 : POLLOUT));
        }
        if (poll(fds, relaying ? 4 : 3, kPollMs) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (read(m_wakePipe[0], drain, sizeof drain) > 0) { }
        }
        if (fds[1].revents & POLLIN)
            acceptClient();
        else if (m_clientFd >= 0)
            serveClient(fds[2].revents, relaying ? fds[3].revents : 0);
    }
}

void TLSTestServer::acceptClient()
{
    const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return;
    closeClient(false);
    m_clientFd = fd;
    const int noDelay = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    m_ssl = SSL_new(m_context);
    // Memory BIOs: this thread moves the bytes itself, with MSG_NOSIGNAL.
    BIO* incoming = BIO_new(BIO_s_mem());
    BIO_set_mem_eof_return(incoming, -1);
    SSL_set_bio(m_ssl, incoming, BIO_new(BIO_s_mem()));
    SSL_set_accept_state(m_ssl);
    if (m_options.backendPort != 0) {
        const int backend = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = loopback(m_options.backendPort);
        if (backend >= 0 && ::connect(backend, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            fcntl(backend, F_SETFL, fcntl(backend, F_GETFL) | O_NONBLOCK);
            m_backendFd = backend;
        } else if (backend >= 0) {
            close(backend);
        }
    }
    QMutexLocker lock(&m_mutex);
    ++m_acceptedCount;
    m_serverName.clear();
    m_records.clear();
}

void TLSTestServer::closeClient(bool sayGoodbye)
{
    if (m_ssl && sayGoodbye && m_handshakeDone) {
        SSL_shutdown(m_ssl);
        encryptPending();
        flushToClient();
    }
    SSL_free(m_ssl);
    m_ssl = nullptr;
    m_handshakeDone = false;
    for (int* fd : {&m_clientFd, &m_backendFd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    m_plainToClient.clear();
    m_cipherToClient.clear();
    m_plainToBackend.clear();
}

void TLSTestServer::serveClient(short clientEvents, short backendEvents)
{
    if (clientEvents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[kChunkBytes];
        const ssize_t count = recv(m_clientFd, buffer, sizeof buffer, 0);
        if (count == 0 || (count < 0 && errno != EAGAIN && errno != EINTR)) {
            closeClient(false);
            return;
        }
        // A stalled server takes the bytes and never looks at them.
        if (count > 0 && !m_options.stallHandshake)
            BIO_write(SSL_get_rbio(m_ssl), buffer, int(count));
    }
    if (m_options.stallHandshake)
        return;
    if (!m_handshakeDone)
        shakeHands();
    if (m_handshakeDone)
        readClient();
    if (!m_ssl)
        return;
    if (backendEvents & (POLLIN | POLLHUP | POLLERR))
        readBackend();
    if (m_clientFd < 0)
        return;
    encryptPending();
    flushToClient();
    if (backendEvents & POLLOUT)
        flushToBackend();
}

void TLSTestServer::shakeHands()
{
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    encryptPending();
    if (result == 1) {
        m_handshakeDone = true;
        const char* name = SSL_get_servername(m_ssl, TLSEXT_NAMETYPE_host_name);
        QMutexLocker lock(&m_mutex);
        ++m_handshakeCount;
        m_serverName = name ? QString::fromUtf8(name) : QString();
        return;
    }
    const int error = SSL_get_error(m_ssl, result);
    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
        // Let the client read the alert before the connection goes.
        flushToClient();
        closeClient(false);
    }
}

void TLSTestServer::readClient()
{
    char buffer[kChunkBytes];
    for (;;) {
        size_t count = 0;
        ERR_clear_error();
        if (SSL_read_ex(m_ssl, buffer, sizeof buffer, &count) == 1) {
            m_plainToBackend.append(buffer, qsizetype(count));
            continue;
        }
        const int error = SSL_get_error(m_ssl, 0);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
            break;
        closeClient(error == SSL_ERROR_ZERO_RETURN);
        return;
    }
    if (m_backendFd < 0)
        m_plainToBackend.clear();
    else
        flushToBackend();
}

void TLSTestServer::readBackend()
{
    char buffer[kChunkBytes];
    const ssize_t count = recv(m_backendFd, buffer, sizeof buffer, 0);
    if (count > 0) {
        m_plainToClient.append(buffer, count);
        return;
    }
    if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
        // The game server is gone: so is this one, without a goodbye.
        flushToClient();
        closeClient(false);
    }
}

void TLSTestServer::encryptPending()
{
    if (!m_ssl)
        return;
    if (m_handshakeDone) {
        QList<QByteArray> records;
        {
            QMutexLocker lock(&m_mutex);
            records.swap(m_records);
        }
        for (const QByteArray& record : std::as_const(records)) {
            size_t written = 0;
            SSL_write_ex(m_ssl, record.constData(), size_t(record.size()), &written);
        }
        // Memory BIOs never refuse a write: the relay's own limit holds the backend back instead.
        while (!m_plainToClient.isEmpty() && m_cipherToClient.size() < RelayBufferBytes) {
            size_t written = 0;
            const qsizetype size = qMin(m_plainToClient.size(), kRecordBytes);
            if (SSL_write_ex(m_ssl, m_plainToClient.constData(), size_t(size), &written) != 1)
                break;
            m_plainToClient.remove(0, qsizetype(written));
        }
    }
    BIO* outgoing = SSL_get_wbio(m_ssl);
    char buffer[kChunkBytes];
    int count = 0;
    while ((count = BIO_read(outgoing, buffer, sizeof buffer)) > 0)
        m_cipherToClient.append(buffer, count);
}

void TLSTestServer::flushToClient()
{
    if (m_clientFd >= 0 && !m_cipherToClient.isEmpty() && !sendSome(m_clientFd, m_cipherToClient))
        m_cipherToClient.clear();
}

void TLSTestServer::flushToBackend()
{
    if (m_backendFd >= 0 && !m_plainToBackend.isEmpty() && !sendSome(m_backendFd, m_plainToBackend))
        m_plainToBackend.clear();
}

void TLSTestServer::wakeServer()
{
    if (m_wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = write(m_wakePipe[1], &byte, 1);
    }
}
