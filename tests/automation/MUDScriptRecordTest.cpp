#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDNote.h"
#include "engine/automation/MUDTrigger.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {
QJsonObject json(const char* text)
{
    return QJsonDocument::fromJson(text).object();
}
}

TEST(MUDTrigger, EnabledKeyDecidesDisabled)
{
    struct Row {
        const char* dictionary;
        bool disabled;
    } rows[] = {
        {"{}", true},
        {"{\"enabled\": 1}", false},
        {"{\"enabled\": 0}", true},
        {"{\"enabled\": true}", false},
        {"{\"enabled\": \"YES\"}", false},
        {"{\"enabled\": \"0\"}", true},
        {"{\"enabled\": [1]}", true},
    };
    for (const Row& row : rows)
        EXPECT_EQ(MUDTrigger::triggerFromDictionaryRepresentation(json(row.dictionary), "t")->disabled(), row.disabled)
            << row.dictionary;
}

TEST(MUDTrigger, TitleComesFromTheArgumentOnly)
{
    auto trigger = MUDTrigger::triggerFromDictionaryRepresentation(json("{\"title\": \"b\"}"), "a");
    EXPECT_EQ(trigger->title(), "a");
    EXPECT_EQ(MUDTrigger::triggerFromDictionaryRepresentation(json("{\"title\": \"b\"}"), "")->title(), "");
}

TEST(MUDTrigger, DictionaryRoundTripAndNumbersCutTo32Bits)
{
    auto trigger = MUDTrigger::triggerFromDictionaryRepresentation(
        json("{\"enabled\":1,\"isDebug\":true,\"matchType\":4294967297,\"matchString\":\"orc\",\"matchSource\":"
             "4294967295,\"matchFromStartOfLine\":true,\"caseSpecific\":true,\"action\":\"kill()\",\"actionType\":1,"
             "\"title\":\"ignored\"}"),
        "t");
    EXPECT_EQ(trigger->matchType(), 1);
    EXPECT_EQ(trigger->source(), -1);
    const QJsonObject out = trigger->dictionaryRepresentation();
    EXPECT_EQ(out.size(), 10);
    EXPECT_EQ(out.value("title").toString(), "t");
    EXPECT_EQ(out.value("matchSource").toDouble(), 4294967295.0) << "written as unsigned";
    EXPECT_EQ(out.value("enabled").toInt(), 1);
    auto again = MUDTrigger::triggerFromDictionaryRepresentation(out, "t");
    EXPECT_EQ(again->dictionaryRepresentation(), out);
}

TEST(MUDTrigger, MissingStringsAreWrittenEmpty)
{
    MUDTrigger trigger;
    const QJsonObject out = trigger.dictionaryRepresentation();
    for (const char* key : {"title", "matchString", "action"}) {
        ASSERT_TRUE(out.value(key).isString()) << key;
        EXPECT_EQ(out.value(key).toString(), "") << key;
    }
    EXPECT_FALSE(out.contains("isLoginTrigger"));
    EXPECT_EQ(trigger.description(), "<nil>");
}

TEST(MUDTrigger, ChangeDetectionAgainstTheWorkingCopy)
{
    auto trigger = MUDTrigger::triggerFromDictionaryRepresentation(json("{\"matchString\":\"x\"}"), "t");
    EXPECT_FALSE(trigger->isModified()) << "no working copy";
    trigger->setModifiedInstance(trigger->copy());
    EXPECT_FALSE(trigger->isModified());
    trigger->modifiedInstance()->setIsLoginTrigger(true);
    EXPECT_FALSE(trigger->isModified()) << "isLoginTrigger is not stored";

    const std::function<void(MUDTrigger&)> edits[] = {
        [](MUDTrigger& t) { t.setAction(""); }, // none against empty
        [](MUDTrigger& t) { t.setTitle("T"); },
        [](MUDTrigger& t) { t.setParentURL("/tmp/x"); },
        [](MUDTrigger& t) { t.setSource(3); },
        [](MUDTrigger& t) { t.setDisabled(false); },
    };
    for (const auto& edit : edits) {
        trigger->setModifiedInstance(trigger->copy());
        edit(*trigger->modifiedInstance());
        EXPECT_TRUE(trigger->isModified());
    }
    trigger->setModifiedInstance(nullptr);
    trigger->setIsNew(true);
    EXPECT_TRUE(trigger->isModified());
}

