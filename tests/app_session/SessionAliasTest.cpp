#include <QDir>
#include <QFile>

#include "SessionFixture.h"
#include "engine/automation/MUDAlias.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDConnectionLists.h"
#include "engine/storage/MUDPreservation.h"

// Aliases as a player meets them: word aliases typed with #setAlias, aliases
// with scripts, the guard against aliases expanding each other for ever,
// and the lines scripts leave in the output. What counts is what the
// loopback server receives and what the output shows.
namespace {

class SessionAliasTest : public SessionFixture {
protected:
    void SetUp() override
    {
        SessionFixture::SetUp();
        m_connection = storedConnection(QStringLiteral("Aliases"));
        connectSession(m_connection);
        m_server.clearReceived();
    }
    // The received lines once `last` has arrived and a moment has passed for
    // anything that should not come.
    QList<QByteArray> receivedThrough(const QByteArray& last)
    {
        EXPECT_TRUE(waitForServerLine(last, 3000)) << m_server.receivedTexts().join('|').toStdString();
        spinEventLoop(200);
        return m_server.receivedTexts();
    }
    QColor colourAt(const QString& text) const
    {
        const qsizetype at = outputText().indexOf(text);
        EXPECT_GE(at, 0) << text.toStdString();
        return at < 0 ? QColor() : m_document->output().attributesAtIndex(at).foreground().color();
    }

