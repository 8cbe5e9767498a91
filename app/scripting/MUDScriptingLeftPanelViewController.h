#pragma once

#include <QStringList>
#include <QWidget>
#include <memory>

#include "app/scripting/CVDatabaseTreeEntry.h"

class MUDConnection;
class MUDScriptingOutlineViewController;
class QStackedWidget;
class QTabBar;

// The left side of the script manager: a tab bar (notes, aliases,
// triggers) over the three script trees, and the commit of all three.
// Main thread.
class MUDScriptingLeftPanelViewController : public QWidget {
    Q_OBJECT
public:
    explicit MUDScriptingLeftPanelViewController(std::shared_ptr<MUDConnection> connection, QWidget* parent = nullptr);

    // 0, 1 or 2; -1 when no known tab is selected.
    int selectedTabPanel() const;
    void selectNotes() { selectTab(0); }
    void selectAliases() { selectTab(1); }
    void selectTriggers() { selectTab(2); }
    QTabBar* tabBar() const { return m_tabBar; }

    // The tree of a script kind, and of the selected tab.
    MUDScriptingOutlineViewController* treeController(int scriptKind) const;
    MUDScriptingOutlineViewController* selectedTreeController() const;

    void addNewFolder();
    void addNewEntry();
    void removeSelectedEntry();
    void reloadDisplayForSelectedEntry();
    // Writes every pending edit of the three trees; returns what could not
    // be done, one sentence per failure.
    QStringList saveChanges();

signals:
    void selectionChanged(MUDScriptingOutlineViewController* controller, CVDatabaseTreeEntry* entry);
    // The user clicked tab `index`.
    void panelChanged(int index);

private:
    void selectTab(int index);

    std::shared_ptr<MUDConnection> m_connection;
    QTabBar* m_tabBar;
    QStackedWidget* m_tabView;
    MUDScriptingOutlineViewController* m_trees[3];
};
