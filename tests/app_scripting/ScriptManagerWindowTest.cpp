#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include "ScriptingFixture.h"
#include "TestSupport.h"
#include "app/scripting/CVFolderTreeEntry.h"
#include "app/scripting/MUDAliasEditorViewController.h"
#include "app/scripting/MUDFolderNameWindowController.h"
#include "app/scripting/MUDNoteEditorViewController.h"
#include "app/scripting/MUDRegexField.h"
#include "app/scripting/MUDRegexTesterWindowController.h"
#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptTreeModel.h"
#include "app/scripting/MUDScriptingLeftPanelViewController.h"
#include "app/scripting/MUDScriptingOutlineViewController.h"
#include "app/scripting/MUDScriptingWindowController.h"
#include "app/scripting/MUDTriggerEditorViewController.h"
#include "app/session/MUDDocument.h"
#include "app/views/CVHighlightableTextView.h"
#include "engine/automation/MUDMatchTest.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDConnectionLists.h"
#include "tests/support/doubles/NullDesktopIntegration.h"

namespace {

class ScriptManagerWindowTest : public ScriptingFixture {
protected:
    void SetUp() override
    {
        ScriptingFixture::SetUp();
        writeTrigger(triggersFolder() + QStringLiteral("/Combat"), QStringLiteral("flee"), QStringLiteral("orc"));
        writeTrigger(triggersFolder(), QStringLiteral("greet"), QStringLiteral("arrives"));
        // Two open sessions of the connection, one of another connection.
        for (int i = 0; i < 2; ++i) {
            m_documents.push_back(std::make_unique<MUDDocument>(&m_desktop));
            m_documents.back()->setConnection(m_connection);
        }
        m_otherDocument = std::make_unique<MUDDocument>(&m_desktop);
        m_otherDocument->setConnection(storedConnection(QStringLiteral("Elsewhere")));
    }
    void TearDown() override
    {
        delete m_window.data();
        m_documents.clear();
        m_otherDocument.reset();
        ScriptingFixture::TearDown();
    }

    MUDScriptingWindowController* open(int kind)
    {
        m_window = MUDScriptingWindowController::showForDocument(*m_documents.front(),
                                                                 m_documents.front()->connection(), kind);
        return m_window;
    }
    MUDScriptingOutlineViewController* tree(int kind) { return m_window->leftPanel()->treeController(kind); }
    // The row showing `name`; invalid (with a failure) when not exactly one.
    QModelIndex rowOf(int kind, const QString& name)
    {
        MUDScriptTreeModel* model = tree(kind)->model();
        const QModelIndexList found =
            model->match(model->index(0, 0), Qt::DisplayRole, name, 1, Qt::MatchExactly | Qt::MatchRecursive);
        EXPECT_EQ(found.size(), 1) << name.toStdString();
        return found.value(0);
    }
    void select(int kind, const QString& name)
    {
        const QModelIndex row = rowOf(kind, name);
        ASSERT_TRUE(row.isValid());
        tree(kind)->selectEntry(tree(kind)->model()->entryForIndex(row));
    }
    // A person's click in the middle of the row showing `name`.
    void clickRow(int kind, const QString& name)
    {
        const QModelIndex index = rowOf(kind, name);
        ASSERT_TRUE(index.isValid());
        QTreeView* view = tree(kind)->outlineView();
        const QRect row = view->visualRect(index);
        ASSERT_TRUE(view->viewport()->rect().contains(row.center())) << name.toStdString();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
    }
    // Replaces a line edit's text with key presses, as a person types.
    static void retype(QLineEdit* field, const QString& text)
    {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
    }
    // The platform's context-menu request after a right click on the row
    // showing `name`, then a click on the menu item `item`.
    void chooseFromContextMenu(int kind, const QString& name, const QString& item)
    {
        const QModelIndex index = rowOf(kind, name);
        ASSERT_TRUE(index.isValid());
        QWidget* viewport = tree(kind)->outlineView()->viewport();
        const QPoint position = tree(kind)->outlineView()->visualRect(index).center();
        QContextMenuEvent request(QContextMenuEvent::Mouse, position, viewport->mapToGlobal(position));
        QApplication::sendEvent(viewport, &request);
        ASSERT_TRUE(waitUntil([] { return QApplication::activePopupWidget() != nullptr; }, 2000));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text() == item) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        }
        FAIL() << "no menu item " << item.toStdString();
    }
    // "+", then the add-entry item of the menu it pops up, with the mouse.
    void addEntryWithTheMouse()
    {
        QTest::mouseClick(m_window->addButton(), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return m_window->addMenu()->isVisible(); }, 2000));
        QMenu* menu = m_window->addMenu();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(m_window->addEntryItem()).center());
    }
    // Visible alerts whose text is `text`.
    static QList<QMessageBox*> alertsSaying(const QString& text)
    {
        QList<QMessageBox*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible() && box->text() == text)
                found.append(box);
        }
        return found;
    }
    bool sessionHasTrigger(const QString& title) const
    {
        const auto triggers = MUDConnectionLists::triggers(*m_documents.front()->connection());
        return triggers && std::any_of(triggers->begin(), triggers->end(),
                                       [&](const auto& trigger) { return trigger->title() == title; });
    }
    static QString outputOf(const MUDDocument& document)
    {
        return document.output().text({0, document.output().length()});
    }

    NullDesktopIntegration m_desktop;
    std::vector<std::unique_ptr<MUDDocument>> m_documents;
    std::unique_ptr<MUDDocument> m_otherDocument;
    QPointer<MUDScriptingWindowController> m_window;
};

