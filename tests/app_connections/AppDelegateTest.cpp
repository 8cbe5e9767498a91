#include "app/shell/AppDelegate.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <iostream>

#include "ConnectionsTestSupport.h"
#include "LoopbackServer.h"
#include "TestSupport.h"
#include "app/connections/MUDConnectionsGridModel.h"
#include "app/connections/MUDConnectionsWindowController.h"
#include "app/connections/MUDEditConnectionWindowController.h"
#include "app/scripting/MUDScriptingWindowController.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDExitsWindowController.h"
#include "app/session/MUDMessagesWindowController.h"
#include "app/session/MUDSessionChildWindows.h"
#include "app/session/MUDSessionWindow.h"
#include "app/shell/MUDDocumentController.h"
#include "app/views/MUDCommandTextView.h"
#include "core/CVOperationQueue.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"
#include "engine/storage/MUDPreservation.h"
#include "tests/support/doubles/NullDesktopIntegration.h"

namespace {
QStringList menuTitles(QMenu* menu)
{
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return titles;
}

// The item titles as a screen reader reads them (shortcut marks taken out).
QStringList shownMenuTitles(QMenu* menu)
{
    QStringList titles;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; accessible && i < accessible->childCount(); ++i) {
        QAccessibleInterface* item = accessible->child(i);
        titles << (item->role() == QAccessible::Separator ? QStringLiteral("-") : item->text(QAccessible::Name));
    }
    return titles;
}

QPushButton* buttonTitled(QWidget* parent, const QString& title)
{
    for (QPushButton* button : parent->findChildren<QPushButton*>())
        if (button->text() == title && button->isVisible())
            return button;
    return nullptr;
}

// A folder of default connections on loopback ports nothing listens on.
void writeDefaultConnection(const QString& folder, const QString& title)
{
    ASSERT_TRUE(QDir().mkpath(folder + "/" + title + ".mud"));
    QFile record(folder + "/" + title + ".mud/connection.json");
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write(R"({"host": "127.0.0.1", "port": 1})");
}

QAction* menuItem(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions())
        if (action->text() == title)
            return action;
    return nullptr;
}
} // namespace

class Shell : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        MUDDocumentController::setCanOpenUntitledDocument(false);
        delegate = std::make_unique<AppDelegate>(&desktop);
        delegate->setInstallsLogDelegate(false);
    }
    void TearDown() override
    {
        delegate.reset();
        DataFolderTest::TearDown();
    }

    void launch()
    {
        delegate->applicationDidFinishLaunching();
        ASSERT_TRUE(waitUntil([&] { return connectionsWindowShown(); }));
    }
    bool connectionsWindowShown() const
    {
        return delegate->connectionsWindow() && delegate->connectionsWindow()->isVisible();
    }
    QWidget* connectFromMenu(const QString& title)
    {
        QAction* item = menuItem(delegate->connectMenu(), title);
        EXPECT_TRUE(item);
        if (!item)
            return nullptr;
        const int before = delegate->documentController().sessionWindows().size();
        item->trigger();
        const QList<QWidget*> windows = delegate->documentController().sessionWindows();
        return windows.size() == before + 1 ? windows.last() : nullptr;
    }

    NullDesktopIntegration desktop;
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(Shell, ConnectMenuWithoutConnectionsHasOnlyItsFirstItem)
{
    delegate->populateConnectMenuItem();
    EXPECT_EQ(menuTitles(delegate->connectMenu()), QStringList{"Connections..."});
}

TEST_F(Shell, ConnectMenuListsTheStoredConnectionsInOrder)
{
    storeConnection("beta", "127.0.0.1", 1, "B");
    storeConnection("Alpha", "127.0.0.1", 1, "A");
    delegate->populateConnectMenuItem();
    delegate->populateConnectMenuItem();
    EXPECT_EQ(menuTitles(delegate->connectMenu()), QStringList({"Connections...", "-", "Alpha", "beta"}));
}

TEST_F(Shell, LaunchShowsTheConnectionsWindowAndOpensTheGateLater)
{
    storeConnection("Game", "127.0.0.1", 1, "G");
    LogRecorder log;
    launch();
    delegate->documentController().openDocument();
    EXPECT_TRUE(log.contains("openDocument - canOpenUntitledDocument set to false. Exiting."));
    ASSERT_TRUE(waitUntil([] { return MUDDocumentController::canOpenUntitledDocument(); }, 2000));
    EXPECT_TRUE(log.contains("CustomDocumentController:setCanOpenUntitledDocument:... true"));
    QSignalSpy opened(&delegate->documentController(), &MUDDocumentController::openDocumentRequested);
    delegate->documentController().openDocument();
    EXPECT_TRUE(log.contains("openDocument - Going to call super openDocument."));
    EXPECT_EQ(opened.count(), 1);
}

