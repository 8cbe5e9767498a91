#include <QDir>
#include <QFileInfo>

#include "ScriptingFixture.h"
#include "TestSupport.h"
#include "app/scripting/CVFolderTreeEntry.h"
#include "app/scripting/CVTriggerTreeEntry.h"
#include "app/scripting/MUDAliasTreeEntry.h"
#include "app/scripting/MUDNoteTreeEntry.h"
#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptTreeCommit.h"
#include "app/scripting/MUDScriptTreeModel.h"
#include "engine/automation/MUDNotificationCenter.h"
#include "engine/automation/MUDTriggersModifiedObject.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {

CVDatabaseTreeEntry* childNamed(const CVDatabaseTreeEntry& entry, const QString& name)
{
    for (const auto& child : entry.childTreeEntries()) {
        if (child->displayName() == name)
            return child.get();
    }
    return nullptr;
}

class ScriptTreeCommitTest : public ScriptingFixture {
protected:
    void SetUp() override
    {
        ScriptingFixture::SetUp();
        m_notes.initializeWithType(MUDScriptKind::Notes, m_connection);
        m_aliases.initializeWithType(MUDScriptKind::Aliases, m_connection);
    }
    void loadTriggers() { m_triggers.initializeWithType(MUDScriptKind::Triggers, m_connection); }
    CVFolderTreeEntry& root() { return *m_triggers.root(); }
    void commit()
    {
        MUDScriptTreeCommit::saveChanges(*m_connection, m_notes.entries(), m_aliases.entries(), m_triggers.entries());
    }
    bool exists(const QString& relative) const { return QFileInfo::exists(triggersFolder() + u'/' + relative); }
    std::shared_ptr<MUDTrigger> editTrigger(CVDatabaseTreeEntry* entry, const QString& action)
    {
        auto trigger = dynamic_cast<CVTriggerTreeEntry*>(entry)->trigger();
        if (!trigger->modifiedInstance())
            trigger->setModifiedInstance(trigger->copy());
        trigger->modifiedInstance()->setAction(action);
        return trigger;
    }

    MUDScriptTreeModel m_notes;
    MUDScriptTreeModel m_aliases;
    MUDScriptTreeModel m_triggers;
};

TEST_F(ScriptTreeCommitTest, CollectionSkipsNewRemovedRecordsAndMovesCopiesToTheirFolder)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Group"), QStringLiteral("edited"));
    writeTrigger(triggersFolder(), QStringLiteral("untouched"));
    loadTriggers();
    auto* group = dynamic_cast<CVFolderTreeEntry*>(childNamed(root(), QStringLiteral("Group")));
    auto edited = editTrigger(childNamed(*group, QStringLiteral("edited")), QStringLiteral("changed"));
    auto dropped = dynamic_cast<CVTriggerTreeEntry*>(m_triggers.addNewEntry(nullptr).get())->trigger();
    dropped->setIsRemoved(true);
    m_triggers.renameFolder(group, QStringLiteral("Renamed"));

    MUDScriptTreeCommit::Changes changes;
    MUDScriptTreeCommit::getModifiedTreeEntires(m_triggers.entries(), changes);
    EXPECT_EQ(changes.triggersToSave, MUDTriggerList{edited});
    EXPECT_EQ(edited->modifiedInstance()->parentURL(), triggersFolder() + QStringLiteral("/Renamed"));
    ASSERT_EQ(changes.foldersToModify.size(), 1);
    EXPECT_EQ(changes.foldersToModify.first().get(), group);
}