TEST_F(ScriptManagerWindowTest, OpensOnePerSessionOnTheAskedKindWithItsTitle)
{
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Realm - Triggers"));
    EXPECT_EQ(window->leftPanel()->selectedTabPanel(), MUDScriptKind::Triggers);
    EXPECT_EQ(window->editorTabs()->currentWidget(), static_cast<QWidget*>(window->triggerEditor()));

    EXPECT_EQ(MUDScriptingWindowController::showForDocument(*m_documents.front(), m_documents.front()->connection(),
                                                            MUDScriptKind::Notes),
              window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Realm - Notes"));
    EXPECT_EQ(window->editorTabs()->currentWidget(), static_cast<QWidget*>(window->noteEditor()));
    window->setScriptType(7);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Realm - Notes"));

    emit window->leftPanel()->tabBar()->tabBarClicked(MUDScriptKind::Aliases);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Realm - Aliases"));
    EXPECT_EQ(window->editorTabs()->currentWidget(), static_cast<QWidget*>(window->aliasEditor()));
    EXPECT_EQ(window->leftPanel()->tabBar()->tabToolTip(MUDScriptKind::Aliases), QStringLiteral("Aliases"));

    // Once closed, the next request makes a new window that reads the disk afresh.
    writeTrigger(triggersFolder(), QStringLiteral("later"));
    window->cancelButton()->click();
    ASSERT_TRUE(waitUntil([&] { return m_window.isNull(); }, 2000));
    MUDScriptingWindowController* reopened = open(MUDScriptKind::Triggers);
    ASSERT_NE(reopened, nullptr);
    EXPECT_TRUE(reopened->isVisible());
    MUDScriptTreeModel* model = tree(MUDScriptKind::Triggers)->model();
    EXPECT_EQ(model
                  ->match(model->index(0, 0), Qt::DisplayRole, QStringLiteral("later"), 1,
                          Qt::MatchExactly | Qt::MatchRecursive)
                  .size(),
              1);
}

TEST_F(ScriptManagerWindowTest, ADividerStoredBelow150IsRaisedTo150AndStoredOnCancel)
{
    QSettings().setValue(QStringLiteral("triggerSplitPosition"), 40);
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    spinEventLoop(20);
    EXPECT_EQ(window->splitPosition(), 150);
    QSettings().setValue(QStringLiteral("triggerSplitPosition"), 0);
    window->cancelButton()->click();
    EXPECT_EQ(QSettings().value(QStringLiteral("triggerSplitPosition")).toInt(), 150);
}

TEST_F(ScriptManagerWindowTest, SelectionRoutesRecordsToTheEditorAndSetsTheRemoveSegment)
{
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    select(MUDScriptKind::Triggers, QStringLiteral(".login"));
    EXPECT_FALSE(window->removeButton()->isEnabled());
    EXPECT_EQ(window->triggerEditor()->actionView()->toPlainText(), QStringLiteral("say hello"));
    EXPECT_FALSE(window->triggerEditor()->nameField()->isEnabled());
    EXPECT_FALSE(window->triggerEditor()->actionView()->isReadOnly());

    select(MUDScriptKind::Triggers, QStringLiteral("flee"));
    EXPECT_TRUE(window->removeButton()->isEnabled());
    EXPECT_EQ(window->triggerEditor()->nameField()->text(), QStringLiteral("flee"));
    // Another tab with nothing selected: nothing to remove there.
    emit window->leftPanel()->tabBar()->tabBarClicked(MUDScriptKind::Notes);
    EXPECT_FALSE(window->removeButton()->isEnabled());
    emit window->leftPanel()->tabBar()->tabBarClicked(MUDScriptKind::Triggers);
    EXPECT_TRUE(window->removeButton()->isEnabled());

    select(MUDScriptKind::Triggers, QStringLiteral("Combat"));
    EXPECT_TRUE(window->removeButton()->isEnabled());
    EXPECT_EQ(window->triggerEditor()->currentTrigger(), nullptr);
    EXPECT_FALSE(window->triggerEditor()->nameField()->isEnabled());

    select(MUDScriptKind::Triggers, QStringLiteral("Triggers"));
    EXPECT_FALSE(window->removeButton()->isEnabled());

    select(MUDScriptKind::Triggers, QStringLiteral("greet"));
    window->removeButton()->click();
    EXPECT_TRUE(tree(MUDScriptKind::Triggers)->selectedEntry()->isRemoved());
}

TEST_F(ScriptManagerWindowTest, AMouseClickShowsTheClickedRecordAndEditsLandOnIt)
{
    writeAlias(aliasesFolder(), QStringLiteral("k"), QStringLiteral("kill"));
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    MUDTriggerEditorViewController* editor = window->triggerEditor();

    clickRow(MUDScriptKind::Triggers, QStringLiteral("greet"));
    EXPECT_EQ(editor->nameField()->text(), QStringLiteral("greet"));
    clickRow(MUDScriptKind::Triggers, QStringLiteral("flee"));
    EXPECT_EQ(editor->nameField()->text(), QStringLiteral("flee"));
    clickRow(MUDScriptKind::Triggers, QStringLiteral(".login"));
    EXPECT_EQ(editor->actionView()->toPlainText(), QStringLiteral("say hello"));
    EXPECT_FALSE(editor->nameField()->isEnabled());
    EXPECT_FALSE(window->removeButton()->isEnabled());
    clickRow(MUDScriptKind::Triggers, QStringLiteral("Combat"));
    EXPECT_EQ(editor->currentTrigger(), nullptr);
    EXPECT_TRUE(window->removeButton()->isEnabled());

    clickRow(MUDScriptKind::Triggers, QStringLiteral("flee"));
    retype(editor->nameField(), QStringLiteral("run"));

    // The only alias of its tree shows on the first click.
    QTest::mouseClick(window->leftPanel()->tabBar(), Qt::LeftButton, {},
                      window->leftPanel()->tabBar()->tabRect(MUDScriptKind::Aliases).center());
    ASSERT_EQ(window->leftPanel()->selectedTabPanel(), MUDScriptKind::Aliases);
    clickRow(MUDScriptKind::Aliases, QStringLiteral("k"));
    EXPECT_EQ(window->aliasEditor()->nameField()->text(), QStringLiteral("k"));
    retype(window->aliasEditor()->matchField(), QStringLiteral("slay"));

    QTest::mouseClick(window->okButton(), Qt::LeftButton);
    EXPECT_FALSE(QFileInfo::exists(triggersFolder() + QStringLiteral("/Combat/flee.trigger")));
    EXPECT_TRUE(readFile(triggersFolder() + QStringLiteral("/Combat/run.trigger")).contains("orc"));
    EXPECT_TRUE(QFileInfo::exists(triggersFolder() + QStringLiteral("/greet.trigger")));
    EXPECT_FALSE(QFileInfo::exists(triggersFolder() + QStringLiteral("/run.trigger")));
    EXPECT_TRUE(readFile(aliasesFolder() + QStringLiteral("/k.alias")).contains("slay"));
}

TEST_F(ScriptManagerWindowTest, ANewNoteAtTheRootOfTheNotesIsSavedOnOK)
{
    ASSERT_FALSE(QFileInfo::exists(notesFolder()));
    MUDScriptingWindowController* window = open(MUDScriptKind::Notes);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    addEntryWithTheMouse();
    EXPECT_EQ(window->addEntryItem()->text(), QStringLiteral("Add note"));
    ASSERT_TRUE(waitUntil([&] { return window->noteEditor()->currentNote() != nullptr; }, 2000));

    retype(window->noteEditor()->titleField(), QStringLiteral("Route"));
    window->noteEditor()->textView()->setFocus();
    QTest::keyClicks(window->noteEditor()->textView(), QStringLiteral("East, then north."));
    QTest::mouseClick(window->okButton(), Qt::LeftButton);
    EXPECT_EQ(readFile(notesFolder() + QStringLiteral("/Route.txt")), QByteArray("East, then north."));
}

TEST_F(ScriptManagerWindowTest, EditingATriggerUpdatesItsRowAndEverySessionsMatchTest)
{
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    select(MUDScriptKind::Triggers, QStringLiteral("greet"));
    const MUDMatchTest shown = m_documents.front()->mudMatchTest().value<MUDMatchTest>();
    EXPECT_EQ(shown.matchString, QStringLiteral("arrives"));
    EXPECT_EQ(m_otherDocument->mudMatchTest().value<MUDMatchTest>(), shown);

    QTest::keyClicks(window->triggerEditor()->matchField(), QStringLiteral(" here"));
    EXPECT_EQ(m_documents.back()->mudMatchTest().value<MUDMatchTest>().matchString, QStringLiteral("arrives here"));
    MUDScriptTreeModel* model = tree(MUDScriptKind::Triggers)->model();
    const QModelIndex row = model->indexForEntry(tree(MUDScriptKind::Triggers)->selectedEntry());
    EXPECT_TRUE(model->data(row, MUDScriptTreeModel::ModifiedRole).toBool());
}

TEST_F(ScriptManagerWindowTest, CancelLeavesTheDiskUntouchedAndClearsTheMatchTestEverywhere)
{
    const QByteArray before = readFile(triggersFolder() + QStringLiteral("/greet.trigger"));
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    select(MUDScriptKind::Triggers, QStringLiteral("greet"));
    QTest::keyClicks(window->triggerEditor()->matchField(), QStringLiteral(" now"));
    window->onAddNewEntry();
    ASSERT_TRUE(m_documents.front()->mudMatchTest().isValid());

    window->cancelButton()->click();
    EXPECT_FALSE(m_documents.front()->mudMatchTest().isValid());
    EXPECT_FALSE(m_documents.back()->mudMatchTest().isValid());
    EXPECT_FALSE(m_otherDocument->mudMatchTest().isValid());
    EXPECT_EQ(readFile(triggersFolder() + QStringLiteral("/greet.trigger")), before);
    EXPECT_FALSE(QFileInfo::exists(triggersFolder() + QStringLiteral("/New trigger.trigger")));
    EXPECT_FALSE(outputOf(*m_documents.front()).contains(QStringLiteral("Triggers reloaded")));
}

TEST_F(ScriptManagerWindowTest, OKSavesAndOpenSessionsOfTheConnectionReload)
{
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    select(MUDScriptKind::Triggers, QStringLiteral("Combat"));
    window->onAddNewEntry();
    QTest::keyClicks(window->triggerEditor()->matchField(), QStringLiteral("^(\\w+) attacks"));
    window->okButton()->click();

    EXPECT_FALSE(m_documents.front()->mudMatchTest().isValid());
    EXPECT_TRUE(readFile(triggersFolder() + QStringLiteral("/Combat/New trigger.trigger")).contains("attacks"));
    for (const auto& document : m_documents)
        EXPECT_TRUE(outputOf(*document).contains(QStringLiteral("Triggers reloaded")));
    EXPECT_FALSE(outputOf(*m_otherDocument).contains(QStringLiteral("Triggers reloaded")));
    const auto triggers = MUDConnectionLists::triggers(*m_documents.front()->connection());
    ASSERT_TRUE(triggers.has_value());
    EXPECT_TRUE(std::any_of(triggers->begin(), triggers->end(),
                            [](const auto& trigger) { return trigger->title() == QStringLiteral("New trigger"); }));
}

TEST_F(ScriptManagerWindowTest, TheFolderNameSheetRefusesAnEmptyNameAndAddsANamedFolder)
{
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    window->onAddNewFolder();
    MUDFolderNameWindowController* sheet = tree(MUDScriptKind::Triggers)->folderNameSheet();
    ASSERT_NE(sheet, nullptr);
    sheet->okButton()->click();
    ASSERT_NE(sheet->nameAlert(), nullptr);
    EXPECT_EQ(sheet->nameAlert()->text(), QStringLiteral("Folder name reqired"));
    EXPECT_EQ(sheet->nameAlert()->informativeText(), QStringLiteral("You must enter a folder name"));
    EXPECT_TRUE(sheet->isVisible());
    sheet->nameAlert()->close();
    ASSERT_TRUE(waitUntil([&] { return sheet->nameAlert() == nullptr; }, 2000));

    sheet->nameField()->setText(QStringLiteral("Hunting"));
    sheet->okButton()->click();
    CVFolderTreeEntry& root = *tree(MUDScriptKind::Triggers)->model()->root();
    const auto names = [&] {
        QStringList list;
        for (const auto& child : root.childTreeEntries())
            list.append(child->displayName());
        return list;
    };
    ASSERT_TRUE(waitUntil([&] { return names().contains(QStringLiteral("Hunting")); }, 2000));
    EXPECT_EQ(tree(MUDScriptKind::Triggers)->selectedEntry()->displayName(), QStringLiteral("Hunting"));
}

TEST_F(ScriptManagerWindowTest, TheFolderNameSheetRefusesNamesThatAreNoFolderName)
{
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    window->onAddNewFolder();
    MUDFolderNameWindowController* sheet = tree(MUDScriptKind::Triggers)->folderNameSheet();
    ASSERT_NE(sheet, nullptr);
    struct Row {
        QString name, reason;
    } rows[] = {
        {QStringLiteral("a/b"), QStringLiteral("The folder name cannot contain \"/\".")},
        {QStringLiteral("."), QStringLiteral("The folder name cannot be \".\" or \"..\".")},
        {QStringLiteral(".."), QStringLiteral("The folder name cannot be \".\" or \"..\".")},
        {QStringLiteral("   "), QStringLiteral("You must enter a folder name")},
    };
    for (const Row& row : rows) {
        retype(sheet->nameField(), row.name);
        QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
        ASSERT_NE(sheet->nameAlert(), nullptr) << row.name.toStdString();
        EXPECT_EQ(sheet->nameAlert()->informativeText(), row.reason);
        EXPECT_TRUE(sheet->isVisible());
        sheet->nameAlert()->close();
        ASSERT_TRUE(waitUntil([&] { return sheet->nameAlert() == nullptr; }, 2000));
    }
    EXPECT_EQ(tree(MUDScriptKind::Triggers)->model()->root()->childTreeEntries().size(), 3) << "nothing added";
}

TEST_F(ScriptManagerWindowTest, RemovingOnlyAFolderReloadsTheOpenSessions)
{
    ASSERT_TRUE(sessionHasTrigger(QStringLiteral("flee")));
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    clickRow(MUDScriptKind::Triggers, QStringLiteral("Combat"));
    QTest::mouseClick(window->removeButton(), Qt::LeftButton);
    QTest::mouseClick(window->okButton(), Qt::LeftButton);
    EXPECT_FALSE(QFileInfo::exists(triggersFolder() + QStringLiteral("/Combat")));
    for (const auto& document : m_documents)
        EXPECT_TRUE(outputOf(*document).contains(QStringLiteral("Triggers reloaded")));
    EXPECT_FALSE(sessionHasTrigger(QStringLiteral("flee")));
}

TEST_F(ScriptManagerWindowTest, AFolderThatCannotBeRenamedKeepsItsEntriesAndThePlayerIsTold)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Taken"), QStringLiteral("theirs"));
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    clickRow(MUDScriptKind::Triggers, QStringLiteral("flee"));
    retype(window->triggerEditor()->matchField(), QStringLiteral("troll"));
    chooseFromContextMenu(MUDScriptKind::Triggers, QStringLiteral("Combat"), QStringLiteral("Rename..."));
    MUDFolderNameWindowController* sheet = tree(MUDScriptKind::Triggers)->folderNameSheet();
    ASSERT_NE(sheet, nullptr);
    retype(sheet->nameField(), QStringLiteral("Taken"));
    QTest::mouseClick(sheet->okButton(), Qt::LeftButton);
    QTest::mouseClick(window->okButton(), Qt::LeftButton);

    EXPECT_TRUE(readFile(triggersFolder() + QStringLiteral("/Combat/flee.trigger")).contains("troll"));
    EXPECT_FALSE(QFileInfo::exists(triggersFolder() + QStringLiteral("/Taken/flee.trigger")));
    EXPECT_TRUE(QFileInfo::exists(triggersFolder() + QStringLiteral("/Taken/theirs.trigger")));
    const QList<QMessageBox*> alerts = alertsSaying(QStringLiteral("Some changes could not be saved"));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first()->informativeText().contains(QStringLiteral("\"Combat\"")))
        << alerts.first()->informativeText().toStdString();
    delete alerts.first();
}

