#include <QPlainTextEdit>
#include <QTabBar>
#include <QTest>
#include <QTreeView>

#include "ScriptingFixture.h"
#include "TabWalk.h"
#include "app/scripting/MUDRegexTesterWindowController.h"
#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptTreeModel.h"
#include "app/scripting/MUDScriptingLeftPanelViewController.h"
#include "app/scripting/MUDScriptingOutlineViewController.h"
#include "app/scripting/MUDScriptingWindowController.h"
#include "app/session/MUDDocument.h"
#include "tests/support/doubles/NullDesktopIntegration.h"

// The script manager, with each kind's editor showing, and the regex tester
// are walked by Tab alone; every control reached has a name.
namespace {
class ScriptManagerKeyboard : public ScriptingFixture {
protected:
    void SetUp() override
    {
        ScriptingFixture::SetUp();
        writeTrigger(triggersFolder(), QStringLiteral("greet"), QStringLiteral("arrives"));
        writeAlias(aliasesFolder(), QStringLiteral("kk"), QStringLiteral("kk"));
        writeNote(notesFolder(), QStringLiteral("map"), QStringLiteral("north of the gate"));
        m_document = std::make_unique<MUDDocument>(&m_desktop);
        m_document->setConnection(m_connection);
    }
    void TearDown() override
    {
        delete m_window.data();
        m_document.reset();
        ScriptingFixture::TearDown();
    }

    // Opens the manager on `kind` with its one entry selected, so its editor shows.
    MUDScriptingWindowController* openWithEntry(int kind)
    {
        m_window = MUDScriptingWindowController::showForDocument(*m_document, m_connection, kind);
        MUDScriptingOutlineViewController* tree = m_window->leftPanel()->treeController(kind);
        MUDScriptTreeModel* model = tree->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            auto entry = model->entryForIndex(model->index(row, 0));
            if (entry && !model->hasChildren(model->index(row, 0))) {
                tree->selectEntry(entry);
                break;
            }
        }
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_window.data()));
        return m_window;
    }

    NullDesktopIntegration m_desktop;
    std::unique_ptr<MUDDocument> m_document;
    QPointer<MUDScriptingWindowController> m_window;
};
} // namespace

TEST_F(ScriptManagerKeyboard, EachKindsEditorIsWalkedByTab)
{
    for (int kind : {MUDScriptKind::Triggers, MUDScriptKind::Aliases, MUDScriptKind::Notes}) {
        SCOPED_TRACE(kind);
        MUDScriptingWindowController* window = openWithEntry(kind);
        ASSERT_NE(window, nullptr);
        expectReachableAndNamedByTab(window, window->leftPanel()->tabBar());
        delete m_window.data();
    }
}

TEST_F(ScriptManagerKeyboard, RegexTesterIsWalkedByTab)
{
    MUDScriptingWindowController* window = openWithEntry(MUDScriptKind::Triggers);
    window->openRegexTester(QStringLiteral("(\\w+) arrives"));
    MUDRegexTesterWindowController* tester = window->regexTester();
    ASSERT_NE(tester, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tester));
    expectReachableAndNamedByTab(tester, tester->patternView());
}
