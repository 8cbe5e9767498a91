#include "app/launch/MUDSingleInstance.h"

#include <QCryptographicHash>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QFileInfo>

#include "core/CVLogHelper.h"

namespace {

// A hand-over races the running instance's exit at most this often.
constexpr int MaxStartAttempts = 3;

} // namespace

QString MUDSingleInstance::serviceNameForDataFolder(const QString& dataFolder)
{
    // The same folder reached through a link or a relative path is the same instance.
    const QFileInfo info(dataFolder);
    const QString canonical = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("io.github.quarrow.Quarrow.Instance_") + QString::fromLatin1(hash.left(16));
}

MUDSingleInstance::MUDSingleInstance(const QDBusConnection& bus, const QString& dataFolder, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
    , m_serviceName(serviceNameForDataFolder(dataFolder))
{
}

MUDSingleInstance::~MUDSingleInstance()
{
    if (!m_registered)
        return;
    m_bus.unregisterService(m_serviceName);
    m_bus.unregisterObject(objectPath());
}

void MUDSingleInstance::setOpenHandler(std::function<QStringList(const QStringList&)> handler)
{
    m_openHandler = std::move(handler);
}

QStringList MUDSingleInstance::Open(const QStringList& targets)
{
    CVLog(QStringLiteral("A later launch handed over %1 target(s)").arg(targets.size()));
    return m_openHandler ? m_openHandler(targets) : QStringList();
}

bool MUDSingleInstance::registerName()
{
    // The object is in place before the name, so a caller never finds the
    // name without the object behind it.
    if (!m_bus.registerObject(objectPath(), this, QDBusConnection::ExportScriptableSlots))
        return false;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = m_bus.interface()->registerService(
        m_serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        m_registered = true;
        return true;
    }
    m_bus.unregisterObject(objectPath());
    return false;
}

MUDSingleInstance::Role MUDSingleInstance::start(const QStringList& targets, QStringList* errors)
{
    if (!m_bus.isConnected() || !m_bus.interface())
        return Role::Alone;
    QString failure;
    for (int attempt = 0; attempt < MaxStartAttempts; ++attempt) {
        if (registerName()) {
            CVLog(QStringLiteral("Running as %1").arg(m_serviceName));
            return Role::Primary;
        }
        QDBusMessage call =
            QDBusMessage::createMethodCall(m_serviceName, objectPath(), interfaceName(), QStringLiteral("Open"));
        call << targets;
        // Events go on while waiting, so the owner may even be this process.
        const QDBusMessage answer = m_bus.call(call, QDBus::BlockWithGui, HandOverTimeoutMs);
        if (answer.type() == QDBusMessage::ReplyMessage) {
            if (errors && !answer.arguments().isEmpty())
                *errors = answer.arguments().constFirst().toStringList();
            return Role::HandedOver;
        }
        failure = answer.errorMessage();
        // Only an owner that ended between the two steps is worth another
        // try: its name is free again. One that does not answer is not.
        const QDBusError::ErrorType type = QDBusError(answer).type();
        if (type != QDBusError::ServiceUnknown && type != QDBusError::UnknownObject)
            break;
    }
    if (errors)
        *errors = QStringList{QStringLiteral("The running Quarrow did not take the request: %1").arg(failure)};
    return Role::Failed;
}