TEST_F(ScriptManagerWindowTest, AnEditThatEndsTheSearchFilterEmptiesTheSearchField)
{
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QLineEdit* search = tree(MUDScriptKind::Triggers)->searchField();
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("gre"));
    ASSERT_TRUE(tree(MUDScriptKind::Triggers)->model()->isFiltered());
    addEntryWithTheMouse();
    ASSERT_TRUE(waitUntil([&] { return !tree(MUDScriptKind::Triggers)->model()->isFiltered(); }, 2000));
    EXPECT_EQ(search->text(), QString());
    EXPECT_EQ(tree(MUDScriptKind::Triggers)->selectedEntry()->displayName(), QStringLiteral("New trigger"));
}

TEST_F(ScriptManagerWindowTest, ContextMenusOfFoldersAndTriggers)
{
    open(MUDScriptKind::Triggers);
    MUDScriptingOutlineViewController* triggers = tree(MUDScriptKind::Triggers);
    CVFolderTreeEntry& root = *triggers->model()->root();
    const auto items = [](QMenu* menu) {
        QStringList list;
        for (QAction* action : menu->actions())
            list.append(action->isSeparator()
                            ? QStringLiteral("-")
                            : action->text() + (action->isEnabled() ? QString() : QStringLiteral("(off)")));
        delete menu;
        return list;
    };
    EXPECT_EQ(items(triggers->menuForEntry(&root)),
              (QStringList{QStringLiteral("Add"), QStringLiteral("-"), QStringLiteral("Rename...(off)"),
                           QStringLiteral("Remove(off)"), QStringLiteral("-"), QStringLiteral("Show in finder")}));
    select(MUDScriptKind::Triggers, QStringLiteral(".login"));
    EXPECT_EQ(items(triggers->menuForEntry(triggers->selectedEntry())),
              (QStringList{QStringLiteral("Remove(off)"), QStringLiteral("-"), QStringLiteral("Show in finder")}));
    const auto added = triggers->model()->addNewEntry(nullptr);
    EXPECT_EQ(items(triggers->menuForEntry(added.get())),
              (QStringList{QStringLiteral("Remove"), QStringLiteral("-"), QStringLiteral("Show in finder(off)")}));
    select(MUDScriptKind::Triggers, QStringLiteral("flee"));
    EXPECT_EQ(MUDScriptingOutlineViewController::locationToReveal(*triggers->selectedEntry()),
              triggersFolder() + QStringLiteral("/Combat"));
    EXPECT_EQ(triggers->menuForEntry(tree(MUDScriptKind::Aliases)->model()->root()->childTreeEntries().value(0).get()),
              nullptr);
}

