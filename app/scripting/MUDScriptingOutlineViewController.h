#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/scripting/CVDatabaseTreeEntry.h"
#include "app/scripting/MUDFolderNameWindowController.h"

class MUDConnection;
class MUDScriptTreeModel;
class QLineEdit;
class QMenu;
class QTreeView;

// One script tree on screen: its search field, the outline view with its
// row painter and context menus, and the add, rename, remove and reveal
// commands. The tree itself is MUDScriptTreeModel. Main thread.
class MUDScriptingOutlineViewController : public QWidget {
    Q_OBJECT
public:
    explicit MUDScriptingOutlineViewController(QWidget* parent = nullptr);
    ~MUDScriptingOutlineViewController() override;

    void initializeWithType(int entryType, const std::shared_ptr<MUDConnection>& connection);
    MUDScriptTreeModel* model() const { return m_model; }
    QTreeView* outlineView() const { return m_outlineView; }
    QLineEdit* searchField() const { return m_searchField; }

    CVDatabaseTreeEntry* selectedEntry() const;
    void selectEntry(const CVDatabaseTreeEntry* entry);

    void addNewEntry();
    // Asks for the name on the folder-name sheet.
    void addNewFolder();
    void renameFolder(CVDatabaseTreeEntry* folder);
    void reloadDisplayForSelectedEntry();
    // The sheet asking for a folder name, while it is shown.
    MUDFolderNameWindowController* folderNameSheet() const { return m_folderNameSheet; }

    // The node's context menu (folders and triggers); null for others.
    // The caller owns the menu.
    QMenu* menuForEntry(CVDatabaseTreeEntry* entry);
    // Where "Show in finder" opens: the folder as it is on disk, or the
    // folder holding a saved trigger's file.
    static QString locationToReveal(const CVDatabaseTreeEntry& entry);

signals:
    void selectionChanged(MUDScriptingOutlineViewController* controller, CVDatabaseTreeEntry* entry);

private:
    void onTreeReloaded();
    void onEntryAdded(const QModelIndex& index);
    void showContextMenu(const QPoint& position);
    // Shows the folder-name sheet; `done` gets the name on OK.
    void askFolderName(const QString& initial, std::function<void(const QString&)> done);
    void expand(const QModelIndex& index, bool recursive);

    MUDScriptTreeModel* m_model;
    QLineEdit* m_searchField;
    QTreeView* m_outlineView;
    QPointer<MUDFolderNameWindowController> m_folderNameSheet;
};
