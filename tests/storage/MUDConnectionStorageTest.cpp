#include "engine/storage/MUDPreservation.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>

#include "StorageTestSupport.h"
#include "TestSupport.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDConnectionLists.h"

namespace {
// A stored connection titled `title`, as the connection editor saves it.
std::shared_ptr<MUDConnection> saveNew(const QString& title, const QString& id = "ID-1")
{
    auto connection = std::make_shared<MUDConnection>();
    auto copy = connection->copy();
    copy->setTitle(title);
    copy->setConnectionId(id);
    copy->setHost("127.0.0.1");
    copy->setPort(4000);
    copy->setPassword("secret");
    connection->setModifiedInstance(copy);
    EXPECT_TRUE(MUDPreservation::saveConnection(*connection));
    return MUDPreservation::loadConnectionById(id);
}

QStringList titles(const MUDConnectionList& connections)
{
    QStringList result;
    for (const auto& connection : connections)
        result << connection->title();
    return result;
}
}

class MUDConnectionStorage : public StorageTest {
protected:
    QString connections() const { return MUDPreservation::rootDirectoryForConnections(); }
};

TEST_F(MUDConnectionStorage, SavedConnectionLoadsBackWithOwnerOnlyPermissions)
{
    auto loaded = saveNew("Discworld");
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->title(), "Discworld");
    EXPECT_EQ(loaded->host(), "127.0.0.1");
    EXPECT_EQ(loaded->password(), "secret");
    const QString folder = connections() + "/Discworld.mud";
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const QFileDevice::Permissions folderMode = QFileInfo(folder).permissions();
    EXPECT_EQ(folderMode & others, 0);
    EXPECT_TRUE(folderMode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QFileDevice::Permissions fileMode = QFileInfo(folder + "/connection.json").permissions();
    EXPECT_EQ(fileMode & others, 0);
    EXPECT_TRUE(fileMode.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
}

TEST_F(MUDConnectionStorage, UnsafeTitlesAreRefusedWithAReason)
{
    struct Row {
        QString title, reason;
    } rows[] = {
        {"   ", "The connection title is empty."},
        {"../x", "The connection title cannot contain \"/\"."},
        {"a/b", "The connection title cannot contain \"/\"."},
        {QString("a") + QChar(0) + "b", "The connection title cannot contain a NUL character."},
        {".", "The connection title cannot be \".\" or \"..\"."},
        {"..", "The connection title cannot be \".\" or \"..\"."},
    };
    for (const Row& row : rows) {
        auto connection = std::make_shared<MUDConnection>();
        auto copy = connection->copy();
        copy->setTitle(row.title);
        connection->setModifiedInstance(copy);
        CVError error;
        EXPECT_FALSE(MUDPreservation::saveConnection(*connection, &error)) << row.title.toStdString();
        EXPECT_EQ(error.description, row.reason);
    }
    EXPECT_TRUE(QDir(m_dir.path()).isEmpty()) << "nothing written anywhere";
}

TEST_F(MUDConnectionStorage, EmptyTitlesHaveNoFolder)
{
    LogRecorder log;
    auto connection = std::make_shared<MUDConnection>();
    connection->setModifiedInstance(connection->copy());
    CVError error;
    EXPECT_FALSE(MUDPreservation::saveConnection(*connection, &error));
    EXPECT_EQ(error.description, "Could not create URL for connection.");
    EXPECT_TRUE(log.contains("No connection title. Cannot save."));
    EXPECT_TRUE(log.contains("MUDPreservation:saveConnection No connection URL. Cannot save."));
    EXPECT_FALSE(MUDPreservation::saveConnection(*std::make_shared<MUDConnection>())) << "no working copy";
}

TEST_F(MUDConnectionStorage, RenamingMovesTheWholeFolder)
{
    auto loaded = saveNew("Old");
    ASSERT_TRUE(loaded);
    writeFile(connections() + "/Old.mud/triggers/t.trigger", "{}");
    auto copy = loaded->copy();
    copy->setTitle("New");
    loaded->setModifiedInstance(copy);
    ASSERT_TRUE(MUDPreservation::saveConnection(*loaded));
    EXPECT_FALSE(QFileInfo::exists(connections() + "/Old.mud"));
    EXPECT_TRUE(QFileInfo::exists(connections() + "/New.mud/triggers/t.trigger"));
    EXPECT_EQ(titles(MUDPreservation::loadConnections()), QStringList{"New"});
}

TEST_F(MUDConnectionStorage, ARenameThatCannotMoveTheFolderFailsAndWritesNothing)
{
    auto loaded = saveNew("Old");
    ASSERT_TRUE(loaded);
    writeFile(connections() + "/Old.mud/triggers/t.trigger", "{}");
    // Another connection already owns the new name's folder: the move fails
    // whoever runs the test, root included.
    writeFile(connections() + "/Taken.mud/connection.json", "{\"connectionId\": \"ID-2\", \"host\": \"other\"}");
    writeFile(connections() + "/Taken.mud/triggers/theirs.trigger", "{}");
    const QByteArray theirs = readFile(connections() + "/Taken.mud/connection.json");
    const QByteArray ours = readFile(connections() + "/Old.mud/connection.json");
    auto copy = loaded->copy();
    copy->setTitle("Taken");
    copy->setHost("moved.example");
    loaded->setModifiedInstance(copy);

    CVError error;
    EXPECT_FALSE(MUDPreservation::saveConnection(*loaded, &error));
    EXPECT_FALSE(error.description.isEmpty());
    EXPECT_EQ(readFile(connections() + "/Taken.mud/connection.json"), theirs);
    EXPECT_FALSE(QFileInfo::exists(connections() + "/Taken.mud/triggers/t.trigger"));
    EXPECT_EQ(readFile(connections() + "/Old.mud/connection.json"), ours);
    EXPECT_TRUE(QFileInfo::exists(connections() + "/Old.mud/triggers/t.trigger"));
}

TEST_F(MUDConnectionStorage, ListingKeepsOnlyMudFoldersSortedAndGivesMissingIdentities)
{
    saveNew("beta", "B");
    saveNew("Alpha", "A");
    writeFile(connections() + "/gamma.MUD/connection.json", "{\"host\":\"g\",\"port\":23}");
    writeFile(connections() + "/other.txt/connection.json", "{}");
    writeFile(connections() + "/old.mud", "a file, not a folder");
    writeFile(connections() + "/empty.mud/image.png", "");
    const QByteArray broken = "{\"host\": ";
    writeFile(connections() + "/broken.mud/connection.json", broken);

    const MUDConnectionList all = MUDPreservation::loadConnections();
    EXPECT_EQ(titles(all), (QStringList{"Alpha", "beta", "gamma"}));
    const QString id = all[2]->connectionId();
    EXPECT_TRUE(
        QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$").match(id).hasMatch())
        << id.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(readFile(connections() + "/gamma.MUD/connection.json"))
                  .object()
                  .value("connectionId")
                  .toString(),
              id)
        << "written back at once";
    EXPECT_EQ(MUDPreservation::loadConnections()[2]->connectionId(), id) << "stable on the next load";
    writeFile(connections() + "/gamma.MUD/triggers/hp.trigger", "{}");
    EXPECT_EQ(MUDConnectionLists::triggers(*all[2]).value_or(MUDTriggerList()).size(), 1)
        << "its own folder, whatever the case of .MUD";
    EXPECT_EQ(readFile(connections() + "/broken.mud/connection.json"), broken) << "unparsable file left alone";
}

TEST_F(MUDConnectionStorage, RemovingRequiresNoPendingModifications)
{
    auto loaded = saveNew("Gone");
    ASSERT_TRUE(loaded);
    loaded->setModifiedInstance(loaded->copy());
    CVError error;
    EXPECT_FALSE(MUDPreservation::removeConnection(*loaded, &error));
    EXPECT_EQ(error.description, "Failed to remove connection. Cannot remove a connection with modifications.");
    loaded->setModifiedInstance(nullptr);
    EXPECT_TRUE(MUDPreservation::removeConnection(*loaded, &error));
    EXPECT_FALSE(QFileInfo::exists(connections() + "/Gone.mud"));
}

TEST_F(MUDConnectionStorage, LoginPseudoTriggerSavesTheConnectionsLoginScript)
{
    auto loaded = saveNew("Game", "G");
    ASSERT_TRUE(loaded);
    auto login = std::make_shared<MUDTrigger>();
    login->setIsLoginTrigger(true);
    login->setTitle("Login");
    login->setModifiedInstance(login->copy());
    login->modifiedInstance()->setAction("command('connect me')");
    auto normal = std::make_shared<MUDTrigger>();
    normal->setTitle("hp");
    normal->setIsNew(true);
    normal->setParentURL(MUDPreservation::urlForTriggersInConnection(*loaded));
    ASSERT_TRUE(MUDPreservation::saveTriggers({login, normal}, *loaded));
    EXPECT_EQ(MUDPreservation::loadConnectionById("G")->loginScript(), "command('connect me')");
    EXPECT_EQ(QDir(MUDPreservation::urlForTriggersInConnection(*loaded)).entryList(QDir::Files),
              QStringList{"hp.trigger"});
}

TEST_F(MUDConnectionStorage, ConnectionListsLoadLazilyAndOnForce)
{
    auto loaded = saveNew("Game", "G");
    ASSERT_TRUE(loaded);
    const QString triggers = MUDPreservation::urlForTriggersInConnection(*loaded);
    writeFile(triggers + "/a.trigger", "{\"enabled\":1}");
    writeFile(MUDPreservation::urlForAliasesInConnection(*loaded) + "/g/k.alias", "{\"command\":\"kill\"}");
    ASSERT_TRUE(MUDConnectionLists::triggers(*loaded).has_value());
    EXPECT_EQ(MUDConnectionLists::triggers(*loaded)->size(), 1);
    EXPECT_EQ(MUDConnectionLists::aliases(*loaded)->size(), 1);
    writeFile(triggers + "/b.trigger", "{}");
    EXPECT_EQ(MUDConnectionLists::triggers(*loaded)->size(), 1) << "held until forced";
    EXPECT_TRUE(MUDConnectionLists::forceLoadTriggers(*loaded));
    EXPECT_EQ(MUDConnectionLists::triggers(*loaded)->size(), 2);
    EXPECT_FALSE(loaded->copy()->modifiedInstance());

    MUDConnection untitled;
    EXPECT_FALSE(MUDConnectionLists::triggers(untitled).has_value()) << "no folder: none, tried again on the next read";
}

// A connection without a folder has nothing to load: the forced loads say
// so instead of reporting success, and the connection holds no list.
TEST_F(MUDConnectionStorage, ForcedLoadsWithoutAFolderFailWithTheReason)
{
    MUDConnection untitled;
    CVError error;
    EXPECT_FALSE(MUDConnectionLists::forceLoadTriggers(untitled, &error));
    EXPECT_EQ(error.description, "No triggersURL. Cannot load.");
    EXPECT_FALSE(untitled.loadedTriggers().has_value());
    error = CVError();
    EXPECT_FALSE(MUDConnectionLists::forceLoadAliases(untitled, &error));
    EXPECT_EQ(error.description, "No aliasesURL. Cannot load.");
    EXPECT_FALSE(untitled.loadedAliases().has_value());

    auto loaded = saveNew("Game", "G");
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(MUDConnectionLists::forceLoadTriggers(*loaded)) << "an empty folder loads: no triggers yet";
    EXPECT_TRUE(MUDConnectionLists::forceLoadAliases(*loaded));
    ASSERT_TRUE(loaded->loadedAliases().has_value());
    EXPECT_TRUE(loaded->loadedAliases()->isEmpty());
}