    std::shared_ptr<MUDConnection> m_connection;
};

TEST_F(SessionAliasTest, WordAliasesSendTheirTextInPlaceOfTheKeyword)
{
    type(QStringLiteral("#setAlias k=say kick"));
    ASSERT_TRUE(waitForOutput(QStringLiteral("\r\nAlias: k has been set to say kick\r\n")));
    type(QStringLiteral("k"));
    type(QStringLiteral("K loudly"));
    EXPECT_EQ(receivedThrough("say kick loudly"), (QList<QByteArray>{"say kick", "say kick loudly"}));
    EXPECT_TRUE(outputText().contains(QStringLiteral("Alias command: say kick\r\n")));
    EXPECT_FALSE(outputText().contains(QStringLiteral("SyntaxError")));

    // A script's setAlias makes the same kind of alias.
    m_server.clearReceived();
    type(QStringLiteral("#setTimer make 0 setAlias('w', 'say wave');"));
    ASSERT_TRUE(waitUntil([&] {
        const MUDAliasList aliases = MUDConnectionLists::aliases(*m_connection).value_or(MUDAliasList());
        return std::any_of(aliases.begin(), aliases.end(), [](const auto& a) { return a->matchString() == u"w"; });
    }));
    type(QStringLiteral("w"));
    const QList<QByteArray> received = receivedThrough("say wave");
    EXPECT_EQ(received.count("say wave"), 1) << received.join('|').toStdString();
}

TEST_F(SessionAliasTest, StoredAliasWithOnlyACommandSendsItAndKeepsItsKeys)
{
    const QString folder = MUDPreservation::urlForAliasesInConnection(*m_connection);
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile file(folder + QStringLiteral("/k.alias"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QByteArray stored = R"({"title": "k", "action": "", "command": "say kick", "matchString": "k",
        "matchType": 0, "matchFromStartOfLine": false, "caseSpecific": false, "disabled": false, "isDebug": false})";
    file.write(stored);
    file.close();
    ASSERT_TRUE(MUDConnectionLists::forceLoadAliases(*m_connection));

    type(QStringLiteral("k"));
    EXPECT_EQ(receivedThrough("say kick"), QList<QByteArray>{"say kick"});
    const std::shared_ptr<MUDAlias> alias =
        MUDConnectionLists::aliases(*m_connection).value_or(MUDAliasList()).value(0);
    ASSERT_TRUE(alias);
    const QJsonObject written = alias->dictionaryRepresentation();
    EXPECT_EQ(written.value(QStringLiteral("action")).toString(), QString());
    EXPECT_EQ(written.value(QStringLiteral("command")).toString(), QStringLiteral("say kick"));
}

TEST_F(SessionAliasTest, AnAliasNeverExpandsTwiceInOneChain)
{
    // k stands for a text that starts with k: the second k goes out as typed.
    type(QStringLiteral("#setAlias k=k north"));
    LogRecorder log;
    type(QStringLiteral("k"));
    EXPECT_EQ(receivedThrough("k north"), QList<QByteArray>{"k north"});
    EXPECT_TRUE(log.contains(QStringLiteral("Skipping alias for k as it has already been processed.")));

    // a and b expand to each other: deeper in the chain the player is told.
    m_server.clearReceived();
    type(QStringLiteral("#setAlias a=b x"));
    type(QStringLiteral("#setAlias b=a y"));
    type(QStringLiteral("a"));
    EXPECT_EQ(receivedThrough("a y x"), QList<QByteArray>{"a y x"});
    EXPECT_TRUE(outputText().contains(QStringLiteral("Error in `Alias: a`. Skipping alias a as it has already been "
                                                     "processed. Raw command `a y x` will be sent instead. \r\n")))
        << outputText().toStdString();
    EXPECT_EQ(colourAt(QStringLiteral("Error in `Alias: a`")), MUDDocument::errorMessageColor());
}

TEST_F(SessionAliasTest, EveryMatchingAliasRunsAndTheCommandItselfIsNotSent)
{
    storeAlias(*m_connection, QStringLiteral("first"), QStringLiteral("k"), QStringLiteral("command('one');"));
    storeAlias(*m_connection, QStringLiteral("second"), QStringLiteral("^k\\b"), QStringLiteral("command('two');"));
    storeAlias(*m_connection, QStringLiteral("other"), QStringLiteral("x"), QStringLiteral("command('never');"));
    type(QStringLiteral("k"));
    ASSERT_TRUE(waitUntil([&] { return m_server.receivedTexts().size() >= 2; }, 3000));
    spinEventLoop(200);
    QList<QByteArray> received = m_server.receivedTexts();
    std::sort(received.begin(), received.end());
    EXPECT_EQ(received, (QList<QByteArray>{"one", "two"}));
}

TEST_F(SessionAliasTest, DebugAliasesShowAPurpleLineAndLogsShowTheirText)
{
    storeAlias(*m_connection, QStringLiteral("d"), QStringLiteral("d"), QStringLiteral("log('hello');"), true);
    type(QStringLiteral("d"));
    ASSERT_TRUE(waitForOutput(QStringLiteral("Log: hello\r\n")));
    EXPECT_TRUE(outputText().contains(QStringLiteral("Debug: `Alias: d`. (details)\r\n")))
        << outputText().toStdString();
    EXPECT_EQ(colourAt(QStringLiteral("Debug: `Alias: d`.")), MUDDocument::debugMessageColor());
    EXPECT_EQ(colourAt(QStringLiteral("Log: hello")), MUDDocument::localCommandColor());
    EXPECT_LT(outputText().indexOf(QStringLiteral("Debug:")), outputText().indexOf(QStringLiteral("Log: hello")));
}

TEST_F(SessionAliasTest, ContinueEndsTheLineWithoutAWord)
{
    const qsizetype before = outputText().size();
    type(QStringLiteral("south;#continue;north"));
    EXPECT_EQ(receivedThrough("south"), QList<QByteArray>{"south"});
    const QString shown = outputText().mid(before);
    EXPECT_FALSE(shown.contains(QStringLiteral("#continue"))) << shown.toStdString();
    EXPECT_FALSE(shown.contains(QStringLiteral("north")));
}

// A session opened from a telnet:// address runs on an unsaved connection:
// there is no folder to keep an alias in, and #setAlias says so instead of
// reporting an alias that does not exist.
class UnsavedSessionAliasTest : public SessionFixture { };

TEST_F(UnsavedSessionAliasTest, SetAliasSaysTheAliasWasNotSet)
{
    auto unsaved = std::make_shared<MUDConnection>();
    unsaved->setConnectionId(QStringLiteral("UNSAVED"));
    unsaved->setHost(QStringLiteral("127.0.0.1"));
    unsaved->setPort(m_server.port());
    connectSession(unsaved);
    type(QStringLiteral("#setAlias k=say kick"));
    ASSERT_TRUE(waitForOutput(
        QStringLiteral("\r\nAlias: k was not set: this connection is not saved (Session > Save Connection\u2026)\r\n")))
        << outputText().toStdString();
    EXPECT_FALSE(outputText().contains(QStringLiteral("has been set")));
    type(QStringLiteral("k"));
    EXPECT_TRUE(waitForServerLine("k"));
    EXPECT_FALSE(m_server.receivedTexts().contains("say kick"));
    EXPECT_TRUE(QDir(m_storage.path() + QStringLiteral("/connections")).isEmpty());
}

}
