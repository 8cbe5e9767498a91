#include "engine/automation/MUDGMCPState.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/automation/MUDGMCPSupports.h"

namespace {

MUDGMCPMessage message(const char* payload)
{
    const std::optional<MUDGMCPMessage> parsed = MUDGMCPMessage::parse(QByteArray(payload));
    EXPECT_TRUE(parsed.has_value()) << payload;
    return parsed.value_or(MUDGMCPMessage());
}

QByteArray kept(const MUDGMCPState& state, const char* package)
{
    const std::optional<QJsonValue> value = state.value(QString::fromLatin1(package));
    return value ? MUDGMCPMessage::jsonText(*value) : QByteArray("<none>");
}

// Messages fed in order, then what one package holds.
struct Row {
    const char* name;
    QList<const char*> payloads;
    const char* package;
    const char* expected;
};

const Row kRows[] = {
    {"nothing came", {}, "Char.Vitals", "<none>"},
    {"a character package merges changes",
     {"Char.Vitals {\"hp\":10,\"mp\":5}", "Char.Vitals {\"hp\":7}"},
     "Char.Vitals",
     "{\"hp\":7,\"mp\":5}"},
    {"names differ only in case",
     {"Char.Vitals {\"hp\":10,\"mp\":5}", "char.vitals {\"mp\":1}"},
     "CHAR.VITALS",
     "{\"hp\":10,\"mp\":1}"},
    {"a room replaces",
     {"Room.Info {\"num\":1,\"details\":[\"shop\"]}", "Room.Info {\"num\":2}"},
     "Room.Info",
     "{\"num\":2}"},
    {"a list replaces",
     {"Char.Items.List {\"items\":[1]}", "Char.Items.List {\"location\":\"inv\"}"},
     "Char.Items.List",
     "{\"location\":\"inv\"}"},
    {"an event is the last one",
     {"Comm.Channel.Text {\"text\":\"a\"}", "Comm.Channel.Text {\"channel\":\"b\"}"},
     "Comm.Channel.Text",
     "{\"channel\":\"b\"}"},
    {"a non-object replaces an object", {"Char.Status {\"a\":1}", "Char.Status 3"}, "Char.Status", "3"},
    {"an object replaces a non-object", {"Char.Status 3", "Char.Status {\"a\":1}"}, "Char.Status", "{\"a\":1}"},
    {"no JSON keeps null", {"Char.Vitals {\"hp\":1}", "Char.Vitals"}, "Char.Vitals", "null"},
    {"a merge replaces nested objects whole",
     {"Char.Stats {\"s\":{\"a\":1,\"b\":2}}", "Char.Stats {\"s\":{\"a\":3}}"},
     "Char.Stats",
     "{\"s\":{\"a\":3}}"},
};

}

TEST(MUDGMCPState, KeepsTheLastValueOfEachPackage)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        MUDGMCPState state;
        for (const char* payload : row.payloads)
            EXPECT_TRUE(state.apply(message(payload)));
        EXPECT_EQ(kept(state, row.package), QByteArray(row.expected));
    }
}

TEST(MUDGMCPState, ListsPackagesAsLastSpeltAndForgetsThemOnReset)
{
    MUDGMCPState state;
    state.apply(message("room.info {}"));
    state.apply(message("Char.Vitals {}"));
    state.apply(message("Room.Info {}"));
    EXPECT_EQ(state.packages(), QStringList({QStringLiteral("Char.Vitals"), QStringLiteral("Room.Info")}));
    state.reset();
    EXPECT_TRUE(state.packages().isEmpty());
    EXPECT_EQ(kept(state, "Room.Info"), QByteArray("<none>"));
}

TEST(MUDGMCPState, StopsTakingNewPackagesAtItsLimit)
{
    LogRecorder log;
    MUDGMCPState state;
    for (qsizetype i = 0; i < MUDGMCPState::MaximumPackages; ++i)
        ASSERT_TRUE(state.apply(message(QByteArray("P.N" + QByteArray::number(i) + " 1").constData())));
    EXPECT_FALSE(state.apply(message("Char.Vitals {}")));
    EXPECT_EQ(kept(state, "Char.Vitals"), QByteArray("<none>"));
    EXPECT_TRUE(state.apply(message("p.n0 2"))) << "a package kept already still updates";
    EXPECT_EQ(kept(state, "P.N0"), QByteArray("2"));
    EXPECT_EQ(log.lines().size(), 1);
}

// Scripts read on their own threads while messages arrive: every value a
// reader sees is one that was sent whole (run under ThreadSanitizer too).
TEST(MUDGMCPState, ReadersOnOtherThreadsSeeWholeValues)
{
    MUDGMCPState state;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done.load()) {
            if (const auto value = state.value(QStringLiteral("Char.Vitals"))) {
                const QJsonObject object = value->toObject();
                if (object.value(QStringLiteral("hp")) != object.value(QStringLiteral("mp")))
                    ++torn;
            }
        }
    });
    for (int i = 0; i < 5000; ++i) {
        const QByteArray payload =
            "Char.Vitals {\"hp\":" + QByteArray::number(i) + ",\"mp\":" + QByteArray::number(i) + "}";
        state.apply(message(payload.constData()));
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(MUDGMCPSupports, StartsWithTheDefaultsAndFollowsTheScriptsRequests)
{
    MUDGMCPSupports supports;
    EXPECT_EQ(supports.packages(),
              QStringList({QStringLiteral("Core 1"), QStringLiteral("Char 1"), QStringLiteral("Char.Vitals 1"),
                           QStringLiteral("Room 1"), QStringLiteral("Comm.Channel 1")}));
    const auto list = [](QStringList entries) { return QJsonValue(QJsonArray::fromStringList(entries)); };
    EXPECT_TRUE(supports.update(QStringLiteral("Core.Supports.Add"), list({QStringLiteral("IRE.Rift 1")})));
    EXPECT_TRUE(supports.update(QStringLiteral("core.supports.add"), list({QStringLiteral("room 2")})));
    EXPECT_TRUE(supports.update(QStringLiteral("Core.Supports.Remove"), list({QStringLiteral("Comm.Channel")})));
    EXPECT_EQ(supports.packages(),
              QStringList({QStringLiteral("Core 1"), QStringLiteral("Char 1"), QStringLiteral("Char.Vitals 1"),
                           QStringLiteral("IRE.Rift 1"), QStringLiteral("room 2")}));
    EXPECT_TRUE(supports.update(QStringLiteral("Core.Supports.Set"), list({QStringLiteral("Char 1")})));
    EXPECT_EQ(supports.packages(), QStringList({QStringLiteral("Char 1")}));

    // Anything else leaves the list alone.
    EXPECT_FALSE(supports.update(QStringLiteral("Core.Hello"), list({QStringLiteral("x 1")})));
    EXPECT_FALSE(supports.update(QStringLiteral("Core.Supports.Add"), QJsonValue(QStringLiteral("Room 1"))));
    EXPECT_FALSE(supports.update(QStringLiteral("Core.Supports.Add"), QJsonArray{QStringLiteral("Room 1"), 2}));
    EXPECT_FALSE(supports.update(QStringLiteral("Core.Supports.Sets"), list({QStringLiteral("x 1")})));
    EXPECT_EQ(supports.packages(), QStringList({QStringLiteral("Char 1")}));
}
