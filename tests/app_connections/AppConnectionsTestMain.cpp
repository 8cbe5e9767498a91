#include <QApplication>
#include <gtest/gtest.h>

// Widget tests need a QApplication; without a display they run offscreen.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral("9.8.7"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
