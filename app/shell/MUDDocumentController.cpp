#include "app/shell/MUDDocumentController.h"

#include <utility>

#include "app/session/MUDDocument.h"
#include "app/session/MUDExitsWindowController.h"
#include "app/session/MUDMessagesWindowController.h"
#include "app/session/MUDSessionChildWindows.h"
#include "app/session/MUDSessionWindow.h"
#include "app/shell/MUDMainMenu.h"
#include "core/CVLogHelper.h"
#include "engine/connection/MUDConnection.h"

namespace {
MUDDocumentController* g_sharedDocumentController = nullptr;
bool g_canOpenUntitledDocument = false;
} // namespace

MUDDocumentController::MUDDocumentController(MUDDesktopIntegration* desktop, QObject* parent)
    : QObject(parent)
    , m_desktop(desktop)
{
    if (!g_sharedDocumentController)
        g_sharedDocumentController = this;
}

// Session windows use the desktop integration, which may not outlive the
// controller: windows still alive (closed ones awaiting deletion too) go now.
MUDDocumentController::~MUDDocumentController()
{
    const QList<Session> sessions = std::exchange(m_sessions, {});
    for (const Session& session : sessions)
        delete session.window.data();
    if (g_sharedDocumentController == this)
        g_sharedDocumentController = nullptr;
}

MUDDocumentController* MUDDocumentController::sharedDocumentController()
{
    return g_sharedDocumentController;
}

void MUDDocumentController::setCanOpenUntitledDocument(bool canOpen)
{
    CVLog(QStringLiteral("CustomDocumentController:setCanOpenUntitledDocument:... %1")
              .arg(canOpen ? QStringLiteral("true") : QStringLiteral("false")));
    g_canOpenUntitledDocument = canOpen;
}

bool MUDDocumentController::canOpenUntitledDocument()
{
    return g_canOpenUntitledDocument;
}

void MUDDocumentController::openDocument()
{
    if (!g_canOpenUntitledDocument) {
        CVLog(QStringLiteral("openDocument - canOpenUntitledDocument set to false. Exiting."));
        return;
    }
    CVLog(QStringLiteral("openDocument - Going to call super openDocument."));
    emit openDocumentRequested();
}

QWidget* MUDDocumentController::openSessionForConnection(std::shared_ptr<MUDConnection> connection)
{
    if (!connection)
        return nullptr;
    auto* window = new MUDSessionWindow(m_desktop);
    window->setAttribute(Qt::WA_DeleteOnClose);
    MUDSessionChildWindows::attach(&window->document(), window);
    if (m_mainMenu)
        m_mainMenu->installInWindow(window);
    m_sessions.append({window, &window->document()});
    connect(window, &QObject::destroyed, this, [this](QObject* destroyed) {
        m_sessions.removeIf([destroyed](const Session& session) {
            return session.window.isNull() || static_cast<QObject*>(session.window.data()) == destroyed;
        });
    });
    window->show();
    window->openConnection(std::move(connection));
    emit sessionOpened(window);
    return window;
}

void MUDDocumentController::setMainMenu(MUDMainMenu* mainMenu)
{
    m_mainMenu = mainMenu;
}

QList<MUDDocument*> MUDDocumentController::documents() const
{
    QList<MUDDocument*> documents;
    for (const Session& session : m_sessions)
        if (session.window && session.document && !session.document->isClosed())
            documents.append(session.document);
    return documents;
}

QList<QWidget*> MUDDocumentController::sessionWindows() const
{
    QList<QWidget*> windows;
    for (const Session& session : m_sessions)
        if (session.window && session.document && !session.document->isClosed())
            windows.append(session.window);
    return windows;
}
