#include "app/shell/AppDelegate.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "app/connections/MUDConnectionsWindowController.h"
#include "app/session/MUDDocument.h"
#include "app/shell/MUDDocumentController.h"
#include "app/shell/MUDLogHelperDelegate.h"
#include "app/shell/MUDMainMenu.h"
#include "app/shell/MUDPreferencesWindowController.h"
#include "app/views/MUDAppearance.h"
#include "app/views/MUDMenuItemTitle.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/storage/MUDPreservation.h"
#include "engine/storage/MUDStorageRoot.h"

AppDelegate::AppDelegate(MUDDesktopIntegration* desktop, QObject* parent)
    : QObject(parent)
    , m_desktop(desktop)
    , m_terminationPause([](int ms) { QThread::msleep(ms); })
    , m_mainMenu(std::make_unique<MUDMainMenu>())
{
    connect(m_mainMenu->connectionsAction(), &QAction::triggered, this, &AppDelegate::onConnectMainMenuItem);
    connect(m_mainMenu->preferencesAction(), &QAction::triggered, this, &AppDelegate::showPreferencesWindow);
    connect(m_mainMenu->openDataFolderAction(), &QAction::triggered, this, &AppDelegate::onOpenDataFolderMainMenuItem);
    connect(m_mainMenu->quitAction(), &QAction::triggered, this, &AppDelegate::terminate);
}

AppDelegate::~AppDelegate()
{
    delete m_connectionsWindow.data();
    delete m_preferencesWindow.data();
    // Session windows go with the controller, before the menu they show.
    m_documentController.reset();
    if (m_logHelperDelegate)
        CVLogHelper::sharedInstance().setDelegate(nullptr);
}

void AppDelegate::applicationDidFinishLaunching()
{
    if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance()))
        MUDAppearance::applyDarkAppearance(*application);
    if (m_installsLogDelegate) {
        m_logHelperDelegate =
            std::make_unique<MUDLogHelperDelegate>(MUDStorageRoot::sharedInstance().path() + QStringLiteral("/logs"));
        CVLogHelper::sharedInstance().setDelegate(m_logHelperDelegate.get());
    }
    // Diagnostics stay on this machine: events and errors are log lines of
    // the log delegate, so there is no service to start.

    m_documentController = std::make_unique<MUDDocumentController>(m_desktop);
    m_documentController->setMainMenu(m_mainMenu.get());
    connect(m_mainMenu->openAction(), &QAction::triggered, m_documentController.get(),
            &MUDDocumentController::openDocument);
    connect(m_documentController.get(), &MUDDocumentController::openDocumentRequested, this,
            &AppDelegate::bringConnectionsWindowToFront);

    QTimer::singleShot(0, this, [this] {
        if (!m_documentController->hasOpenSession())
            displayConnectionsWindow();
    });
    populateConnectMenuItem();
    // The status item belongs to the desktop integration, which shows it
    // once a script gives it a title.
    QTimer::singleShot(CanOpenDocumentDelayMs, this, &AppDelegate::postApplicationDidFinishLaunching);
    connect(&MUDNotificationCenter::defaultCenter(), &MUDNotificationCenter::notificationPosted, this,
            &AppDelegate::onNotification);
}

void AppDelegate::postApplicationDidFinishLaunching()
{
    MUDDocumentController::setCanOpenUntitledDocument(true);
}

MUDConnectionsWindowController* AppDelegate::connectionsWindow() const
{
    return m_connectionsWindow;
}

MUDPreferencesWindowController* AppDelegate::preferencesWindow() const
{
    return m_preferencesWindow;
}

