#include "app/connections/MUDConnectionsWindowController.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "ConnectionsTestSupport.h"
#include "LoopbackServer.h"
#include "StalledListener.h"
#include "TestSupport.h"
#include "app/connections/MUDConnectionViewCell.h"
#include "app/connections/MUDConnectionsGridModel.h"
#include "app/connections/MUDEditConnectionWindowController.h"
#include "engine/connection/CVFTPortTester.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {
// A loopback port with nothing listening: bound once, then released.
quint16 closedPort()
{
    const LoopbackServer server;
    EXPECT_TRUE(server.isListening());
    return server.port();
}

QString itemText(MUDConnectionsWindowController& window, int row, int role)
{
    return window.model().data(window.model().index(row), role).toString();
}
} // namespace

class ConnectionsWindow : public DataFolderTest { };

TEST_F(ConnectionsWindow, GridShowsReachabilityFromThePortTester)
{
    LoopbackServer server;
    ASSERT_TRUE(server.isListening());
    storeConnection("Listening", "127.0.0.1", server.port(), "UP");
    storeConnection("Refusing", "127.0.0.1", closedPort(), "DOWN");

    MUDConnectionsWindowController window;
    ASSERT_EQ(window.connecitons().size(), 2);
    // Results arrive on the main thread, so before it spins nothing is known.
    EXPECT_EQ(itemText(window, 0, MUDConnectionsGridModel::AddressLineRole), "searching");
    EXPECT_EQ(itemText(window, 0, MUDConnectionsGridModel::StatusImageNameRole), "ConnectionWindowStatusUnknown");
    EXPECT_EQ(itemText(window, 0, Qt::DisplayRole), "Listening");

    ASSERT_TRUE(waitUntil([&] {
        return itemText(window, 0, MUDConnectionsGridModel::StatusImageNameRole) != "ConnectionWindowStatusUnknown" &&
               itemText(window, 1, MUDConnectionsGridModel::StatusImageNameRole) != "ConnectionWindowStatusUnknown";
    }));
    EXPECT_EQ(itemText(window, 0, MUDConnectionsGridModel::StatusImageNameRole), "ConnectionWindowStatusOnline");
    EXPECT_EQ(itemText(window, 0, MUDConnectionsGridModel::AddressLineRole), "127.0.0.1");
    EXPECT_EQ(itemText(window, 1, MUDConnectionsGridModel::StatusImageNameRole), "ConnectionWindowStatusPartial");
    EXPECT_NE(itemText(window, 1, MUDConnectionsGridModel::AddressLineRole), "127.0.0.1")
        << "a refused port shows the probe's error";
}

TEST_F(ConnectionsWindow, ButtonsFollowTheSelectionAndTheVersionIsShown)
{
    storeConnection("A", "127.0.0.1", closedPort(), "A-ID");
    LogRecorder log;
    MUDConnectionsWindowController window;
    EXPECT_EQ(window.versionLabel()->text(), "v9.8.7");
    EXPECT_FALSE(window.connectButton()->isEnabled());
    EXPECT_FALSE(window.editButton()->isEnabled());
    EXPECT_FALSE(window.deleteButton()->isEnabled());
    window.onConnectToSelectedButton();
    EXPECT_TRUE(log.contains("Nothing selected"));

    window.selectConnectionId("A-ID");
    EXPECT_TRUE(window.connectButton()->isEnabled());
    EXPECT_TRUE(window.editButton()->isEnabled());
    EXPECT_TRUE(window.deleteButton()->isEnabled());
    window.connectionsCollectionView()->selectionModel()->clearSelection();
    EXPECT_FALSE(window.connectButton()->isEnabled());
}

TEST_F(ConnectionsWindow, RemoveAlertCancelChangesNothingAndRemoveDeletesTheFolder)
{
    storeConnection("Keep", "127.0.0.1", closedPort(), "KEEP");
    storeConnection("Gone", "127.0.0.1", closedPort(), "GONE");
    MUDConnectionsWindowController window;
    window.show();
    window.selectConnectionId("GONE");

    window.onRemoveConnection();
    QMessageBox* alert = window.removeAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "Remove connection?");
    EXPECT_EQ(alert->informativeText(), "Remove the connection 'Gone'? Once removed, it cannot be recovered.");
    ASSERT_TRUE(clickButton(alert, "Cancel"));
    spinEventLoop(50);
    EXPECT_EQ(storedTitles(), QStringList({"Gone", "Keep"}));
    EXPECT_EQ(window.connecitons().size(), 2);

    LogRecorder log;
    window.onRemoveConnection();
    ASSERT_TRUE(window.removeAlert());
    ASSERT_TRUE(clickButton(window.removeAlert(), "Remove"));
    spinEventLoop(50);
    EXPECT_TRUE(log.contains("Wants to remove connection"));
    EXPECT_EQ(storedTitles(), QStringList{"Keep"});
    EXPECT_FALSE(QDir(MUDPreservation::rootDirectoryForConnections()).exists("Gone.mud"));
    ASSERT_EQ(window.connecitons().size(), 1);
    EXPECT_FALSE(window.deleteButton()->isEnabled()) << "nothing is selected after a removal";
}

