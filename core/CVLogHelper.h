#pragma once

#include <QString>
#include <QVariantMap>
#include <mutex>

// Receives what the log helper records. The application installs one that
// writes the system log and the rotating log file; tests install recorders.
// Called from any thread.
class CVLogHelperDelegate {
public:
    virtual ~CVLogHelperDelegate() = default;
    virtual void logMessageType(int type, const QString& message) = 0;
    virtual void logEvent(const QString& name, const QVariantMap& details) = 0;
    virtual void logError(const QString& error, const QVariantMap& details) = 0;
    // A login attempt; recorded as the event "Login-<name>" with the
    // outcome among the details unless the delegate keeps logins apart.
    virtual void logLogin(const QString& name, bool success, const QVariantMap& details);
    // A detail that a crash report would carry: `value` under `key`, or the
    // key removed when `value` is null. Ignored by delegates that make no
    // crash reports.
    virtual void setCrashDetails(const QString& value, const QString& key);
};

// The process-wide log. Any thread; the delegate slot is guarded by a mutex.
// Without a delegate, lines go to Qt's logging under the "quarrow" category.
class CVLogHelper {
public:
    static constexpr int MessageType = 1000;

    static CVLogHelper& sharedInstance();

    // Never fails; the line is forwarded as message type 1000.
    void logMessage(const QString& message);
    void logMessageType(int type, const QString& message);
    void logEvent(const QString& name, const QVariantMap& details = {});
    void logError(const QString& error, const QVariantMap& details = {});
    void logLogin(const QString& name, bool success, const QVariantMap& details = {});
    void setCrashDetails(const QString& value, const QString& key);
    // Records only when timeTaken is greater than threshold (seconds).
    void logErrorMessage(const QString& message, const QString& domain, const QVariantMap& details, double timeTaken,
                         double threshold);

    // When true, callers keep host names and addresses out of their lines.
    bool extraSecure() const;
    void setExtraSecure(bool extraSecure);

    // The delegate is not owned; pass nullptr to fall back to Qt logging.
    void setDelegate(CVLogHelperDelegate* delegate);

private:
    CVLogHelper() = default;

    // Recursive so a delegate that logs while handling a line does not deadlock.
    // A standard mutex (not QRecursiveMutex, which locks inside libQt6Core)
    // so ThreadSanitizer sees it.
    mutable std::recursive_mutex m_mutex;
    CVLogHelperDelegate* m_delegate = nullptr;
    bool m_extraSecure = false;
};

// Shorthand for the common case.
inline void CVLog(const QString& message)
{
    CVLogHelper::sharedInstance().logMessage(message);
}
