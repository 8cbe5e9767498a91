#include <QAccessible>
#include <QFontComboBox>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "ConnectionsTestSupport.h"
#include "LoopbackServer.h"
#include "TabWalk.h"
#include "TestSupport.h"
#include "app/connections/MUDConnectionsGridModel.h"
#include "app/connections/MUDConnectionsWindowController.h"
#include "app/connections/MUDEditConnectionWindowController.h"
#include "app/shell/MUDPreferencesWindowController.h"

// The connections window, its editor and alerts, and the preferences are
// walked by Tab alone; every control they reach has a name.
class KeyboardWalk : public DataFolderTest { };

TEST_F(KeyboardWalk, ConnectionsWindowAndItsCellsNamedForScreenReaders)
{
    LoopbackServer server;
    ASSERT_TRUE(server.isListening());
    storeConnection("Keep", "127.0.0.1", server.port(), "KEEP");
    MUDConnectionsWindowController window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.selectConnectionId("KEEP");

    // A cell reads "Title, host:port, status", the status following the port test.
    const QString prefix = QStringLiteral("Keep, 127.0.0.1:%1, ").arg(server.port());
    QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(window.connectionsCollectionView());
    ASSERT_NE(grid, nullptr);
    const auto cellName = [&] {
        for (int i = 0; i < grid->childCount(); ++i) {
            const QString name = grid->child(i)->text(QAccessible::Name);
            if (name.startsWith(prefix))
                return name;
        }
        return QString();
    };
    EXPECT_TRUE(waitUntil([&] { return cellName() == prefix + QStringLiteral("online"); })) << cellName().toStdString();

    expectReachableAndNamedByTab(&window, window.connectionsCollectionView());
    // A window to a screen reader (Qt would call a plain widget a filler).
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&window)->role(), QAccessible::Window);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&window)->text(QAccessible::Name), QStringLiteral("Connections"));
}

TEST_F(KeyboardWalk, ConnectionEditorAndRemoveAlert)
{
    storeConnection("Keep", "127.0.0.1", 4000, "KEEP");
    MUDConnectionsWindowController window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.selectConnectionId("KEEP");

    window.onEditConnection();
    MUDEditConnectionWindowController* editor = window.editConnectionWindowController();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    expectReachableAndNamedByTab(editor, editor->titleField());
    // Escape cancels the sheet: nothing is lost, the window is back.
    QTest::keyClick(editor->titleField(), Qt::Key_Escape);
    EXPECT_TRUE(waitUntil([&] { return !window.editConnectionWindowController() || !editor->isVisible(); }));

    window.onRemoveConnection();
    QMessageBox* alert = window.removeAlert();
    ASSERT_NE(alert, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(alert));
    expectReachableAndNamedByTab(alert, alert->defaultButton());
}

TEST_F(KeyboardWalk, PreferencesWindow)
{
    MUDPreferencesWindowController preferences;
    preferences.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preferences));
    expectReachableAndNamedByTab(&preferences, preferences.fontFamilyBox());
}
