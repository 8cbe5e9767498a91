#include "engine/connection/MUDSocket.h"

#include <QDateTime>
#include <QMutexLocker>
#include <chrono>
#include <thread>

#include "core/CVLogHelper.h"
#include "core/CVMainThread.h"
#include "core/CVSocket.h"
#include "core/CVTLSSession.h"
#include "core/CVThreadName.h"
#include "engine/connection/MUDCertificatePin.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocketDelegate.h"
#include "engine/decoding/MUDTextEncoding.h"

namespace {
constexpr int kConnectWaitMs = 1000;
constexpr int kSendIdleMs = 100;
constexpr auto kClosePollInterval = std::chrono::milliseconds(250);
// The empty keep-alive send puts nothing on the wire; the kernel's probes
// keep the line alive instead, starting after the same 20 s of silence. A
// peer that answers none of 6 probes 10 s apart (about 80 s in all) is gone.
constexpr int kKeepAliveIdleSeconds = int(MUDSocket::DefaultKeepAliveInterval);
constexpr int kKeepAliveIntervalSeconds = 10;
constexpr int kKeepAliveProbes = 6;

double now()
{
    return QDateTime::currentMSecsSinceEpoch() / 1000.0;
}

struct Registry {
    QMutex mutex;
    QList<std::shared_ptr<MUDSocket>> sockets;
};

Registry& registry()
{
    // Never destroyed: a connection loop still closing when the program
    // exits unregisters its socket after static destruction has begun.
    static auto* instance = new Registry;
    return *instance;
}
}

MUDSocket::MUDSocket(std::shared_ptr<MUDConnection> connection)
    : m_connection(std::move(connection))
{
    if (m_connection)
        setTextEncoding(m_connection->textEncoding());
}

MUDSocket::~MUDSocket() = default;

void MUDSocket::connect()
{
    if (m_isConnecting) {
        CVLog(QStringLiteral("Is already attempting to connect. Doing nothing."));
        return;
    }
    if (isConnected()) {
        CVLog(QStringLiteral("Is already connected. Doing nothing."));
        return;
    }
    std::shared_ptr<MUDSocket> self = weak_from_this().lock();
    if (!self) {
        CVLog(QStringLiteral("MUDSocket - cannot connect a socket that no std::shared_ptr owns"));
        return;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_wantsToDisconnect = false;
    }
    m_isConnecting = true;
    // Read on this thread: the worker must not race with edits of the record.
    const QString host = m_connection ? m_connection->host() : QString();
    const quint64 port = m_connection ? m_connection->port() : 0;
    const bool secure = m_connection && m_connection->isSecure();
    const QByteArray pin = secure ? MUDCertificatePin::pinnedFingerprint(*m_connection) : QByteArray();
    std::thread([self, host, port, secure, pin] { self->connectOnWorker(host, port, secure, pin); }).detach();
}

bool MUDSocket::isConnected() const
{
    QMutexLocker lock(&m_mutex);
    return m_socket && m_socket->isConnected();
}

bool MUDSocket::sendText(const QString& text)
{
    const QString line = text.endsWith(QLatin1Char('\n')) ? text : text + QLatin1Char('\n');
    enqueue(encodeText(line), line.size());
    return true;
}

void MUDSocket::sendBytes(const QByteArray& bytes)
{
    enqueue(bytes, bytes.size());
}

void MUDSocket::setTextEncoding(const QString& encoding)
{
    std::unique_ptr<MUDTextEncoding> converter;
    if (encoding.compare(MUDTextEncoding::UTF8, Qt::CaseInsensitive) != 0) {
        converter = std::make_unique<MUDTextEncoding>(encoding);
        if (!converter->isValid()) {
            CVLog(QStringLiteral("MUDSocket - sending \"%1\" text as UTF-8").arg(encoding));
            converter.reset();
        }
    }
    QMutexLocker lock(&m_mutex);
    m_textEncoding = std::move(converter);
}

