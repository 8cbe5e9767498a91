#include "app/scripting/MUDScriptTreeCommit.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "app/scripting/CVFolderTreeEntry.h"
#include "app/scripting/CVTriggerTreeEntry.h"
#include "app/scripting/MUDAliasTreeEntry.h"
#include "app/scripting/MUDNoteTreeEntry.h"
#include "app/scripting/MUDScriptKind.h"
#include "core/CVLogHelper.h"
#include "engine/automation/MUDAliasesModifiedObject.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/automation/MUDTriggersModifiedObject.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {

const QString kWhere = QStringLiteral("MUDScriptingLeftPanelViewController:saveChanges");

template<class Record> void appendOnce(QList<std::shared_ptr<Record>>& list, const std::shared_ptr<Record>& item)
{
    if (!list.contains(item))
        list.append(item);
}

// A modified record moves (through its working copy) to its node's folder.
template<class Entry, class List> bool collectLeaf(const CVDatabaseTreeEntry::Ptr& entry, List& list)
{
    const auto leaf = std::dynamic_pointer_cast<Entry>(entry);
    if (!leaf)
        return false;
    const auto record = leaf->record();
    if (record->isNew() && record->isRemoved())
        return true;
    if (record->isModified()) {
        if (const auto folder = std::dynamic_pointer_cast<CVFolderTreeEntry>(leaf->parent()))
            leaf->setURL(folder->url());
        appendOnce(list, record);
    }
    return true;
}

// Everything below a folder that moved now lives below its new place.
void moveDescendants(const CVFolderTreeEntry& folder)
{
    for (const auto& child : folder.childTreeEntries()) {
        if (const auto childFolder = std::dynamic_pointer_cast<CVFolderTreeEntry>(child)) {
            childFolder->setParentURL(folder.url());
            moveDescendants(*childFolder);
            continue;
        }
        const auto moveRecord = [&](const auto& record) {
            record->setParentURL(folder.url());
            if (const auto copy = record->modifiedInstance())
                copy->setParentURL(folder.url());
        };
        if (const auto trigger = std::dynamic_pointer_cast<CVTriggerTreeEntry>(child))
            moveRecord(trigger->trigger());
        else if (const auto alias = std::dynamic_pointer_cast<MUDAliasTreeEntry>(child))
            moveRecord(alias->alias());
        else if (const auto note = std::dynamic_pointer_cast<MUDNoteTreeEntry>(child))
            moveRecord(note->note());
    }
}

int depthOf(const QString& path)
{
    return QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts).size();
}

}

void MUDScriptTreeCommit::getModifiedTreeEntires(const QList<CVDatabaseTreeEntry::Ptr>& entries, Changes& changes)
{
    for (const auto& entry : entries) {
        if (collectLeaf<CVTriggerTreeEntry>(entry, changes.triggersToSave) ||
            collectLeaf<MUDAliasTreeEntry>(entry, changes.aliasesToSave) ||
            collectLeaf<MUDNoteTreeEntry>(entry, changes.notesToModify))
            continue;
        const auto folder = std::dynamic_pointer_cast<CVFolderTreeEntry>(entry);
        if (!folder)
            continue;
        if (folder->isModified()) {
            // A folder made and removed before the commit never existed.
            if (folder->isNewFolder() && folder->isRemoved())
                continue;
            appendOnce(changes.foldersToModify, folder);
        }
        // A removed folder goes with everything in it: saving its records
        // would only bring it back.
        if (folder->isRemoved())
            continue;
        getModifiedTreeEntires(folder->childTreeEntries(), changes);
    }
}

