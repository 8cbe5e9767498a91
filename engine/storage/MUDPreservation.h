#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "core/CVError.h"

#include "engine/automation/MUDScriptLists.h"

class MUDConnection;
using MUDConnectionList = QList<std::shared_ptr<MUDConnection>>;

// The user's files: connections, and per connection its triggers, aliases
// and notes, as a folder tree under the storage root. Stateless class
// operations apart from the root; callers use them from the main thread.
// Loading never writes, moves or deletes a file it cannot read or parse: such
// files are skipped with a log line. Writes are atomic (QSaveFile).
class MUDPreservation {
public:
    static QString rootDirectoryPreservation();
    static QString rootDirectoryForConnections();

    // connections/T.mud for the connection titled T; none (null) when the
    // title is empty or not a safe folder name.
    static QString urlForConnection(const MUDConnection& connection);
    // The connection's picture; a connection without title uses its working copy's.
    static QString imageURLForConnection(const MUDConnection& connection);
    static QString urlForTriggersInConnection(const MUDConnection& connection);
    static QString urlForAliasesInConnection(const MUDConnection& connection);
    static QString urlForNotesInConnection(const MUDConnection& connection);

    // Whether `title` can name a connection folder: not empty after
    // trimming, no "/" or NUL, not "." or "..". `reason` says why not.
    static bool isValidConnectionTitle(const QString& title, QString* reason = nullptr);
    // The same rules for a group folder of triggers, aliases or notes.
    static bool isValidFolderName(const QString& name, QString* reason = nullptr);

    // Every stored connection, sorted by title without regard to case;
    // connections without an identity get one, written back at once.
    static MUDConnectionList loadConnections(CVError* error = nullptr);
    static std::shared_ptr<MUDConnection> loadConnectionById(const QString& connectionId, CVError* error = nullptr);
    // One connection.json; the title is its folder's name.
    static std::shared_ptr<MUDConnection> loadConnection(const QString& path, CVError* error = nullptr);
    // Writes the working copy (renaming the folder when the title changed).
    // False, with nothing written, when there is no working copy, the title
    // is refused or the folder cannot be moved; false too when
    // connection.json could not be written.
    static bool saveConnection(MUDConnection& connection, CVError* error = nullptr);
    // Deletes the connection's folder; refused while it has a working copy.
    static bool removeConnection(const MUDConnection& connection, CVError* error = nullptr);

    // The connection's records (its own folder when `folder` is null); none
    // when the connection has no folder.
    static std::optional<MUDTriggerList> loadTriggersForConnection(const MUDConnection& connection,
                                                                   CVError* error = nullptr);
    static std::optional<MUDTriggerList> loadTriggersForConnection(const MUDConnection& connection,
                                                                   const QString& folder, bool recursive,
                                                                   CVError* error = nullptr);
    static std::optional<MUDAliasList> loadAliasForConnection(const MUDConnection& connection, const QString& folder,
                                                              bool recursive, CVError* error = nullptr);
    static std::optional<MUDNoteList> loadNotesForConnection(const MUDConnection& connection, const QString& folder,
                                                             bool recursive, CVError* error = nullptr);

    // Write the changes of the records. Triggers also carry the login
    // script: the first login pseudo-trigger's action is saved into the
    // stored connection. False when the connection has no folder.
    static bool saveTriggers(const MUDTriggerList& triggers, const MUDConnection& connection, CVError* error = nullptr);
    static bool saveAliases(const MUDAliasList& aliases, const MUDConnection& connection, CVError* error = nullptr);
    static bool saveNotes(const MUDNoteList& notes, const MUDConnection& connection, CVError* error = nullptr);

    // A record's file name from its title: /\?%*|"<> removed.
    static QString escapeFileName(const QString& title);

    // Writes `data` to `path` atomically: the old file stays intact when the
    // write fails. With `ownerOnly` the file is readable by its owner only.
    static bool saveData(const QByteArray& data, const QString& path, CVError* error = nullptr, bool ownerOnly = false);

    // One record file, or null (with an error) when it cannot be read or parsed.
    static std::shared_ptr<MUDTrigger> loadTrigger(const QString& path, CVError* error = nullptr);
    static std::shared_ptr<MUDAlias> loadAlias(const QString& path, CVError* error = nullptr);
    static std::shared_ptr<MUDNote> loadNote(const QString& path, CVError* error = nullptr);

    // The records of `folder` (and of its groups when recursive), sorted by
    // title without regard to case.
    static MUDTriggerList loadTriggersInFolder(const QString& folder, bool recursive);
    static MUDAliasList loadAliasesInFolder(const QString& folder, bool recursive);
    static MUDNoteList loadNotesInFolder(const QString& folder, bool recursive);

    // Write the changes of the records (removals, renames, moves, edits)
    // into their folders; login pseudo-triggers are left out.
    static void saveTriggerChanges(const MUDTriggerList& triggers);
    static void saveAliasChanges(const MUDAliasList& aliases);
    static void saveNoteChanges(const MUDNoteList& notes);
};
