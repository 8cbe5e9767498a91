#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "ChildProgram.h"
#include "ConnectionsTestSupport.h"
#include "LoopbackServer.h"
#include "PrivateSessionBus.h"
#include "TestSupport.h"
#include "app/launch/MUDSingleInstance.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {

constexpr int ProgramWaitMs = 30000;

QDBusConnection connectionTo(const PrivateSessionBus& bus, const QString& name)
{
    return QDBusConnection::connectToBus(bus.address(), name);
}

} // namespace

TEST(SingleInstanceName, OneNamePerDataFolderWhicheverWayItIsReached)
{
    QTemporaryDir first;
    QTemporaryDir second;
    const QString name = MUDSingleInstance::serviceNameForDataFolder(first.path());
    EXPECT_TRUE(QRegularExpression("^io\\.github\\.quarrow\\.Quarrow\\.Instance_[0-9a-f]{16}$").match(name).hasMatch())
        << name.toStdString();
    EXPECT_NE(name, MUDSingleInstance::serviceNameForDataFolder(second.path()));
    EXPECT_EQ(name, MUDSingleInstance::serviceNameForDataFolder(first.path() + "/"));
    EXPECT_EQ(name, MUDSingleInstance::serviceNameForDataFolder(first.path() + "/sub/.."));
    ASSERT_TRUE(QFile::link(first.path(), second.path() + "/link"));
    EXPECT_EQ(name, MUDSingleInstance::serviceNameForDataFolder(second.path() + "/link"));
}

class SingleInstance : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        ASSERT_TRUE(bus.start()) << bus.errorText().toStdString();
    }
    void TearDown() override
    {
        QDBusConnection::disconnectFromBus("first");
        QDBusConnection::disconnectFromBus("second");
        DataFolderTest::TearDown();
    }
    bool nameOwned(const QString& name)
    {
        QDBusConnection watcher = connectionTo(bus, "watcher");
        const bool owned = watcher.interface()->isServiceRegistered(name);
        QDBusConnection::disconnectFromBus("watcher");
        return owned;
    }

    PrivateSessionBus bus;
};

TEST_F(SingleInstance, TheSecondHandsItsTargetsToTheFirstAndGetsItsErrors)
{
    MUDSingleInstance first(connectionTo(bus, "first"), dataFolder());
    QStringList received;
    first.setOpenHandler([&](const QStringList& targets) {
        received = targets;
        return QStringList{"No stored connection is titled \"Nope\"."};
    });
    ASSERT_EQ(first.start({}, nullptr), MUDSingleInstance::Role::Primary);

    MUDSingleInstance second(connectionTo(bus, "second"), dataFolder());
    QStringList errors;
    EXPECT_EQ(second.start({"Alter Aeon", "Nope"}, &errors), MUDSingleInstance::Role::HandedOver);
    EXPECT_EQ(received, QStringList({"Alter Aeon", "Nope"}));
    EXPECT_EQ(errors, QStringList{"No stored connection is titled \"Nope\"."});
}

TEST_F(SingleInstance, AnotherDataFolderIsAnotherInstanceAndAFreedNameIsTakenAgain)
{
    QTemporaryDir otherFolder;
    auto first = std::make_unique<MUDSingleInstance>(connectionTo(bus, "first"), dataFolder());
    ASSERT_EQ(first->start({}, nullptr), MUDSingleInstance::Role::Primary);
    MUDSingleInstance other(connectionTo(bus, "second"), otherFolder.path());
    EXPECT_EQ(other.start({}, nullptr), MUDSingleInstance::Role::Primary);

    const QString name = first->serviceName();
    first.reset();
    EXPECT_FALSE(nameOwned(name)) << "the name goes with its instance";
    MUDSingleInstance again(connectionTo(bus, "first"), dataFolder());
    EXPECT_EQ(again.start({}, nullptr), MUDSingleInstance::Role::Primary);
}

