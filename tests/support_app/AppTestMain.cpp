#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/views/MUDAccessibleFactory.h"
#include "app/views/MUDKeyboardNavigation.h"

// The application's widgets and sessions need a QApplication; without a
// display they run offscreen. Settings (the script manager's divider) and the
// data folder of a test that names none go to folders of this run only, and
// the version label shows a known version.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QuarrowTests"));
    QApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    // Screen readers and keyboards meet the application as its users do.
    MUDAccessibleFactory::install();
    MUDKeyboardNavigation::install();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
