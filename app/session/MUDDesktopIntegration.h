#pragma once

#include <QString>

// What a session asks of the desktop beyond its own window: the application
// badge, the status item's title, user notifications and the system beep.
// The application installs the Linux implementation; tests install a
// recorder. Each request degrades silently where the desktop lacks it.
// Main thread.
class MUDDesktopIntegration {
public:
    virtual ~MUDDesktopIntegration() = default;

    virtual void setBadge(const QString& text) = 0;
    virtual void setStatus(const QString& text) = 0;
    virtual void postNotification(const QString& title, const QString& identifier) = 0;
    virtual void beep() = 0;
};
