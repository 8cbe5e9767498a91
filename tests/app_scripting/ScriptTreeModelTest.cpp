#include <QDir>
#include <QFont>
#include <functional>

#include "ScriptingFixture.h"
#include "TestSupport.h"
#include "app/scripting/CVFolderTreeEntry.h"
#include "app/scripting/CVTriggerTreeEntry.h"
#include "app/scripting/MUDAliasTreeEntry.h"
#include "app/scripting/MUDNoteTreeEntry.h"
#include "app/scripting/MUDScriptKind.h"
#include "app/scripting/MUDScriptTreeModel.h"
#include "engine/connection/MUDConnection.h"

namespace {

QStringList childNames(const CVDatabaseTreeEntry& entry)
{
    QStringList names;
    for (const auto& child : entry.childTreeEntries())
        names.append(child->displayName());
    return names;
}

CVDatabaseTreeEntry* childNamed(const CVDatabaseTreeEntry& entry, const QString& name)
{
    for (const auto& child : entry.childTreeEntries()) {
        if (child->displayName() == name)
            return child.get();
    }
    return nullptr;
}

class ScriptTreeModelTest : public ScriptingFixture {
protected:
    void load(int kind) { m_model.initializeWithType(kind, m_connection); }
    CVFolderTreeEntry& root() { return *m_model.root(); }
    QModelIndex indexOf(const CVDatabaseTreeEntry* entry) { return m_model.indexForEntry(entry); }