QStringList MUDScriptTreeCommit::modifyFolders(QList<std::shared_ptr<CVFolderTreeEntry>> folders)
{
    std::stable_sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) {
        const int depthA = depthOf(a->url());
        const int depthB = depthOf(b->url());
        if (depthA != depthB)
            return depthA < depthB;
        return QFileInfo(a->url()).fileName().compare(QFileInfo(b->url()).fileName(), Qt::CaseInsensitive) < 0;
    });
    QStringList problems;

    for (const auto& folder : folders) {
        const auto parent = folder->parent();
        if (!folder->isRemoved() || folder->isNewFolder() || (parent && parent->isRemoved()))
            continue;
        // Nothing has moved yet: the folder is still where it was loaded.
        if (!QDir(folder->origionalURL()).removeRecursively()) {
            CVLog(QStringLiteral("%1 - failed to remove folder. Error: %2")
                      .arg(kWhere, QStringLiteral("Could not remove %1").arg(folder->origionalURL())));
            problems.append(QStringLiteral("The folder \"%1\" could not be removed.").arg(folder->origionalName()));
        }
    }

    // Renames before creations, so a new folder inside a renamed one is made
    // in its new place and never blocks the move.
    for (const auto& folder : folders) {
        if (!folder->isRenamed() || folder->isRemoved())
            continue;
        const bool taken = QFileInfo::exists(folder->url());
        if (taken || !QDir().rename(folder->origionalURL(), folder->url())) {
            CVLog(
                QStringLiteral("%1 - failed to move folder. Error: %2")
                    .arg(kWhere, QStringLiteral("Could not move %1 to %2").arg(folder->origionalURL(), folder->url())));
            problems.append(QStringLiteral("The folder \"%1\" could not be renamed to \"%2\"%3. It keeps its old name "
                                           "and everything in it stays there.")
                                .arg(folder->origionalName(), folder->displayName(),
                                     taken ? QStringLiteral(": that name is taken") : QString()));
            // The folder stays where it is: so do the files of its entries.
            folder->setModifiedName(folder->origionalName());
        }
        moveDescendants(*folder);
    }

    for (const auto& folder : folders) {
        if (!folder->isNewFolder())
            continue;
        if (QFileInfo::exists(folder->url())) {
            CVLog(QStringLiteral("%1 - Not creating file. It already exists.@").arg(kWhere));
            continue;
        }
        if (!QDir().mkpath(folder->url())) {
            CVLog(QStringLiteral("%1 - failed to create folder. Error: %2")
                      .arg(kWhere, QStringLiteral("Could not create %1").arg(folder->url())));
            problems.append(QStringLiteral("The folder \"%1\" could not be created.").arg(folder->displayName()));
        }
    }
    return problems;
}

QStringList MUDScriptTreeCommit::saveChanges(const MUDConnection& connection,
                                             const QList<CVDatabaseTreeEntry::Ptr>& notes,
                                             const QList<CVDatabaseTreeEntry::Ptr>& aliases,
                                             const QList<CVDatabaseTreeEntry::Ptr>& triggers)
{
    Changes changes;
    getModifiedTreeEntires(notes, changes);
    getModifiedTreeEntires(aliases, changes);
    getModifiedTreeEntires(triggers, changes);
    const QStringList problems = modifyFolders(changes.foldersToModify);

    // A removed or renamed folder changes what sessions run as much as an
    // edited record does.
    const auto foldersOfKind = [&](int kind) {
        return std::any_of(changes.foldersToModify.begin(), changes.foldersToModify.end(),
                           [kind](const auto& folder) { return folder->entryType() == kind; });
    };
    auto& center = MUDNotificationCenter::defaultCenter();
    if (!changes.triggersToSave.isEmpty())
        MUDPreservation::saveTriggers(changes.triggersToSave, connection);
    if (!changes.triggersToSave.isEmpty() || foldersOfKind(MUDScriptKind::Triggers))
        center.postNotification(MUDTrigger::triggerModifiedNotification(),
                                QVariant::fromValue(MUDTriggersModifiedObject(connection.connectionId())));
    if (!changes.aliasesToSave.isEmpty())
        MUDPreservation::saveAliases(changes.aliasesToSave, connection);
    if (!changes.aliasesToSave.isEmpty() || foldersOfKind(MUDScriptKind::Aliases))
        center.postNotification(MUDAlias::aliasModifiedNotification(),
                                QVariant::fromValue(MUDAliasesModifiedObject(connection.connectionId())));
    if (!changes.notesToModify.isEmpty())
        MUDPreservation::saveNotes(changes.notesToModify, connection);
    return problems;
}