TEST_F(Shell, TwoSessionsOfOneConnectionFromTheConnectMenu)
{
    LoopbackServer server;
    storeConnection("Game", "127.0.0.1", server.port(), "G");
    launch();
    QWidget* first = connectFromMenu("Game");
    QWidget* second = connectFromMenu("Game");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    const QList<MUDDocument*> documents = delegate->documentController().documents();
    ASSERT_EQ(documents.size(), 2);
    EXPECT_EQ(documents[0]->connection()->connectionId(), "G");
    EXPECT_EQ(documents[1]->connection()->connectionId(), "G");
}

TEST_F(Shell, ClosingTheLastSessionBringsTheConnectionsWindowBack)
{
    LoopbackServer server;
    storeConnection("Game", "127.0.0.1", server.port(), "G");
    launch();
    QWidget* first = connectFromMenu("Game");
    QWidget* second = connectFromMenu("Game");
    ASSERT_TRUE(first && second);
    delegate->connectionsWindow()->close();
    spinEventLoop(2 * AppDelegate::DocumentClosedCheckDelayMs);
    EXPECT_FALSE(connectionsWindowShown());
    EXPECT_FALSE(delegate->isTerminating()) << "sessions are open: closing the connections window does not quit";

    first->close();
    spinEventLoop(3 * AppDelegate::DocumentClosedCheckDelayMs);
    EXPECT_FALSE(connectionsWindowShown()) << "one session is still open";
    second->close();
    EXPECT_TRUE(waitUntil([&] { return connectionsWindowShown(); }, 2000));
}

TEST_F(Shell, ClosingTheConnectionsWindowWithoutSessionsQuits)
{
    storeConnection("Game", "127.0.0.1", 1, "G");
    launch();
    QSignalSpy terminated(delegate.get(), &AppDelegate::terminationRequested);
    delegate->connectionsWindow()->close();
    EXPECT_TRUE(waitUntil([&] { return terminated.count() == 1; }, 2000));
}

TEST_F(Shell, QuittingDisconnectsEverySessionAndWaitsHalfASecond)
{
    LoopbackServer one;
    LoopbackServer two;
    storeConnection("One", "127.0.0.1", one.port(), "1");
    storeConnection("Two", "127.0.0.1", two.port(), "2");
    launch();
    ASSERT_TRUE(connectFromMenu("One"));
    ASSERT_TRUE(connectFromMenu("Two"));
    ASSERT_TRUE(waitUntil([] { return MUDSocket::allConnectedSockets().size() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return one.hasClient() && two.hasClient(); }));

    QSignalSpy terminated(delegate.get(), &AppDelegate::terminationRequested);
    // The wait is recorded, not slept: asked for once, before the windows close.
    QList<int> pauses;
    int windowsAtPause = 0;
    delegate->setTerminationPause([&](int ms) {
        pauses.append(ms);
        windowsAtPause = int(delegate->documentController().sessionWindows().size());
    });
    delegate->terminate();
    EXPECT_EQ(pauses, QList<int>{AppDelegate::TerminationWaitMs});
    EXPECT_EQ(AppDelegate::TerminationWaitMs, 500);
    EXPECT_EQ(windowsAtPause, 2);
    EXPECT_EQ(terminated.count(), 1);
    EXPECT_TRUE(waitUntil([&] { return one.clientClosed() && two.clientClosed(); }, 2000));
    EXPECT_TRUE(waitUntil([] { return MUDSocket::allConnectedSockets().isEmpty(); }, 2000));
    EXPECT_TRUE(delegate->documentController().documents().isEmpty());
    spinEventLoop(3 * AppDelegate::DocumentClosedCheckDelayMs);
    EXPECT_FALSE(connectionsWindowShown()) << "quitting does not bring the connections window back";
}

TEST_F(Shell, QuittingWithoutConnectedSocketsDoesNotWait)
{
    QList<int> pauses;
    delegate->setTerminationPause([&](int ms) { pauses.append(ms); });
    EXPECT_TRUE(delegate->applicationShouldTerminate());
    EXPECT_TRUE(pauses.isEmpty());
}

