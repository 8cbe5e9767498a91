#pragma once

#include <QMap>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <mutex>

#include "core/CVLogHelper.h"

class CVLogFileSink;

// Where the application's log lines go: Qt's logging (the system journal or
// the terminal) and the log file (a new one every 24 hours, one older part
// kept when it reaches its size limit). Events, errors, logins and crash
// details are written as lines too: nothing leaves the machine. Any thread
// (the file sink locks itself; m_crashDetailsMutex guards the crash details).
class MUDLogHelperDelegate : public CVLogHelperDelegate {
public:
    // The log file lives in `folder` (created when missing).
    explicit MUDLogHelperDelegate(const QString& folder);
    ~MUDLogHelperDelegate() override;

    CVLogFileSink& fileLogger() const { return *m_fileLogger; }

    void logMessageType(int type, const QString& message) override;
    void logEvent(const QString& name, const QVariantMap& details) override;
    void logError(const QString& error, const QVariantMap& details) override;
    // Refuses an empty key.
    void setCrashDetails(const QString& value, const QString& key) override;

    QMap<QString, QString> crashDetails() const;

    // The log files' text, oldest first, cut to its last `maxSize`
    // characters (UTF-16 code units; a character is never cut in half).
    QString getLogFilesContentWithMaxSize(qsizetype maxSize) const;

private:
    void write(const QString& line);

    std::unique_ptr<CVLogFileSink> m_fileLogger;
    mutable std::mutex m_crashDetailsMutex;
    QMap<QString, QString> m_crashDetails;
};
