#include "core/CVTLSSession.h"

#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {
// How often a waiting handshake asks whether it was cancelled.
constexpr int kCancelCheckMs = 100;

QMutex& trustMutex()
{
    static QMutex mutex;
    return mutex;
}

QString& trustFile()
{
    static QString path;
    return path;
}

int descriptorOf(BIO* bio)
{
    return int(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE on a
// connection the peer reset and would end the program; this one sends with
// MSG_NOSIGNAL, as the plain socket does.
int bioWrite(BIO* bio, const char* data, size_t size, size_t* written)
{
    BIO_clear_retry_flags(bio);
    const ssize_t count = ::send(descriptorOf(bio), data, size, MSG_NOSIGNAL);
    if (count >= 0) {
        *written = size_t(count);
        return 1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        BIO_set_retry_write(bio);
    return 0;
}

int bioRead(BIO* bio, char* data, size_t size, size_t* read)
{
    BIO_clear_retry_flags(bio);
    const ssize_t count = ::recv(descriptorOf(bio), data, size, 0);
    if (count > 0) {
        *read = size_t(count);
        return 1;
    }
    if (count == 0)
        BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
    else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        BIO_set_retry_read(bio);
    return 0;
}

long bioControl(BIO* bio, int command, long, void*)
{
    switch (command) {
    case BIO_CTRL_FLUSH: return 1;
    case BIO_CTRL_EOF: return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) ? 1 : 0;
    default: return 0;
    }
}

const BIO_METHOD* socketMethod()
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* created = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "quarrow socket");
        BIO_meth_set_write_ex(created, bioWrite);
        BIO_meth_set_read_ex(created, bioRead);
        BIO_meth_set_ctrl(created, bioControl);
        return created;
    }();
    return method;
}

