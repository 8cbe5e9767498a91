#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "MUDJavascriptRecordingDelegate.h"
#include "TestSupport.h"

namespace {

class MUDJavascriptTerminationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_processor = std::make_shared<MUDJavascriptProcessor>(&m_delegate);
        m_processor->setExecutionTimeLimit(0.5);
        m_source = std::make_shared<MUDJavascriptActionSource>();
        m_source->setActionName(QStringLiteral("Trigger: loop"));
    }

    MUDJavascriptRecordingDelegate m_delegate;
    std::shared_ptr<MUDJavascriptProcessor> m_processor;
    std::shared_ptr<MUDJavascriptActionSource> m_source;
    LogRecorder m_log;
};

}

TEST_F(MUDJavascriptTerminationTest, EndlessLoopEndsAfterTheLimit)
{
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, QStringLiteral("while (true) {}"), m_source, {}, 1, 5000));
    EXPECT_GE(clock.elapsed(), 450);
    EXPECT_EQ(m_delegate.calls(),
              QStringList{QStringLiteral("error: Script terminated: its JavaScript ran for more than 0.5 seconds.")});
    // The runtime stays usable.
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, QStringLiteral("log('again')"), m_source, {}, 1));
    EXPECT_EQ(m_delegate.calls().last(), QStringLiteral("log: again"));
}

TEST_F(MUDJavascriptTerminationTest, StoppingScriptEndsAtItsNextCheck)
{
    m_processor->setExecutionTimeLimit(60);
    QElapsedTimer clock;
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(
        m_processor, QStringLiteral("log('started'); while (true) {}"), m_source, {}, 3, 5000, [&] {
            ASSERT_TRUE(waitUntil([&] { return !m_delegate.calls().isEmpty(); }));
            clock.start();
            m_processor->setStopIndex(4);
        }));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(m_delegate.calls(), (QStringList{QStringLiteral("log: started"),
                                               QStringLiteral("error: Script terminated: scripts were stopped.")}));
}

TEST_F(MUDJavascriptTerminationTest, TimeInWaitAndReadingDoesNotCount)
{
    // About 1.2 s blocked and 0.3 s of JavaScript against a 0.5 s limit.
    m_delegate.onCommand = [this](const QString&, const std::shared_ptr<MUDJavascriptActionSource>&) {
        m_processor->processWaitingString(QStringLiteral("reply"));
    };
    const QString script =
        QStringLiteral("function busy(ms) { var t = Date.now(); while (Date.now() - t < ms) {} }"
                       "busy(150); wait('0.6'); var r = commandAndReadFromServer('ask'); busy(150); log(r);");
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, script, m_source, {}, 1, 8000));
    EXPECT_EQ(m_delegate.calls(), (QStringList{QStringLiteral("command: ask"), QStringLiteral("log: reply")}));
}

TEST_F(MUDJavascriptTerminationTest, WaitReturnsEarlyWhenStopped)
{
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, QStringLiteral("wait(30); command('late')"), m_source, {},
                                                1, 5000, [&] {
                                                    spinEventLoop(100);
                                                    m_processor->setStopIndex(2);
                                                }));
    EXPECT_LT(clock.elapsed(), 2500);
    EXPECT_EQ(m_delegate.calls(), QStringList{QStringLiteral("log: Trigger: loop is stopping.")});
}
