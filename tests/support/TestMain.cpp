#include <QGuiApplication>
#include <gtest/gtest.h>

// Tests need a Qt application for fonts, colours and the main-thread event
// loop; without a display they run on the offscreen platform.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