QString nameText(const X509_NAME* name)
{
    BIO* memory = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(memory, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long length = BIO_get_mem_data(memory, &data);
    const QString text = QString::fromUtf8(data, length);
    BIO_free(memory);
    return text;
}

QDateTime timeValue(const ASN1_TIME* time)
{
    std::tm parts{};
    if (!time || ASN1_TIME_to_tm(time, &parts) != 1)
        return {};
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

// The reason of the first error OpenSSL queued on this thread, or 0.
int firstReason(QString* text)
{
    const unsigned long error = ERR_peek_error();
    if (error == 0)
        return 0;
    if (const char* reason = ERR_reason_error_string(error))
        *text = QString::fromLatin1(reason);
    return ERR_GET_REASON(error);
}

bool isNumericAddress(const QString& host)
{
    ASN1_OCTET_STRING* address = a2i_IPADDRESS(host.toLatin1().constData());
    ASN1_OCTET_STRING_free(address);
    return address != nullptr;
}
}

CVTLSSession::CVTLSSession(int fd)
    : m_fd(fd)
{
    m_context = SSL_CTX_new(TLS_client_method());
    if (!m_context)
        return;
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_mode(m_context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Verification runs but never stops the handshake (see the class comment).
    SSL_CTX_set_verify(m_context, SSL_VERIFY_NONE, nullptr);
    const QString trusted = trustedCertificatesFile();
    if (trusted.isEmpty())
        SSL_CTX_set_default_verify_paths(m_context);
    else
        SSL_CTX_load_verify_file(m_context, trusted.toLocal8Bit().constData());
    m_ssl = SSL_new(m_context);
    if (!m_ssl)
        return;
    BIO* bio = BIO_new(socketMethod());
    BIO_set_data(bio, reinterpret_cast<void*>(intptr_t(fd)));
    BIO_set_init(bio, 1);
    SSL_set_bio(m_ssl, bio, bio);
}

CVTLSSession::~CVTLSSession()
{
    SSL_free(m_ssl);
    SSL_CTX_free(m_context);
}

void CVTLSSession::setTrustedCertificatesFile(const QString& path)
{
    QMutexLocker lock(&trustMutex());
    trustFile() = path;
}

QString CVTLSSession::trustedCertificatesFile()
{
    QMutexLocker lock(&trustMutex());
    return trustFile();
}

bool CVTLSSession::handshake(const QString& hostName, int maxWaitMs, const std::function<bool()>& cancelled)
{
    if (!m_ssl) {
        m_failureText = QStringLiteral("TLS handshake failed (no TLS library context)");
        return false;
    }
    const QByteArray host = hostName.trimmed().toUtf8();
    if (isNumericAddress(hostName.trimmed())) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), host.constData());
    } else {
        // Server Name Indication names the host; numeric addresses are never sent (RFC 6066).
        SSL_set_tlsext_host_name(m_ssl, host.constData());
        SSL_set_hostflags(m_ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        SSL_set1_host(m_ssl, host.constData());
    }

    const QDeadlineTimer deadline(maxWaitMs);
    for (;;) {
        ERR_clear_error();
        const int result = SSL_connect(m_ssl);
        if (result == 1) {
            m_established = true;
            return true;
        }
        const int error = SSL_get_error(m_ssl, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
            setHandshakeFailure(error);
            return false;
        }
        // Wait for the socket in slices, so a cancel is seen soon.
        for (;;) {
            if (cancelled && cancelled()) {
                m_broken = true;
                m_failureText = QStringLiteral("TLS handshake cancelled");
                return false;
            }
            if (deadline.hasExpired()) {
                m_broken = true;
                m_failureText = QStringLiteral("TLS handshake timed out after %1 s").arg(maxWaitMs / 1000.0);
                return false;
            }
            pollfd waiting{m_fd, short(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
            const int slice = int(qMin<qint64>(kCancelCheckMs, deadline.remainingTime()));
            if (poll(&waiting, 1, slice) > 0)
                break;
        }
    }
}

void CVTLSSession::setHandshakeFailure(int error)
{
    m_broken = true;
    QString detail;
    const int reason = firstReason(&detail);
    switch (reason) {
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_VERSION_TOO_LOW:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
        m_failureText = QStringLiteral("TLS protocol version too old (the server offers less than TLS 1.2)");
        return;
    default: break;
    }
    if (detail.isEmpty() && (error == SSL_ERROR_SYSCALL || error == SSL_ERROR_ZERO_RETURN))
        detail = errno != 0 && error == SSL_ERROR_SYSCALL ? QString::fromLocal8Bit(std::strerror(errno))
                                                          : QStringLiteral("the server closed the connection");
    if (reason == SSL_R_UNEXPECTED_EOF_WHILE_READING)
        detail = QStringLiteral("the server closed the connection");
    m_failureText = detail.isEmpty() ? QStringLiteral("TLS handshake failed")
                                     : QStringLiteral("TLS handshake failed (%1)").arg(detail);
}

QString CVTLSSession::protocolVersion() const
{
    if (!m_established)
        return {};
    return QString::fromLatin1(SSL_get_version(m_ssl)).replace(QLatin1String("TLSv"), QLatin1String("TLS "));
}

CVTLSSession::Verification CVTLSSession::verification() const
{
    if (!m_established)
        return Verification::Other;
    switch (SSL_get_verify_result(m_ssl)) {
    case X509_V_OK:
        // No certificate at all (anonymous ciphers are off, so never expected) is no proof.
        return peerCertificate().isNull() ? Verification::Other : Verification::Verified;
    case X509_V_ERR_CERT_HAS_EXPIRED: return Verification::Expired;
    case X509_V_ERR_CERT_NOT_YET_VALID: return Verification::NotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return Verification::HostNameMismatch;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED: return Verification::UnknownIssuer;
    default: return Verification::Other;
    }
}

QString CVTLSSession::verificationText() const
{
    if (!m_established)
        return QStringLiteral("no secure connection");
    const long result = SSL_get_verify_result(m_ssl);
    switch (verification()) {
    case Verification::Verified: return QStringLiteral("certificate verified");
    case Verification::Expired: return QStringLiteral("certificate expired");
    case Verification::NotYetValid: return QStringLiteral("certificate not yet valid");
    case Verification::HostNameMismatch: return QStringLiteral("host name does not match");
    case Verification::UnknownIssuer:
        return result == X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT
                   ? QStringLiteral("unknown issuer: the certificate is self-signed")
                   : QStringLiteral("unknown issuer");
    case Verification::Other: break;
    }
    return result == X509_V_OK ? QStringLiteral("no certificate")
                               : QString::fromLatin1(X509_verify_cert_error_string(result));
}

CVTLSCertificate CVTLSSession::peerCertificate() const
{
    CVTLSCertificate certificate;
    X509* peer = m_ssl ? SSL_get0_peer_certificate(m_ssl) : nullptr;
    if (!peer)
        return certificate;
    certificate.subject = nameText(X509_get_subject_name(peer));
    certificate.issuer = nameText(X509_get_issuer_name(peer));
    certificate.notBefore = timeValue(X509_get0_notBefore(peer));
    certificate.notAfter = timeValue(X509_get0_notAfter(peer));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(peer, EVP_sha256(), digest, &length) == 1)
        certificate.sha256 = QByteArray(reinterpret_cast<const char*>(digest), int(length));
    return certificate;
}

bool CVTLSSession::hasPendingData() const
{
    // SSL_pending counts decrypted bytes only: bytes of an incomplete record
    // would make the caller read again and again without waiting.
    return m_ssl && !m_broken && SSL_pending(m_ssl) > 0;
}

bool CVTLSSession::hasPartialRecord() const
{
    return m_ssl && !m_broken && SSL_pending(m_ssl) == 0 && SSL_has_pending(m_ssl) == 1;
}

CVTLSSession::IOStatus CVTLSSession::read(char* buffer, qsizetype size, qsizetype* count)
{
    if (!m_established || m_broken)
        return IOStatus::Failed;
    size_t read = 0;
    ERR_clear_error();
    const int result = SSL_read_ex(m_ssl, buffer, size_t(size), &read);
    *count = qsizetype(read);
    return result == 1 ? IOStatus::Done : statusAfter(result);
}

CVTLSSession::IOStatus CVTLSSession::write(const char* data, qsizetype size, qsizetype* count)
{
    if (!m_established || m_broken)
        return IOStatus::Failed;
    size_t written = 0;
    ERR_clear_error();
    const int result = SSL_write_ex(m_ssl, data, size_t(size), &written);
    *count = qsizetype(written);
    return result == 1 ? IOStatus::Done : statusAfter(result);
}

CVTLSSession::IOStatus CVTLSSession::statusAfter(int result)
{
    const int error = SSL_get_error(m_ssl, result);
    switch (error) {
    case SSL_ERROR_WANT_READ: m_wantsRead = true; return IOStatus::WouldBlock;
    case SSL_ERROR_WANT_WRITE: m_wantsRead = false; return IOStatus::WouldBlock;
    case SSL_ERROR_ZERO_RETURN:
        // The peer said goodbye properly; our own close_notify may still go out.
        m_errorText = QStringLiteral("Connection closed by peer");
        return IOStatus::Closed;
    default: break;
    }
    m_broken = true;
    QString detail;
    const int reason = firstReason(&detail);
    const bool endOfFile =
        reason == SSL_R_UNEXPECTED_EOF_WHILE_READING || (error == SSL_ERROR_SYSCALL && detail.isEmpty() && errno == 0);
    if (endOfFile) {
        m_errorText = QStringLiteral("Connection closed by peer without a TLS close_notify");
        return IOStatus::Closed;
    }
    if (detail.isEmpty() && error == SSL_ERROR_SYSCALL)
        detail = QString::fromLocal8Bit(std::strerror(errno));
    m_errorText = QStringLiteral("TLS failure: %1").arg(detail.isEmpty() ? QStringLiteral("unknown") : detail);
    return IOStatus::Failed;
}

void CVTLSSession::shutdown()
{
    // After a fatal error OpenSSL forbids the goodbye; it is one record and
    // the socket is non-blocking, so it never waits.
    if (m_ssl && m_established && !m_broken) {
        ERR_clear_error();
        SSL_shutdown(m_ssl);
    }
    m_broken = true;
}
