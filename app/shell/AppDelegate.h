#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class MUDConnection;
class MUDConnectionsWindowController;
class MUDDesktopIntegration;
class MUDDocumentController;
class MUDLogHelperDelegate;
class MUDMainMenu;
class MUDPreferencesWindowController;
class QAction;
class QMenu;

// The application shell: launches in order, fills the Connect menu, opens
// sessions, keeps the connections window up whenever no session is open
// and closes every connection when the application quits. Main thread.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    // How long quitting waits after disconnecting, and the launch delays.
    static constexpr int TerminationWaitMs = 500;
    static constexpr int CanOpenDocumentDelayMs = 250;
    static constexpr int DocumentClosedCheckDelayMs = 100;

    explicit AppDelegate(MUDDesktopIntegration* desktop, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Tests keep their own log recorder: then no log file is installed.
    void setInstallsLogDelegate(bool installs) { m_installsLogDelegate = installs; }
    // Where the connections window copies the defaults from on first use
    // (the compiled-in resources unless set).
    void setDefaultConnectionsFolder(const QString& folder) { m_defaultConnectionsFolder = folder; }

    void applicationDidFinishLaunching();
    void postApplicationDidFinishLaunching();
    void displayConnectionsWindow();
    void populateConnectMenuItem();
    void onConnect(QAction* item);
    void onConnectMainMenuItem() { bringConnectionsWindowToFront(); }
    // Open... and Connections...: the connections window, shown if need be,
    // raised above the session windows and active.
    void bringConnectionsWindowToFront();
    void onOpenDataFolderMainMenuItem();
    // Preferences...: the one Preferences window, made when none is open,
    // raised and active.
    void showPreferencesWindow();
    // Disconnects every connected socket and, when there was one, waits
    // TerminationWaitMs so the disconnects reach the servers. Always true.
    bool applicationShouldTerminate();
    // How that wait is made: a sleep, unless a test records it instead.
    void setTerminationPause(std::function<void(int ms)> pause) { m_terminationPause = std::move(pause); }
    // Quits: disconnects, closes every window, then asks the application
    // to end (terminationRequested). Runs once.
    void terminate();
    bool isTerminating() const { return m_terminated; }

    MUDConnectionsWindowController* connectionsWindow() const;
    MUDPreferencesWindowController* preferencesWindow() const;
    MUDDocumentController& documentController() const { return *m_documentController; }
    MUDMainMenu& mainMenu() const { return *m_mainMenu; }
    QMenu* connectMenu() const;
    MUDLogHelperDelegate* logHelperDelegate() const { return m_logHelperDelegate.get(); }

signals:
    // The shell is done; the application's event loop should end.
    void terminationRequested();

private:
    void onNotification(const QString& name, const QVariant& object);
    void onMUDDocumentClosed();
    void onConnectionsWindowClosed();

    MUDDesktopIntegration* m_desktop;
    bool m_installsLogDelegate = true;
    QString m_defaultConnectionsFolder;
    bool m_terminated = false;
    std::function<void(int ms)> m_terminationPause;
    std::unique_ptr<MUDLogHelperDelegate> m_logHelperDelegate;
    std::unique_ptr<MUDMainMenu> m_mainMenu;
    std::unique_ptr<MUDDocumentController> m_documentController;
    QPointer<MUDConnectionsWindowController> m_connectionsWindow;
    QPointer<MUDPreferencesWindowController> m_preferencesWindow;
    // The connection each Connect menu item opens.
    QHash<QAction*, std::shared_ptr<MUDConnection>> m_connectMenuConnections;
};
