#include "app/scripting/MUDScriptTreeModel.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QSet>
#include <functional>

#include "app/scripting/CVFolderTreeEntry.h"
#include "app/scripting/CVTriggerTreeEntry.h"
#include "app/scripting/MUDAliasTreeEntry.h"
#include "app/scripting/MUDNoteTreeEntry.h"
#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptTreeLoader.h"
#include "core/CVColorHelpers.h"
#include "core/CVLogHelper.h"

namespace {

constexpr int kExpandAllLimit = 10;
// Bounds the candidate search: a tree never holds this many records.
constexpr int kMaxNameCandidates = 1000000;

QString candidateName(int entryType, int n)
{
    const QString base = entryType == MUDScriptKind::Notes     ? QStringLiteral("New note")
                         : entryType == MUDScriptKind::Aliases ? QStringLiteral("New alias")
                                                               : QStringLiteral("New trigger");
    return n == 0 ? base : QStringLiteral("%1 %2").arg(base).arg(n);
}

void collectStoredTitles(const CVDatabaseTreeEntry& entry, QSet<QString>& titles)
{
    if (auto trigger = dynamic_cast<const CVTriggerTreeEntry*>(&entry))
        titles.insert(trigger->trigger()->title());
    else if (auto alias = dynamic_cast<const MUDAliasTreeEntry*>(&entry))
        titles.insert(alias->alias()->title());
    else if (auto note = dynamic_cast<const MUDNoteTreeEntry*>(&entry))
        titles.insert(note->note()->title());
    for (const auto& child : entry.childTreeEntries())
        collectStoredTitles(*child, titles);
}

// A copy of `entry` holding the matching descendants, or null.
CVDatabaseTreeEntry::Ptr searchResultFor(const CVDatabaseTreeEntry& entry, const QString& text)
{
    QList<CVDatabaseTreeEntry::Ptr> results;
    for (const auto& child : entry.childTreeEntries()) {
        if (auto result = searchResultFor(*child, text))
            results.append(result);
    }
    if (results.isEmpty() && !entry.matchesString(text))
        return nullptr;
    auto result = entry.copy();
    for (const auto& child : results)
        child->setParent(result);
    result->setChildTreeEntries(results);
    return result;
}

int totalRootChildren(const QList<CVDatabaseTreeEntry::Ptr>& roots)
{
    int count = 0;
    for (const auto& root : roots)
        count += root->childTreeEntries().size();
    return count;
}

}

QColor MUDScriptTreeModel::modifiedColor()
{
    return hexToColor(u"3fa12d");
}

MUDScriptTreeModel::MUDScriptTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
{
}

MUDScriptTreeModel::~MUDScriptTreeModel() = default;

void MUDScriptTreeModel::initializeWithType(int entryType, const std::shared_ptr<MUDConnection>& connection)
{
    m_entryType = entryType;
    setEntries({MUDScriptTreeLoader::loadTree(entryType, connection)});
}

void MUDScriptTreeModel::setEntries(const QList<CVDatabaseTreeEntry::Ptr>& entries)
{
    beginResetModel();
    m_entries = entries;
    m_filteredEntries.reset();
    endResetModel();
    emit treeReloaded();
}

QList<CVDatabaseTreeEntry::Ptr> MUDScriptTreeModel::entriesForTree() const
{
    return m_filteredEntries ? *m_filteredEntries : m_entries;
}

std::shared_ptr<CVFolderTreeEntry> MUDScriptTreeModel::root() const
{
    return m_entries.isEmpty() ? nullptr : std::dynamic_pointer_cast<CVFolderTreeEntry>(m_entries.first());
}

bool MUDScriptTreeModel::expandsDescendants() const
{
    return isFiltered() || totalRootChildren(m_entries) <= kExpandAllLimit;
}

QString MUDScriptTreeModel::newEntryName() const
{
    QSet<QString> titles;
    for (const auto& entry : m_entries)
        collectStoredTitles(*entry, titles);
    for (int n = 0; n < kMaxNameCandidates; ++n) {
        const QString candidate = candidateName(m_entryType, n);
        if (!titles.contains(candidate))
            return candidate;
    }
    return candidateName(m_entryType, kMaxNameCandidates);
}

std::shared_ptr<CVFolderTreeEntry> MUDScriptTreeModel::receivingFolder(CVDatabaseTreeEntry* selected) const
{
    for (auto entry = fullTreeEntry(selected); entry; entry = entry->parent()) {
        if (auto folder = std::dynamic_pointer_cast<CVFolderTreeEntry>(entry))
            return folder;
    }
    return root();
}