QByteArray MUDSocket::encodeText(const QString& text)
{
    QMutexLocker lock(&m_mutex);
    if (!m_textEncoding)
        return text.toUtf8();
    // A telnet server takes a lone byte 255 for IAC, so as data it goes out
    // doubled (RFC 854). The client reads the server as telnet whether it
    // negotiates options or not, and writes to it the same way.
    return m_textEncoding->fromUnicode(text).replace(char(0xff), QByteArrayView("\xff\xff", 2));
}

void MUDSocket::enqueue(QByteArray bytes, qsizetype logLength)
{
    QMutexLocker lock(&m_mutex);
    m_sendDataQueue.append({std::move(bytes), logLength});
    // A waiting read returns at once, so the bytes go out in this pass
    // unless the server is sending.
    if (m_socket)
        m_socket->wake();
}

void MUDSocket::disconnect()
{
    QMutexLocker lock(&m_mutex);
    m_wantsToDisconnect = true;
    if (m_socket)
        m_socket->wake();
}

QList<std::shared_ptr<MUDSocket>> MUDSocket::allConnectedSockets()
{
    QMutexLocker lock(&registry().mutex);
    return registry().sockets;
}

std::shared_ptr<MUDSocketDelegate> MUDSocket::delegate() const
{
    QMutexLocker lock(&m_mutex);
    return m_delegate.lock();
}

void MUDSocket::setDelegate(std::weak_ptr<MUDSocketDelegate> delegate)
{
    QMutexLocker lock(&m_mutex);
    m_delegate = std::move(delegate);
}

QString MUDSocket::connectionFailedMessage(const QStringList& reasons)
{
    QString message = reasons.join(QLatin1Char(' ')).trimmed();
    if (!message.endsWith(QLatin1Char('.')))
        message.append(QLatin1Char('.'));
    return message;
}

MUDSocketSecurity MUDSocket::security() const
{
    QMutexLocker lock(&m_mutex);
    return m_security;
}

void MUDSocket::connectOnWorker(const QString& host, quint64 port, bool secure, const QByteArray& pinnedSHA256)
{
    CVSetCurrentThreadName("mud-socket");
    auto socket = std::make_shared<CVSocket>();
    {
        QMutexLocker lock(&m_mutex);
        m_socket = socket;
    }
    if (!socket->connect(host, port, kConnectWaitMs)) {
        reportConnectionFailed(socket->connectFailReasons());
        return;
    }
    if (secure && !secureConnection(*socket, host, port, pinnedSHA256))
        return;
    socket->setMaxReadIdleMs(m_readWaitMs);
    socket->setMaxSendIdleMs(kSendIdleMs);
    if (!socket->setKeepAlive(kKeepAliveIdleSeconds, kKeepAliveIntervalSeconds, kKeepAliveProbes))
        CVLog(QStringLiteral("MUDSocket - TCP keep-alive could not be enabled: %1").arg(socket->lastErrorText()));
    postToDelegate([](MUDSocketDelegate& delegate, MUDSocket* self) { delegate.MUDSocketHasConnected(self); });
    m_lastSendTimeInterval = now();
    registerConnected(shared_from_this(), true);
    // This worker goes on as the connection loop.
    connectionLoop(socket);
}

bool MUDSocket::secureConnection(CVSocket& socket, const QString& host, quint64 port, const QByteArray& pinnedSHA256)
{
    const QString server = QStringLiteral("%1:%2").arg(host).arg(port);
    if (!socket.startTLS(host, m_handshakeWaitMs, [this] { return wantsToDisconnect(); })) {
        CVLog(QStringLiteral("MUDSocket - secure connection to %1 failed: %2").arg(server, socket.lastErrorText()));
        reportConnectionFailed({socket.lastErrorText()});
        return false;
    }
    const CVTLSSession& tls = *socket.tlsSession();
    const MUDSocketSecurity security =
        MUDSocketSecurity::judge(tls.protocolVersion(), tls.verification() == CVTLSSession::Verification::Verified,
                                 tls.verificationText(), tls.peerCertificate(), pinnedSHA256);
    {
        QMutexLocker lock(&m_mutex);
        m_security = security;
    }
    if (security.isSecure()) {
        CVLog(QStringLiteral("MUDSocket - %1 to %2").arg(security.statusText(), server));
        return true;
    }
    socket.close();
    CVLog(QStringLiteral("MUDSocket - secure connection to %1 refused: %2 (SHA-256 %3)")
              .arg(server, security.refusalText(), security.certificate.fingerprintText()));
    reportConnectionFailed({security.refusalText()});
    return false;
}