TEST_F(Shell, SessionWindowsGetTheMenusAndTheMessagesToggle)
{
    LoopbackServer server;
    storeConnection("Game", "127.0.0.1", server.port(), "G");
    launch();
    QWidget* session = connectFromMenu("Game");
    ASSERT_TRUE(session);
    auto* menuBar = session->findChild<QMenuBar*>();
    ASSERT_TRUE(menuBar);
    QStringList titles;
    QMenu* sessionMenu = nullptr;
    for (QAction* action : menuBar->actions()) {
        titles << action->text();
        if (action->text() == "Session")
            sessionMenu = action->menu();
    }
    EXPECT_EQ(titles, QStringList({"Quarrow", "Session"}));
    ASSERT_TRUE(sessionMenu);
    EXPECT_EQ(menuTitles(sessionMenu), QStringList({"Messages", "Exits", "-", "Notes...", "Aliases...", "Triggers...",
                                                    "Save Connection…", "-", "Share Session on Local Port…"}));
    menuItem(sessionMenu, "Triggers...")->trigger();
    auto* scriptManager = session->findChild<MUDScriptingWindowController*>();
    ASSERT_TRUE(scriptManager) << "the Triggers item opens the script manager over the session";
    EXPECT_TRUE(scriptManager->isVisible());
    EXPECT_EQ(scriptManager->windowTitle(), QStringLiteral("Game - Triggers"));
    scriptManager->endSheetWithReturnCode(0);

    auto* sessionWindow = qobject_cast<MUDSessionWindow*>(session);
    ASSERT_TRUE(sessionWindow);
    QAction* share = menuItem(sessionMenu, "Share Session on Local Port…");
    share->trigger();
    EXPECT_TRUE(sessionWindow->document().isSharing());
    EXPECT_TRUE(share->isChecked());
    const MUDOutputModel& output = sessionWindow->document().output();
    EXPECT_TRUE(waitUntil([&] {
        return output.text({0, output.length()}).contains(QStringLiteral("Sharing this session on local port"));
    })) << "the port is shown in the output";
    share->trigger();
    EXPECT_FALSE(sessionWindow->document().isSharing());
    EXPECT_FALSE(share->isChecked());

    auto* childWindows = session->findChild<MUDSessionChildWindows*>();
    ASSERT_TRUE(childWindows);
    EXPECT_TRUE(childWindows->isCommunicationsWindowVisible()) << "a first session shows its messages window";
    emit sessionMenu->aboutToShow();
    EXPECT_TRUE(menuItem(sessionMenu, "Messages")->isChecked());
    menuItem(sessionMenu, "Messages")->trigger();
    EXPECT_FALSE(childWindows->isCommunicationsWindowVisible());
    emit sessionMenu->aboutToShow();
    EXPECT_FALSE(menuItem(sessionMenu, "Messages")->isChecked());
    menuItem(sessionMenu, "Messages")->trigger();
    EXPECT_TRUE(childWindows->isCommunicationsWindowVisible());

    auto* connectionsMenuBar = delegate->connectionsWindow()->findChild<QMenuBar*>();
    ASSERT_TRUE(connectionsMenuBar);
    EXPECT_EQ(connectionsMenuBar->actions().size(), 1) << "the connections window has no Session menu";
}

TEST_F(Shell, DoubleClickingAConnectionOpensItsSessionAndClosesTheWindow)
{
    LoopbackServer server;
    storeConnection("Game", "127.0.0.1", server.port(), "G");
    LogRecorder log;
    launch();
    MUDConnectionsWindowController* window = delegate->connectionsWindow();
    QListView* grid = window->connectionsCollectionView();
    const QRect cell = grid->visualRect(window->model().index(0));
    ASSERT_FALSE(cell.isEmpty());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_TRUE(log.contains("collectionItemViewDoubleClick"));
    const QList<MUDDocument*> documents = delegate->documentController().documents();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(documents.first()->connection()->connectionId(), "G");
    EXPECT_TRUE(waitUntil([&] { return !connectionsWindowShown(); }, 1000));
    EXPECT_TRUE(waitUntil([&] { return server.hasClient(); }));
    spinEventLoop(2 * AppDelegate::DocumentClosedCheckDelayMs);
    EXPECT_FALSE(delegate->isTerminating()) << "the session keeps the application running";
}

