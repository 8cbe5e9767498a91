#include "engine/storage/MUDPreservation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QUuid>

#include "core/CVJSONHelpers.h"
#include "core/CVLogHelper.h"
#include "core/CVStringHelpers.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDNote.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDRecordFiles.h"
#include "engine/storage/MUDStorageRoot.h"

namespace {

const QString kTriggerExtension = QStringLiteral("trigger");
const QString kAliasExtension = QStringLiteral("alias");
const QString kNoteExtension = QStringLiteral("txt");

const QString kConnectionExtension = QStringLiteral("mud");
const QString kConnectionFile = QStringLiteral("connection.json");
constexpr QFileDevice::Permissions kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

QString folderIn(const QString& folder, const QString& name)
{
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

// Creates a connection folder readable by its owner only: connection.json
// holds the password in clear text.
void makeOwnerOnlyFolder(const QString& folder)
{
    QDir().mkpath(folder);
    QFile::setPermissions(folder, kOwnerOnlyFolder);
}

QByteArray prettyJSON(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

// Skips a file with a log line; the file itself is left as it is.
template<class Record>
std::function<std::shared_ptr<Record>(const QString&)> loggingLoader(std::shared_ptr<Record> (*load)(const QString&,
                                                                                                     CVError*))
{
    return [load](const QString& path) {
        CVError error;
        auto record = load(path, &error);
        if (!record)
            CVLog(QStringLiteral("MUDPreservation - skipped %1: %2").arg(path, error.description));
        return record;
    };
}

// Whether `name` can name one folder below the root; `what` names it in
// the reason ("connection title", "folder name").
bool isUsableFolderName(const QString& name, const QString& what, QString* reason)
{
    QString why;
    if (name.trimmed().isEmpty())
        why = QStringLiteral("The %1 is empty.").arg(what);
    else if (name.contains(QLatin1Char('/')))
        why = QStringLiteral("The %1 cannot contain \"/\".").arg(what);
    else if (name.contains(QChar(0)))
        why = QStringLiteral("The %1 cannot contain a NUL character.").arg(what);
    else if (name == QLatin1String(".") || name == QLatin1String(".."))
        why = QStringLiteral("The %1 cannot be \".\" or \"..\".").arg(what);
    if (reason)
        *reason = why;
    return why.isEmpty();
}

// Writes one record's file. Its folder is made first: a new group, or a
// kind folder that nothing has made yet (a connection's first note). A
// failure is logged and saving goes on.
template<class Record>
void writeRecordFile(const QByteArray& data, const QString& path, const Record& record, const QString& kind)
{
    QDir().mkpath(record.parentURL());
    CVError error;
    if (!MUDPreservation::saveData(data, path, &error))
        CVLog(QStringLiteral("%1 - failed to save %2 with error: %3").arg(record.title(), kind, error.description));
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

bool MUDPreservation::isValidConnectionTitle(const QString& title, QString* reason)
{
    return isUsableFolderName(title, QStringLiteral("connection title"), reason);
}

bool MUDPreservation::isValidFolderName(const QString& name, QString* reason)
{
    return isUsableFolderName(name, QStringLiteral("folder name"), reason);
}

QString MUDPreservation::urlForConnection(const MUDConnection& connection)
{
    const QString title = connection.title();
    if (title.isEmpty()) {
        CVLog(QStringLiteral("No connection title. Cannot save."));
        return {};
    }
    QString reason;
    if (!isValidConnectionTitle(title, &reason)) {
        CVLog(QStringLiteral("%1 Cannot use it as a folder name.").arg(reason));
        return {};
    }
    const QDir connections(rootDirectoryForConnections());
    const QString folder = connections.filePath(title + QLatin1Char('.') + kConnectionExtension);
    if (QFileInfo::exists(folder))
        return folder;
    // Folders are recognised by an extension in any case ("Old.MUD"), and
    // this file system tells cases apart: use such a folder when it exists.
    const QStringList candidates = connections.entryList({title + QStringLiteral(".*")}, QDir::Dirs | QDir::Hidden);
    for (const QString& name : candidates) {
        if (QFileInfo(name).completeBaseName() == title &&
            QFileInfo(name).suffix().compare(kConnectionExtension, Qt::CaseInsensitive) == 0)
            return connections.filePath(name);
    }
    return folder;
}

QString MUDPreservation::imageURLForConnection(const MUDConnection& connection)
{
    QString folder;
    if (connection.title().isEmpty() && connection.modifiedInstance())
        folder = urlForConnection(*connection.modifiedInstance());
    else
        folder = urlForConnection(connection);
    return folderIn(folder, QStringLiteral("image.png"));
}

QString MUDPreservation::urlForTriggersInConnection(const MUDConnection& connection)
{
    return folderIn(urlForConnection(connection), QStringLiteral("triggers"));
}

QString MUDPreservation::urlForAliasesInConnection(const MUDConnection& connection)
{
    return folderIn(urlForConnection(connection), QStringLiteral("aliases"));
}

QString MUDPreservation::urlForNotesInConnection(const MUDConnection& connection)
{
    return folderIn(urlForConnection(connection), QStringLiteral("notes"));
}

MUDConnectionList MUDPreservation::loadConnections(CVError* error)
{
    const QString root = rootDirectoryForConnections();
    if (!QFileInfo(root).isDir())
        QDir().mkpath(root);
    MUDConnectionList connections;
    const QFileInfoList entries =
        QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.suffix().compare(kConnectionExtension, Qt::CaseInsensitive) != 0)
            continue;
        const QString file = QDir(entry.filePath()).filePath(kConnectionFile);
        CVError loadError;
        auto connection = loadConnection(file, &loadError);
        if (!connection) {
            CVLog(QStringLiteral("MUDPreservation - skipped %1: %2").arg(file, loadError.description));
            if (error)
                *error = loadError;
            continue;
        }
        if (connection->connectionId().isEmpty()) {
            // Written into the folder it was read from, whose extension may
            // differ in case from the one new folders get.
            auto copy = connection->copy();
            copy->setConnectionId(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
            if (saveData(prettyJSON(copy->dictionaryRepresentation()), file, error, true)) {
                if (auto reloaded = loadConnection(file, error))
                    copy = reloaded;
            } else {
                CVLog(QStringLiteral("MUDPreservation - could not store a new identity in %1").arg(file));
            }
            connection = copy;
        }
        connections.append(connection);
    }
    MUDRecordFiles::sortByTitle(connections);
    return connections;
}

std::shared_ptr<MUDConnection> MUDPreservation::loadConnectionById(const QString& connectionId, CVError* error)
{
    for (const auto& connection : loadConnections(error)) {
        if (connection->connectionId() == connectionId)
            return connection;
    }
    return nullptr;
}

std::shared_ptr<MUDConnection> MUDPreservation::loadConnection(const QString& path, CVError* error)
{
    const auto dictionary = dictionaryFromJSONURL(path, error);
    if (!dictionary)
        return nullptr;
    const QString title = QFileInfo(QFileInfo(path).path()).completeBaseName();
    return MUDConnection::connectionFromDictionaryRepresentation(*dictionary, title);
}

bool MUDPreservation::saveConnection(MUDConnection& connection, CVError* error)
{
    const auto copy = connection.modifiedInstance();
    if (!copy)
        return false;
    QString reason;
    if (!copy->title().isEmpty() && !isValidConnectionTitle(copy->title(), &reason)) {
        CVLog(QStringLiteral("MUDPreservation:saveConnection %1").arg(reason));
        CVSetError(error, reason);
        return false;
    }
    QString target = urlForConnection(*copy);
    if (target.isEmpty())
        target = urlForConnection(connection);
    if (target.isEmpty()) {
        CVLog(QStringLiteral("MUDPreservation:saveConnection No connection URL. Cannot save."));
        CVSetError(error, QStringLiteral("Could not create URL for connection."));
        return false;
    }
    if (!connection.title().isEmpty() && connection.title() != copy->title()) {
        // Writing on after a failed move would split the connection over two
        // folders, or overwrite another connection's record. Without an old
        // folder there is nothing to move.
        const QString source = urlForConnection(connection);
        if (!source.isEmpty() && QFileInfo::exists(source) && !QDir().rename(source, target)) {
            const QString moveFailure =
                QFileInfo::exists(target)
                    ? QStringLiteral("Could not rename the connection's folder: %1 already exists.").arg(target)
                    : QStringLiteral("Could not move %1 to %2.").arg(source, target);
            CVLog(QStringLiteral("MUDPreservation:saveConnection %1").arg(moveFailure));
            CVSetError(error, moveFailure);
            return false;
        }
    }
    makeOwnerOnlyFolder(target);
    return saveData(prettyJSON(copy->dictionaryRepresentation()), QDir(target).filePath(kConnectionFile), error, true);
}

bool MUDPreservation::removeConnection(const MUDConnection& connection, CVError* error)
{
    if (connection.modifiedInstance()) {
        const QString message =
            QStringLiteral("Failed to remove connection. Cannot remove a connection with modifications.");
        CVLog(message);
        CVSetError(error, message);
        return false;
    }
    const QString folder = urlForConnection(connection);
    if (folder.isEmpty()) {
        const QString message = QStringLiteral("MUDPreservation:removeConnection No connection URL. Cannot save.");
        CVLog(message);
        CVSetError(error, message);
        return false;
    }
    if (!QDir(folder).removeRecursively()) {
        CVSetError(error, QStringLiteral("Could not remove %1.").arg(folder));
        return false;
    }
    return true;
}

std::optional<MUDTriggerList> MUDPreservation::loadTriggersForConnection(const MUDConnection& connection,
                                                                         CVError* error)
{
    if (urlForTriggersInConnection(connection).isEmpty()) {
        CVLog(QStringLiteral("MUDPreservation:loadTriggersForConnection No triggersURL. Cannot load."));
        CVSetError(error, QStringLiteral("No triggersURL. Cannot load."));
        return std::nullopt;
    }
    return loadTriggersForConnection(connection, QString(), true, error);
}

std::optional<MUDTriggerList> MUDPreservation::loadTriggersForConnection(const MUDConnection& connection,
                                                                         const QString& folder, bool recursive,
                                                                         CVError*)
{
    const QString where = folder.isEmpty() ? urlForTriggersInConnection(connection) : folder;
    if (where.isEmpty())
        return std::nullopt;
    return loadTriggersInFolder(where, recursive);
}

std::optional<MUDAliasList> MUDPreservation::loadAliasForConnection(const MUDConnection& connection,
                                                                    const QString& folder, bool recursive, CVError*)
{
    const QString where = folder.isEmpty() ? urlForAliasesInConnection(connection) : folder;
    if (where.isEmpty())
        return std::nullopt;
    return loadAliasesInFolder(where, recursive);
}

std::optional<MUDNoteList> MUDPreservation::loadNotesForConnection(const MUDConnection& connection,
                                                                   const QString& folder, bool recursive, CVError*)
{
    const QString where = folder.isEmpty() ? urlForNotesInConnection(connection) : folder;
    if (where.isEmpty())
        return std::nullopt;
    return loadNotesInFolder(where, recursive);
}

bool MUDPreservation::saveTriggers(const MUDTriggerList& triggers, const MUDConnection& connection, CVError* error)
{
    const QString folder = urlForTriggersInConnection(connection);
    if (folder.isEmpty()) {
        CVSetError(error, QStringLiteral("No triggersURL. Cannot save."));
        return false;
    }
    QDir().mkpath(folder);
    const auto login = std::find_if(triggers.begin(), triggers.end(),
                                    [](const auto& trigger) { return trigger && trigger->isLoginTrigger(); });
    if (login != triggers.end()) {
        if (auto stored = loadConnectionById(connection.connectionId(), error)) {
            const auto loginCopy = (*login)->modifiedInstance();
            auto copy = stored->copy();
            copy->setLoginScript(loginCopy ? loginCopy->action() : (*login)->action());
            stored->setModifiedInstance(copy);
            saveConnection(*stored, error);
        }
    }
    saveTriggerChanges(triggers);
    return true;
}

bool MUDPreservation::saveAliases(const MUDAliasList& aliases, const MUDConnection& connection, CVError* error)
{
    const QString folder = urlForAliasesInConnection(connection);
    if (folder.isEmpty()) {
        CVSetError(error, QStringLiteral("No aliasesURL. Cannot save."));
        return false;
    }
    QDir().mkpath(folder);
    saveAliasChanges(aliases);
    return true;
}

bool MUDPreservation::saveNotes(const MUDNoteList& notes, const MUDConnection& connection, CVError* error)
{
    if (urlForConnection(connection).isEmpty()) {
        CVSetError(error, QStringLiteral("No connection URL. Cannot save."));
        return false;
    }
    saveNoteChanges(notes);
    return true;
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
            writeRecordFile(prettyJSON(trigger.dictionaryRepresentation()), path, trigger, QStringLiteral("trigger"));
        });
}

void MUDPreservation::saveAliasChanges(const MUDAliasList& aliases)
{
    MUDRecordFiles::saveChanges<MUDAlias>(
        aliases, kAliasExtension, [](const MUDAlias&) { return false; },
        [](const MUDAlias& alias, const QString& path) {
            writeRecordFile(prettyJSON(alias.dictionaryRepresentation()), path, alias, QStringLiteral("alias"));
        });
}

void MUDPreservation::saveNoteChanges(const MUDNoteList& notes)
{
    MUDRecordFiles::saveChanges<MUDNote>(
        notes, kNoteExtension, [](const MUDNote&) { return false; },
        [](const MUDNote& note, const QString& path) {
            writeRecordFile(note.contents().toUtf8(), path, note, QStringLiteral("note"));
        });
}
