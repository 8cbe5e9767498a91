#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <QWidget>

#include "app/connections/MUDProductSettings.h"
#include "app/session/MUDLinuxDesktopIntegration.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/MUDDocumentController.h"
#include "app/views/MUDImageLibrary.h"

// QUARROW_QUIT_AFTER_MS=<n> quits by the Quit command after n milliseconds:
// a smoke test that the application starts and ends cleanly without a user.
int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(MUDProductSettings::productName());
    QApplication::setApplicationVersion(QStringLiteral(QUARROW_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quarrow"));
    QApplication::setWindowIcon(MUDImageLibrary::applicationIcon());
    // Between the last session closing and the connections window coming
    // back no window is open; the shell decides when the application ends.
    QApplication::setQuitOnLastWindowClosed(false);

    MUDLinuxDesktopIntegration desktop;
    AppDelegate delegate(&desktop);
    QObject::connect(&delegate, &AppDelegate::terminationRequested, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&application, &QApplication::aboutToQuit, &delegate, &AppDelegate::terminate);
    delegate.applicationDidFinishLaunching();
    // Session windows carry the badge in their titles.
    QObject::connect(&delegate.documentController(), &MUDDocumentController::sessionOpened, &desktop,
                     &MUDLinuxDesktopIntegration::registerWindow);

    bool quitAfterOk = false;
    const int quitAfterMs = qEnvironmentVariableIntValue("QUARROW_QUIT_AFTER_MS", &quitAfterOk);
    if (quitAfterOk && quitAfterMs >= 0)
        QTimer::singleShot(quitAfterMs, &delegate, &AppDelegate::terminate);

    return application.exec();
}
