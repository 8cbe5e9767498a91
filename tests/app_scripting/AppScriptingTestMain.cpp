#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Widget tests need a QApplication; without a display they run offscreen.
// Settings (the divider position) go to a folder of this run only.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir configHome;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QuarrowTests"));
    QApplication::setApplicationName(QStringLiteral("test_app_scripting"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
