#include "engine/storage/MUDPreservation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

#include "core/CVJSONHelpers.h"
#include "core/CVLogHelper.h"
#include "core/CVStringHelpers.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDNote.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/storage/MUDRecordFiles.h"
#include "engine/storage/MUDStorageRoot.h"

namespace {

const QString kTriggerExtension = QStringLiteral("trigger");
const QString kAliasExtension = QStringLiteral("alias");
const QString kNoteExtension = QStringLiteral("txt");

QByteArray prettyJSON(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

// Skips a file with a log line; the file itself is left as it is.
template <class Record>
std::function<std::shared_ptr<Record>(const QString&)> loggingLoader(
    std::shared_ptr<Record> (*load)(const QString&, CVError*))
{
    return [load](const QString& path) {
        CVError error;
        auto record = load(path, &error);
        if (!record)
            CVLog(QStringLiteral("MUDPreservation - skipped %1: %2").arg(path, error.description));
        return record;
    };
}

}

QString MUDPreservation::rootDirectoryPreservation()
{
    return MUDStorageRoot::sharedInstance().path();
}

QString MUDPreservation::rootDirectoryForConnections()
{
    return QDir(rootDirectoryPreservation()).filePath(QStringLiteral("connections"));
}

QString MUDPreservation::escapeFileName(const QString& title)
{
    return escapeForFileName(title);
}

bool MUDPreservation::saveData(const QByteArray& data, const QString& path, CVError* error, bool ownerOnly)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        CVSetError(error, file.errorString());
        return false;
    }
    if (ownerOnly)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(data) != data.size()) {
        // Not committed: QSaveFile discards the temporary file and the old
        // file stays as it was.
        CVSetError(error, file.errorString());
        return false;
    }
    if (!file.commit()) {
        CVSetError(error, file.errorString());
        return false;
    }
    if (ownerOnly)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

std::shared_ptr<MUDTrigger> MUDPreservation::loadTrigger(const QString& path, CVError* error)
{
    const auto dictionary = dictionaryFromJSONURL(path, error);
    if (!dictionary)
        return nullptr;
    return MUDTrigger::triggerFromDictionaryRepresentation(*dictionary, MUDRecordFiles::titleOfFile(path));
}

std::shared_ptr<MUDAlias> MUDPreservation::loadAlias(const QString& path, CVError* error)
{
    const auto dictionary = dictionaryFromJSONURL(path, error);
    if (!dictionary)
        return nullptr;
    return MUDAlias::aliasFromDictionaryRepresentation(*dictionary, MUDRecordFiles::titleOfFile(path));
}

std::shared_ptr<MUDNote> MUDPreservation::loadNote(const QString& path, CVError* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CVSetError(error, QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        return nullptr;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        CVSetError(error, QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        return nullptr;
    }
    auto note = std::make_shared<MUDNote>();
    note->setTitle(unescapeForFileName(MUDRecordFiles::titleOfFile(path)));
    note->setContents(QString::fromUtf8(data));
    return note;
}

MUDTriggerList MUDPreservation::loadTriggersInFolder(const QString& folder, bool recursive)
{
    MUDTriggerList triggers;
    MUDRecordFiles::collect<MUDTrigger>(folder, recursive, kTriggerExtension, loggingLoader(&loadTrigger), triggers);
    MUDRecordFiles::sortByTitle(triggers);
    return triggers;
}

MUDAliasList MUDPreservation::loadAliasesInFolder(const QString& folder, bool recursive)
{
    MUDAliasList aliases;
    MUDRecordFiles::collect<MUDAlias>(folder, recursive, kAliasExtension, loggingLoader(&loadAlias), aliases);
    MUDRecordFiles::sortByTitle(aliases);
    return aliases;
}

MUDNoteList MUDPreservation::loadNotesInFolder(const QString& folder, bool recursive)
{
    MUDNoteList notes;
    MUDRecordFiles::collect<MUDNote>(folder, recursive, kNoteExtension, loggingLoader(&loadNote), notes);
    MUDRecordFiles::sortByTitle(notes);
    return notes;
}

void MUDPreservation::saveTriggerChanges(const MUDTriggerList& triggers)
{
    MUDRecordFiles::saveChanges<MUDTrigger>(
        triggers, kTriggerExtension, [](const MUDTrigger& trigger) { return trigger.isLoginTrigger(); },
        [](const MUDTrigger& trigger, const QString& path) {
            QDir().mkpath(trigger.parentURL());
            CVError error;
            if (!saveData(prettyJSON(trigger.dictionaryRepresentation()), path, &error))
                CVLog(QStringLiteral("%1 - failed to save trigger with error: %2").arg(trigger.title(), error.description));
        });
}

void MUDPreservation::saveAliasChanges(const MUDAliasList& aliases)
{
    MUDRecordFiles::saveChanges<MUDAlias>(
        aliases, kAliasExtension, [](const MUDAlias&) { return false; },
        [](const MUDAlias& alias, const QString& path) {
            QDir().mkpath(alias.parentURL());
            CVError error;
            if (!saveData(prettyJSON(alias.dictionaryRepresentation()), path, &error))
                CVLog(QStringLiteral("%1 - failed to save alias with error: %2").arg(alias.title(), error.description));
        });
}

void MUDPreservation::saveNoteChanges(const MUDNoteList& notes)
{
    MUDRecordFiles::saveChanges<MUDNote>(notes, kNoteExtension, [](const MUDNote&) { return false; },
                                         [](const MUDNote& note, const QString& path) {
                                             CVError error;
                                             if (!saveData(note.contents().toUtf8(), path, &error))
                                                 CVLog(QStringLiteral("%1 - failed to save note with error: %2")
                                                           .arg(note.title(), error.description));
                                         });
}