TEST_F(ScriptManagerWindowTest, TheRegexTesterMarksMatchesAndGroupsAndKeepsThemForAnInvalidPattern)
{
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    window->openRegexTester(QStringLiteral("(\\d+) GOLD"));
    MUDRegexTesterWindowController* tester = window->regexTester();
    ASSERT_NE(tester, nullptr);
    EXPECT_EQ(tester->patternView()->toPlainText(), QStringLiteral("(\\d+) GOLD"));
    tester->testView()->setPlainText(QStringLiteral("5 gold, then 12 gold"));
    const auto marks = tester->testView()->extraSelections();
    ASSERT_EQ(marks.size(), 4);
    EXPECT_EQ(marks[0].cursor.selectedText(), QStringLiteral("5 gold"));
    EXPECT_EQ(marks[0].format.background().color(), MUDRegexTesterWindowController::matchBackgroundColor());
    EXPECT_EQ(marks[1].cursor.selectedText(), QStringLiteral("5"));
    EXPECT_EQ(marks[1].format.foreground().color(), MUDRegexTesterWindowController::groupForegroundColor());
    EXPECT_EQ(marks[3].cursor.selectedText(), QStringLiteral("12"));

    tester->patternView()->setPlainText(QStringLiteral("(unclosed"));
    EXPECT_EQ(tester->testView()->extraSelections().size(), 4);
}