void AppDelegate::showPreferencesWindow()
{
    if (!m_preferencesWindow) {
        m_preferencesWindow = new MUDPreferencesWindowController();
        m_preferencesWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (m_preferencesWindow->isMinimized())
        m_preferencesWindow->showNormal();
    m_preferencesWindow->show();
    m_preferencesWindow->raise();
    m_preferencesWindow->activateWindow();
}

QMenu* AppDelegate::connectMenu() const
{
    return m_mainMenu->connectMenu();
}

void AppDelegate::displayConnectionsWindow()
{
    if (m_terminated || (m_connectionsWindow && m_connectionsWindow->isVisible()))
        return;
    if (m_connectionsWindow)
        m_connectionsWindow->deleteLater();
    auto* window = new MUDConnectionsWindowController(nullptr, m_defaultConnectionsFolder);
    window->setSessionOpener(m_documentController.get());
    window->setAttribute(Qt::WA_DeleteOnClose);
    m_mainMenu->installInWindow(window, false);
    connect(window, &MUDConnectionsWindowController::windowClosed, this, &AppDelegate::onConnectionsWindowClosed);
    m_connectionsWindow = window;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
    window->show();
    window->raise();
    window->activateWindow();
}

void AppDelegate::bringConnectionsWindowToFront()
{
    displayConnectionsWindow();
    if (!m_connectionsWindow || m_terminated)
        return;
    if (m_connectionsWindow->isMinimized())
        m_connectionsWindow->showNormal();
    m_connectionsWindow->raise();
    m_connectionsWindow->activateWindow();
}

void AppDelegate::populateConnectMenuItem()
{
    QMenu* menu = m_mainMenu->connectMenu();
    m_connectMenuConnections.clear();
    const QList<QAction*> items = menu->actions();
    for (qsizetype i = 1; i < items.size(); ++i) {
        menu->removeAction(items[i]);
        delete items[i];
    }
    const MUDConnectionList connections = MUDPreservation::loadConnections();
    if (connections.isEmpty())
        return;
    menu->addSeparator();
    for (const std::shared_ptr<MUDConnection>& connection : connections) {
        QAction* item = menu->addAction(MUDMenuItemTitle(connection->title()));
        connect(item, &QAction::triggered, this, [this, item] { onConnect(item); });
        item->setData(connection->connectionId());
        m_connectMenuConnections.insert(item, connection);
    }
}

void AppDelegate::onConnect(QAction* item)
{
    const auto found = m_connectMenuConnections.constFind(item);
    if (found == m_connectMenuConnections.constEnd() || !m_documentController)
        return;
    m_documentController->openSessionForConnection(found.value());
}

void AppDelegate::onOpenDataFolderMainMenuItem()
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(MUDPreservation::rootDirectoryPreservation()));
}

bool AppDelegate::applicationShouldTerminate()
{
    const QList<std::shared_ptr<MUDSocket>> sockets = MUDSocket::allConnectedSockets();
    for (const std::shared_ptr<MUDSocket>& socket : sockets)
        socket->disconnect();
    // Each socket's loop closes its connection on its own thread.
    if (!sockets.isEmpty())
        m_terminationPause(TerminationWaitMs);
    return true;
}

void AppDelegate::terminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    applicationShouldTerminate();
    if (m_documentController)
        for (QWidget* window : m_documentController->sessionWindows())
            window->close();
    if (m_connectionsWindow)
        m_connectionsWindow->close();
    if (m_preferencesWindow)
        m_preferencesWindow->close();
    emit terminationRequested();
}

void AppDelegate::onNotification(const QString& name, const QVariant&)
{
    if (name == MUDDocument::mudDocumentClosedNotificationName())
        onMUDDocumentClosed();
    else if (name == MUDConnectionsWindowController::connectionsChangedNotificationName())
        populateConnectMenuItem();
}

void AppDelegate::onMUDDocumentClosed()
{
    QTimer::singleShot(DocumentClosedCheckDelayMs, this, [this] {
        if (!m_documentController->hasOpenSession())
            displayConnectionsWindow();
    });
}

// Closing the connections window while no session is open ends the
// application: there would be no window left to act on.
void AppDelegate::onConnectionsWindowClosed()
{
    QTimer::singleShot(DocumentClosedCheckDelayMs, this, [this] {
        if (!m_documentController->hasOpenSession() && !(m_connectionsWindow && m_connectionsWindow->isVisible()))
            terminate();
    });
}
