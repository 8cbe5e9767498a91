#include "engine/connection/CVFTPortTester.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "LoopbackServer.h"
#include "StalledListener.h"
#include "TestSupport.h"
#include "core/CVMainThread.h"
#include "core/CVNetworkActivityHelper.h"
#include "engine/connection/CVFTPortTesterDelegate.h"

namespace {
class RecordingDelegate : public CVFTPortTesterDelegate {
public:
    void entryWithIdentifiderChanged(const QString& identifier, const CVFTPortTesterResult& result) override
    {
        offMainThread += fc_isMainThread() ? 0 : 1;
        identifiers.append(identifier);
        results.insert(identifier, result);
    }

    QStringList identifiers;
    QHash<QString, CVFTPortTesterResult> results;
    int offMainThread = 0;
};

quint16 closedPort()
{
    LoopbackServer gone;
    return gone.port();
}

class CVFTPortTesterTest : public ::testing::Test {
protected:
    void SetUp() override { tester->setDelegate(delegate); }
    void TearDown() override { CVLogHelper::sharedInstance().setExtraSecure(false); }

    std::shared_ptr<CVFTPortTester> tester = std::make_shared<CVFTPortTester>(1000);
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};
}

TEST_F(CVFTPortTesterTest, StatusFollowsWhatTheProbeFound)
{
    LoopbackServer listening;
    struct Row {
        QString identifier;
        QString host;
        quint64 port;
        qint32 status;
        QString ipAddress;
        QString error;
    };
    const Row rows[] = {
        {"listening", "127.0.0.1", listening.port(), CVFTPortTesterResult::Online, "127.0.0.1", QString()},
        {"closed", "127.0.0.1", closedPort(), CVFTPortTesterResult::Partial, "127.0.0.1", "Connection refused"},
        {"unresolvable", "no-such-host.invalid", 4000, CVFTPortTesterResult::Offline, QString(),
         "Name or service not known"},
    };
    QList<CVFTPortTesterEntry> entries;
    for (const Row& row : rows)
        entries.append(CVFTPortTesterEntry(row.identifier, row.host, row.port));
    tester->addConnections(entries);
    ASSERT_TRUE(waitUntil([&] { return delegate->identifiers.size() == 3; }));
    EXPECT_EQ(delegate->offMainThread, 0);

    for (const Row& row : rows) {
        SCOPED_TRACE(row.identifier.toStdString());
        const std::optional<CVFTPortTesterResult> result = tester->resultForIdentifier(row.identifier);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->connectionResultStatus, row.status);
        EXPECT_EQ(result->ipAddress, row.ipAddress);
        EXPECT_EQ(result->hostDisplay, row.ipAddress);
        EXPECT_EQ(result->port, static_cast<qint64>(row.port));
        EXPECT_EQ(result->success, row.status == CVFTPortTesterResult::Online);
        EXPECT_EQ(result->error.has_value(), !row.error.isEmpty());
        EXPECT_EQ(result->error.value_or(CVError()).description, row.error);
        EXPECT_EQ(delegate->results.value(row.identifier).connectionResultStatus, row.status);
    }
    EXPECT_TRUE(waitUntil([&] { return !tester->busy(); }));
    tester->removeCachedForIdentifier("closed");
    EXPECT_FALSE(tester->resultForIdentifier("closed").has_value());
}

