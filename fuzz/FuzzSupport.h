#pragma once

#include <QGuiApplication>

#include "core/CVLogHelper.h"

// Fuzz targets run thousands of inputs per second: log lines are dropped,
// and a Qt application exists for fonts and formats.
class SilentLog : public CVLogHelperDelegate {
public:
    void logMessageType(int, const QString&) override {}
    void logEvent(const QString&, const QVariantMap&) override {}
    void logError(const QString&, const QVariantMap&) override {}
};

inline void setUpFuzzing()
{
    static SilentLog silent;
    CVLogHelper::sharedInstance().setDelegate(&silent);
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}
