#pragma once

#include <QGuiApplication>

#include "core/CVLogHelper.h"
#include "tests/support/doubles/NullLogDelegate.h"

// Fuzz targets run thousands of inputs per second: log lines are dropped,
// and a Qt application exists for fonts and formats.
inline void setUpFuzzing()
{
    static NullLogDelegate silent;
    CVLogHelper::sharedInstance().setDelegate(&silent);
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}
