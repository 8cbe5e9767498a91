#include "app/scripting/MUDScriptTreeLoader.h"

#include <QCollator>
#include <QFileInfo>
#include <algorithm>

#include "app/scripting/CVFolderTreeEntry.h"
#include "app/scripting/CVTriggerTreeEntry.h"
#include "app/scripting/MUDAliasTreeEntry.h"
#include "app/scripting/MUDNoteTreeEntry.h"
#include "app/scripting/MUDScriptKind.h"
#include "core/CVDirectoryHelper.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"
#include "engine/storage/MUDRecordFiles.h"

namespace {

QString rootFolderPath(int entryType, const MUDConnection& connection)
{
    switch (entryType) {
    case MUDScriptKind::Notes: return MUDPreservation::urlForNotesInConnection(connection);
    case MUDScriptKind::Aliases: return MUDPreservation::urlForAliasesInConnection(connection);
    default: return MUDPreservation::urlForTriggersInConnection(connection);
    }
}

QString rootName(int entryType)
{
    switch (entryType) {
    case MUDScriptKind::Notes: return QStringLiteral("Notes");
    case MUDScriptKind::Aliases: return QStringLiteral("Aliases");
    default: return QStringLiteral("Triggers");
    }
}

template<class Entry, class List>
void appendLeaves(const std::shared_ptr<CVFolderTreeEntry>& folder, const std::optional<List>& records)
{
    if (!records)
        return;
    for (const auto& record : *records) {
        auto entry = std::make_shared<Entry>(record);
        entry->setParent(folder);
        folder->childTreeEntries().append(entry);
    }
}

std::shared_ptr<CVTriggerTreeEntry> loginTriggerEntry(const MUDConnection& connection)
{
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setTitle(QStringLiteral(".login"));
    trigger->setIsLoginTrigger(true);
    if (const auto stored = MUDPreservation::loadConnectionById(connection.connectionId()))
        trigger->setAction(stored->loginScript());
    return std::make_shared<CVTriggerTreeEntry>(trigger);
}

}

std::shared_ptr<CVFolderTreeEntry> MUDScriptTreeLoader::loadTree(int entryType,
                                                                 const std::shared_ptr<MUDConnection>& connection)
{
    const QString rootPath = connection ? rootFolderPath(entryType, *connection) : QString();
    auto root = std::make_shared<CVFolderTreeEntry>(rootPath, connection, entryType, rootName(entryType), true);
    if (!connection)
        return root;
    loadEntries(root, 0);
    if (entryType == MUDScriptKind::Triggers) {
        auto login = loginTriggerEntry(*connection);
        login->setParent(root);
        root->childTreeEntries().prepend(login);
    }
    sortEntries(*root);
    return root;
}

void MUDScriptTreeLoader::loadEntries(const std::shared_ptr<CVFolderTreeEntry>& folder, int depth)
{
    if (folder->url().isEmpty())
        return;
    // A symbolic link loop would never end: deeper folders are not read.
    if (depth < MUDRecordFiles::kMaxFolderDepth) {
        for (const QString& path : CVDirectoryHelper::listFullDirectoriesInURL(folder->url())) {
            auto child = std::make_shared<CVFolderTreeEntry>(path, folder->connection(), folder->entryType(),
                                                             QFileInfo(path).fileName(), false);
            child->setParent(folder);
            folder->childTreeEntries().append(child);
            loadEntries(child, depth + 1);
        }
    }
    const MUDConnection& connection = *folder->connection();
    switch (folder->entryType()) {
    case MUDScriptKind::Notes:
        appendLeaves<MUDNoteTreeEntry>(folder,
                                       MUDPreservation::loadNotesForConnection(connection, folder->url(), false));
        break;
    case MUDScriptKind::Aliases:
        appendLeaves<MUDAliasTreeEntry>(folder,
                                        MUDPreservation::loadAliasForConnection(connection, folder->url(), false));
        break;
    default:
        appendLeaves<CVTriggerTreeEntry>(folder,
                                         MUDPreservation::loadTriggersForConnection(connection, folder->url(), false));
        break;
    }
}

void MUDScriptTreeLoader::sortEntries(CVFolderTreeEntry& folder)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(folder.childTreeEntries().begin(), folder.childTreeEntries().end(),
                     [&](const CVDatabaseTreeEntry::Ptr& a, const CVDatabaseTreeEntry::Ptr& b) {
                         if (a->canHaveChildren() != b->canHaveChildren())
                             return a->canHaveChildren();
                         return collator.compare(a->displayName(), b->displayName()) < 0;
                     });
}
