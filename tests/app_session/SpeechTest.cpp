#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "SessionFixture.h"
#include "TestSupport.h"
#include "app/session/MUDSpeaker.h"
#include "app/session/MUDSpeechDispatcherSink.h"
#include "app/session/MUDSpeechSink.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDUserSettings.h"

// Speech as a player meets it, through a recording sink in place of
// speech-dispatcher: what is queued for server text, the player's own
// commands, scripts, floods and the stop key. One test speaks through a
// real speech-dispatcher daemon when one can start here.
namespace {
using Option = MUDUserSettings::Accessibility;

// Records what would be spoken; a message stays "being spoken" until finish().
class RecordingSpeechSink : public MUDSpeechSink {
public:
    struct Log {
        QStringList spoken;
        int cancels = 0;
        int rate = 0;
        int volume = 0;
    };
    explicit RecordingSpeechSink(std::shared_ptr<Log> log)
        : m_log(std::move(log))
    {
    }
    bool speak(const QString& text) override
    {
        m_log->spoken.append(text);
        return true;
    }
    void cancel() override
    {
        ++m_log->cancels;
        reportFinished();
    }
    void setRate(int rate) override { m_log->rate = rate; }
    void setVolume(int volume) override { m_log->volume = volume; }
    void finish() { reportFinished(); }

private:
    std::shared_ptr<Log> m_log;
};

class SpeechTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        m_log = std::make_shared<RecordingSpeechSink::Log>();
        MUDSpeaker::sharedInstance().setSinkFactory([this] {
            auto sink = std::make_unique<RecordingSpeechSink>(m_log);
            m_sink = sink.get();
            return sink;
        });
    }
    void TearDown() override
    {
        MUDSpeaker::sharedInstance().setSinkFactory(nullptr);
        SessionFixture::TearDown();
    }
    void connect()
    {
        m_connection = storedConnection(QStringLiteral("Speech"));
        connectSession(m_connection);
        // The connect lines are the session's own, never spoken as server text.
        ASSERT_TRUE(m_log->spoken.isEmpty()) << m_log->spoken.join('|').toStdString();
    }
    // Ends the message being spoken, as the speech service reports it.
    void finishSpeaking()
    {
        ASSERT_NE(m_sink, nullptr);
        m_sink->finish();
    }

    std::shared_ptr<RecordingSpeechSink::Log> m_log;
    RecordingSpeechSink* m_sink = nullptr;
    std::shared_ptr<MUDConnection> m_connection;
};
} // namespace

TEST_F(SpeechTest, IncomingTextIsSpokenAsPlainLinesOnlyWhenTurnedOn)
{
    connect();
    m_server.send("\x1b[1;31mA goblin\x1b[0m arrives.\r\n");
    ASSERT_TRUE(waitForOutput(QStringLiteral("A goblin arrives.")));
    EXPECT_TRUE(m_log->spoken.isEmpty()) << "speech is off by default";

    MUDUserSettings::sharedInstance().setAccessibilityOption(Option::SpeakIncomingText, true);
    m_server.send("\x1b[32mThe goblin\x1b[0m\x07 hits you.\r\n\r\n");
    ASSERT_TRUE(waitUntil([&] { return !m_log->spoken.isEmpty(); }));
    EXPECT_EQ(m_log->spoken, QStringList{"The goblin hits you."}) << "no colour codes, no bell, no blank line";
}

TEST_F(SpeechTest, OwnCommandsAreSpokenUnlessTheOptionSaysNot)
{
    connect();
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    settings.setAccessibilityOption(Option::SpeakIncomingText, true);
    type(QStringLiteral("look"));
    ASSERT_TRUE(waitForServerLine("look"));
    EXPECT_EQ(m_log->spoken, QStringList{"look"});
    finishSpeaking();

    settings.setAccessibilityOption(Option::DontSpeakOwnCommands, true);
    type(QStringLiteral("north"));
    ASSERT_TRUE(waitForServerLine("north"));
    m_server.send("You go north.\r\n");
    ASSERT_TRUE(waitUntil([&] { return m_log->spoken.size() == 2; }));
    EXPECT_EQ(m_log->spoken.last(), QStringLiteral("You go north."));
}

TEST_F(SpeechTest, AFloodWaitsBoundedAndKeepsItsNewestLines)
{
    MUDSpeaker& speaker = MUDSpeaker::sharedInstance();
    speaker.speak(QStringLiteral("first"));
    ASSERT_EQ(m_log->spoken, QStringList{"first"});
    // One burst of 100 lines while "first" is being spoken.
    QString flood;
    for (int i = 0; i < 100; ++i)
        flood += QStringLiteral("line %1\r\n").arg(i);
    speaker.speak(flood);
    EXPECT_EQ(speaker.waitingLineCount(), MUDSpeaker::MaximumWaitingLines);
    EXPECT_EQ(m_log->spoken.size(), 1) << "polite: nothing more until the first message ends";

    finishSpeaking();
    ASSERT_EQ(m_log->spoken.size(), 2);
    const QStringList next = m_log->spoken.last().split(u'\n');
    ASSERT_EQ(next.size(), MUDSpeaker::MaximumWaitingLines + 1);
    EXPECT_EQ(next.front(), QStringLiteral("Skipped 80 lines."));
    EXPECT_EQ(next[1], QStringLiteral("line 80"));
    EXPECT_EQ(next.back(), QStringLiteral("line 99"));
    finishSpeaking();
    EXPECT_EQ(m_log->spoken.size(), 2) << "nothing left to say";
}