TEST(MUDTrigger, CopyLeavesOutTheWorkingCopyButKeepsTheRest)
{
    MUDTrigger trigger;
    trigger.setTitle("t");
    trigger.setParentURL("/data/triggers");
    trigger.setCompiledRegex(std::make_shared<int>(5));
    trigger.setModifiedInstance(std::make_shared<MUDTrigger>());
    auto copy = trigger.copy();
    EXPECT_EQ(copy->modifiedInstance(), nullptr);
    EXPECT_EQ(copy->title(), "t");
    EXPECT_EQ(copy->parentURL(), "/data/triggers");
    EXPECT_EQ(copy->compiledRegex(), trigger.compiledRegex());
    EXPECT_EQ(trigger.propertiesToSkipForCopy(), QStringList{"modifiedInstance"});
}

TEST(MUDAlias, TitleArgumentReplacesOnlyWhenNotEmpty)
{
    EXPECT_EQ(MUDAlias::aliasFromDictionaryRepresentation(json("{\"title\":\"b\"}"), "a")->title(), "a");
    EXPECT_EQ(MUDAlias::aliasFromDictionaryRepresentation(json("{\"title\":\"b\"}"), "")->title(), "b");
}

// A word alias's text is sent, never run as a script; its file keeps its shape.
TEST(MUDAlias, EmptyActionKeepsTheCommandAsText)
{
    auto alias = MUDAlias::aliasFromDictionaryRepresentation(json("{\"action\":\"\",\"command\":\"kill orc\"}"), "k");
    EXPECT_EQ(alias->action(), "");
    EXPECT_TRUE(alias->sendsCommandText());
    const QJsonObject out = alias->dictionaryRepresentation();
    EXPECT_EQ(out.size(), 9);
    EXPECT_EQ(out.value("action").toString(), "");
    EXPECT_EQ(out.value("command").toString(), "kill orc");
    EXPECT_TRUE(out.value("disabled").isBool());
    EXPECT_FALSE(out.contains("enabled"));
}

TEST(MUDAlias, CommandIsNotComparedButActionIs)
{
    auto alias = MUDAlias::aliasFromDictionaryRepresentation(json("{\"action\":\"a\",\"command\":\"c\"}"), "k");
    alias->setModifiedInstance(alias->copy());
    alias->modifiedInstance()->setCommand("other");
    EXPECT_FALSE(alias->isModified());
    alias->modifiedInstance()->setAction("b");
    EXPECT_TRUE(alias->isModified());
    EXPECT_EQ(alias->copy()->modifiedInstance(), nullptr);
}

TEST(MUDNote, ChangesOnlyInLetterCaseAreNotModifications)
{
    MUDNote note;
    note.setTitle("Map");
    note.setContents("North to the Inn");
    note.setModifiedInstance(note.copy());
    note.modifiedInstance()->setContents("north TO the inn");
    EXPECT_FALSE(note.isModified());
    note.modifiedInstance()->setContents("south to the inn");
    EXPECT_TRUE(note.isModified());
}

TEST(MUDScriptRecords, SearchIsCaseInsensitiveOverTheNamedFields)
{
    MUDTrigger trigger;
    trigger.setMatchString("an orc arrives");
    EXPECT_TRUE(trigger.matchesString("ORC"));
    EXPECT_FALSE(trigger.matchesString("troll"));
    EXPECT_FALSE(MUDTrigger().matchesString("orc")) << "all fields empty";
    EXPECT_FALSE(trigger.matchesString("")) << "an empty search finds nothing";

    MUDAlias alias;
    alias.setAction("cast('heal')");
    EXPECT_TRUE(alias.matchesString("HEAL"));
    alias.setAction("");
    alias.setCommand("heal");
    EXPECT_FALSE(alias.matchesString("heal")) << "command is not searched";

    MUDNote note;
    note.setContents("The Orc lair");
    EXPECT_TRUE(note.matchesString("orc"));
}
