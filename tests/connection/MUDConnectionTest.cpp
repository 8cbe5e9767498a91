#include "engine/connection/MUDConnection.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {
const QStringList kIgnoreKeywordOrder{"a",       "bruised",  "HP",     "killed", "missed",
                                      "perfect", "slightly", "target", "the",    "you"};

std::shared_ptr<MUDConnection> fromJson(const char* json, const QString& title = QStringLiteral("Game"))
{
    return MUDConnection::connectionFromDictionaryRepresentation(QJsonDocument::fromJson(json).object(), title);
}

std::shared_ptr<MUDConnection> savedAndLoaded(const MUDConnection& connection, const QString& title)
{
    const QByteArray file = QJsonDocument(connection.dictionaryRepresentation()).toJson(QJsonDocument::Indented);
    return MUDConnection::connectionFromDictionaryRepresentation(QJsonDocument::fromJson(file).object(), title);
}
}

TEST(MUDConnection, CreationSetsEveryDefault)
{
    const MUDConnection connection;
    EXPECT_FALSE(connection.automaticallyReconnect());
    EXPECT_EQ(connection.modifiedInstance(), nullptr);
    for (const QString& text : {connection.connectionId(), connection.title(), connection.host(), connection.user(),
                                connection.password(), connection.loginScript()})
        EXPECT_TRUE(text.isNull());
    EXPECT_EQ(connection.port(), 0u);
    EXPECT_EQ(connection.ignoreKeywords(), kIgnoreKeywordOrder);
}

TEST(MUDConnection, DictionaryHoldsExactlyTheSevenStoredKeys)
{
    MUDConnection connection;
    connection.setTitle("Discworld");
    connection.setConnectionId("A1B2");
    connection.setHost("127.0.0.1");
    connection.setPort(4242);
    connection.setAutomaticallyReconnect(true);
    const QJsonObject dictionary = connection.dictionaryRepresentation();
    QStringList keys = dictionary.keys();
    keys.sort();
    EXPECT_EQ(keys, QStringList(
                        {"automaticallyReconnect", "connectionId", "host", "loginScript", "password", "port", "user"}));
    EXPECT_EQ(dictionary.value("port").toInteger(), 4242);
    EXPECT_TRUE(dictionary.value("port").isDouble());
    EXPECT_EQ(dictionary.value("automaticallyReconnect").toBool(), true);
}

TEST(MUDConnection, SaveAndLoadKeepsFieldsAndTurnsNoneIntoEmptyText)
{
    MUDConnection connection;
    connection.setTitle("Old title");
    connection.setConnectionId("0F1E2D3C-UUID");
    connection.setHost("mud.example.org");
    connection.setPort(23);
    connection.setAutomaticallyReconnect(true);
    // No user, password or login script.
    const auto loaded = savedAndLoaded(connection, "New title");
    EXPECT_EQ(loaded->title(), "New title");
    EXPECT_EQ(loaded->connectionId(), "0F1E2D3C-UUID");
    EXPECT_EQ(loaded->host(), "mud.example.org");
    EXPECT_EQ(loaded->port(), 23u);
    EXPECT_TRUE(loaded->automaticallyReconnect());
    for (const QString& text : {loaded->user(), loaded->password(), loaded->loginScript()}) {
        EXPECT_FALSE(text.isNull());
        EXPECT_EQ(text, "");
    }
    EXPECT_EQ(connection.dictionaryRepresentation().value("user").toString(), "");
    EXPECT_TRUE(connection.dictionaryRepresentation().value("user").isString());
}

TEST(MUDConnection, MissingPortAndReconnectGiveZeroAndFalse)
{
    const auto loaded = fromJson(R"({"host": "h", "user": "u"})");
    EXPECT_EQ(loaded->port(), 0u);
    EXPECT_FALSE(loaded->automaticallyReconnect());
    EXPECT_TRUE(loaded->password().isNull());
    EXPECT_EQ(loaded->ignoreKeywords(), kIgnoreKeywordOrder);
}

// Values of the wrong type are left at the default with a log line instead
// of ending up in a field that cannot hold them.
TEST(MUDConnection, ValuesOfTheWrongTypeFallBackToDefaults)
{
    struct Row {
        const char* json;
        quint64 port;
        bool reconnect;
        bool hostIsNull;
        int logLines;
    };
    const Row rows[] = {
        {R"({"port": 4000, "automaticallyReconnect": true, "host": "h"})", 4000, true, false, 0},
        {R"({"port": "4000", "host": "h"})", 0, false, false, 1},
        {R"({"port": -1, "host": "h"})", 0, false, false, 1},
        {R"({"port": 2.7, "host": "h"})", 2, false, false, 0},
        {R"({"automaticallyReconnect": 1, "host": "h"})", 0, true, false, 0},
        {R"({"automaticallyReconnect": "yes", "host": "h"})", 0, false, false, 1},
        {R"({"host": 5})", 0, false, true, 1},
        {R"({"host": null})", 0, false, true, 1},
    };
    for (const Row& row : rows) {
        LogRecorder log;
        const auto loaded = fromJson(row.json);
        EXPECT_EQ(loaded->port(), row.port) << row.json;
        EXPECT_EQ(loaded->automaticallyReconnect(), row.reconnect) << row.json;
        EXPECT_EQ(loaded->host().isNull(), row.hostIsNull) << row.json;
        EXPECT_EQ(log.lines().size(), row.logLines) << row.json;
    }
}

