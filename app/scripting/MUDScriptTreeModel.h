#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <memory>
#include <optional>

#include "app/scripting/CVDatabaseTreeEntry.h"

class CVFolderTreeEntry;
class MUDConnection;

// One script tree (notes, aliases or triggers) and its edits in memory:
// new entries and folders, renames, removal marks and the search filter.
// Nothing is written to disk here; MUDScriptTreeCommit does that on OK.
// While a search text is set the view shows node copies; every edit acts on
// the full tree. Main thread.
class MUDScriptTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        RemovedRole = Qt::UserRole + 1,
        ModifiedRole,
    };
    // Rows of modified entries show their name in this colour.
    static QColor modifiedColor();

    explicit MUDScriptTreeModel(QObject* parent = nullptr);
    ~MUDScriptTreeModel() override;

    // Builds the tree of `entryType` from the connection's folder.
    void initializeWithType(int entryType, const std::shared_ptr<MUDConnection>& connection);
    int entryType() const { return m_entryType; }

    QList<CVDatabaseTreeEntry::Ptr> entries() const { return m_entries; }
    void setEntries(const QList<CVDatabaseTreeEntry::Ptr>& entries);
    // The filtered copies while a search text is set, else the entries.
    QList<CVDatabaseTreeEntry::Ptr> entriesForTree() const;
    bool isFiltered() const { return m_filteredEntries.has_value(); }
    std::shared_ptr<CVFolderTreeEntry> root() const;

    // Whether the view expands the roots' descendants too (at most 10
    // children under the roots, or while filtering).
    bool expandsDescendants() const;

    // The first free "New trigger", "New trigger 1", ... by stored titles.
    QString newEntryName() const;
    // The folder that receives an addition: the selected folder, else the
    // selected node's nearest folder, else the root.
    std::shared_ptr<CVFolderTreeEntry> receivingFolder(CVDatabaseTreeEntry* selected) const;

    // Each returns the added node (null when nothing was added).
    CVDatabaseTreeEntry::Ptr addNewEntry(CVDatabaseTreeEntry* selected);
    CVDatabaseTreeEntry::Ptr addNewFolder(CVDatabaseTreeEntry* selected, const QString& name);
    void renameFolder(CVDatabaseTreeEntry* folder, const QString& name);
    // Context menu: the mark becomes the negation of isRemoved (which
    // includes a removed parent).
    void toggleRemoved(CVDatabaseTreeEntry* entry);
    // Remove button: logs, then negates the node's own mark.
    void removeEntry(CVDatabaseTreeEntry* entry);
    // An empty text clears the filter.
    void setSearchText(const QString& text);

    // The row shows new state of `entry` (an editor changed its record).
    void entryChanged(CVDatabaseTreeEntry* entry);

    CVDatabaseTreeEntry* entryForIndex(const QModelIndex& index) const;
    QModelIndex indexForEntry(const CVDatabaseTreeEntry* entry) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    // The view should show the whole tree again (expansion rules apply).
    void treeReloaded();
    // A node was added: the view selects and reveals it.
    void entryAdded(const QModelIndex& index);
    // An edit ended the search filter: the search text is gone too.
    void searchTextCleared();

private:
    CVDatabaseTreeEntry::Ptr addEntry(const std::shared_ptr<CVFolderTreeEntry>& folder, CVDatabaseTreeEntry::Ptr entry);
    // The node of the full tree behind a (possibly filtered) node.
    CVDatabaseTreeEntry::Ptr fullTreeEntry(CVDatabaseTreeEntry* entry) const;
    void clearFilterForEdit();
    void entryAndChildrenChanged(CVDatabaseTreeEntry* entry);
    void changedAfterRemoval(CVDatabaseTreeEntry* shown, const CVDatabaseTreeEntry::Ptr& target);

    int m_entryType = 0;
    QList<CVDatabaseTreeEntry::Ptr> m_entries;
    std::optional<QList<CVDatabaseTreeEntry::Ptr>> m_filteredEntries;
};
