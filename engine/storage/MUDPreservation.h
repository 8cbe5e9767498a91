#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

#include "core/CVError.h"

class MUDAlias;
class MUDNote;
class MUDTrigger;

using MUDTriggerList = QList<std::shared_ptr<MUDTrigger>>;
using MUDAliasList = QList<std::shared_ptr<MUDAlias>>;
using MUDNoteList = QList<std::shared_ptr<MUDNote>>;

// The user's files: connections, and per connection its triggers, aliases
// and notes, as a folder tree under the storage root. Stateless class
// operations apart from the root; callers use them from the main thread.
// Loading never writes, moves or deletes a file it cannot read or parse: such
// files are skipped with a log line. Writes are atomic (QSaveFile).
class MUDPreservation {
public:
    static QString rootDirectoryPreservation();
    static QString rootDirectoryForConnections();

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
