#include "engine/storage/MUDPreservation.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <signal.h>
#include <sys/resource.h>

#include "StorageTestSupport.h"
#include "TestSupport.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDNote.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"

namespace {
std::shared_ptr<MUDTrigger> newTrigger(const QString& title, const QString& folder)
{
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setTitle(title);
    trigger->setMatchString(QStringLiteral("orc"));
    trigger->setIsNew(true);
    trigger->setParentURL(folder);
    return trigger;
}

QStringList titles(const MUDTriggerList& triggers)
{
    QStringList result;
    for (const auto& trigger : triggers)
        result << trigger->title();
    return result;
}
}

class MUDRecordStorage : public StorageTest { };

TEST_F(MUDRecordStorage, RootComesFromTheEnvironment)
{
    LogRecorder log;
    EXPECT_EQ(MUDPreservation::rootDirectoryPreservation(), QDir::cleanPath(m_dir.path()));
    EXPECT_EQ(MUDPreservation::rootDirectoryForConnections(), QDir::cleanPath(m_dir.path()) + "/connections");
    EXPECT_TRUE(log.contains("rootDirectoryForPreservation (local) is: " + QDir::cleanPath(m_dir.path())));
}

TEST_F(MUDRecordStorage, EscapedTitleNamesTheFileAndLoadsBack)
{
    const QString folder = path("triggers");
    MUDPreservation::saveTriggerChanges({newTrigger("a/b?c", folder)});
    EXPECT_TRUE(QFileInfo::exists(folder + "/abc.trigger"));
    const MUDTriggerList loaded = MUDPreservation::loadTriggersInFolder(folder, true);
    ASSERT_EQ(loaded.size(), 1);
    EXPECT_EQ(loaded[0]->title(), "abc");
    EXPECT_EQ(loaded[0]->matchString(), "orc");
    EXPECT_EQ(loaded[0]->parentURL(), folder);
    EXPECT_FALSE(loaded[0]->disabled());
    const QJsonObject stored = QJsonDocument::fromJson(readFile(folder + "/abc.trigger")).object();
    EXPECT_EQ(stored.value("title").toString(), "a/b?c");
    EXPECT_TRUE(readFile(folder + "/abc.trigger").contains("\n    \"")) << "pretty-printed";
}

TEST_F(MUDRecordStorage, RenamesAndMovesReplaceTheOldFile)
{
    const QString folder = path("triggers");
    MUDPreservation::saveTriggerChanges({newTrigger("x", folder), newTrigger("m", folder)});
    MUDTriggerList loaded = MUDPreservation::loadTriggersInFolder(folder, true);
    ASSERT_EQ(titles(loaded), (QStringList{"m", "x"}));
    for (const auto& trigger : loaded)
        trigger->setModifiedInstance(trigger->copy());
    loaded[0]->modifiedInstance()->setParentURL(folder + "/group");
    loaded[1]->modifiedInstance()->setTitle("y");
    MUDPreservation::saveTriggerChanges(loaded);
    EXPECT_FALSE(QFileInfo::exists(folder + "/x.trigger"));
    EXPECT_TRUE(QFileInfo::exists(folder + "/y.trigger"));
    EXPECT_FALSE(QFileInfo::exists(folder + "/m.trigger")) << "a moved trigger leaves no copy behind";
    EXPECT_TRUE(QFileInfo::exists(folder + "/group/m.trigger"));
    EXPECT_EQ(titles(MUDPreservation::loadTriggersInFolder(folder, true)), (QStringList{"m", "y"}));
}

TEST_F(MUDRecordStorage, RemovalsDeleteAndLoginTriggersAndUnchangedRecordsAreNotWritten)
{
    const QString folder = path("triggers");
    MUDPreservation::saveTriggerChanges({newTrigger("gone", folder), newTrigger("kept", folder)});
    MUDTriggerList loaded = MUDPreservation::loadTriggersInFolder(folder, false);
    ASSERT_EQ(loaded.size(), 2);
    loaded[0]->setIsRemoved(true);
    const QDateTime keptTime = QFileInfo(folder + "/kept.trigger").lastModified();
    auto login = newTrigger("Login", folder);
    login->setIsLoginTrigger(true);
    loaded.append(login);
    MUDPreservation::saveTriggerChanges(loaded);
    EXPECT_FALSE(QFileInfo::exists(folder + "/gone.trigger"));
    EXPECT_FALSE(QFileInfo::exists(folder + "/Login.trigger"));
    EXPECT_EQ(QFileInfo(folder + "/kept.trigger").lastModified(), keptTime);
}

TEST_F(MUDRecordStorage, ANewRecordRenamedBeforeSavingKeepsAnotherRecordsFile)
{
    const QString folder = path("triggers");
    MUDPreservation::saveTriggerChanges({newTrigger("x", folder)});
    auto fresh = newTrigger("x", folder);
    fresh->setModifiedInstance(fresh->copy());
    fresh->modifiedInstance()->setTitle("z");
    MUDPreservation::saveTriggerChanges({fresh});
    EXPECT_TRUE(QFileInfo::exists(folder + "/x.trigger"));
    EXPECT_TRUE(QFileInfo::exists(folder + "/z.trigger"));
}

