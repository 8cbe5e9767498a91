#pragma once

#include <QStringList>

#include "app/session/MUDDesktopIntegration.h"

// Records what a session asks of the desktop. Main thread.
class RecordingDesktopIntegration : public MUDDesktopIntegration {
public:
    void setBadge(const QString& text) override { badges.append(text); }
    void setStatus(const QString& text) override { statuses.append(text); }
    void postNotification(const QString& title, const QString& identifier) override
    {
        notifications.append(title + QStringLiteral("|") + identifier);
    }
    void beep() override { ++beeps; }

    QStringList badges;
    QStringList statuses;
    QStringList notifications;
    int beeps = 0;
};
