#pragma once

#include <QProcessEnvironment>
#include <QString>

#include "ChildProgram.h"

// A session bus of the test's own (dbus-daemon --session), so hand-over
// tests never meet the user's bus or each other. It ends with the object.
// Main thread.
class PrivateSessionBus {
public:
    // Starts the daemon and waits (bounded) for its address.
    bool start();
    QString address() const { return m_address; }
    QString errorText() const { return m_errorText; }
    // The system environment on this bus, offscreen, with `dataFolder`.
    QProcessEnvironment environment(const QString& dataFolder) const;

private:
    ChildProgram m_daemon;
    QString m_address;
    QString m_errorText;
};
