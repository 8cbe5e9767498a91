#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/CVLogHelper.h"

// Spins the main thread's event loop until `done` is true or `timeoutMs`
// passes; returns whether `done` became true.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Spins the main thread's event loop for `ms` milliseconds.
void spinEventLoop(int ms);

// Records every log line while it lives; installs itself as the log delegate.
class LogRecorder : public CVLogHelperDelegate {
public:
    LogRecorder();
    ~LogRecorder() override;

    QStringList lines() const;
    int count(const QString& line) const;
    bool contains(const QString& line) const { return count(line) > 0; }
    void clear();

    void logMessageType(int type, const QString& message) override;
    void logEvent(const QString& name, const QVariantMap& details) override;
    void logError(const QString& error, const QVariantMap& details) override;

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
};