TEST_F(SpeechTest, StopSilencesAtOnceAndDropsWhatWaits)
{
    MUDSpeaker& speaker = MUDSpeaker::sharedInstance();
    speaker.speak(QStringLiteral("a long room description"));
    speaker.speak(QStringLiteral("waiting line"));
    ASSERT_EQ(speaker.waitingLineCount(), 1);
    speaker.stop();
    EXPECT_EQ(m_log->cancels, 1);
    EXPECT_EQ(speaker.waitingLineCount(), 0);
    EXPECT_EQ(m_log->spoken, QStringList{"a long room description"}) << "the waiting line is never spoken";
    // Speech goes on normally afterwards.
    speaker.speak(QStringLiteral("after"));
    EXPECT_EQ(m_log->spoken.last(), QStringLiteral("after"));
}

TEST_F(SpeechTest, ScriptsSpeakAndStopSpeakingEvenWithIncomingTextOff)
{
    connect();
    storeAlias(*m_connection, QStringLiteral("say it"), QStringLiteral("hp"),
               QStringLiteral("speak('You have 12 hit points'); speak('second');"));
    type(QStringLiteral("hp"));
    ASSERT_TRUE(waitUntil([&] { return !m_log->spoken.isEmpty(); }));
    EXPECT_EQ(m_log->spoken.front(), QStringLiteral("You have 12 hit points"));
    ASSERT_TRUE(waitUntil([&] { return MUDSpeaker::sharedInstance().waitingLineCount() == 1; }));

    storeAlias(*m_connection, QStringLiteral("hush"), QStringLiteral("hush"), QStringLiteral("stopSpeaking();"));
    type(QStringLiteral("hush"));
    ASSERT_TRUE(waitUntil([&] { return m_log->cancels == 1; }));
    EXPECT_EQ(MUDSpeaker::sharedInstance().waitingLineCount(), 0);
    EXPECT_EQ(m_log->spoken.size(), 1);
}

TEST_F(SpeechTest, RateAndVolumeFollowThePreferences)
{
    MUDUserSettings& settings = MUDUserSettings::sharedInstance();
    settings.setSpeechRate(35);
    MUDSpeaker::sharedInstance().speak(QStringLiteral("hello"));
    EXPECT_EQ(m_log->rate, 35);
    settings.setSpeechVolume(-20);
    EXPECT_EQ(m_log->volume, -20);
}

// speech-dispatcher with its dummy output module on a socket of this test.
TEST(SpeechDispatcher, ARealDaemonTakesTextAndReportsItsEnd)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("speech-dispatcher"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "speech-dispatcher is not installed";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString socket = home.filePath(QStringLiteral("speechd.sock"));
    QDir(home.path()).mkpath(QStringLiteral("conf/modules"));
    QFile config(home.filePath(QStringLiteral("conf/speechd.conf")));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("AddModule \"dummy\" \"sd_dummy\" \"\"\nDefaultModule dummy\nAudioOutputMethod \"libao\"\n");
    config.close();
    // In the foreground, on this test's socket, so the test ends it itself.
    QProcess process;
    process.setProgram(daemon);
    process.setArguments({QStringLiteral("--run-single"), QStringLiteral("--communication-method"),
                          QStringLiteral("unix_socket"), QStringLiteral("--socket-path"), socket,
                          QStringLiteral("--config-dir"), home.filePath(QStringLiteral("conf")),
                          QStringLiteral("--pid-file"), home.filePath(QStringLiteral("pid")),
                          QStringLiteral("--log-dir"), home.path(), QStringLiteral("--timeout"), QStringLiteral("30")});
    process.start();
    const auto stopDaemon = qScopeGuard([&] {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(3000);
    });
    if (!process.waitForStarted(5000) || !waitUntil([&] { return QFile::exists(socket); }, 5000))
        GTEST_SKIP() << "speech-dispatcher did not start here";
    qputenv("SPEECHD_ADDRESS", QStringLiteral("unix_socket:%1").arg(socket).toLocal8Bit());
    {
        MUDSpeechDispatcherSink sink;
        ASSERT_TRUE(sink.isOpen());
        int finished = 0;
        sink.setFinishedHandler([&] { ++finished; });
        sink.setRate(20);
        EXPECT_TRUE(sink.speak(QStringLiteral("Testing speech from Quarrow.")));
        EXPECT_TRUE(waitUntil([&] { return finished > 0; }, 10000)) << "the daemon reports the message's end";
    }
    qunsetenv("SPEECHD_ADDRESS");
}
