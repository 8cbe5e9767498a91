#pragma once

#include <QCollator>
#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <memory>

#include "core/CVError.h"
#include "core/CVStringHelpers.h"

// The folder walk and change writing shared by triggers, aliases and notes:
// one file per record named after its escaped title, groups as sub-folders.
// Free functions; any thread, but callers use them from the main thread.
namespace MUDRecordFiles {

// Deeper folders are not read (a symbolic link loop would never end).
constexpr int kMaxFolderDepth = 32;

template<class Record> using RecordList = QList<std::shared_ptr<Record>>;

// Files of `folder` whose extension is `extension` (compared without case),
// sorted by name.
QStringList filesWithExtension(const QString& folder, const QString& extension);
// Sub-folders of `folder`, or none past the depth bound (with a log line).
QStringList subfolders(const QString& folder, int depth);
// The title stored in a file name: the name without its extension.
QString titleOfFile(const QString& path);
// parentURL/N.extension for the escaped title N.
QString fileFor(const QString& parentURL, const QString& title, const QString& extension);
// Logs a record that cannot be written because it has no folder.
void logNoFolder(const QString& title);
// Removes a record's old file; failures are only logged.
void removeFile(const QString& path);

// Loads every record file of `folder` (and, when recursive, of its
// sub-folders) through `load`, which returns null for a file it skips.
// Each record's parentURL is its folder.
template<class Record>
void collect(const QString& folder, bool recursive, const QString& extension,
             const std::function<std::shared_ptr<Record>(const QString& path)>& load, RecordList<Record>& out,
             int depth = 0)
{
    if (recursive) {
        for (const QString& child : subfolders(folder, depth))
            collect(child, true, extension, load, out, depth + 1);
    }
    for (const QString& path : filesWithExtension(folder, extension)) {
        if (auto record = load(path)) {
            record->setParentURL(folder);
            out.append(record);
        }
    }
}

// Ascending by title, localized and without regard to case.
template<class Record> void sortByTitle(RecordList<Record>& records)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(records.begin(), records.end(),
                     [&](const auto& a, const auto& b) { return collator.compare(a->title(), b->title()) < 0; });
}

// Writes the changes of `records`: first removes the files of removed
// records and of records whose working copy is stored elsewhere (new title
// or new folder), then writes every modified record that is not removed from
// its working copy (or itself). `skip` leaves records out (the login
// pseudo-trigger). `write` reports failures through its error; saving goes on.
template<class Record>
void saveChanges(const RecordList<Record>& records, const QString& extension,
                 const std::function<bool(const Record&)>& skip,
                 const std::function<void(const Record& stored, const QString& path)>& write)
{
    const auto target = [&](const Record& record) -> const Record& {
        const auto copy = record.modifiedInstance();
        return copy ? *copy : record;
    };
    for (const auto& record : records) {
        if (!record || skip(*record))
            continue;
        const QString oldPath = fileFor(record->parentURL(), record->title(), extension);
        const Record& copy = target(*record);
        // A new record has no stored file yet: never remove one that another
        // record of the same name owns.
        const bool moved = !record->isNew() && record->isModified() && record->modifiedInstance() &&
                           fileFor(copy.parentURL(), copy.title(), extension) != oldPath;
        if (!record->parentURL().isEmpty() && (record->isRemoved() || moved))
            removeFile(oldPath);
    }
    for (const auto& record : records) {
        if (!record || skip(*record) || record->isRemoved() || !record->isModified())
            continue;
        const Record& copy = target(*record);
        if (copy.parentURL().isEmpty()) {
            logNoFolder(copy.title());
            continue;
        }
        write(copy, fileFor(copy.parentURL(), copy.title(), extension));
    }
}

}
