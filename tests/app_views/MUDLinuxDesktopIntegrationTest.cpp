#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QWidget>

#include "ChildProgram.h"
#include "TestSupport.h"
#include "app/session/MUDLinuxDesktopIntegration.h"

namespace {

// Stands in for the desktop's notification server on a private bus.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString summary;
        uint replacesId;
    };
    QList<Call> calls;
    uint lastId = 40;

public slots:
    uint Notify(const QString&, uint replacesId, const QString&, const QString& summary, const QString&,
                const QStringList&, const QVariantMap&, int)
    {
        calls.append({summary, replacesId});
        return replacesId ? replacesId : ++lastId;
    }
};

// Hears the launcher count signal.
class LauncherListener : public QObject {
    Q_OBJECT
public:
    QStringList uris;
    QList<QVariantMap> properties;

public slots:
    void onUpdate(const QString& uri, const QVariantMap& update)
    {
        uris.append(uri);
        properties.append(update);
    }
};

// A dbus-daemon of the test's own, ended by the test.
class PrivateBus {
public:
    PrivateBus()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty() || !m_daemon.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                           QStringLiteral("--print-address=1")}))
            return;
        // The address is the line that names the socket (warnings may come first).
        QByteArray printed;
        waitUntil(
            [&] {
                printed += m_daemon.readOutput();
                for (const QByteArray& line : printed.split('\n')) {
                    if (line.startsWith("unix:") && printed.contains(line + '\n'))
                        m_address = QString::fromUtf8(line).trimmed();
                }
                return !m_address.isEmpty();
            },
            5000);
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("quarrow-test-server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("quarrow-test-client"));
        m_daemon.stop(2000);
    }
    QString address() const { return m_address; }

private:
    ChildProgram m_daemon;
    QString m_address;
};

TEST(MUDLinuxDesktopIntegration, WithoutASessionBusNothingBlocks)
{
    // Every request must come back at once when no bus answers (as in CI).
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quarrow-test-bus");
    QElapsedTimer timer;
    timer.start();
    MUDLinuxDesktopIntegration sessionDesktop;
    MUDLinuxDesktopIntegration deadDesktop(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/quarrow-dead-bus"), QStringLiteral("dead")));
    for (MUDLinuxDesktopIntegration* desktop : {&sessionDesktop, &deadDesktop}) {
        desktop->setBadge(QStringLiteral("3"));
        desktop->setStatus(QStringLiteral("HP 40/40"));
        desktop->postNotification(QStringLiteral("Tell"), QStringLiteral("Bob says hi"));
        desktop->postNotification(QStringLiteral("Tell"), QStringLiteral("Bob says hi"));
        desktop->beep();
        desktop->setBadge(QString());
        desktop->setStatus(QString());
        EXPECT_EQ(desktop->badge(), QString());
        EXPECT_EQ(desktop->status(), QString());
    }
    spinEventLoop(50);
    EXPECT_LT(timer.elapsed(), 1000);
}

TEST(MUDLinuxDesktopIntegration, BadgeIsATitlePrefixOnRegisteredWindows)
{
    MUDLinuxDesktopIntegration desktop(QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/quarrow-dead-bus"), QStringLiteral("dead")));
    QWidget session;
    session.setWindowTitle(QStringLiteral("Discworld"));
    QWidget other;
    other.setWindowTitle(QStringLiteral("[7] Not ours"));
    desktop.registerWindow(&session);
    desktop.registerWindow(&other);

    struct Row {
        const char* badge;
        const char* sessionTitle;
        const char* otherTitle;
    };
    for (const Row& row : {Row{"3", "[3] Discworld", "[3] [7] Not ours"},
                           Row{"new", "[new] Discworld", "[new] [7] Not ours"}, Row{"", "Discworld", "[7] Not ours"}}) {
        SCOPED_TRACE(row.badge);
        desktop.setBadge(QString::fromUtf8(row.badge));
        EXPECT_EQ(session.windowTitle(), QString::fromUtf8(row.sessionTitle));
        EXPECT_EQ(other.windowTitle(), QString::fromUtf8(row.otherTitle));
    }

    // Registering while badged prefixes at once; unregistering restores the title.
    desktop.setBadge(QStringLiteral("1"));
    QWidget late;
    late.setWindowTitle(QStringLiteral("Late"));
    desktop.registerWindow(&late);
    EXPECT_EQ(late.windowTitle(), QStringLiteral("[1] Late"));
    desktop.unregisterWindow(&late);
    EXPECT_EQ(late.windowTitle(), QStringLiteral("Late"));

    // A window deleted while registered simply drops out.
    auto* gone = new QWidget;
    desktop.registerWindow(gone);
    delete gone;
    desktop.setBadge(QStringLiteral("2"));
    EXPECT_EQ(session.windowTitle(), QStringLiteral("[2] Discworld"));
}

TEST(MUDLinuxDesktopIntegration, TalksToTheLauncherAndTheNotificationServer)
{
    PrivateBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "no dbus-daemon to run a private bus";
    QDBusConnection server = QDBusConnection::connectToBus(bus.address(), QStringLiteral("quarrow-test-server"));
    ASSERT_TRUE(server.isConnected());
    FakeNotificationServer notifications;
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                                      QDBusConnection::ExportAllSlots));
    LauncherListener launcher;
    ASSERT_TRUE(server.connect(QString(), MUDLinuxDesktopIntegration::launcherEntryPath(),
                               QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"), &launcher,
                               SLOT(onUpdate(QString, QVariantMap))));

    MUDLinuxDesktopIntegration desktop(
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("quarrow-test-client")));

    struct BadgeRow {
        const char* badge;
        qint64 count;
        bool visible;
    };
    for (const BadgeRow& row : {BadgeRow{"5", 5, true}, BadgeRow{"hp low", 0, false}, BadgeRow{"", 0, false}}) {
        SCOPED_TRACE(row.badge);
        const qsizetype before = launcher.properties.size();
        desktop.setBadge(QString::fromUtf8(row.badge));
        ASSERT_TRUE(waitUntil([&] { return launcher.properties.size() == before + 1; }, 3000));
        EXPECT_EQ(launcher.uris.last(), MUDLinuxDesktopIntegration::applicationUri());
        EXPECT_EQ(launcher.properties.last().value(QStringLiteral("count")).toLongLong(), row.count);
        EXPECT_EQ(launcher.properties.last().value(QStringLiteral("count-visible")).toBool(), row.visible);
    }

    // The same identifier replaces its earlier notification; another one does not.
    desktop.postNotification(QStringLiteral("Tell"), QStringLiteral("bob"));
    ASSERT_TRUE(waitUntil([&] { return notifications.calls.size() == 1; }, 3000));
    spinEventLoop(100); // the reply reaches the client
    desktop.postNotification(QStringLiteral("Tell again"), QStringLiteral("bob"));
    desktop.postNotification(QStringLiteral("Page"), QStringLiteral("alice"));
    ASSERT_TRUE(waitUntil([&] { return notifications.calls.size() == 3; }, 3000));
    EXPECT_EQ(notifications.calls.at(0).summary, QStringLiteral("Tell"));
    EXPECT_EQ(notifications.calls.at(0).replacesId, 0u);
    EXPECT_EQ(notifications.calls.at(1).summary, QStringLiteral("Tell again"));
    EXPECT_EQ(notifications.calls.at(1).replacesId, 41u);
    EXPECT_EQ(notifications.calls.at(2).replacesId, 0u);
}

}

#include "MUDLinuxDesktopIntegrationTest.moc"
