#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QIcon>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "app/connections/MUDProductSettings.h"
#include "app/launch/MUDCommandLine.h"
#include "app/launch/MUDLaunchOpener.h"
#include "app/launch/MUDSingleInstance.h"
#include "app/session/MUDLinuxDesktopIntegration.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/MUDDocumentController.h"
#include "app/views/MUDAccessibleFactory.h"
#include "app/views/MUDImageLibrary.h"
#include "app/views/MUDKeyboardNavigation.h"
#include "engine/storage/MUDStorageRoot.h"

namespace {

// Exit code for a command line that cannot be understood.
constexpr int UsageErrorExitCode = 2;

void setApplicationNames()
{
    QCoreApplication::setApplicationName(MUDProductSettings::productName());
    QCoreApplication::setApplicationVersion(QStringLiteral(QUARROW_VERSION));
}

void printTo(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QStringList rawArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// Help and version are answered without a window system, so they work in a
// terminal without a display and on build machines.
int printTextOnly(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    setApplicationNames();
    const MUDCommandLine commandLine = MUDCommandLine::parse(QCoreApplication::arguments());
    printTo(stdout,
            commandLine.showsHelp() ? MUDCommandLine::helpText() : MUDCommandLine::versionText() + QLatin1Char('\n'));
    return 0;
}

} // namespace

// QUARROW_QUIT_AFTER_MS=<n> quits by the Quit command after n milliseconds:
// a smoke test that the application starts and ends cleanly without a user.
int main(int argc, char** argv)
{
    if (MUDCommandLine::wantsTextOnly(rawArguments(argc, argv)))
        return printTextOnly(argc, argv);

    QApplication application(argc, argv);
    setApplicationNames();
    // The window system's own options (-platform, -style, ...) are gone by now.
    const MUDCommandLine commandLine = MUDCommandLine::parse(QCoreApplication::arguments());
    if (!commandLine.isValid()) {
        printTo(
            stderr,
            QStringLiteral("quarrow: %1\nTry 'quarrow --help' for more information.\n").arg(commandLine.errorText()));
        return UsageErrorExitCode;
    }
    // The option wins over the environment; storage reads the environment.
    if (!commandLine.dataDirectory().isEmpty())
        qputenv("QUARROW_DATA_DIR", QDir(commandLine.dataDirectory()).absolutePath().toLocal8Bit());

    MUDSingleInstance instance(QDBusConnection::sessionBus(), MUDStorageRoot::locate());
    QStringList handOverErrors;
    switch (instance.start(commandLine.targets(), &handOverErrors)) {
    case MUDSingleInstance::Role::HandedOver:
        for (const QString& error : std::as_const(handOverErrors))
            printTo(stderr, QStringLiteral("quarrow: %1\n").arg(error));
        return 0;
    case MUDSingleInstance::Role::Failed:
        for (const QString& error : std::as_const(handOverErrors))
            printTo(stderr, QStringLiteral("quarrow: %1\n").arg(error));
        return 1;
    case MUDSingleInstance::Role::Primary:
    case MUDSingleInstance::Role::Alone: break;
    }

    QApplication::setDesktopFileName(QStringLiteral("quarrow"));
    QApplication::setWindowIcon(MUDImageLibrary::applicationIcon());
    // Between the last session closing and the connections window coming
    // back no window is open; the shell decides when the application ends.
    QApplication::setQuitOnLastWindowClosed(false);
    MUDAccessibleFactory::install();
    MUDKeyboardNavigation::install();

    MUDLinuxDesktopIntegration desktop;
    AppDelegate delegate(&desktop);
    QObject::connect(&delegate, &AppDelegate::terminationRequested, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    QObject::connect(&application, &QApplication::aboutToQuit, &delegate, &AppDelegate::terminate);
    delegate.applicationDidFinishLaunching();
    // Session windows carry the badge in their titles.
    QObject::connect(&delegate.documentController(), &MUDDocumentController::sessionOpened, &desktop,
                     &MUDLinuxDesktopIntegration::registerWindow);

    MUDLaunchOpener opener(delegate);
    instance.setOpenHandler([&opener](const QStringList& targets) {
        if (targets.isEmpty()) {
            opener.raise();
            return QStringList();
        }
        return opener.openTargets(targets);
    });
    // Before the event loop: the connections window then stays closed when
    // a session opened.
    opener.openTargets(commandLine.targets());

    bool quitAfterOk = false;
    const int quitAfterMs = qEnvironmentVariableIntValue("QUARROW_QUIT_AFTER_MS", &quitAfterOk);
    if (quitAfterOk && quitAfterMs >= 0)
        QTimer::singleShot(quitAfterMs, &delegate, &AppDelegate::terminate);

    return application.exec();
}
