#pragma once

#include <QList>
#include <QStringList>
#include <memory>

#include "app/scripting/CVDatabaseTreeEntry.h"
#include "engine/automation/MUDScriptLists.h"

class CVFolderTreeEntry;
class MUDConnection;

// Writes the pending edits of a connection's three script trees to disk
// when the script manager is accepted: folder removals, renames and
// creations first (shallower folders first), then the record saves, then
// the trigger-modified and alias-modified notifications that make open
// sessions reload. Failures are logged and the commit goes on. Main thread.
class MUDScriptTreeCommit {
public:
    // What one commit touches; each node or record at most once.
    struct Changes {
        QList<std::shared_ptr<CVFolderTreeEntry>> foldersToModify;
        MUDNoteList notesToModify;
        MUDTriggerList triggersToSave;
        MUDAliasList aliasesToSave;
    };

    // Walks `entries` and their descendants, adding what changed. A
    // modified record's working copy moves to its node's folder.
    static void getModifiedTreeEntires(const QList<CVDatabaseTreeEntry::Ptr>& entries, Changes& changes);

    // The whole commit over the notes, aliases and triggers trees. Returns
    // what could not be done, one sentence for the player per failure.
    static QStringList saveChanges(const MUDConnection& connection, const QList<CVDatabaseTreeEntry::Ptr>& notes,
                                   const QList<CVDatabaseTreeEntry::Ptr>& aliases,
                                   const QList<CVDatabaseTreeEntry::Ptr>& triggers);

    // The folder passes of the commit; returns the failures.
    static QStringList modifyFolders(QList<std::shared_ptr<CVFolderTreeEntry>> folders);
};
