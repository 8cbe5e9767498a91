#include <QJsonObject>
#include <gtest/gtest.h>

#include "engine/connection/MUDConnection.h"

TEST(MUDConnectionTextEncoding, AFileWithoutTheKeyIsUTF8AndWritesNoKey)
{
    const QJsonObject older{{"connectionId", "A"}, {"host", "h"},    {"port", 4000},
                            {"user", ""},          {"password", ""}, {"automaticallyReconnect", false},
                            {"loginScript", ""}};
    const auto connection = MUDConnection::connectionFromDictionaryRepresentation(older, "Old");
    EXPECT_EQ(connection->textEncoding(), "UTF-8");
    EXPECT_EQ(connection->dictionaryRepresentation(), older);
    EXPECT_EQ(MUDConnection().textEncoding(), "UTF-8");
}

TEST(MUDConnectionTextEncoding, AnotherEncodingIsStoredByItsNameAndCopied)
{
    MUDConnection connection;
    connection.setTextEncoding("Big5");
    const QJsonObject stored = connection.dictionaryRepresentation();
    EXPECT_EQ(stored.value("encoding").toString(), "Big5");
    EXPECT_EQ(MUDConnection::connectionFromDictionaryRepresentation(stored, "T")->textEncoding(), "Big5");
    EXPECT_EQ(connection.copy()->textEncoding(), "Big5");
    // UTF-8 in any case writes nothing; a key of the wrong type is ignored.
    connection.setTextEncoding("utf-8");
    EXPECT_FALSE(connection.dictionaryRepresentation().contains("encoding"));
    EXPECT_EQ(MUDConnection::connectionFromDictionaryRepresentation({{"encoding", 7}}, "T")->textEncoding(), "UTF-8");
}