TEST_F(Shell, ConnectMenuFollowsTheStoredConnectionsFromTheFirstLaunchOn)
{
    QTemporaryDir defaults;
    writeDefaultConnection(defaults.path(), "Local One");
    writeDefaultConnection(defaults.path(), "Tea & Biscuits");
    delegate->setDefaultConnectionsFolder(defaults.path());
    launch();
    QMenu* menu = delegate->connectMenu();
    EXPECT_EQ(shownMenuTitles(menu), QStringList({"Connections...", "-", "Local One", "Tea & Biscuits"}))
        << "the defaults copied on first launch are listed, with their \"&\"";

    MUDConnectionsWindowController* window = delegate->connectionsWindow();
    const auto saveInEditor = [&](const QString& title, const QString& host, const QString& port) {
        MUDEditConnectionWindowController* editor = window->editConnectionWindowController();
        ASSERT_TRUE(editor);
        editor->titleField()->selectAll();
        QTest::keyClicks(editor->titleField(), title);
        if (!host.isEmpty()) {
            QTest::keyClicks(editor->serverAddressField(), host);
            QTest::keyClicks(editor->serverPortField(), port);
        }
        QPushButton* save = buttonTitled(editor, "Save");
        ASSERT_TRUE(save);
        QTest::mouseClick(save, Qt::LeftButton);
    };

    QPushButton* create = buttonTitled(window, "New...");
    ASSERT_TRUE(create);
    QTest::mouseClick(create, Qt::LeftButton);
    saveInEditor("Zork & Co", "127.0.0.1", "1");
    EXPECT_EQ(shownMenuTitles(menu), QStringList({"Connections...", "-", "Local One", "Tea & Biscuits", "Zork & Co"}));

    // The new connection stays selected: rename it.
    QTest::mouseClick(window->editButton(), Qt::LeftButton);
    saveInEditor("Ancient & Co", {}, {});
    EXPECT_EQ(shownMenuTitles(menu),
              QStringList({"Connections...", "-", "Ancient & Co", "Local One", "Tea & Biscuits"}));

    QTest::mouseClick(window->deleteButton(), Qt::LeftButton);
    QMessageBox* alert = window->removeAlert();
    ASSERT_TRUE(alert);
    ASSERT_TRUE(clickButton(alert, "Remove"));
    EXPECT_EQ(shownMenuTitles(menu), QStringList({"Connections...", "-", "Local One", "Tea & Biscuits"}));

    QAction* item = menuItem(menu, "Tea && Biscuits");
    ASSERT_TRUE(item);
    item->trigger();
    const QList<MUDDocument*> documents = delegate->documentController().documents();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(documents.first()->connection()->title(), "Tea & Biscuits");
}

TEST_F(Shell, OpenRaisesTheConnectionsWindowFromBehindASession)
{
    LoopbackServer server;
    storeConnection("Game", "127.0.0.1", server.port(), "G");
    launch();
    ASSERT_TRUE(waitUntil([] { return MUDDocumentController::canOpenUntitledDocument(); }, 2000));
    auto* session = qobject_cast<MUDSessionWindow*>(connectFromMenu("Game"));
    ASSERT_TRUE(session);
    session->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == session; }, 2000));
    ASSERT_TRUE(connectionsWindowShown()) << "the Connect menu leaves the connections window open";

    QTest::keyClick(session->commandTextView(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == delegate->connectionsWindow(); }, 2000));
    EXPECT_EQ(session->commandTextView()->text(), "") << "the shortcut types nothing";
}

// The application's end waits for every script and matching pass; a login
// script asleep in wait() must not hold it up.
TEST_F(Shell, QuitEndsWithinASecondWhileALoginScriptWaits)
{
    LoopbackServer server;
    auto connection = std::make_shared<MUDConnection>();
    auto copy = connection->copy();
    copy->setTitle("Game");
    copy->setHost("127.0.0.1");
    copy->setPort(server.port());
    copy->setConnectionId("G");
    copy->setUser("u");
    copy->setPassword("p");
    copy->setLoginScript("command('waiting'); wait(30); command('late');");
    connection->setModifiedInstance(copy);
    ASSERT_TRUE(MUDPreservation::saveConnection(*connection));
    launch();
    ASSERT_TRUE(connectFromMenu("Game"));
    ASSERT_TRUE(waitUntil([&] { return server.receivedTexts().contains("waiting"); }, 10000));

    QElapsedTimer clock;
    clock.start();
    delegate->terminate();
    const qint64 terminated = clock.elapsed();
    EXPECT_TRUE(waitUntil(
        [] {
            using namespace std::chrono_literals;
            return CVOperationQueue::sharedBlocking().waitUntilAllOperationsAreFinished(0ms) &&
                   CVOperationQueue::shared().waitUntilAllOperationsAreFinished(0ms);
        },
        1000))
        << "a script still runs";
    std::cout << "quit: " << terminated << " ms to close the windows, " << clock.elapsed() - terminated
              << " ms more until no script ran\n";
    EXPECT_FALSE(server.receivedTexts().contains("late"));
}
