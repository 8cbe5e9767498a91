#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QWidget>

#include "app/session/MUDLinuxDesktopIntegration.h"
#include "TestSupport.h"

namespace {

TEST(MUDLinuxDesktopIntegration, WithoutASessionBusNothingBlocks)
{
    // Every request must come back at once when no bus answers (as in CI).
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quarrow-test-bus");
    MUDLinuxDesktopIntegration desktop;
    QElapsedTimer timer;
    timer.start();
    desktop.setBadge(QStringLiteral("3"));
    desktop.setStatus(QStringLiteral("HP 40/40"));
    desktop.postNotification(QStringLiteral("Tell"), QStringLiteral("Bob says hi"));
    desktop.postNotification(QStringLiteral("Tell"), QStringLiteral("Bob says hi"));
    desktop.beep();
    desktop.setBadge(QString());
    desktop.setStatus(QString());
    spinEventLoop(50);
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(desktop.badge(), QString());
    EXPECT_EQ(desktop.status(), QString());
}

TEST(MUDLinuxDesktopIntegration, BadgeIsATitlePrefixOnRegisteredWindows)
{
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quarrow-test-bus");
    MUDLinuxDesktopIntegration desktop;
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
    for (const Row& row : {Row{"3", "[3] Discworld", "[3] [7] Not ours"}, Row{"new", "[new] Discworld", "[new] [7] Not ours"},
                           Row{"", "Discworld", "[7] Not ours"}}) {
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

}