void MUDSocket::reportConnectionFailed(const QStringList& reasons)
{
    CVLog(QStringLiteral("Failed to connect"));
    const QString message = connectionFailedMessage(reasons);
    postToDelegate(
        [message](MUDSocketDelegate& delegate, MUDSocket* self) { delegate.MUDSocketConnectionFailed(self, message); });
}

void MUDSocket::connectionLoop(const std::shared_ptr<CVSocket>& socket)
{
    bool closeStarted = false;
    for (;;) {
        bool closing = false;
        {
            QMutexLocker lock(&m_mutex);
            closing = m_wantsToDisconnect;
            if (closing && !closeStarted) {
                CVLog(QStringLiteral("Closing a MUDSocket."));
                socket->close();
                closeStarted = true;
            }
        }
        if (!closing)
            dataPass(*socket);
        if (!socket->isConnected()) {
            registerConnected(shared_from_this(), false);
            postToDelegate(
                [](MUDSocketDelegate& delegate, MUDSocket* self) { delegate.MUDSocketHasDisconnected(self); });
            return;
        }
        if (closing)
            std::this_thread::sleep_for(kClosePollInterval);
    }
}

void MUDSocket::dataPass(CVSocket& socket)
{
    // Queued lines wait for a pass in which no data arrived, so commands never
    // interleave with a burst the server is still sending.
    if (receiveAndDeliver(socket))
        return;

    QList<Queued> queued;
    {
        QMutexLocker lock(&m_mutex);
        queued.swap(m_sendDataQueue);
        socket.clearWake();
    }
    if (!queued.isEmpty()) {
        for (const Queued& entry : std::as_const(queued)) {
            if (!socket.sendBytes(entry.bytes))
                CVLog(QStringLiteral("Failed to send (%1 length)").arg(entry.logLength));
        }
        m_lastSendTimeInterval = now();
        receiveAndDeliver(socket);
        // A line queued meanwhile ends the pause, like it ends a read.
        if (!wantsToDisconnect())
            socket.waitForWake(m_pauseAfterSendMs);
        return;
    }
    const double last = m_lastSendTimeInterval;
    if (last == 0 || now() - last > m_keepAliveInterval) {
        socket.sendString(QString());
        m_lastSendTimeInterval = now();
    }
}

bool MUDSocket::receiveAndDeliver(CVSocket& socket)
{
    QByteArray data = socket.receiveBytes();
    if (data.isEmpty())
        return false;
    if (std::shared_ptr<MUDSocketDelegate> target = delegate())
        target->MUDSocketReceivedData(this, data);
    return true;
}

bool MUDSocket::wantsToDisconnect() const
{
    QMutexLocker lock(&m_mutex);
    return m_wantsToDisconnect;
}

void MUDSocket::postToDelegate(std::function<void(MUDSocketDelegate&, MUDSocket*)> call)
{
    // The socket stays alive until the call has run; the delegate is looked
    // up only then, so one released meanwhile is never called.
    fc_executeOnMainThread([self = shared_from_this(), call = std::move(call)] {
        if (std::shared_ptr<MUDSocketDelegate> target = self->delegate())
            call(*target, self.get());
    });
}

void MUDSocket::registerConnected(const std::shared_ptr<MUDSocket>& socket, bool connected)
{
    QMutexLocker lock(&registry().mutex);
    if (connected)
        registry().sockets.append(socket);
    else
        registry().sockets.removeAll(socket);
}
