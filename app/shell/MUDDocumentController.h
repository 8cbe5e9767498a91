#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

#include "app/connections/MUDSessionOpener.h"

class MUDConnection;
class MUDDesktopIntegration;
class MUDDocument;
class MUDMainMenu;

// Creates and keeps the open sessions, one window each, and gates the Open
// command until launch has settled. The first controller created is the
// shared one. Main thread.
class MUDDocumentController : public QObject, public MUDSessionOpener {
    Q_OBJECT
public:
    explicit MUDDocumentController(MUDDesktopIntegration* desktop, QObject* parent = nullptr);
    ~MUDDocumentController() override;

    static MUDDocumentController* sharedDocumentController();

    // Open requests are ignored until this is set (shortly after launch).
    static void setCanOpenUntitledDocument(bool canOpen);
    static bool canOpenUntitledDocument();
    static QString defaultType() { return QStringLiteral("com.corvane.muddocument"); }

    // The Open command: passes the request on only once the gate is open.
    void openDocument();

    // Opens a new session window for `connection`, shows it and connects.
    // The one place that creates session windows; returns the window.
    QWidget* openSessionForConnection(std::shared_ptr<MUDConnection> connection) override;

    // Sessions whose window is open and which have not been closed.
    QList<MUDDocument*> documents() const;
    QList<QWidget*> sessionWindows() const;
    bool hasOpenSession() const { return !documents().isEmpty(); }

    // Every new session window gets this menu bar (none when unset).
    void setMainMenu(MUDMainMenu* mainMenu);

signals:
    // The Open command passed the gate.
    void openDocumentRequested();
    void sessionOpened(QWidget* window);

private:
    struct Session {
        QPointer<QWidget> window;
        QPointer<MUDDocument> document;
    };

    MUDDesktopIntegration* m_desktop;
    QPointer<MUDMainMenu> m_mainMenu;
    QList<Session> m_sessions;
};