TEST_F(ConnectionsWindow, AnEditedConnectionKeepsItsPlaceAndSelection)
{
    storeConnection("Alpha", "127.0.0.1", closedPort(), "A");
    storeConnection("Beta", "127.0.0.1", closedPort(), "B");
    storeConnection("Gamma", "127.0.0.1", closedPort(), "C");
    MUDConnectionsWindowController window;
    window.show();
    window.selectConnectionId("B");

    window.onEditConnection();
    MUDEditConnectionWindowController* editor = window.editConnectionWindowController();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->titleField()->text(), "Beta");
    editor->serverAddressField()->setText("localhost");
    editor->onSave();

    ASSERT_EQ(window.connecitons().size(), 3);
    EXPECT_EQ(window.connecitons()[1]->connectionId(), "B");
    EXPECT_EQ(window.connecitons()[1]->host(), "localhost");
    const MUDConnectionList selected = window.selectedConnections();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first()->connectionId(), "B");
    EXPECT_TRUE(window.editButton()->isEnabled());
}

TEST_F(ConnectionsWindow, ANewConnectionIsSelectedAndProbed)
{
    LoopbackServer server;
    storeConnection("Existing", "127.0.0.1", closedPort(), "E");
    MUDConnectionsWindowController window;
    window.show();

    window.onCreateNewConnection();
    MUDEditConnectionWindowController* editor = window.editConnectionWindowController();
    ASSERT_TRUE(editor);
    const QString connectionId = editor->connection()->connectionId();
    EXPECT_EQ(connectionId, connectionId.toUpper());
    EXPECT_EQ(connectionId.size(), 36);
    editor->titleField()->setText("Fresh");
    editor->serverAddressField()->setText("127.0.0.1");
    editor->serverPortField()->setText(QString::number(server.port()));
    editor->onSave();

    ASSERT_EQ(window.connecitons().size(), 2);
    ASSERT_EQ(window.selectedConnections().size(), 1);
    EXPECT_EQ(window.selectedConnections().first()->title(), "Fresh");
    const int row = window.model().rowForConnectionId(connectionId);
    EXPECT_TRUE(waitUntil([&] {
        return itemText(window, row, MUDConnectionsGridModel::StatusImageNameRole) == "ConnectionWindowStatusOnline";
    }));
}

TEST_F(ConnectionsWindow, EditingAConnectionStorageNoLongerHasOnlyLogs)
{
    storeConnection("Here", "127.0.0.1", closedPort(), "HERE");
    MUDConnectionsWindowController window;
    LogRecorder log;
    window.editConnectionId("MISSING");
    EXPECT_TRUE(
        log.contains("MUDConnectionsWindowController:editConnectionId - Error: Could not find connection to edit."));
    EXPECT_FALSE(window.editConnectionWindowController());
}

TEST_F(ConnectionsWindow, ReloadingAnItemOutsideTheGridIsRefused)
{
    storeConnection("Only", "127.0.0.1", closedPort(), "ONLY");
    MUDConnectionsWindowController window;
    LogRecorder log;
    EXPECT_FALSE(window.model().reloadItem(5));
    EXPECT_TRUE(window.model().reloadItem(0));
    EXPECT_EQ(log.count("reloadItemsAtIndexPaths is invalid."), 1);
}

TEST(ConnectionsWindowSupport, MailGoesToTheSupportAddressWithAnEscapedSubject)
{
    EXPECT_EQ(MUDConnectionsWindowController::supportMailURL(),
              "mailto:support@quarrow.example?subject=Quarrow%20support");
}

TEST_F(ConnectionsWindow, ACellsEditButtonSelectsAndEditsItsConnection)
{
    storeConnection("Alpha", "127.0.0.1", closedPort(), "A");
    storeConnection("Beta", "127.0.0.1", closedPort(), "B");
    MUDConnectionsWindowController window;
    window.show();
    window.selectConnectionId("A");
    LogRecorder log;
    QListView* grid = window.connectionsCollectionView();
    const QRect cell = grid->visualRect(window.model().index(1));
    QTest::mouseMove(grid->viewport(), cell.center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, MUDConnectionViewCell::editButtonRect(cell).center());
    EXPECT_TRUE(log.contains("clickedConfiguration"));
    EXPECT_TRUE(log.contains("iconViewClickedEdit"));
    ASSERT_TRUE(window.editConnectionWindowController());
    EXPECT_EQ(window.editConnectionWindowController()->titleField()->text(), "Beta");
    ASSERT_EQ(window.selectedConnections().size(), 1);
    EXPECT_EQ(window.selectedConnections().first()->connectionId(), "B");
}

TEST_F(ConnectionsWindow, ABusyIndicatorShowsWhileServersAreProbed)
{
    auto stalled = std::make_unique<StalledListener>();
    storeConnection("Slow", "127.0.0.1", stalled->port(), "SLOW");
    MUDConnectionsWindowController window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(waitUntil([&] { return window.networkActivityIndicator()->isVisible(); }, 2000));
    EXPECT_EQ(itemText(window, 0, MUDConnectionsGridModel::StatusImageNameRole), "ConnectionWindowStatusUnknown")
        << "the probe is still waiting for the server";

    // Closing the port refuses the waiting connect: the probe ends.
    stalled.reset();
    EXPECT_TRUE(waitUntil([&] { return !window.networkActivityIndicator()->isVisible(); }, 8000));
    EXPECT_NE(itemText(window, 0, MUDConnectionsGridModel::StatusImageNameRole), "ConnectionWindowStatusUnknown");
}
