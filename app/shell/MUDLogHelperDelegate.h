#pragma once

#include <QString>
#include <QVariantMap>
#include <memory>

#include "core/CVLogHelper.h"

class CVLogFileSink;

// Where the application's log lines go: Qt's logging (the system journal or
// the terminal) and one log file that starts anew every 24 hours. Events and
// errors are written as lines too: nothing leaves the machine. Any thread
// (the file sink locks itself).
class MUDLogHelperDelegate : public CVLogHelperDelegate {
public:
    // The log file lives in `folder` (created when missing).
    explicit MUDLogHelperDelegate(const QString& folder);
    ~MUDLogHelperDelegate() override;

    CVLogFileSink& fileLogger() const { return *m_fileLogger; }

    void logMessageType(int type, const QString& message) override;
    void logEvent(const QString& name, const QVariantMap& details) override;
    void logError(const QString& error, const QVariantMap& details) override;

private:
    void write(const QString& line);

    std::unique_ptr<CVLogFileSink> m_fileLogger;
};