TEST_F(MUDRecordStorage, RecordsOfAllDepthsComeBackSortedWithoutRegardToCase)
{
    const QString folder = path("triggers");
    writeFile(folder + "/beta.trigger", "{\"enabled\":1}");
    writeFile(folder + "/g1/Alpha.trigger", "{\"enabled\":1}");
    writeFile(folder + "/g1/g2/charlie.trigger", "{}");
    writeFile(folder + "/g1/DELTA.TRIGGER", "{}");
    writeFile(folder + "/notes.txt", "ignored");
    writeFile(folder + "/old.alias", "{}");
    const MUDTriggerList all = MUDPreservation::loadTriggersInFolder(folder, true);
    EXPECT_EQ(titles(all), (QStringList{"Alpha", "beta", "charlie", "DELTA"}));
    EXPECT_TRUE(all[2]->disabled()) << "no \"enabled\" key";
    EXPECT_EQ(all[2]->parentURL(), folder + "/g1/g2");
    EXPECT_EQ(titles(MUDPreservation::loadTriggersInFolder(folder, false)), QStringList{"beta"});
}

TEST_F(MUDRecordStorage, UnparsableFilesAreSkippedWithALogLineAndLeftUntouched)
{
    LogRecorder log;
    const QString folder = path("aliases");
    const QByteArray broken[] = {"{\"title\": ", "[]", QByteArray("\0\1\2", 3), ""};
    int i = 0;
    for (const QByteArray& content : broken)
        writeFile(folder + QString("/bad%1.alias").arg(i++), content);
    writeFile(folder + "/good.alias", "{\"command\":\"kill orc\",\"matchString\":\"k\"}");
    const MUDAliasList aliases = MUDPreservation::loadAliasesInFolder(folder, true);
    ASSERT_EQ(aliases.size(), 1);
    EXPECT_EQ(aliases[0]->command(), "kill orc");
    EXPECT_TRUE(aliases[0]->sendsCommandText()) << "a word alias: its text is sent, never run";
    i = 0;
    for (const QByteArray& content : broken) {
        const QString file = folder + QString("/bad%1.alias").arg(i++);
        EXPECT_EQ(readFile(file), content);
        bool logged = false;
        for (const QString& line : log.lines())
            logged = logged || line.startsWith("MUDPreservation - skipped " + file + ": ");
        EXPECT_TRUE(logged) << file.toStdString();
    }
}

TEST_F(MUDRecordStorage, AFailedWriteLeavesThePreviousFileIntact)
{
    const QString file = path("triggers/keep.trigger");
    writeFile(file, "previous contents");
    // A file size limit makes the write fail part way, as a full disk would.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = 4096;
    auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    CVError error;
    const bool saved = MUDPreservation::saveData(QByteArray(64 * 1024, 'x'), file, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.description.isEmpty());
    EXPECT_EQ(readFile(file), "previous contents");
    EXPECT_EQ(QDir(path("triggers")).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.trigger"})
        << "no temporary file is left behind";
}

TEST_F(MUDRecordStorage, AliasWriteFailureIsLoggedAndTheRestIsSaved)
{
    LogRecorder log;
    const QString folder = path("aliases");
    writeFile(folder + "/blocked.alias/inside", "a folder where the file should go");
    auto blocked = std::make_shared<MUDAlias>();
    blocked->setTitle("blocked");
    blocked->setIsNew(true);
    blocked->setParentURL(folder);
    auto fine = std::make_shared<MUDAlias>();
    fine->setTitle("fine");
    fine->setIsNew(true);
    fine->setParentURL(folder);
    MUDPreservation::saveAliasChanges({blocked, fine});
    EXPECT_TRUE(QFileInfo::exists(folder + "/fine.alias"));
    bool logged = false;
    for (const QString& line : log.lines())
        logged = logged || line.startsWith("blocked - failed to save alias with error: ");
    EXPECT_TRUE(logged);
}

TEST_F(MUDRecordStorage, NotesRoundTripAsText)
{
    const QString folder = path("notes");
    QDir().mkpath(folder);
    auto note = std::make_shared<MUDNote>();
    note->setTitle("Map: \"west\"");
    note->setContents("North to the inn.\nÜber alles.");
    note->setIsNew(true);
    note->setParentURL(folder);
    MUDPreservation::saveNoteChanges({note});
    EXPECT_EQ(readFile(folder + "/Map: west.txt"), "North to the inn.\nÜber alles.");
    const MUDNoteList loaded = MUDPreservation::loadNotesInFolder(folder, true);
    ASSERT_EQ(loaded.size(), 1);
    EXPECT_EQ(loaded[0]->title(), "Map: west");
    EXPECT_EQ(loaded[0]->contents(), note->contents());
}

TEST_F(MUDRecordStorage, ANewNoteAtTheRootOfTheNotesIsWrittenWhenTheNotesFolderIsMissing)
{
    auto connection = std::make_shared<MUDConnection>();
    auto copy = connection->copy();
    copy->setTitle("Realm");
    connection->setModifiedInstance(copy);
    ASSERT_TRUE(MUDPreservation::saveConnection(*connection));
    const QString folder = MUDPreservation::urlForNotesInConnection(*copy);
    ASSERT_FALSE(QFileInfo::exists(folder));
    auto note = std::make_shared<MUDNote>();
    note->setTitle("Route");
    note->setContents("East, then north.");
    note->setIsNew(true);
    note->setParentURL(folder);
    EXPECT_TRUE(MUDPreservation::saveNotes({note}, *copy));
    EXPECT_EQ(readFile(folder + "/Route.txt"), "East, then north.");
}
