#include <QAction>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "ConnectionsTestSupport.h"
#include "LoopbackServer.h"
#include "TestSupport.h"
#include "app/connections/MUDConnectionsWindowController.h"
#include "app/connections/MUDEditConnectionWindowController.h"
#include "app/launch/MUDLaunchOpener.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "app/views/MUDCommandTextView.h"
#include "app/shell/AppDelegate.h"
#include "app/shell/MUDDocumentController.h"
#include "engine/connection/MUDConnection.h"
#include "tests/support/doubles/NullDesktopIntegration.h"

namespace {

// Every file under `folder` with its size, so any write shows.
QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        files << it.filePath().mid(folder.size()) + QStringLiteral(" ") + QString::number(it.fileInfo().size());
    }
    files.sort();
    return files;
}

QMenu* sessionMenu(QWidget* window)
{
    auto* mainWindow = qobject_cast<QMainWindow*>(window);
    if (!mainWindow || !mainWindow->menuBar())
        return nullptr;
    for (QAction* action : mainWindow->menuBar()->actions())
        if (action->menu() && action->text() == QLatin1String("Session"))
            return action->menu();
    return nullptr;
}

QAction* itemOf(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions())
        if (action->text() == title)
            return action;
    return nullptr;
}

// Opens the menu as a person does and reports the item's state as shown.
QAction* openMenuAt(QMenu* menu, const QString& title)
{
    menu->popup(QPoint(0, 0));
    EXPECT_TRUE(waitUntil([menu] { return menu->isVisible(); })) << title.toStdString();
    return itemOf(menu, title);
}

void clickItem(QMenu* menu, QAction* item)
{
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

QPushButton* buttonTitled(QWidget* parent, const QString& title)
{
    for (QPushButton* button : parent->findChildren<QPushButton*>())
        if (button->text() == title && button->isVisible())
            return button;
    return nullptr;
}

} // namespace

class Launch : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        delegate = std::make_unique<AppDelegate>(&desktop);
        delegate->setInstallsLogDelegate(false);
        delegate->applicationDidFinishLaunching();
        opener = std::make_unique<MUDLaunchOpener>(*delegate);
    }
    void TearDown() override
    {
        opener.reset();
        delegate.reset();
        DataFolderTest::TearDown();
    }

    bool connectionsWindowShown() const
    {
        return delegate->connectionsWindow() && delegate->connectionsWindow()->isVisible();
    }
    MUDSessionWindow* onlySession() const
    {
        const QList<QWidget*> windows = delegate->documentController().sessionWindows();
        return windows.size() == 1 ? qobject_cast<MUDSessionWindow*>(windows.first()) : nullptr;
    }

    NullDesktopIntegration desktop;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<MUDLaunchOpener> opener;
};

TEST_F(Launch, AStoredTitleOpensItsSessionAndNoConnectionsWindow)
{
    LoopbackServer server;
    storeConnection("Alter Aeon", "127.0.0.1", server.port(), "AA");
    EXPECT_TRUE(opener->openTargets({"Alter Aeon"}).isEmpty());
    MUDSessionWindow* session = onlySession();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->windowTitle(), "Alter Aeon");
    EXPECT_TRUE(waitUntil([&] { return server.acceptedCount() == 1; }));
    spinEventLoop(50);
    EXPECT_FALSE(connectionsWindowShown());
    EXPECT_EQ(opener->errorAlert(), nullptr);
}

TEST_F(Launch, WhatCannotBeOpenedIsListedInAnAlertOverTheConnectionsWindow)
{
    LoopbackServer server;
    storeConnection("Game", "127.0.0.1", server.port(), "G");
    const QStringList errors = opener->openTargets({"Nope", "Game", "telnet://127.0.0.1:70000"});
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].contains("\"Nope\""));
    EXPECT_TRUE(errors[1].contains("telnet://127.0.0.1:70000"));
    ASSERT_TRUE(onlySession()) << "what could be opened still opens";
    EXPECT_TRUE(connectionsWindowShown());
    QMessageBox* alert = shownMessageBox(delegate->connectionsWindow());
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert, opener->errorAlert());
    EXPECT_TRUE(alert->informativeText().contains("\"Nope\""));
    EXPECT_TRUE(alert->informativeText().contains("from 1 to 65535"));
    EXPECT_TRUE(clickButton(alert, "OK"));
    EXPECT_TRUE(waitUntil([&] { return !shownMessageBox(delegate->connectionsWindow()); }));
}

