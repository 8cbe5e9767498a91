#include "engine/automation/MUDGMCPMessage.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "TestSupport.h"

namespace {

// A payload as the bytes between IAC SB 201 and IAC SE, and what parsing
// makes of it: the package, the JSON text kept, and the value's compact
// JSON (empty for none). A row without a package expects nothing at all.
struct Row {
    const char* name;
    QByteArray payload;
    const char* package;
    const char* json;
    const char* value;
};

const Row kRows[] = {
    {"object", "Char.Vitals {\"hp\":10,\"mp\":5}", "Char.Vitals", "{\"hp\":10,\"mp\":5}", "{\"hp\":10,\"mp\":5}"},
    {"package case kept as sent", "char.VITALS {\"hp\":1}", "char.VITALS", "{\"hp\":1}", "{\"hp\":1}"},
    {"no JSON", "Core.Goodbye", "Core.Goodbye", "", ""},
    {"trailing space, no JSON", "Core.Ping ", "Core.Ping", "", ""},
    {"array", "Core.Supports.Set [\"Char 1\"]", "Core.Supports.Set", "[\"Char 1\"]", "[\"Char 1\"]"},
    {"string", "Comm.Say \"hello\"", "Comm.Say", "\"hello\"", "\"hello\""},
    {"number", "Char.Level 42", "Char.Level", "42", "42"},
    {"negative fraction", "Char.Weight -1.5", "Char.Weight", "-1.5", "-1.5"},
    {"boolean", "Char.Dead false", "Char.Dead", "false", "false"},
    {"null", "Char.Target null", "Char.Target", "null", "null"},
    {"white space around JSON", "Room.Info \t {\"num\":1}\r\n", "Room.Info", "{\"num\":1}", "{\"num\":1}"},
    {"UTF-8 text", "Comm.Channel.Text {\"text\":\"gr\xc3\xbc\xc3\x9f dich\"}", "Comm.Channel.Text",
     "{\"text\":\"gr\xc3\xbc\xc3\x9f dich\"}", "{\"text\":\"gr\xc3\xbc\xc3\x9f dich\"}"},
    {"bad JSON", "Char.Vitals {\"hp\":", nullptr, nullptr, nullptr},
    {"two values", "Char.Vitals 1 2", nullptr, nullptr, nullptr},
    {"two values with a comma", "Char.Vitals 1,2", nullptr, nullptr, nullptr},
    {"bracket escaping the array", "Char.Vitals 1],[2", nullptr, nullptr, nullptr},
    {"bare word", "Char.Vitals hp", nullptr, nullptr, nullptr},
    {"empty payload", "", nullptr, nullptr, nullptr},
    {"JSON without package", " {\"hp\":1}", nullptr, nullptr, nullptr},
    {"control byte in package", "Char\x01Vitals 1", nullptr, nullptr, nullptr},
    {"non-ASCII package", "Ch\xc3\xa4r 1", nullptr, nullptr, nullptr},
    {"invalid UTF-8 in a string", "Comm.Say \"\xc3\x28\"", nullptr, nullptr, nullptr},
};

}

TEST(MUDGMCPMessage, ParsesEachPayloadOrDropsItWithALogLine)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        LogRecorder log;
        const std::optional<MUDGMCPMessage> message = MUDGMCPMessage::parse(row.payload);
        if (!row.package) {
            EXPECT_FALSE(message.has_value());
            EXPECT_EQ(log.lines().size(), 1) << "a dropped message is logged once";
            continue;
        }
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->package, QString::fromLatin1(row.package));
        EXPECT_EQ(message->json, QString::fromUtf8(row.json));
        EXPECT_EQ(MUDGMCPMessage::jsonText(message->value), QByteArray(row.value));
        EXPECT_TRUE(log.lines().isEmpty());
    }
}

// The cap counts bytes once doubled IACs are undone: on the wire such a
// payload is longer than what it carries. (0xFF is never UTF-8, so the
// message is then dropped as bad JSON, not for its size.)
TEST(MUDGMCPMessage, UndoesDoubledIACBeforeMeasuring)
{
    LogRecorder log;
    const QByteArray doubled = "Comm.Say \"" + QByteArray(MUDGMCPMessage::MaximumPayloadBytes * 3 / 2, '\xff') + "\"";
    EXPECT_FALSE(MUDGMCPMessage::parse(doubled).has_value());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("GMCP Comm.Say: bad JSON dropped")))
        << log.lines().first().toStdString();
}

TEST(MUDGMCPMessage, DropsAPayloadOverOneMegabyteWithoutReadingIt)
{
    LogRecorder log;
    QJsonObject big{{QStringLiteral("text"), QString(MUDGMCPMessage::MaximumPayloadBytes, u'x')}};
    const QByteArray payload = "Comm.Channel.Text " + QJsonDocument(big).toJson(QJsonDocument::Compact);
    EXPECT_FALSE(MUDGMCPMessage::parse(payload).has_value());
    EXPECT_TRUE(log.lines().last().startsWith(QStringLiteral("GMCP message of %1 bytes dropped").arg(payload.size())));
    // Far beyond: dropped before it is copied, same log line.
    EXPECT_FALSE(MUDGMCPMessage::parse(QByteArray(5 * MUDGMCPMessage::MaximumPayloadBytes, '[')).has_value());
    EXPECT_EQ(log.lines().size(), 2);
}

TEST(MUDGMCPMessage, DeepNestingIsRefusedNotFatal)
{
    LogRecorder log;
    const QByteArray deep = "Char.X " + QByteArray(200000, '[') + QByteArray(200000, ']');
    EXPECT_FALSE(MUDGMCPMessage::parse(deep).has_value());
}

TEST(MUDGMCPMessage, BuildsTheClientsMessages)
{
    EXPECT_EQ(MUDGMCPMessage::helloPayload(QStringLiteral("1.2.3")),
              QByteArray("Core.Hello {\"client\":\"Quarrow\",\"version\":\"1.2.3\"}"));
    EXPECT_EQ(MUDGMCPMessage::supportsSetPayload({QStringLiteral("Char 1"), QStringLiteral("Room 1")}),
              QByteArray("Core.Supports.Set [\"Char 1\",\"Room 1\"]"));
    EXPECT_EQ(MUDGMCPMessage::payload(QStringLiteral("Core.Ping")), QByteArray("Core.Ping"));
    EXPECT_EQ(MUDGMCPMessage::payload(QStringLiteral("Comm.Say"), QStringLiteral("a \"quote\"")),
              QByteArray("Comm.Say \"a \\\"quote\\\"\""));
    EXPECT_EQ(MUDGMCPMessage::payload(QStringLiteral("Char.Target"), QJsonValue(QJsonValue::Null)),
              QByteArray("Char.Target null"));
    // What is sent parses back to the same value.
    const QJsonObject value{{QStringLiteral("a"), 1}, {QStringLiteral("b"), QStringLiteral("\xc3\xa9")}};
    const auto back = MUDGMCPMessage::parse(MUDGMCPMessage::payload(QStringLiteral("X.Y"), value));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->value, QJsonValue(value));
}
