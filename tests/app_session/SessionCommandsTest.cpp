#include "SessionFixture.h"
#include "app/session/MUDClientCommands.h"
#include "app/session/MUDCommandPipeline.h"
#include "app/session/MUDCommandTimers.h"
#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDScriptSeconds.h"
#include "engine/automation/MUDTimer.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDConnectionLists.h"
#include "engine/storage/MUDPreservation.h"

namespace {

class SessionCommandsTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        m_connection = storedConnection(QStringLiteral("Commands"));
        connectSession(m_connection);
        m_server.clearReceived();
    }
    std::shared_ptr<MUDConnection> m_connection;
};

TEST_F(SessionCommandsTest, ClientCommandsShowTheirTexts)
{
    struct Row {
        const char* line;
        const char* shown;
    };
    const Row rows[] = {
        {"#settings", "\r\nFormat: #set VARIABLE=VALUE\r\n"},
        {"#set a = b c", "\r\nVariable: a has been set to b c\r\n"},
        {"#setTimer x 5", "\r\nFormat: #setTimer <timerName> <timeOut> <repeats(optional)> <commands>\r\n"},
        {"#clearTimer Nope", "\r\nTimer nope is not set.\r\n"},
        {"#setAlias broken", "\r\nFormat: #setAlias <alias>=<command>\r\n"},
        {"#captureOutput", "\r\nCapture output enabled\r\n"},
        {"#beep", "#beep\r\n"},
        {"#vars", "#vars\r\nVariables:\r\na = b c\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const qsizetype start = m_document->output().length();
        type(QString::fromUtf8(row.line));
        EXPECT_TRUE(waitUntil([&] { return outputAfter(start).contains(QString::fromUtf8(row.shown)); }, 1000))
            << outputAfter(start).toStdString();
    }
    EXPECT_EQ(m_desktop.beeps, 1);
    EXPECT_TRUE(m_document->captureOutput());
    EXPECT_EQ(m_document->javascriptProcessor()->variables().value(QStringLiteral("a")).toString(),
              QStringLiteral("b c"));
}

TEST_F(SessionCommandsTest, BeepEndsTheLineAndUnknownHashWordsGoToTheServer)
{
    type(QStringLiteral("look;#beep;north"));
    type(QStringLiteral("#BEEP"));
    ASSERT_TRUE(waitForServerLine("#BEEP"));
    spinEventLoop(150);
    EXPECT_EQ(m_server.receivedTexts(), (QList<QByteArray>{"look", "#BEEP"}));
    EXPECT_EQ(m_desktop.beeps, 1);
}

TEST_F(SessionCommandsTest, TimersAreNamedInLowerCaseAndReplaced)
{
    type(QStringLiteral("#setTimer X 5 repeat"));
    ASSERT_TRUE(m_document->timers().contains(QStringLiteral("x")));
    std::shared_ptr<MUDTimer> timer = m_document->timers().timer(QStringLiteral("x"));
    EXPECT_TRUE(timer->repeat());
    EXPECT_EQ(timer->targetCommand(), QString());
    type(QStringLiteral("#setTimer x 2 kick"));
    EXPECT_EQ(m_document->timers().timer(QStringLiteral("x")), timer);
    EXPECT_FALSE(timer->repeat());
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 2.0);
    EXPECT_EQ(timer->targetCommand(), QStringLiteral("kick"));
    type(QStringLiteral("#setTimer t 1.5 repeats app"));
    EXPECT_DOUBLE_EQ(m_document->timers().timer(QStringLiteral("t"))->timeInterval(), 1.5);
    // Well-formed timer commands also reach the server.
    ASSERT_TRUE(waitForServerLine("#setTimer t 1.5 repeats app"));
    type(QStringLiteral("#clearTimer X"));
    EXPECT_FALSE(m_document->timers().contains(QStringLiteral("x")));
    EXPECT_TRUE(timer->cancelled());
    EXPECT_TRUE(waitForOutput(QStringLiteral("\r\nTimer x has been cleared.\r\n")));
}

TEST_F(SessionCommandsTest, TimersRefuseFloodingPeriodsAndCapLongOnes)
{
    const char* refused[] = {"#setTimer t 0 repeat command('flood')", "#setTimer u abc repeats command('flood')",
                             "#setTimer v 0.05 repeat command('flood')"};
    for (const char* line : refused) {
        SCOPED_TRACE(line);
        type(QString::fromLatin1(line));
        const QString name = QString::fromLatin1(line).section(u' ', 1, 1);
        EXPECT_TRUE(
            waitForOutput(QStringLiteral("\r\nTimer %1 is not set: a repeating timer needs at least 0.1 seconds "
                                         "between firings.\r\n")
                              .arg(name),
                          1000));
        EXPECT_FALSE(m_document->timers().contains(name));
    }
    type(QStringLiteral("#setTimer far 1e10 command('later')"));
    ASSERT_TRUE(m_document->timers().contains(QStringLiteral("far")));
    EXPECT_DOUBLE_EQ(m_document->timers().timer(QStringLiteral("far"))->timeInterval(), MUDScriptSeconds::Maximum);
    ASSERT_TRUE(waitForServerLine("#setTimer far 1e10 command('later')"));
    spinEventLoop(300);
    EXPECT_EQ(m_server.receivedTexts(), QList<QByteArray>{"#setTimer far 1e10 command('later')"})
        << "refused timers are not sent, and neither fires";
}