TEST_F(Launch, ATelnetAddressOpensAnUnsavedSessionThatWritesNothing)
{
    LoopbackServer server;
    storeConnection("Game", "127.0.0.1", 1, "G");
    const QStringList before = filesUnder(dataFolder());
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server.port());
    ASSERT_TRUE(opener->openTargets({"telnet://" + address}).isEmpty());
    MUDSessionWindow* session = onlySession();
    ASSERT_TRUE(session);
    EXPECT_EQ(session->windowTitle(), address);
    ASSERT_TRUE(waitUntil([&] { return server.acceptedCount() == 1; }));
    ASSERT_TRUE(waitUntil([&] { return session->document().isConnected(); }));
    const MUDOutputModel& output = session->document().output();
    EXPECT_TRUE(waitUntil([&] {
        return output.text(CVRange{0, output.length()}).contains("Connected to `" + address + "`.");
    }));

    QMenu* menu = sessionMenu(session);
    ASSERT_TRUE(menu);
    QAction* save = openMenuAt(menu, "Save Connection…");
    ASSERT_TRUE(save);
    EXPECT_TRUE(save->isEnabled());
    EXPECT_FALSE(itemOf(menu, "Triggers...")->isEnabled()) << "an unsaved session has nowhere to keep scripts";
    menu->close();

    // Typing, the input line growing, a script's alias and closing: still nothing on disk.
    QTest::keyClicks(session->commandTextView(), "#setAlias x=y");
    QTest::keyClick(session->commandTextView(), Qt::Key_Return);
    spinEventLoop(600);
    session->close();
    EXPECT_TRUE(waitUntil([&] { return server.clientClosed(); }));
    spinEventLoop(100);
    EXPECT_EQ(filesUnder(dataFolder()), before);
    EXPECT_EQ(storedTitles(), QStringList{"Game"});
}

TEST_F(Launch, SaveConnectionOpensTheEditorFilledInAndOnlyItsSaveWrites)
{
    LoopbackServer server;
    storeConnection("Game", "127.0.0.1", 1, "G");
    ASSERT_TRUE(opener->openTargets({QStringLiteral("telnet://127.0.0.1:%1").arg(server.port())}).isEmpty());
    MUDSessionWindow* session = onlySession();
    ASSERT_TRUE(session);
    ASSERT_TRUE(waitUntil([&] { return session->document().isConnected(); }));
    const QStringList before = filesUnder(dataFolder());

    QMenu* menu = sessionMenu(session);
    ASSERT_TRUE(menu);
    clickItem(menu, openMenuAt(menu, "Save Connection…"));
    MUDEditConnectionWindowController* editor = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        editor = session->findChild<MUDEditConnectionWindowController*>();
        return editor && editor->isVisible();
    }));
    EXPECT_EQ(editor->windowTitle(), "New connection");
    EXPECT_EQ(editor->serverAddressField()->text(), "127.0.0.1");
    EXPECT_EQ(editor->serverPortField()->text(), QString::number(server.port()));
    EXPECT_TRUE(editor->titleField()->text().isEmpty());
    QPushButton* saveButton = buttonTitled(editor, "Save");
    ASSERT_TRUE(saveButton);

    // The editor's own checks: a title is required and must be unique.
    QTest::mouseClick(saveButton, Qt::LeftButton);
    QMessageBox* alert = shownMessageBox(editor);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "Title required");
    clickButton(alert, "OK");
    QTest::keyClicks(editor->titleField(), "gAME");
    QTest::mouseClick(saveButton, Qt::LeftButton);
    alert = shownMessageBox(editor);
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->text(), "Connection exists");
    clickButton(alert, "OK");
    EXPECT_EQ(filesUnder(dataFolder()), before) << "refused saves write nothing";

    editor->titleField()->clear();
    QTest::keyClicks(editor->titleField(), "Found Online");
    QTest::mouseClick(saveButton, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !editor->isVisible(); }));
    EXPECT_EQ(storedTitles(), QStringList({"Found Online", "Game"}));
    QFile record(dataFolder() + "/connections/Found Online.mud/connection.json");
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QJsonObject stored = QJsonDocument::fromJson(record.readAll()).object();
    EXPECT_EQ(stored.value("host").toString(), "127.0.0.1");
    EXPECT_EQ(stored.value("port").toInteger(), server.port());

    // The session goes on under the stored connection, in the same window.
    EXPECT_EQ(session->windowTitle(), "Found Online");
    EXPECT_TRUE(session->document().isConnected());
    EXPECT_EQ(session->document().connection()->title(), "Found Online");
    bool listed = false;
    for (QAction* item : delegate->connectMenu()->actions())
        listed = listed || item->text() == "Found Online";
    EXPECT_TRUE(listed) << "the Connect menu lists the saved connection";
    EXPECT_FALSE(openMenuAt(menu, "Save Connection…")->isEnabled());
    EXPECT_TRUE(itemOf(menu, "Triggers...")->isEnabled());
    menu->close();
    session->close();
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(dataFolder() + "/connections/Found Online.mud/state.json"); }))
        << "a saved session keeps its window state like any other";
}

TEST_F(Launch, AHandOverWithoutTargetsRaisesTheNewestWindow)
{
    opener->raise();
    EXPECT_TRUE(connectionsWindowShown()) << "without a session the connections window comes up";
    LoopbackServer server;
    ASSERT_TRUE(opener->openTargets({QStringLiteral("telnet://127.0.0.1:%1").arg(server.port())}).isEmpty());
    MUDSessionWindow* session = onlySession();
    ASSERT_TRUE(session);
    session->showMinimized();
    opener->raise();
    EXPECT_FALSE(session->isMinimized());
}