CVDatabaseTreeEntry::Ptr MUDScriptTreeModel::addNewEntry(CVDatabaseTreeEntry* selected)
{
    const auto folder = receivingFolder(selected);
    if (!folder)
        return nullptr;
    const QString title = newEntryName();
    CVDatabaseTreeEntry::Ptr entry;
    if (m_entryType == MUDScriptKind::Triggers) {
        auto trigger = std::make_shared<MUDTrigger>();
        trigger->setIsNew(true);
        trigger->setTitle(title);
        trigger->setActionType(1);
        trigger->setParentURL(folder->url());
        trigger->setMatchFromStartOfLine(true);
        trigger->setModifiedInstance(trigger->copy());
        entry = std::make_shared<CVTriggerTreeEntry>(trigger);
    } else if (m_entryType == MUDScriptKind::Aliases) {
        auto alias = std::make_shared<MUDAlias>();
        alias->setIsNew(true);
        alias->setTitle(title);
        alias->setParentURL(folder->url());
        alias->setMatchFromStartOfLine(true);
        alias->setModifiedInstance(alias->copy());
        entry = std::make_shared<MUDAliasTreeEntry>(alias);
    } else {
        auto note = std::make_shared<MUDNote>();
        note->setIsNew(true);
        note->setTitle(title);
        note->setParentURL(folder->url());
        note->setModifiedInstance(note->copy());
        entry = std::make_shared<MUDNoteTreeEntry>(note);
    }
    return addEntry(folder, entry);
}

CVDatabaseTreeEntry::Ptr MUDScriptTreeModel::addNewFolder(CVDatabaseTreeEntry* selected, const QString& name)
{
    const auto folder = receivingFolder(selected);
    if (!folder || name.isEmpty())
        return nullptr;
    auto entry = std::make_shared<CVFolderTreeEntry>(joinedPath(folder->url(), name), folder->connection(),
                                                     folder->entryType(), name, false);
    entry->setIsNewFolder(true);
    return addEntry(folder, entry);
}

CVDatabaseTreeEntry::Ptr MUDScriptTreeModel::addEntry(const std::shared_ptr<CVFolderTreeEntry>& folder,
                                                      CVDatabaseTreeEntry::Ptr entry)
{
    clearFilterForEdit();
    beginResetModel();
    folder->childTreeEntries().append(entry);
    entry->setParent(folder);
    MUDScriptTreeLoader::sortEntries(*folder);
    folder->setExpanded(true);
    endResetModel();
    emit entryAdded(indexForEntry(entry.get()));
    return entry;
}

void MUDScriptTreeModel::renameFolder(CVDatabaseTreeEntry* entry, const QString& name)
{
    auto folder = std::dynamic_pointer_cast<CVFolderTreeEntry>(fullTreeEntry(entry));
    if (!folder || folder->isRoot() || name.isEmpty())
        return;
    // Folder copies of the filter keep their own names: show the full tree.
    clearFilterForEdit();
    folder->setModifiedName(name);
    entryChanged(folder.get());
}

void MUDScriptTreeModel::toggleRemoved(CVDatabaseTreeEntry* entry)
{
    const auto target = fullTreeEntry(entry);
    if (!target || !target->canBeRemoved())
        return;
    target->setIsRemoved(!target->isRemoved());
    changedAfterRemoval(entry, target);
}

void MUDScriptTreeModel::removeEntry(CVDatabaseTreeEntry* entry)
{
    const auto target = fullTreeEntry(entry);
    if (!target || !target->canBeRemoved())
        return;
    CVLog(QStringLiteral("Removing entry %1").arg(target->displayName()));
    if (auto folder = std::dynamic_pointer_cast<CVFolderTreeEntry>(target))
        folder->setIsRemoved(!folder->isMarkedRemoved());
    else if (auto trigger = std::dynamic_pointer_cast<CVTriggerTreeEntry>(target))
        trigger->setIsRemoved(!trigger->trigger()->isRemoved());
    else if (auto alias = std::dynamic_pointer_cast<MUDAliasTreeEntry>(target))
        alias->setIsRemoved(!alias->alias()->isRemoved());
    else if (auto note = std::dynamic_pointer_cast<MUDNoteTreeEntry>(target))
        note->setIsRemoved(!note->note()->isRemoved());
    changedAfterRemoval(entry, target);
}

