#pragma once

#include "app/session/MUDDesktopIntegration.h"

// A desktop without badge, status item, notifications or sound: sessions
// that are driven, not watched. Main thread.
class NullDesktopIntegration : public MUDDesktopIntegration {
public:
    void setBadge(const QString&) override { }
    void setStatus(const QString&) override { }
    void postNotification(const QString&, const QString&) override { }
    void beep() override { }
};