TEST_F(ScriptTreeCommitTest, AFolderCreatedAndRemovedBeforeTheCommitIsNeverCreated)
{
    loadTriggers();
    const auto folder = m_triggers.addNewFolder(nullptr, QStringLiteral("Fleeting"));
    m_triggers.addNewEntry(folder.get());
    m_triggers.addNewFolder(folder.get(), QStringLiteral("Nested"));
    m_triggers.removeEntry(folder.get());
    commit();
    EXPECT_FALSE(exists(QStringLiteral("Fleeting")));
    EXPECT_EQ(QDir(triggersFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST_F(ScriptTreeCommitTest, ParentAndChildRenamedMoveParentFirstThenChildInside)
{
    writeTrigger(triggersFolder() + QStringLiteral("/A/B"), QStringLiteral("inB"));
    writeTrigger(triggersFolder() + QStringLiteral("/A/B/C"), QStringLiteral("inC"));
    loadTriggers();
    auto* a = childNamed(root(), QStringLiteral("A"));
    auto* b = childNamed(*a, QStringLiteral("B"));
    auto* c = childNamed(*b, QStringLiteral("C"));
    // The child is renamed first: the depth order of the commit decides.
    m_triggers.renameFolder(b, QStringLiteral("B2"));
    m_triggers.renameFolder(a, QStringLiteral("A2"));
    // An edit two levels below the renamed parent lands in the new place.
    editTrigger(childNamed(*c, QStringLiteral("inC")), QStringLiteral("edited"));
    LogRecorder log;
    commit();

    EXPECT_FALSE(exists(QStringLiteral("A")));
    EXPECT_TRUE(exists(QStringLiteral("A2/B2/inB.trigger")));
    EXPECT_TRUE(exists(QStringLiteral("A2/B2/C/inC.trigger")));
    EXPECT_FALSE(exists(QStringLiteral("A2/B")));
    EXPECT_TRUE(readFile(triggersFolder() + QStringLiteral("/A2/B2/C/inC.trigger")).contains("edited"));
    for (const QString& line : log.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("failed"))) << line.toStdString();
}

TEST_F(ScriptTreeCommitTest, ANewFolderOverAnExistingPathIsSkippedAndTheCommitGoesOn)
{
    loadTriggers();
    const auto folder = m_triggers.addNewFolder(nullptr, QStringLiteral("Taken"));
    const auto added = m_triggers.addNewEntry(folder.get());
    QDir().mkpath(triggersFolder() + QStringLiteral("/Taken"));
    writeTrigger(triggersFolder() + QStringLiteral("/Taken"), QStringLiteral("older"));
    m_triggers.addNewFolder(nullptr, QStringLiteral("Fresh"));
    LogRecorder log;
    commit();
    EXPECT_TRUE(log.contains(
        QStringLiteral("MUDScriptingLeftPanelViewController:saveChanges - Not creating file. It already exists.@")));
    EXPECT_TRUE(exists(QStringLiteral("Taken/older.trigger")));
    EXPECT_TRUE(exists(QStringLiteral("Taken/New trigger.trigger")));
    EXPECT_TRUE(QFileInfo(triggersFolder() + QStringLiteral("/Fresh")).isDir());
}

TEST_F(ScriptTreeCommitTest, NewFolderInsideARenamedFolderIsMadeInItsNewPlace)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Old"), QStringLiteral("kept"));
    loadTriggers();
    auto* old = childNamed(root(), QStringLiteral("Old"));
    m_triggers.renameFolder(old, QStringLiteral("New"));
    m_triggers.addNewFolder(old, QStringLiteral("Child"));
    commit();
    EXPECT_TRUE(exists(QStringLiteral("New/kept.trigger")));
    EXPECT_TRUE(QFileInfo(triggersFolder() + QStringLiteral("/New/Child")).isDir());
    EXPECT_FALSE(exists(QStringLiteral("Old")));
}

TEST_F(ScriptTreeCommitTest, ARemovedFolderGoesWithItsContentsEvenWhenOneWasEdited)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Gone"), QStringLiteral("edited"));
    writeTrigger(triggersFolder() + QStringLiteral("/Gone/Sub"), QStringLiteral("nested"));
    loadTriggers();
    auto* gone = childNamed(root(), QStringLiteral("Gone"));
    editTrigger(childNamed(*gone, QStringLiteral("edited")), QStringLiteral("changed"));
    m_triggers.renameFolder(childNamed(*gone, QStringLiteral("Sub")), QStringLiteral("Sub2"));
    m_triggers.removeEntry(gone);
    LogRecorder log;
    commit();
    EXPECT_FALSE(exists(QStringLiteral("Gone")));
    for (const QString& line : log.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("failed"))) << line.toStdString();
}