TEST_F(CVFTPortTesterTest, AnEntryQueuedOrRunningIsNotProbedAgain)
{
    StalledListener stalled;
    LogRecorder log;
    const CVFTPortTesterEntry entry("slow", "127.0.0.1", stalled.port());
    QElapsedTimer timer;
    timer.start();
    tester->addConnections({entry, entry});
    tester->addConnections({entry, CVFTPortTesterEntry(QString(), "127.0.0.1", stalled.port())});
    EXPECT_TRUE(waitUntil([&] { return log.contains("Added 0 entries for port testing."); }));
    EXPECT_TRUE(tester->busy());
    EXPECT_TRUE(waitUntil([] { return CVNetworkActivityHelper::isNetworkActivityIndicatorVisible(); }));
    ASSERT_TRUE(waitUntil([&] { return !delegate->identifiers.isEmpty(); }));
    EXPECT_TRUE(waitUntil([] { return !CVNetworkActivityHelper::isNetworkActivityIndicatorVisible(); }));
    // The probe really waited for its time-out, so the second add met it running.
    EXPECT_GE(timer.elapsed(), 900);
    spinEventLoop(200);
    EXPECT_EQ(delegate->identifiers, QStringList{"slow"});
    EXPECT_EQ(log.count("Want to add 2 entries for port testing."), 2);
    EXPECT_EQ(log.count("Added 1 entries for port testing."), 1);
    EXPECT_EQ(log.lines().filter("Start port test (").size(), 1);

    // Idle again: adding it now probes it again.
    ASSERT_TRUE(waitUntil([&] { return !tester->busy(); }));
    tester->addConnections({entry});
    EXPECT_TRUE(waitUntil([&] { return delegate->identifiers.size() == 2; }));
}

TEST_F(CVFTPortTesterTest, NothingIsReportedAfterCancel)
{
    LoopbackServer listening;
    StalledListener stalled;
    tester->addConnections({CVFTPortTesterEntry("fast", "127.0.0.1", listening.port()),
                            CVFTPortTesterEntry("slow", "127.0.0.1", stalled.port())});
    ASSERT_TRUE(waitUntil([&] { return tester->busy(); }));
    tester->cancel();
    EXPECT_FALSE(tester->busy());
    tester->addConnections({CVFTPortTesterEntry("late", "127.0.0.1", listening.port())});
    // Longer than the slow probe's time-out.
    spinEventLoop(1500);
    EXPECT_TRUE(delegate->identifiers.isEmpty());
    EXPECT_FALSE(tester->resultForIdentifier("fast").has_value());
    EXPECT_FALSE(tester->busy());
}

TEST_F(CVFTPortTesterTest, ExtraSecureLoggingKeepsHostsOut)
{
    LoopbackServer listening;
    LogRecorder log;
    CVLogHelper::sharedInstance().setExtraSecure(true);
    tester->addConnections({CVFTPortTesterEntry("up", "localhost", listening.port()),
                            CVFTPortTesterEntry("down", "secret-host.invalid", 4000)});
    ASSERT_TRUE(waitUntil([&] { return delegate->identifiers.size() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return log.lines().filter("Finished port test").size() == 2; }));
    EXPECT_EQ(delegate->results.value("up").connectionResultStatus, CVFTPortTesterResult::Online);
    EXPECT_TRUE(log.contains("Finished port test for connection id up. Success."));
    EXPECT_TRUE(log.contains("Finished port test for connection id down. Name or service not known."));
    for (const QString& line : log.lines()) {
        for (const char* secret : {"localhost", "127.0.0.1", "::1", "secret-host"})
            EXPECT_FALSE(line.contains(QLatin1String(secret))) << line.toStdString();
    }
}

TEST_F(CVFTPortTesterTest, NormalLoggingNamesHostAndAddress)
{
    LogRecorder log;
    tester->addConnections({CVFTPortTesterEntry("down", "secret-host.invalid", 4000)});
    ASSERT_TRUE(waitUntil([&] { return !log.lines().filter("Finished port test").isEmpty(); }));
    EXPECT_TRUE(log.contains("CVPortTester failed to testConnection with host: secret-host.invalid. "
                             "Error: Name or service not known."));
    const QString finished = log.lines().filter("Finished port test").value(0);
    EXPECT_TRUE(finished.contains(" [secret-host.invalid]) [<no ip>]. Name or service not known."))
        << finished.toStdString();
}

TEST_F(CVFTPortTesterTest, ReleasedTesterLeavesNoWorkBehind)
{
    StalledListener stalled;
    tester->addConnections({CVFTPortTesterEntry("slow", "127.0.0.1", stalled.port())});
    ASSERT_TRUE(waitUntil([&] { return tester->busy(); }));
    std::weak_ptr<CVFTPortTester> released = tester;
    tester.reset();
    // The running probe ends on its own after its time-out and reports nothing.
    EXPECT_TRUE(waitUntil([&] { return released.expired(); }, 3000));
    spinEventLoop(100);
    EXPECT_TRUE(delegate->identifiers.isEmpty());
}