// A person turns a text trigger into a GMCP package trigger: clicks the
// pattern pop-up, clicks "GMCP package", types the package. Only that
// trigger's file changes, and it keeps the new match type.
TEST_F(ScriptManagerWindowTest, AGMCPPackageChosenInThePatternPopUpIsSavedAsMatchType2)
{
    writeTrigger(triggersFolder(), QStringLiteral("bow"), QStringLiteral("(\\w+) bows"), 1);
    const QByteArray bowBefore = readFile(triggersFolder() + QStringLiteral("/bow.trigger"));
    const QByteArray fleeBefore = readFile(triggersFolder() + QStringLiteral("/Combat/flee.trigger"));
    MUDScriptingWindowController* window = open(MUDScriptKind::Triggers);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    MUDTriggerEditorViewController* editor = window->triggerEditor();
    clickRow(MUDScriptKind::Triggers, QStringLiteral("greet"));

    QComboBox* popup = editor->patternPopup();
    QTest::mouseClick(popup, Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return popup->view()->isVisible(); }, 2000));
    const QModelIndex item = popup->model()->index(popup->findText(QStringLiteral("GMCP package")), 0);
    ASSERT_TRUE(item.isValid());
    // The pop-up ignores a release that comes as fast as a double click.
    spinEventLoop(QApplication::doubleClickInterval() + 100);
    QTest::mouseClick(popup->view()->viewport(), Qt::LeftButton, {}, popup->view()->visualRect(item).center());
    ASSERT_TRUE(waitUntil([&] { return !popup->view()->isVisible(); }, 2000));
    EXPECT_EQ(popup->currentText(), QStringLiteral("GMCP package"));
    retype(editor->matchField(), QStringLiteral("Char.Vitals"));
    EXPECT_EQ(m_documents.front()->mudMatchTest().value<MUDMatchTest>().matchType, MUDTrigger::kMatchGMCPPackage);
    QTest::mouseClick(window->okButton(), Qt::LeftButton);

    const QJsonObject saved =
        QJsonDocument::fromJson(readFile(triggersFolder() + QStringLiteral("/greet.trigger"))).object();
    EXPECT_EQ(saved.value(QStringLiteral("matchType")).toInt(), MUDTrigger::kMatchGMCPPackage);
    EXPECT_EQ(saved.value(QStringLiteral("matchString")).toString(), QStringLiteral("Char.Vitals"));
    EXPECT_EQ(readFile(triggersFolder() + QStringLiteral("/bow.trigger")), bowBefore);
    EXPECT_EQ(readFile(triggersFolder() + QStringLiteral("/Combat/flee.trigger")), fleeBefore);

    // Shown again, the trigger's pop-up says what it is.
    open(MUDScriptKind::Triggers);
    select(MUDScriptKind::Triggers, QStringLiteral("greet"));
    EXPECT_EQ(m_window->triggerEditor()->patternPopup()->currentText(), QStringLiteral("GMCP package"));
}

}
