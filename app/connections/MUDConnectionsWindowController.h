#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

#include "engine/connection/CVFTPortTesterResult.h"
#include "engine/storage/MUDPreservation.h"

class CVFTPortTester;
class CVFTPortTesterDelegate;
class MUDConnectionsGridModel;
class MUDEditConnectionWindowController;
class MUDSessionOpener;
class QLabel;
class QListView;
class QMessageBox;
class QModelIndex;
class QProgressBar;
class QPushButton;

// The start window: a grid of the saved connections with their picture,
// title, reachability and address, and the commands to create, edit, remove
// and connect. Reads and writes connections only through storage; seeds an
// empty data folder with the default connections. Main thread (the port
// tester reports here on the main thread).
class MUDConnectionsWindowController : public QWidget {
    Q_OBJECT
public:
    // `defaultConnectionsFolder` is where the shipped defaults are copied
    // from (the compiled-in resources unless given).
    explicit MUDConnectionsWindowController(QWidget* parent = nullptr, const QString& defaultConnectionsFolder = {});
    ~MUDConnectionsWindowController() override;

    // Posted (no object) whenever this window changed the stored connections:
    // the defaults were copied, a connection was saved or removed.
    static QString connectionsChangedNotificationName();

    // Where a picked connection's session opens (none: picking opens
    // nothing). The opener outlives the window: the shell deletes the
    // window first.
    void setSessionOpener(MUDSessionOpener* opener) { m_sessionOpener = opener; }

    // The shipped default connections, among the compiled-in resources.
    static QString defaultConnectionsFolder();

    const MUDConnectionList& connecitons() const;
    MUDConnectionsGridModel& model() const { return *m_model; }
    std::shared_ptr<CVFTPortTester> portTester() const { return m_portTester; }
    QListView* connectionsCollectionView() const { return m_connectionsCollectionView; }
    QPushButton* connectButton() const { return m_connectButton; }
    QPushButton* editButton() const { return m_editButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }
    QLabel* versionLabel() const { return m_versionLabel; }
    // Busy while servers are being probed.
    QProgressBar* networkActivityIndicator() const { return m_networkActivityIndicator; }
    MUDEditConnectionWindowController* editConnectionWindowController() const;
    // The remove alert while it is shown.
    QMessageBox* removeAlert() const;
    // The selected connections, first selected first.
    MUDConnectionList selectedConnections() const;
    void selectConnectionId(const QString& connectionId);

    // Actions.
    void onCreateNewConnection();
    void onEditConnection();
    void onRemoveConnection();
    void onConnectToSelectedButton();
    void onCloseButton();
    void onSupportEmail();
    void onSupportGithub();
    void collectionItemViewDoubleClick();
    // A cell's edit button: selects that cell and edits its connection.
    void iconViewClickedEdit(const QModelIndex& index);

    // Internal operations, public for the shell and tests.
    void addConnectionsToPortTester(const MUDConnectionList& connections);
    void reloadConnectionsAndSelect(const QString& connectionId);
    void editConnectionId(const QString& connectionId);
    // Shows `connection` in the editor sheet; once saved, the list selects it
    // and the port tester tests it again.
    void openEditor(const std::shared_ptr<MUDConnection>& connection);
    // Opens a session for `connection` and closes this window.
    void openSession(std::shared_ptr<MUDConnection> connection);

    // Port tester delegate (spelled as the tester calls it).
    void entryWithIdentifiderChanged(const QString& identifier, const CVFTPortTesterResult& result);

    // The support mail's address line, subject included.
    static QString supportMailURL();

signals:
    // The window was closed (by the user, or after connecting).
    void windowClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildInterface();
    void updateButtonsForSelection();
    void updateNetworkActivityIndicator();
    void removeSelectedConnection(const std::shared_ptr<MUDConnection>& connection);

    MUDSessionOpener* m_sessionOpener = nullptr;
    std::shared_ptr<CVFTPortTester> m_portTester;
    std::shared_ptr<CVFTPortTesterDelegate> m_portTesterReceiver;
    MUDConnectionsGridModel* m_model;
    QPointer<MUDEditConnectionWindowController> m_editConnectionWindowController;
    QPointer<QMessageBox> m_removeAlert;

    QListView* m_connectionsCollectionView = nullptr;
    QPushButton* m_createButton = nullptr;
    QPushButton* m_connectButton = nullptr;
    QPushButton* m_editButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_supportButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QLabel* m_versionLabel = nullptr;
    QProgressBar* m_networkActivityIndicator = nullptr;
    QLabel* m_applicationPicture = nullptr;
};
