#include "app/session/MUDLinuxDesktopIntegration.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {

const QString LauncherEntryInterface = QStringLiteral("com.canonical.Unity.LauncherEntry");
const QString NotificationsService = QStringLiteral("org.freedesktop.Notifications");
const QString NotificationsPath = QStringLiteral("/org/freedesktop/Notifications");

// The application's icon, or a plain mark when it has none (a tray icon needs one).
QIcon statusIcon()
{
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        return icon;
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x4f, 0x17, 0x13));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(pixmap.rect().adjusted(2, 2, -2, -2));
    return QIcon(pixmap);
}

}

MUDLinuxDesktopIntegration::MUDLinuxDesktopIntegration(QObject* parent)
    : MUDLinuxDesktopIntegration(QDBusConnection::sessionBus(), parent)
{
}

MUDLinuxDesktopIntegration::MUDLinuxDesktopIntegration(const QDBusConnection& bus, QObject* parent)
    : QObject(parent)
    , m_bus(bus)
{
}

QString MUDLinuxDesktopIntegration::launcherEntryPath()
{
    return QStringLiteral("/com/corvane/quarrow/LauncherEntry");
}

QString MUDLinuxDesktopIntegration::applicationUri()
{
    return QStringLiteral("application://quarrow.desktop");
}

MUDLinuxDesktopIntegration::~MUDLinuxDesktopIntegration() = default;

QString MUDLinuxDesktopIntegration::titlePrefix(const QString& badge)
{
    return badge.isEmpty() ? QString() : QStringLiteral("[%1] ").arg(badge);
}

void MUDLinuxDesktopIntegration::registerWindow(QWidget* window)
{
    if (!window || m_windows.contains(window))
        return;
    m_windows.append(window);
    applyPrefix(window, QString(), titlePrefix(m_badge));
}

void MUDLinuxDesktopIntegration::unregisterWindow(QWidget* window)
{
    if (!window || !m_windows.removeOne(window))
        return;
    applyPrefix(window, titlePrefix(m_badge), QString());
}

void MUDLinuxDesktopIntegration::applyPrefix(QWidget* window, const QString& oldPrefix, const QString& newPrefix)
{
    QString title = window->windowTitle();
    // A window may have retitled itself meanwhile; only a prefix of ours is taken off.
    if (!oldPrefix.isEmpty() && title.startsWith(oldPrefix))
        title.remove(0, oldPrefix.size());
    window->setWindowTitle(newPrefix + title);
}

void MUDLinuxDesktopIntegration::setBadge(const QString& text)
{
    const QString oldPrefix = titlePrefix(m_badge);
    m_badge = text;
    m_windows.removeAll(nullptr);
    for (const QPointer<QWidget>& window : std::as_const(m_windows))
        applyPrefix(window, oldPrefix, titlePrefix(m_badge));
    sendLauncherUpdate();
}

void MUDLinuxDesktopIntegration::sendLauncherUpdate()
{
    if (!m_bus.isConnected())
        return;
    // Launchers show numbers only; any other badge lives in the titles alone.
    bool numeric = false;
    const qint64 count = m_badge.trimmed().toLongLong(&numeric);
    QDBusMessage update =
        QDBusMessage::createSignal(launcherEntryPath(), LauncherEntryInterface, QStringLiteral("Update"));
    update << applicationUri()
           << QVariantMap{{QStringLiteral("count"), QVariant::fromValue(numeric ? count : qint64(0))},
                          {QStringLiteral("count-visible"), numeric}};
    m_bus.send(update);
}

void MUDLinuxDesktopIntegration::setStatus(const QString& text)
{
    m_status = text;
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_statusItem) {
        if (text.isEmpty())
            return;
        m_statusItem = new QSystemTrayIcon(statusIcon(), this);
    }
    m_statusItem->setToolTip(text);
    m_statusItem->setVisible(!text.isEmpty());
}

void MUDLinuxDesktopIntegration::postNotification(const QString& title, const QString& identifier)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage notify = QDBusMessage::createMethodCall(NotificationsService, NotificationsPath, NotificationsService,
                                                         QStringLiteral("Notify"));
    notify << QApplication::applicationDisplayName() << m_notificationIds.value(identifier, 0u) << QString() << title
           << QString() << QStringList() << QVariantMap() << qint32(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, identifier](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<uint> reply = *call;
        if (reply.isValid() && !identifier.isEmpty())
            m_notificationIds.insert(identifier, reply.value());
        call->deleteLater();
    });
}

void MUDLinuxDesktopIntegration::beep()
{
    QApplication::beep();
}
