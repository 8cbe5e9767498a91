#pragma once

#include "core/CVLogHelper.h"

// Drops every log line, event and error: for benchmarks and fuzz targets,
// where writing them would be most of the work. Tests that look at the log
// use LogRecorder instead. Any thread (it keeps nothing).
class NullLogDelegate : public CVLogHelperDelegate {
public:
    void logMessageType(int, const QString&) override { }
    void logEvent(const QString&, const QVariantMap&) override { }
    void logError(const QString&, const QVariantMap&) override { }
};
