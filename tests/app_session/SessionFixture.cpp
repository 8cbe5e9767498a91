#include "SessionFixture.h"

#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDConnectionLists.h"
#include "engine/storage/MUDPreservation.h"

void SessionFixture::SetUp()
{
    ASSERT_TRUE(m_storage.isValid());
    qputenv("QUARROW_DATA_DIR", m_storage.path().toLocal8Bit());
    ASSERT_TRUE(m_server.isListening());
    m_document = std::make_unique<MUDDocument>(&m_desktop);
    m_document->setCommandInput(&m_input);
}

void SessionFixture::TearDown()
{
    m_document.reset();
    spinEventLoop(20);
}

std::shared_ptr<MUDConnection> SessionFixture::storedConnection(const QString& title, const QString& user,
                                                                const QString& password, const QString& loginScript)
{
    MUDConnection draft;
    auto copy = std::make_shared<MUDConnection>();
    copy->setTitle(title);
    copy->setHost(QStringLiteral("127.0.0.1"));
    copy->setPort(m_server.port());
    copy->setUser(user);
    copy->setPassword(password);
    copy->setLoginScript(loginScript);
    draft.setModifiedInstance(copy);
    EXPECT_TRUE(MUDPreservation::saveConnection(draft));
    for (const std::shared_ptr<MUDConnection>& connection : MUDPreservation::loadConnections()) {
        if (connection->title() == title)
            return connection;
    }
    ADD_FAILURE() << "connection not stored";
    return copy;
}

void SessionFixture::storeTrigger(const MUDConnection& connection, const QString& title, const QString& matchString,
                                  const QString& action, int32_t matchType)
{
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setTitle(title);
    trigger->setMatchType(matchType);
    trigger->setMatchString(matchString);
    trigger->setAction(action);
    trigger->setIsNew(true);
    trigger->setParentURL(MUDPreservation::urlForTriggersInConnection(connection));
    EXPECT_TRUE(MUDPreservation::saveTriggers({trigger}, connection));
}

void SessionFixture::storeAlias(MUDConnection& connection, const QString& title, const QString& matchString,
                                const QString& action, bool isDebug)
{
    auto alias = std::make_shared<MUDAlias>();
    alias->setTitle(title);
    alias->setMatchString(matchString);
    alias->setAction(action);
    alias->setIsDebug(isDebug);
    alias->setIsNew(true);
    alias->setParentURL(MUDPreservation::urlForAliasesInConnection(connection));
    EXPECT_TRUE(MUDPreservation::saveAliases({alias}, connection));
    EXPECT_TRUE(MUDConnectionLists::forceLoadAliases(connection));
}

void SessionFixture::connectSession(const std::shared_ptr<MUDConnection>& connection)
{
    m_document->setConnection(connection);
    const int accepted = m_server.acceptedCount();
    m_document->connectToServer();
    ASSERT_TRUE(waitUntil([&] { return m_server.acceptedCount() > accepted && m_document->isConnected(); }));
    ASSERT_TRUE(waitForOutput(QStringLiteral("Connected to `%1`.").arg(MUDDocument::displayNameFor(*connection))));
}

bool SessionFixture::waitForOutput(const QString& text, int timeoutMs)
{
    return waitUntil([&] { return outputText().contains(text); }, timeoutMs);
}

bool SessionFixture::waitForServerLine(const QByteArray& line, int timeoutMs)
{
    return waitUntil([&] { return m_server.receivedTexts().contains(line); }, timeoutMs);
}
