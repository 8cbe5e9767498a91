#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ConnectionsTestSupport.h"
#include "TestSupport.h"
#include "app/connections/MUDConnectionsWindowController.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDDefaultConnections.h"
#include "engine/storage/MUDPreservation.h"

namespace {
const QString Prefix = QStringLiteral("MUDConnectionsWindowController:copyDefaultConnections");
const QStringList ShippedTitles = {"Aardwolf", "Alter Aeon", "BatMUD", "Discworld", "Local TinyMUX"};
} // namespace

class DefaultConnections : public DataFolderTest { };

TEST_F(DefaultConnections, AreCopiedOnceIntoAnEmptyDataFolder)
{
    LogRecorder log;
    const QString source = MUDConnectionsWindowController::defaultConnectionsFolder();
    EXPECT_EQ(MUDDefaultConnections::copyDefaultConnections(source), ShippedTitles.size());
    EXPECT_EQ(storedTitles(), ShippedTitles);
    EXPECT_TRUE(log.contains(Prefix + " - we have no connections. Going to try and copy over our defaults."));
    const QString target = MUDPreservation::rootDirectoryForConnections() + "/Local TinyMUX.mud";
    EXPECT_TRUE(
        log.contains(Prefix + " - [success] copied default connection `Local TinyMUX.mud` to `" + target + "`."));

    const auto local = MUDPreservation::loadConnections().last();
    EXPECT_EQ(local->host(), "127.0.0.1");
    EXPECT_EQ(local->port(), 2860u);
    EXPECT_FALSE(local->connectionId().isEmpty()) << "storage gives each copied default an identity";
    for (const auto& connection : MUDPreservation::loadConnections())
        EXPECT_TRUE(connection->negotiatesTelnetOptions()) << connection->title().toStdString();

    log.clear();
    EXPECT_EQ(MUDDefaultConnections::copyDefaultConnections(source), 0);
    EXPECT_TRUE(log.contains(Prefix + " - we already have connections. Not going to restore the defaults."));
    EXPECT_EQ(storedTitles(), ShippedTitles);
}

TEST_F(DefaultConnections, NeverReplaceExistingConnections)
{
    storeConnection("Mine", "127.0.0.1", 4000, "MINE");
    EXPECT_EQ(MUDDefaultConnections::copyDefaultConnections(MUDConnectionsWindowController::defaultConnectionsFolder()),
              0);
    EXPECT_EQ(storedTitles(), QStringList{"Mine"});
}

TEST_F(DefaultConnections, AFolderInTheWayIsKeptAndTheOthersAreStillCopied)
{
    // A connection folder whose record is missing is not a connection, so
    // storage counts as empty; its files must survive the copy.
    const QString blocked = MUDPreservation::rootDirectoryForConnections() + "/Discworld.mud";
    ASSERT_TRUE(QDir().mkpath(blocked + "/notes"));
    QFile note(blocked + "/notes/keep.txt");
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("mine");
    note.close();

    LogRecorder log;
    EXPECT_EQ(MUDDefaultConnections::copyDefaultConnections(MUDConnectionsWindowController::defaultConnectionsFolder()),
              ShippedTitles.size() - 1);
    EXPECT_TRUE(
        log.lines()
            .filter(Prefix + " - Failed to copy default connection `Discworld.mud` to `" + blocked + "` with error: ")
            .size() == 1);
    EXPECT_FALSE(QFile::exists(blocked + "/connection.json"));
    EXPECT_TRUE(QFile::exists(blocked + "/notes/keep.txt"));
    EXPECT_EQ(storedTitles().size(), ShippedTitles.size() - 1);
}

TEST_F(DefaultConnections, CopiesCanBeEditedAndOnlyMudFoldersAreTaken)
{
    QTemporaryDir source;
    ASSERT_TRUE(QDir().mkpath(source.path() + "/Test.mud"));
    ASSERT_TRUE(QDir().mkpath(source.path() + "/Other"));
    QFile record(source.path() + "/Test.mud/connection.json");
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write(R"({"host": "127.0.0.1", "port": 4201})");
    record.close();
    // Shipped resources are read-only; the copies must not be.
    ASSERT_TRUE(QFile::setPermissions(record.fileName(), QFile::ReadOwner));

    EXPECT_EQ(MUDDefaultConnections::copyDefaultConnections(source.path()), 1);
    const QString copied = MUDPreservation::rootDirectoryForConnections() + "/Test.mud/connection.json";
    EXPECT_TRUE(QFile::permissions(copied) & QFile::WriteOwner);
    EXPECT_FALSE(QDir(MUDPreservation::rootDirectoryForConnections()).exists("Other"));
    const auto stored = MUDPreservation::loadConnections();
    ASSERT_EQ(stored.size(), 1);
    stored.first()->setModifiedInstance(stored.first()->copy());
    stored.first()->modifiedInstance()->setPort(4202);
    EXPECT_TRUE(MUDPreservation::saveConnection(*stored.first()));
    EXPECT_EQ(MUDPreservation::loadConnections().first()->port(), 4202u);
}