TEST_F(SessionCommandsTest, TimerRunsItsCommandAsAScript)
{
    type(QStringLiteral("#setTimer go 0.1 command('north')"));
    ASSERT_TRUE(waitForServerLine("north", 3000));
    EXPECT_TRUE(waitForOutput(QStringLiteral("Script (MUDTimer) command: north\r\n")));
}

TEST_F(SessionCommandsTest, AliasesTakeKeywordsWithParametersAndDeferTheRest)
{
    type(QStringLiteral("#setAlias k=unused"));
    ASSERT_TRUE(waitForOutput(QStringLiteral("\r\nAlias: k has been set to unused\r\n")));
    // Give the stored alias a script that reports its parameters.
    std::shared_ptr<MUDAlias> alias = MUDConnectionLists::aliases(*m_connection).value_or(MUDAliasList()).value(0);
    ASSERT_TRUE(alias);
    alias->setAction(QStringLiteral("command('got [\\0][\\1][\\x]');"));
    type(QStringLiteral("kick"));
    ASSERT_TRUE(waitForServerLine("kick"));
    m_server.clearReceived();
    type(QStringLiteral("K north;after"));
    ASSERT_TRUE(waitForServerLine("after", 3000));
    const QList<QByteArray> texts = m_server.receivedTexts();
    ASSERT_EQ(texts.size(), 2) << texts.join('|').toStdString();
    EXPECT_EQ(texts[0], "got [K ][ ][north]");
    EXPECT_EQ(texts[1], "after");
    EXPECT_TRUE(waitForOutput(QStringLiteral("Alias command: got [K ][ ][north]\r\n")));
    // The typed line itself is not echoed as sent.
    EXPECT_FALSE(outputText().contains(QStringLiteral("K north\n")));
}

TEST_F(SessionCommandsTest, StopDropsTheDeferredRemainderOfEarlierLines)
{
    type(QStringLiteral("#setAlias k=unused"));
    std::shared_ptr<MUDAlias> alias = MUDConnectionLists::aliases(*m_connection).value_or(MUDAliasList()).value(0);
    ASSERT_TRUE(alias);
    alias->setAction(QStringLiteral("log('ran');"));
    LogRecorder log;
    type(QStringLiteral("k;dropped"));
    type(QStringLiteral("#stop"));
    spinEventLoop(300);
    EXPECT_FALSE(m_server.receivedTexts().contains("dropped"));
    EXPECT_TRUE(log.contains(QStringLiteral("Received a #stop (1 < 2).")));
}

TEST_F(SessionCommandsTest, HistoryStoresConsecutiveDuplicatesOnceAndBrowses)
{
    type(QStringLiteral("one"));
    type(QStringLiteral("two"));
    type(QStringLiteral("two"));
    type(QStringLiteral("three"));
    EXPECT_EQ(m_document->commandPipeline().historyCommands(), (QStringList{"three", "two", "one"}));
    EXPECT_TRUE(m_document->isHistoryButtonEnabled());
    m_document->MUDCommandTextViewUpArrow();
    EXPECT_EQ(m_input.text(), QStringLiteral("three"));
    m_document->MUDCommandTextViewUpArrow();
    EXPECT_EQ(m_input.text(), QStringLiteral("two"));
    // Down shows the entry newer than the one on screen.
    m_document->MUDCommandTextViewDownArrow();
    EXPECT_EQ(m_input.text(), QStringLiteral("three"));
}

TEST_F(SessionCommandsTest, ListingsLayOutTheirColumns)
{
    MUDClientCommands commands(*m_document);
    type(QStringLiteral("#setAlias longkeyword=say hi"));
    type(QStringLiteral("#setAlias k=kick"));
    EXPECT_EQ(commands.aliasesListing(),
              QStringLiteral("\r\nAliases:\r\nk               kick\r\nlongkeyword     say hi\r\n"));
    const QString autocomplete = commands.autocompleteListing();
    EXPECT_TRUE(autocomplete.startsWith(QStringLiteral("\r\n#autocomplete\r\nEntries:\r\n")));
    // The three starting words fit one row; only a row's fourth entry is left unpadded.
    EXPECT_TRUE(
        autocomplete.contains(QStringLiteral("consider            kill                look                \r\n")))
        << autocomplete.toStdString();
    EXPECT_EQ(m_document->MUDCommandTextWantsKeywords(), (QStringList{"consider", "k", "kill", "longkeyword", "look"}));
}

}