// A process that holds the name without answering (another program, or a
// Quarrow too old to take targets) gets no second instance beside it.
TEST_F(SingleInstance, AnOwnerThatDoesNotAnswerIsAFailureNotASecondInstance)
{
    QDBusConnection squatter = connectionTo(bus, "first");
    const QString name = MUDSingleInstance::serviceNameForDataFolder(dataFolder());
    ASSERT_TRUE(squatter.registerService(name));
    MUDSingleInstance second(connectionTo(bus, "second"), dataFolder());
    QStringList errors;
    EXPECT_EQ(second.start({"Game"}, &errors), MUDSingleInstance::Role::Failed);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().startsWith("The running Quarrow did not take the request: "))
        << errors.first().toStdString();
    EXPECT_TRUE(nameOwned(name)) << "the owner keeps its name";
}

TEST(SingleInstanceWithoutBus, EachLaunchRunsOnItsOwn)
{
    QTemporaryDir folder;
    const QDBusConnection dead =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=") + folder.path() + "/no-bus", "dead");
    MUDSingleInstance instance(dead, folder.path());
    EXPECT_EQ(instance.start({"Game"}, nullptr), MUDSingleInstance::Role::Alone);
    QDBusConnection::disconnectFromBus("dead");
}

// The real program, twice: the second launch exits 0 at once and the first
// opens the session (its server sees the login).
TEST_F(SingleInstance, ASecondLaunchOfTheProgramHandsOverAndExits)
{
    LoopbackServer server;
    // The session logs in with this user; the connections window's port
    // probe connects too, but sends nothing.
    const std::shared_ptr<MUDConnection> stored = storeConnection("Local Game", "127.0.0.1", server.port(), "LOCAL");
    const std::shared_ptr<MUDConnection> withUser = stored->copy();
    withUser->setUser("handed-over");
    stored->setModifiedInstance(withUser);
    ASSERT_TRUE(MUDPreservation::saveConnection(*stored));
    const QString name = MUDSingleInstance::serviceNameForDataFolder(dataFolder());
    ChildProgram first;
    ASSERT_TRUE(first.start(QStringLiteral(QUARROW_PROGRAM), {}, bus.environment(dataFolder())));
    ASSERT_TRUE(waitUntil([&] { return nameOwned(name) || !first.isRunning(); }, ProgramWaitMs));
    ASSERT_TRUE(first.isRunning()) << first.readOutput().toStdString();

    ChildProgram second;
    ASSERT_TRUE(second.start(QStringLiteral(QUARROW_PROGRAM), {"Local Game", "Nope"}, bus.environment(dataFolder())));
    ASSERT_TRUE(second.waitForFinished(ProgramWaitMs));
    EXPECT_TRUE(second.exitedNormally());
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readOutput().contains("quarrow: No stored connection is titled \"Nope\"."))
        << "what the running one could not open is told on the second's standard error";

    EXPECT_TRUE(waitUntil([&] { return server.receivedTexts().contains("handed-over"); }, ProgramWaitMs))
        << "the running instance opened the session: " << first.readOutput().toStdString();
    EXPECT_TRUE(first.isRunning());
    first.stop();
}

// --data-dir wins over the environment and picks its own instance.
TEST_F(SingleInstance, TheDataDirOptionWinsOverTheEnvironment)
{
    QTemporaryDir chosen;
    // A local connection there, so no default is copied and probed.
    qputenv("QUARROW_DATA_DIR", chosen.path().toLocal8Bit());
    storeConnection("Local", "127.0.0.1", 1, "LOCAL");
    qputenv("QUARROW_DATA_DIR", dataFolder().toLocal8Bit());
    QProcessEnvironment environment = bus.environment(dataFolder());
    environment.insert("QUARROW_QUIT_AFTER_MS", "500");
    ChildProgram program;
    ASSERT_TRUE(program.start(QStringLiteral(QUARROW_PROGRAM), {"--data-dir", chosen.path()}, environment));
    ASSERT_TRUE(program.waitForFinished(ProgramWaitMs));
    EXPECT_EQ(program.exitCode(), 0) << program.readOutput().toStdString();
    EXPECT_TRUE(QFile::exists(chosen.path() + "/logs/quarrow.log"));
    EXPECT_TRUE(QDir(dataFolder()).isEmpty()) << "the environment's folder is left alone";
}