    MUDScriptTreeModel m_model;
};

TEST_F(ScriptTreeModelTest, TriggersTreeHasFoldersFirstThenSortedLeavesWithTheLoginPseudoTrigger)
{
    writeTrigger(triggersFolder(), QStringLiteral("beta"));
    writeTrigger(triggersFolder(), QStringLiteral("Alpha"));
    writeTrigger(triggersFolder() + QStringLiteral("/Zoo"), QStringLiteral("inner"));
    writeTrigger(triggersFolder() + QStringLiteral("/Zoo/Deep"), QStringLiteral("deepest"));
    QDir().mkpath(triggersFolder() + QStringLiteral("/apes"));
    load(MUDScriptKind::Triggers);

    EXPECT_EQ(root().displayName(), QStringLiteral("Triggers"));
    EXPECT_TRUE(root().isRoot());
    EXPECT_EQ(root().url(), triggersFolder());
    const QStringList names = childNames(root());
    ASSERT_EQ(names.size(), 5);
    EXPECT_EQ(names.mid(0, 2), (QStringList{QStringLiteral("apes"), QStringLiteral("Zoo")}));
    EXPECT_EQ(names.mid(2).indexOf(QStringLiteral("Alpha")) + 1, names.mid(2).indexOf(QStringLiteral("beta")));
    EXPECT_TRUE(names.contains(QStringLiteral(".login")));

    auto* login = dynamic_cast<CVTriggerTreeEntry*>(childNamed(root(), QStringLiteral(".login")));
    ASSERT_NE(login, nullptr);
    EXPECT_TRUE(login->trigger()->isLoginTrigger());
    EXPECT_EQ(login->trigger()->action(), QStringLiteral("say hello"));
    EXPECT_FALSE(login->canBeRemoved());

    auto* zoo = dynamic_cast<CVFolderTreeEntry*>(childNamed(root(), QStringLiteral("Zoo")));
    ASSERT_NE(zoo, nullptr);
    EXPECT_EQ(childNames(*zoo), (QStringList{QStringLiteral("Deep"), QStringLiteral("inner")}));
    EXPECT_TRUE(zoo->canBeRemoved());
    EXPECT_FALSE(root().canBeRemoved());
    auto* inner = dynamic_cast<CVTriggerTreeEntry*>(childNamed(*zoo, QStringLiteral("inner")));
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(QDir::cleanPath(inner->trigger()->parentURL()), zoo->url());
    EXPECT_TRUE(m_model.expandsDescendants());
}

TEST_F(ScriptTreeModelTest, AliasAndNoteTreesHoldTheirOwnKindWithoutLoginEntry)
{
    writeAlias(aliasesFolder(), QStringLiteral("k"), QStringLiteral("kill"));
    writeNote(notesFolder() + QStringLiteral("/Maps"), QStringLiteral("town"), QStringLiteral("north gate"));
    load(MUDScriptKind::Aliases);
    EXPECT_EQ(root().displayName(), QStringLiteral("Aliases"));
    EXPECT_EQ(childNames(root()), QStringList{QStringLiteral("k")});
    EXPECT_NE(dynamic_cast<MUDAliasTreeEntry*>(root().childTreeEntries().first().get()), nullptr);

    load(MUDScriptKind::Notes);
    EXPECT_EQ(root().displayName(), QStringLiteral("Notes"));
    ASSERT_EQ(childNames(root()), QStringList{QStringLiteral("Maps")});
    auto* town = dynamic_cast<MUDNoteTreeEntry*>(root().childTreeEntries().first()->childTreeEntries().value(0).get());
    ASSERT_NE(town, nullptr);
    EXPECT_EQ(town->note()->contents(), QStringLiteral("north gate"));
}

TEST_F(ScriptTreeModelTest, MoreThanTenChildrenExpandOnlyTheRoot)
{
    for (int i = 0; i < 10; ++i)
        writeTrigger(triggersFolder(), QStringLiteral("t%1").arg(i));
    load(MUDScriptKind::Triggers); // ten triggers plus .login
    EXPECT_EQ(root().childTreeEntries().size(), 11);
    EXPECT_FALSE(m_model.expandsDescendants());
}

TEST_F(ScriptTreeModelTest, NewEntryTakesTheFirstFreeStoredTitle)
{
    struct Row {
        int kind;
        QStringList stored;
        QString expected;
    };
    const QList<Row> rows = {
        {MUDScriptKind::Triggers, {}, QStringLiteral("New trigger")},
        {MUDScriptKind::Triggers,
         {QStringLiteral("New trigger"), QStringLiteral("New trigger 1")},
         QStringLiteral("New trigger 2")},
        {MUDScriptKind::Triggers, {QStringLiteral("New trigger 1")}, QStringLiteral("New trigger")},
        {MUDScriptKind::Triggers, {QStringLiteral("new trigger")}, QStringLiteral("New trigger")},
        {MUDScriptKind::Aliases, {QStringLiteral("New alias")}, QStringLiteral("New alias 1")},
        {MUDScriptKind::Notes,
         {QStringLiteral("New note"), QStringLiteral("New note 1")},
         QStringLiteral("New note 2")},
    };
    for (const Row& row : rows) {
        QDir(triggersFolder()).removeRecursively();
        QDir(aliasesFolder()).removeRecursively();
        QDir(notesFolder()).removeRecursively();
        for (const QString& title : row.stored) {
            // Stored in a sub-folder: the whole tree is searched.
            if (row.kind == MUDScriptKind::Triggers)
                writeTrigger(triggersFolder() + QStringLiteral("/g"), title);
            else if (row.kind == MUDScriptKind::Aliases)
                writeAlias(aliasesFolder() + QStringLiteral("/g"), title);
            else
                writeNote(notesFolder() + QStringLiteral("/g"), title, QStringLiteral("x"));
        }
        load(row.kind);
        EXPECT_EQ(m_model.newEntryName(), row.expected) << row.stored.join(u',').toStdString();
    }
}

TEST_F(ScriptTreeModelTest, RetitledCopyStillBlocksItsStoredTitleAndNewEntryIsReadyToEdit)
{
    writeTrigger(triggersFolder(), QStringLiteral("New trigger"));
    load(MUDScriptKind::Triggers);
    auto* stored = dynamic_cast<CVTriggerTreeEntry*>(childNamed(root(), QStringLiteral("New trigger")));
    ASSERT_NE(stored, nullptr);
    stored->setURL(triggersFolder());
    stored->trigger()->modifiedInstance()->setTitle(QStringLiteral("renamed"));

    const auto added = m_model.addNewEntry(nullptr);
    auto* entry = dynamic_cast<CVTriggerTreeEntry*>(added.get());
    ASSERT_NE(entry, nullptr);
    const auto trigger = entry->trigger();
    EXPECT_EQ(trigger->title(), QStringLiteral("New trigger 1"));
    EXPECT_TRUE(trigger->isNew());
    EXPECT_EQ(trigger->actionType(), 1);
    EXPECT_TRUE(trigger->matchFromStartOfLine());
    EXPECT_EQ(trigger->parentURL(), triggersFolder());
    ASSERT_NE(trigger->modifiedInstance(), nullptr);
    EXPECT_EQ(entry->parent().get(), &root());
    EXPECT_TRUE(indexOf(entry).isValid());
    EXPECT_EQ(m_model.data(indexOf(entry), Qt::ForegroundRole).value<QColor>(), QColor(0x3f, 0xa1, 0x2d));
}

TEST_F(ScriptTreeModelTest, AdditionsGoIntoTheSelectedFolderOrTheSelectedLeafsFolder)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Group"), QStringLiteral("member"));
    load(MUDScriptKind::Triggers);
    auto* group = dynamic_cast<CVFolderTreeEntry*>(childNamed(root(), QStringLiteral("Group")));
    ASSERT_NE(group, nullptr);
    CVDatabaseTreeEntry* member = childNamed(*group, QStringLiteral("member"));