void MUDScriptTreeModel::changedAfterRemoval(CVDatabaseTreeEntry* shown, const CVDatabaseTreeEntry::Ptr& target)
{
    // Leaf copies of the filter share their record; folder copies keep
    // their own mark, so a folder's removal shows the full tree again.
    if (isFiltered() && target->canHaveChildren()) {
        clearFilterForEdit();
        shown = target.get();
    }
    entryAndChildrenChanged(shown);
}

void MUDScriptTreeModel::setSearchText(const QString& text)
{
    beginResetModel();
    if (text.isEmpty()) {
        m_filteredEntries.reset();
    } else {
        QList<CVDatabaseTreeEntry::Ptr> results;
        for (const auto& entry : m_entries) {
            if (auto result = searchResultFor(*entry, text))
                results.append(result);
        }
        m_filteredEntries = results;
    }
    endResetModel();
    emit treeReloaded();
}

void MUDScriptTreeModel::clearFilterForEdit()
{
    // Additions go into the full tree, which the view then shows again.
    if (!m_filteredEntries)
        return;
    setSearchText(QString());
    emit searchTextCleared();
}

CVDatabaseTreeEntry::Ptr MUDScriptTreeModel::fullTreeEntry(CVDatabaseTreeEntry* entry) const
{
    return entry ? entry->original() : nullptr;
}

void MUDScriptTreeModel::entryChanged(CVDatabaseTreeEntry* entry)
{
    const QModelIndex index = indexForEntry(entry);
    if (index.isValid())
        emit dataChanged(index, index);
}

void MUDScriptTreeModel::entryAndChildrenChanged(CVDatabaseTreeEntry* entry)
{
    std::function<void(CVDatabaseTreeEntry*)> visit = [&](CVDatabaseTreeEntry* node) {
        entryChanged(node);
        for (const auto& child : node->childTreeEntries())
            visit(child.get());
    };
    if (entry)
        visit(entry);
}

CVDatabaseTreeEntry* MUDScriptTreeModel::entryForIndex(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<CVDatabaseTreeEntry*>(index.internalPointer()) : nullptr;
}

QModelIndex MUDScriptTreeModel::indexForEntry(const CVDatabaseTreeEntry* entry) const
{
    if (!entry)
        return {};
    const auto parentEntry = entry->parent();
    const QList<CVDatabaseTreeEntry::Ptr> siblings = parentEntry ? parentEntry->childTreeEntries() : entriesForTree();
    for (int row = 0; row < siblings.size(); ++row) {
        if (siblings[row].get() == entry)
            return createIndex(row, 0, const_cast<CVDatabaseTreeEntry*>(entry));
    }
    return {};
}

QModelIndex MUDScriptTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    const QList<CVDatabaseTreeEntry::Ptr> children =
        parent.isValid() ? entryForIndex(parent)->childTreeEntries() : entriesForTree();
    return row < children.size() ? createIndex(row, 0, children[row].get()) : QModelIndex();
}

QModelIndex MUDScriptTreeModel::parent(const QModelIndex& child) const
{
    const CVDatabaseTreeEntry* entry = entryForIndex(child);
    return entry ? indexForEntry(entry->parent().get()) : QModelIndex();
}

int MUDScriptTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return parent.isValid() ? entryForIndex(parent)->childTreeEntries().size() : entriesForTree().size();
}

int MUDScriptTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool MUDScriptTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !entriesForTree().isEmpty();
    const CVDatabaseTreeEntry* entry = entryForIndex(parent);
    return entry->canHaveChildren() || !entry->childTreeEntries().isEmpty();
}

QVariant MUDScriptTreeModel::data(const QModelIndex& index, int role) const
{
    const CVDatabaseTreeEntry* entry = entryForIndex(index);
    if (!entry)
        return {};
    const auto modifiable = dynamic_cast<const CVTreeEntryModifiable*>(entry);
    const bool modified = modifiable && modifiable->isModified();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return entry->displayName();
    case Qt::DecorationRole: return entry->image();
    case Qt::ForegroundRole:
        if (!entry->isRemoved() && modified)
            return modifiedColor();
        return QApplication::palette().color(QPalette::WindowText);
    case Qt::FontRole: {
        QFont font = QApplication::font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() - 2);
        font.setStrikeOut(entry->isRemoved());
        return font;
    }
    case RemovedRole: return entry->isRemoved();
    case ModifiedRole: return modified;
    default: return {};
    }
}