TEST_F(ScriptTreeCommitTest, RecordEditsRemovalsAndTheLoginScriptAreWrittenWithOneNotificationPerKind)
{
    writeTrigger(triggersFolder(), QStringLiteral("old"));
    writeTrigger(triggersFolder(), QStringLiteral("doomed"));
    writeAlias(aliasesFolder(), QStringLiteral("k"), QStringLiteral("kill"));
    writeNote(notesFolder(), QStringLiteral("map"), QStringLiteral("north"));
    m_notes.initializeWithType(MUDScriptKind::Notes, m_connection);
    m_aliases.initializeWithType(MUDScriptKind::Aliases, m_connection);
    loadTriggers();

    auto renamed = editTrigger(childNamed(root(), QStringLiteral("old")), QStringLiteral("x"));
    renamed->modifiedInstance()->setTitle(QStringLiteral("new"));
    m_triggers.removeEntry(childNamed(root(), QStringLiteral("doomed")));
    editTrigger(childNamed(root(), QStringLiteral(".login")), QStringLiteral("say bye"));
    auto alias = dynamic_cast<MUDAliasTreeEntry*>(m_aliases.root()->childTreeEntries().first().get())->alias();
    alias->setModifiedInstance(alias->copy());
    alias->modifiedInstance()->setMatchString(QStringLiteral("slay"));
    auto note = dynamic_cast<MUDNoteTreeEntry*>(m_notes.root()->childTreeEntries().first().get())->note();
    note->setModifiedInstance(note->copy());
    note->modifiedInstance()->setContents(QStringLiteral("south"));

    QStringList posted;
    QString connectionId;
    auto connection =
        QObject::connect(&MUDNotificationCenter::defaultCenter(), &MUDNotificationCenter::notificationPosted,
                         [&](const QString& name, const QVariant& object) {
                             posted.append(name);
                             if (object.canConvert<MUDTriggersModifiedObject>())
                                 connectionId = object.value<MUDTriggersModifiedObject>().connectionId();
                         });
    commit();
    QObject::disconnect(connection);

    EXPECT_EQ(posted, (QStringList{QStringLiteral("com.corvane.quarrow.triggerModified"),
                                   QStringLiteral("com.corvane.quarrow.aliasModified")}));
    EXPECT_EQ(connectionId, m_connection->connectionId());
    EXPECT_FALSE(exists(QStringLiteral("old.trigger")));
    EXPECT_TRUE(exists(QStringLiteral("new.trigger")));
    EXPECT_FALSE(exists(QStringLiteral("doomed.trigger")));
    EXPECT_FALSE(exists(QStringLiteral(".login.trigger")));
    EXPECT_EQ(MUDPreservation::loadConnectionById(m_connection->connectionId())->loginScript(),
              QStringLiteral("say bye"));
    EXPECT_TRUE(readFile(aliasesFolder() + QStringLiteral("/k.alias")).contains("slay"));
    EXPECT_EQ(readFile(notesFolder() + QStringLiteral("/map.txt")), QByteArray("south"));
}