TEST(MUDConnection, CopyLeavesOutTheWorkingCopy)
{
    auto connection = std::make_shared<MUDConnection>();
    connection->setTitle("T");
    connection->setHost("h");
    connection->setPort(7);
    connection->setUser("u");
    connection->setPassword("p");
    connection->setLoginScript("connect u p");
    connection->setConnectionId("ID");
    connection->setIgnoreKeywords({"zeta", "alpha", "zeta"});
    connection->setModifiedInstance(connection->copy());
    ASSERT_NE(connection->modifiedInstance(), nullptr);
    EXPECT_EQ(connection->modifiedInstance()->modifiedInstance(), nullptr);

    const auto copy = connection->copy();
    EXPECT_EQ(copy->modifiedInstance(), nullptr);
    EXPECT_EQ(copy->dictionaryRepresentation(), connection->dictionaryRepresentation());
    EXPECT_EQ(copy->title(), "T");
    EXPECT_EQ(copy->ignoreKeywords(), QStringList({"zeta", "alpha"}));
    EXPECT_EQ(connection->propertiesToSkipForCopy(), QStringList{"modifiedInstance"});

    MUDConnection assigned;
    assigned.setModifiedInstance(std::make_shared<MUDConnection>());
    const auto ownWorkingCopy = assigned.modifiedInstance();
    assigned = *connection;
    EXPECT_EQ(assigned.host(), "h");
    EXPECT_EQ(assigned.modifiedInstance(), ownWorkingCopy);
}

// A TLS connection adds one key; a plain one's file keeps its seven keys, so
// files written before TLS existed and files of plain connections read the same.
TEST(MUDConnection, SecureIsStoredAsOneOnlyWhenOn)
{
    MUDConnection connection;
    connection.setHost("h");
    connection.setPort(4000);
    EXPECT_FALSE(connection.isSecure());
    EXPECT_FALSE(connection.dictionaryRepresentation().contains("secure"));
    EXPECT_EQ(connection.dictionaryRepresentation().size(), 7);

    connection.setSecure(true);
    const QJsonObject dictionary = connection.dictionaryRepresentation();
    EXPECT_EQ(dictionary.size(), 8);
    EXPECT_TRUE(dictionary.value("secure").isDouble());
    EXPECT_EQ(dictionary.value("secure").toInteger(), 1);
    EXPECT_TRUE(savedAndLoaded(connection, "T")->isSecure());
    EXPECT_TRUE(connection.copy()->isSecure());
}

TEST(MUDConnection, SecureReadsNumbersAndBooleansAndIgnoresOtherTypes)
{
    struct Row {
        const char* json;
        bool secure;
        int logLines;
    };
    const Row rows[] = {
        {R"({"host": "h"})", false, 0},   {R"({"secure": 1})", true, 0},      {R"({"secure": 0})", false, 0},
        {R"({"secure": true})", true, 0}, {R"({"secure": "yes"})", false, 1}, {R"({"secure": null})", false, 1},
    };
    for (const Row& row : rows) {
        LogRecorder log;
        EXPECT_EQ(fromJson(row.json)->isSecure(), row.secure) << row.json;
        EXPECT_EQ(log.lines().size(), row.logLines) << row.json;
    }
}

TEST(MUDConnection, APasswordKeptInTheKeyringIsNeverWrittenAndTheChoiceIsStoredOnlyWhenOn)
{
    MUDConnection connection;
    connection.setPassword(QStringLiteral("s3cret"));
    EXPECT_FALSE(connection.passwordInKeyring()) << "off by default";
    EXPECT_FALSE(connection.dictionaryRepresentation().contains(QStringLiteral("passwordInKeyring")));

    // Fetched from the keyring, the password is in the record but not in its file form.
    connection.setPasswordInKeyring(true);
    const QJsonObject stored = connection.dictionaryRepresentation();
    EXPECT_EQ(stored.size(), 8);
    EXPECT_EQ(stored.value(QStringLiteral("password")).toString(QStringLiteral("<missing>")), QString());
    EXPECT_EQ(stored.value(QStringLiteral("passwordInKeyring")), QJsonValue(true));

    const auto loaded = MUDConnection::connectionFromDictionaryRepresentation(stored, QStringLiteral("T"));
    EXPECT_TRUE(loaded->passwordInKeyring());
    EXPECT_TRUE(loaded->password().isEmpty());
    EXPECT_TRUE(loaded->copy()->passwordInKeyring()) << "an editor's working copy keeps the choice";
}

// Files written before the switch existed have no key and must stay off:
// only a connection that negotiates writes it, as 1.
TEST(MUDConnection, TelnetOptionsAreStoredAsOneOnlyWhenOnAndAMissingKeyMeansOff)
{
    MUDConnection connection;
    connection.setHost("h");
    connection.setPort(4000);
    EXPECT_FALSE(connection.negotiatesTelnetOptions());
    EXPECT_FALSE(connection.dictionaryRepresentation().contains("telnetOptions"));
    EXPECT_FALSE(savedAndLoaded(connection, "T")->negotiatesTelnetOptions());

    connection.setNegotiatesTelnetOptions(true);
    const QJsonObject dictionary = connection.dictionaryRepresentation();
    EXPECT_EQ(dictionary.size(), 8);
    EXPECT_EQ(dictionary.value("telnetOptions").toInteger(-1), 1);
    EXPECT_TRUE(dictionary.value("telnetOptions").isDouble());
    EXPECT_TRUE(savedAndLoaded(connection, "T")->negotiatesTelnetOptions());
    EXPECT_TRUE(connection.copy()->negotiatesTelnetOptions());

    EXPECT_FALSE(fromJson(R"({"host": "h", "port": 23, "secure": 1})")->negotiatesTelnetOptions());
    EXPECT_FALSE(fromJson(R"({"telnetOptions": 0})")->negotiatesTelnetOptions());
    EXPECT_TRUE(fromJson(R"({"telnetOptions": true})")->negotiatesTelnetOptions());
}
