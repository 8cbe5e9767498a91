#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>

#include "CommaDecimalLocale.h"
#include "MUDJavascriptRecordingDelegate.h"
#include "TestSupport.h"

namespace {

class MUDJavascriptWaitingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_processor = std::make_shared<MUDJavascriptProcessor>(&m_delegate);
        m_source = std::make_shared<MUDJavascriptActionSource>();
        m_source->setActionName(QStringLiteral("Trigger: ask"));
    }

    MUDJavascriptRecordingDelegate m_delegate;
    std::shared_ptr<MUDJavascriptProcessor> m_processor;
    std::shared_ptr<MUDJavascriptActionSource> m_source;
    LogRecorder m_log;
};

}

TEST_F(MUDJavascriptWaitingTest, CollectsEverythingUntilTheServerFallsSilent)
{
    QElapsedTimer clock;
    qint64 lastChunkAt = 0;
    bool waitingDuringCommand = false;
    m_delegate.onCommand = [&](const QString&, const std::shared_ptr<MUDJavascriptActionSource>& source) {
        waitingDuringCommand = source->waitingForData() && m_processor->waitingActions().contains(source);
        clock.start();
        // Three chunks 0.1 s apart: each restarts the 0.25 s silence.
        for (int i = 0; i < 3; ++i) {
            QTimer::singleShot(100 * i, [&, i] {
                m_processor->processWaitingString(QStringLiteral("part%1 ").arg(i));
                lastChunkAt = clock.elapsed();
            });
        }
    };
    qint64 returnedAt = 0;
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(
        m_processor, QStringLiteral("var r = commandAndReadFromServer('look'); log(r);"), m_source, {}, 1));
    returnedAt = clock.elapsed();
    EXPECT_TRUE(waitingDuringCommand);
    EXPECT_EQ(m_delegate.calls(), (QStringList{"command: look", "log: part0 part1 part2 "}));
    EXPECT_GE(returnedAt - lastChunkAt, 240);
    EXPECT_LT(returnedAt, 2000);
    EXPECT_TRUE(m_processor->waitingActions().isEmpty());
    EXPECT_FALSE(m_source->waitingForData());
    EXPECT_TRUE(m_source->waitingForDataResult().isNull());
    EXPECT_EQ(m_log.count(QStringLiteral("actionSourceHasReceivedData (Trigger: ask)")), 1);
    EXPECT_TRUE(m_log.contains(
        QStringLiteral("Going to start waiting for action source (<MUDJavascriptActionSource: Trigger: ask>) data")));
}

TEST_F(MUDJavascriptWaitingTest, NoReplyReturnsNothingOnceTheTimeOutHasPassed)
{
    EXPECT_EQ(m_processor->readFromServerTimeoutMs(), 5000) << "a runtime waits five seconds for a reply";
    constexpr int kTimeoutMs = 300;
    m_processor->setReadFromServerTimeoutMs(kTimeoutMs);
    QDeadlineTimer timeout;
    m_delegate.onCommand = [&](const QString&, const std::shared_ptr<MUDJavascriptActionSource>&) {
        timeout.setRemainingTime(kTimeoutMs);
    };
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(
        m_processor, QStringLiteral("var r = commandAndReadFromServer('look'); log(r === undefined);"), m_source, {},
        1));
    EXPECT_TRUE(timeout.hasExpired()) << "returned before the time-out";
    EXPECT_EQ(m_delegate.calls(), (QStringList{"command: look", "log: true"}));
    EXPECT_TRUE(m_log.contains(QStringLiteral("Timeout. Received no data.")));
}

TEST_F(MUDJavascriptWaitingTest, StoppingScriptReadsEmptyText)
{
    m_processor->setStopIndex(5);
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(
        m_processor, QStringLiteral("setVar('r', commandAndReadFromServer('look'));"), m_source, {}, 1));
    EXPECT_EQ(m_delegate.calls(), QStringList{QStringLiteral("log: Trigger: ask is stopping.")});
}

TEST_F(MUDJavascriptWaitingTest, WaitReadsItsNumberWithAFullStopUnderACommaLocale)
{
    CommaDecimalLocale locale;
    ASSERT_TRUE(locale.isActive()) << locale.errorText().toStdString();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, QStringLiteral("wait('0.5'); wait(0.25); log('done');"),
                                                m_source, {}, 1));
    EXPECT_GE(clock.elapsed(), 700);
    EXPECT_EQ(m_delegate.calls(), QStringList{"log: done"});
}

// A wait longer than any clock holds is capped, not turned into no wait at
// all, and every waiting script wakes as soon as it is stopped.
TEST_F(MUDJavascriptWaitingTest, EndlessWaitsLastUntilAStopEndsThemAtOnce)
{
    const char* waits[] = {"wait('inf')", "wait(1e300)", "wait(Infinity)", "wait('1e10')",
                           "commandAndReadFromServer('look')"};
    for (const char* wait : waits) {
        SCOPED_TRACE(wait);
        MUDJavascriptRecordingDelegate delegate;
        auto processor = std::make_shared<MUDJavascriptProcessor>(&delegate);
        QElapsedTimer sinceStop;
        const bool ended = MUDJavascriptBackgroundRun::run(
            processor, QStringLiteral("%1; log('after');").arg(QLatin1String(wait)), m_source, {}, 1, 2000, [&] {
                spinEventLoop(300);
                EXPECT_FALSE(delegate.calls().contains(QStringLiteral("log: after")));
                sinceStop.start();
                processor->setStopIndex(2);
            });
        EXPECT_TRUE(ended);
        // Far below any wait that was not cut short; ThreadSanitizer builds
        // take about 0.8 s to wind the script down.
        EXPECT_LT(sinceStop.elapsed(), 1500);
        EXPECT_FALSE(delegate.calls().contains(QStringLiteral("log: after")));
        EXPECT_TRUE(delegate.calls().contains(QStringLiteral("log: Trigger: ask is stopping.")));
        EXPECT_FALSE(m_log.contains(QStringLiteral("Timeout. Received no data.")));
    }
}