    EXPECT_EQ(m_model.receivingFolder(nullptr).get(), &root());
    EXPECT_EQ(m_model.receivingFolder(group).get(), group);
    EXPECT_EQ(m_model.receivingFolder(member).get(), group);

    const auto folder = m_model.addNewFolder(member, QStringLiteral("Sub"));
    auto* sub = dynamic_cast<CVFolderTreeEntry*>(folder.get());
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->isNewFolder());
    EXPECT_TRUE(sub->isModified());
    EXPECT_EQ(sub->url(), group->url() + QStringLiteral("/Sub"));
    // Folders first after the re-sort.
    EXPECT_EQ(childNames(*group), (QStringList{QStringLiteral("Sub"), QStringLiteral("member")}));
    EXPECT_EQ(m_model.addNewFolder(group, QString()), nullptr);
}

TEST_F(ScriptTreeModelTest, RemovingTwiceRestoresAndAFolderRemovalStrikesItsSubtree)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Group/Inner"), QStringLiteral("deep"));
    writeTrigger(triggersFolder(), QStringLiteral("top"));
    load(MUDScriptKind::Triggers);
    auto* group = childNamed(root(), QStringLiteral("Group"));
    auto* inner = childNamed(*group, QStringLiteral("Inner"));
    auto* deep = childNamed(*inner, QStringLiteral("deep"));
    auto* top = childNamed(root(), QStringLiteral("top"));
    const auto removed = [&](CVDatabaseTreeEntry* entry) {
        return m_model.data(indexOf(entry), MUDScriptTreeModel::RemovedRole).toBool();
    };

    LogRecorder log;
    m_model.removeEntry(top);
    EXPECT_TRUE(removed(top));
    EXPECT_TRUE(m_model.data(indexOf(top), Qt::FontRole).value<QFont>().strikeOut());
    EXPECT_TRUE(log.contains(QStringLiteral("Removing entry top")));
    m_model.removeEntry(top);
    EXPECT_FALSE(removed(top));
    EXPECT_FALSE(dynamic_cast<CVTriggerTreeEntry*>(top)->trigger()->isModified());

    m_model.toggleRemoved(group);
    EXPECT_TRUE(removed(group));
    EXPECT_TRUE(removed(inner));
    EXPECT_TRUE(removed(deep));
    EXPECT_FALSE(dynamic_cast<CVTriggerTreeEntry*>(deep)->trigger()->isRemoved());
    m_model.toggleRemoved(group);
    EXPECT_FALSE(removed(deep));

    // The root and the login pseudo-trigger cannot be removed.
    m_model.removeEntry(&root());
    m_model.removeEntry(childNamed(root(), QStringLiteral(".login")));
    EXPECT_FALSE(removed(&root()));
    EXPECT_FALSE(removed(childNamed(root(), QStringLiteral(".login"))));
}