TEST_F(ScriptTreeCommitTest, FolderChangesAloneAreAnnouncedForTheirKind)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Gone"), QStringLiteral("doomed"));
    writeAlias(aliasesFolder() + QStringLiteral("/Old"), QStringLiteral("k"), QStringLiteral("kill"));
    m_aliases.initializeWithType(MUDScriptKind::Aliases, m_connection);
    loadTriggers();
    m_triggers.removeEntry(childNamed(root(), QStringLiteral("Gone")));
    m_aliases.renameFolder(childNamed(*m_aliases.root(), QStringLiteral("Old")), QStringLiteral("New"));
    m_notes.addNewFolder(nullptr, QStringLiteral("Maps"));

    QStringList posted;
    auto connection =
        QObject::connect(&MUDNotificationCenter::defaultCenter(), &MUDNotificationCenter::notificationPosted,
                         [&](const QString& name) { posted.append(name); });
    commit();
    QObject::disconnect(connection);

    EXPECT_EQ(posted, (QStringList{QStringLiteral("com.corvane.quarrow.triggerModified"),
                                   QStringLiteral("com.corvane.quarrow.aliasModified")}));
    EXPECT_FALSE(exists(QStringLiteral("Gone")));
    EXPECT_TRUE(QFileInfo::exists(aliasesFolder() + QStringLiteral("/New/k.alias")));
    EXPECT_TRUE(QFileInfo(notesFolder() + QStringLiteral("/Maps")).isDir());
}

TEST_F(ScriptTreeCommitTest, AFailedMoveLeavesTheFolderAndItsEntriesWhereTheyAre)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Old"), QStringLiteral("edited"));
    writeTrigger(triggersFolder() + QStringLiteral("/Old"), QStringLiteral("plain"));
    writeTrigger(triggersFolder() + QStringLiteral("/Old/Inner"), QStringLiteral("deep"));
    writeTrigger(triggersFolder() + QStringLiteral("/Taken"), QStringLiteral("theirs"));
    loadTriggers();
    auto* old = childNamed(root(), QStringLiteral("Old"));
    editTrigger(childNamed(*old, QStringLiteral("edited")), QStringLiteral("changed"));
    editTrigger(childNamed(*childNamed(*old, QStringLiteral("Inner")), QStringLiteral("deep")),
                QStringLiteral("lower"));
    m_triggers.renameFolder(old, QStringLiteral("Taken"));
    m_triggers.addNewFolder(old, QStringLiteral("Fresh"));

    LogRecorder log;
    const QStringList problems =
        MUDScriptTreeCommit::saveChanges(*m_connection, m_notes.entries(), m_aliases.entries(), m_triggers.entries());
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems.first().contains(QStringLiteral("\"Old\""))) << problems.first().toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("MUDScriptingLeftPanelViewController:saveChanges - failed to move folder. "
                                            "Error: Could not move %1/Old to %1/Taken")
                                 .arg(triggersFolder())));
    EXPECT_TRUE(readFile(triggersFolder() + QStringLiteral("/Old/edited.trigger")).contains("changed"));
    EXPECT_TRUE(exists(QStringLiteral("Old/plain.trigger")));
    EXPECT_TRUE(readFile(triggersFolder() + QStringLiteral("/Old/Inner/deep.trigger")).contains("lower"));
    EXPECT_TRUE(QFileInfo(triggersFolder() + QStringLiteral("/Old/Fresh")).isDir());
    EXPECT_EQ(QDir(triggersFolder() + QStringLiteral("/Taken")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("theirs.trigger")});
}

TEST_F(ScriptTreeCommitTest, NothingChangedWritesNothingAndPostsNothing)
{
    writeTrigger(triggersFolder(), QStringLiteral("same"));
    loadTriggers();
    // Opening a record in an editor makes a working copy without changes.
    editTrigger(childNamed(root(), QStringLiteral("same")), QStringLiteral("app.log('same')"));
    const QByteArray before = readFile(triggersFolder() + QStringLiteral("/same.trigger"));
    int posts = 0;
    auto connection = QObject::connect(&MUDNotificationCenter::defaultCenter(),
                                       &MUDNotificationCenter::notificationPosted, [&] { ++posts; });
    commit();
    QObject::disconnect(connection);
    EXPECT_EQ(posts, 0);
    EXPECT_EQ(readFile(triggersFolder() + QStringLiteral("/same.trigger")), before);
}

}
