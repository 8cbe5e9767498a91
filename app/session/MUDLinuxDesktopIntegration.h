#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include "app/session/MUDDesktopIntegration.h"

class QSystemTrayIcon;
class QWidget;

// The Linux desktop's stand-ins. The badge is a prefix on the titles of the
// registered session windows plus the launcher's count (Unity LauncherEntry
// "Update" signal, which docks such as Plank and Dash to Dock read); the
// status is a tray icon's tooltip where a tray exists; notifications go to
// org.freedesktop.Notifications. D-Bus is only used asynchronously, so a
// missing or dead session bus costs nothing and blocks nothing. Main thread.
class MUDLinuxDesktopIntegration : public QObject, public MUDDesktopIntegration {
    Q_OBJECT
public:
    // Talks to the user's session bus.
    explicit MUDLinuxDesktopIntegration(QObject* parent = nullptr);
    // Talks to `bus` (tests pass a private or a dead one).
    explicit MUDLinuxDesktopIntegration(const QDBusConnection& bus, QObject* parent = nullptr);
    ~MUDLinuxDesktopIntegration() override;

    // Session windows whose titles carry the badge; a deleted window drops out.
    void registerWindow(QWidget* window);
    void unregisterWindow(QWidget* window);

    void setBadge(const QString& text) override;
    void setStatus(const QString& text) override;
    void postNotification(const QString& title, const QString& identifier) override;
    void beep() override;

    QString badge() const { return m_badge; }
    QString status() const { return m_status; }
    static QString launcherEntryPath();
    static QString applicationUri();
    // "[badge] " for a badge, nothing without one.
    static QString titlePrefix(const QString& badge);

private:
    void applyPrefix(QWidget* window, const QString& oldPrefix, const QString& newPrefix);
    void sendLauncherUpdate();

    QDBusConnection m_bus;
    QList<QPointer<QWidget>> m_windows;
    QString m_badge;
    QString m_status;
    QSystemTrayIcon* m_statusItem = nullptr;
    // Notification ids the server returned, by identifier, so a repeated
    // identifier replaces its earlier notification.
    QHash<QString, uint> m_notificationIds;
};