TEST_F(ScriptTreeModelTest, RenameIsOnlyAFlagAndACaseChangeIsNoRename)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Group"), QStringLiteral("member"));
    load(MUDScriptKind::Triggers);
    auto* group = dynamic_cast<CVFolderTreeEntry*>(childNamed(root(), QStringLiteral("Group")));
    m_model.renameFolder(group, QStringLiteral("group"));
    EXPECT_FALSE(group->isRenamed());
    EXPECT_FALSE(group->isModified());
    EXPECT_EQ(group->url(), triggersFolder() + QStringLiteral("/Group"));
    m_model.renameFolder(group, QStringLiteral("Renamed"));
    EXPECT_TRUE(group->isRenamed());
    EXPECT_EQ(group->displayName(), QStringLiteral("Renamed"));
    EXPECT_EQ(group->url(), triggersFolder() + QStringLiteral("/Renamed"));
    EXPECT_EQ(group->origionalURL(), triggersFolder() + QStringLiteral("/Group"));
    EXPECT_TRUE(QDir(triggersFolder() + QStringLiteral("/Group")).exists());
    m_model.renameFolder(&root(), QStringLiteral("Other"));
    EXPECT_EQ(root().displayName(), QStringLiteral("Triggers"));
}

TEST_F(ScriptTreeModelTest, SearchFiltersToMatchingRecordsAndTheirFoldersAndClearingRestores)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Combat"), QStringLiteral("flee"),
                 QStringLiteral("An orc attacks"));
    writeTrigger(triggersFolder() + QStringLiteral("/Empty"), QStringLiteral("idle"), QStringLiteral("You yawn"));
    writeTrigger(triggersFolder(), QStringLiteral("heal"), QStringLiteral("You are hurt"));
    load(MUDScriptKind::Triggers);
    const QStringList full = childNames(root());

    m_model.setSearchText(QStringLiteral("ORC"));
    ASSERT_TRUE(m_model.isFiltered());
    ASSERT_EQ(m_model.rowCount(), 1);
    const QModelIndex filteredRoot = m_model.index(0, 0);
    ASSERT_EQ(m_model.rowCount(filteredRoot), 1);
    const QModelIndex combat = m_model.index(0, 0, filteredRoot);
    EXPECT_EQ(m_model.data(combat).toString(), QStringLiteral("Combat"));
    ASSERT_EQ(m_model.rowCount(combat), 1);
    const QModelIndex flee = m_model.index(0, 0, combat);
    EXPECT_EQ(m_model.data(flee).toString(), QStringLiteral("flee"));
    EXPECT_EQ(m_model.parent(flee), combat);
    EXPECT_TRUE(m_model.expandsDescendants());

    // The filtered leaf shares its record with the full tree.
    auto* fleeCopy = dynamic_cast<CVTriggerTreeEntry*>(m_model.entryForIndex(flee));
    auto* fleeFull = dynamic_cast<CVTriggerTreeEntry*>(
        childNamed(*childNamed(root(), QStringLiteral("Combat")), QStringLiteral("flee")));
    EXPECT_NE(fleeCopy, fleeFull);
    EXPECT_EQ(fleeCopy->trigger(), fleeFull->trigger());

    // A folder name alone does not match.
    m_model.setSearchText(QStringLiteral("Empty"));
    EXPECT_EQ(m_model.rowCount(), 0);
    m_model.setSearchText(QStringLiteral("nothing like this"));
    EXPECT_EQ(m_model.rowCount(), 0);

    m_model.setSearchText(QString());
    EXPECT_FALSE(m_model.isFiltered());
    ASSERT_EQ(m_model.rowCount(), 1);
    EXPECT_EQ(m_model.rowCount(m_model.index(0, 0)), full.size());
}

TEST_F(ScriptTreeModelTest, AddingWhileFilteredAddsToTheFullTree)
{
    writeTrigger(triggersFolder() + QStringLiteral("/Combat"), QStringLiteral("flee"), QStringLiteral("orc"));
    load(MUDScriptKind::Triggers);
    m_model.setSearchText(QStringLiteral("orc"));
    CVDatabaseTreeEntry* combatCopy = m_model.entryForIndex(m_model.index(0, 0, m_model.index(0, 0)));
    ASSERT_NE(combatCopy, nullptr);
    const auto added = m_model.addNewEntry(combatCopy);
    EXPECT_FALSE(m_model.isFiltered());
    auto* combat = childNamed(root(), QStringLiteral("Combat"));
    EXPECT_TRUE(childNames(*combat).contains(QStringLiteral("New trigger")));
    EXPECT_EQ(added->parent().get(), combat);
}

}
