#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDNote.h"
#include "engine/automation/MUDTrigger.h"

#include <QJsonDocument>
#include <functional>
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
        [](MUDTrigger& t) { t.setTitle("T"); }, [](MUDTrigger& t) { t.setParentURL("/tmp/x"); },
        [](MUDTrigger& t) { t.setSource(3); },  [](MUDTrigger& t) { t.setDisabled(false); },
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

namespace {
// Every field a trigger keeps, none at its default.
std::shared_ptr<MUDTrigger> filledTrigger()
{
    auto trigger = std::make_shared<MUDTrigger>();
    trigger->setIsDebug(true);
    trigger->setIsLoginTrigger(true);
    trigger->setDisabled(true);
    trigger->setTitle("hp");
    trigger->setMatchType(MUDTrigger::kMatchRegularExpression);
    trigger->setMatchString("^HP (\\d+)");
    trigger->setMatchFromStartOfLine(true);
    trigger->setCaseSpecific(true);
    trigger->setSource(2);
    trigger->setAction("heal()");
    trigger->setActionType(1);
    trigger->setIsNew(true);
    trigger->setIsRemoved(true);
    trigger->setParentURL("/data/triggers/Combat");
    return trigger;
}
}

TEST(MUDTrigger, ACopyCarriesEveryField)
{
    const auto trigger = filledTrigger();
    const auto copy = trigger->copy();
    EXPECT_EQ(copy->isDebug(), trigger->isDebug());
    EXPECT_EQ(copy->isLoginTrigger(), trigger->isLoginTrigger());
    EXPECT_EQ(copy->disabled(), trigger->disabled());
    EXPECT_EQ(copy->title(), trigger->title());
    EXPECT_EQ(copy->matchType(), trigger->matchType());
    EXPECT_EQ(copy->matchString(), trigger->matchString());
    EXPECT_EQ(copy->matchFromStartOfLine(), trigger->matchFromStartOfLine());
    EXPECT_EQ(copy->caseSpecific(), trigger->caseSpecific());
    EXPECT_EQ(copy->source(), trigger->source());
    EXPECT_EQ(copy->action(), trigger->action());
    EXPECT_EQ(copy->actionType(), trigger->actionType());
    EXPECT_EQ(copy->isNew(), trigger->isNew());
    EXPECT_EQ(copy->isRemoved(), trigger->isRemoved());
    EXPECT_EQ(copy->parentURL(), trigger->parentURL());
}

// Each row edits the working copy of a stored trigger; the record is
// modified exactly when a compared field changed.
TEST(MUDTrigger, ChangeDetectionComparesTheStoredFieldsAndTheFolderOnly)
{
    struct Row {
        const char* edit;
        std::function<void(MUDTrigger&)> apply;
        bool modified;
    };
    const Row rows[] = {
        {"isDebug", [](MUDTrigger& t) { t.setIsDebug(false); }, true},
        {"disabled", [](MUDTrigger& t) { t.setDisabled(false); }, true},
        {"caseSpecific", [](MUDTrigger& t) { t.setCaseSpecific(false); }, true},
        {"matchType", [](MUDTrigger& t) { t.setMatchType(MUDTrigger::kMatchPlainText); }, true},
        {"matchFromStartOfLine", [](MUDTrigger& t) { t.setMatchFromStartOfLine(false); }, true},
        {"source", [](MUDTrigger& t) { t.setSource(0); }, true},
        {"actionType", [](MUDTrigger& t) { t.setActionType(0); }, true},
        {"title", [](MUDTrigger& t) { t.setTitle("HP"); }, true},
        {"matchString", [](MUDTrigger& t) { t.setMatchString("^hp"); }, true},
        {"action", [](MUDTrigger& t) { t.setAction("flee()"); }, true},
        {"title none", [](MUDTrigger& t) { t.setTitle(QString()); }, true},
        {"parentURL", [](MUDTrigger& t) { t.setParentURL("/data/triggers"); }, true},
        {"parentURL none", [](MUDTrigger& t) { t.setParentURL(QString()); }, true},
        {"parentURL spelt differently", [](MUDTrigger& t) { t.setParentURL("/data/triggers/./Combat/"); }, false},
        {"isLoginTrigger", [](MUDTrigger& t) { t.setIsLoginTrigger(false); }, false},
        {"isNew of the copy", [](MUDTrigger& t) { t.setIsNew(false); }, false},
        {"compiled pattern", [](MUDTrigger& t) { t.setCompiledRegex(std::make_shared<int>(1)); }, false},
        {"nothing", [](MUDTrigger&) {}, false},
    };
    for (const Row& row : rows) {
        auto trigger = filledTrigger();
        trigger->setIsNew(false);
        trigger->setIsRemoved(false);
        trigger->setModifiedInstance(trigger->copy());
        row.apply(*trigger->modifiedInstance());
        EXPECT_EQ(trigger->isModified(), row.modified) << row.edit;
    }
}

TEST(MUDAlias, ChangeDetectionComparesTheStoredFieldsButTheCommand)
{
    struct Row {
        const char* edit;
        std::function<void(MUDAlias&)> apply;
        bool modified;
    };
    const Row rows[] = {
        {"isDebug", [](MUDAlias& a) { a.setIsDebug(false); }, true},
        {"disabled", [](MUDAlias& a) { a.setDisabled(false); }, true},
        {"matchType", [](MUDAlias& a) { a.setMatchType(0); }, true},
        {"caseSpecific", [](MUDAlias& a) { a.setCaseSpecific(false); }, true},
        {"matchFromStartOfLine", [](MUDAlias& a) { a.setMatchFromStartOfLine(false); }, true},
        {"title", [](MUDAlias& a) { a.setTitle("K"); }, true},
        {"matchString", [](MUDAlias& a) { a.setMatchString("kk"); }, true},
        {"action", [](MUDAlias& a) { a.setAction("kick()"); }, true},
        {"action empty, not none", [](MUDAlias& a) { a.setAction(""); }, true},
        {"parentURL", [](MUDAlias& a) { a.setParentURL("/data/aliases/Other"); }, true},
        {"parentURL spelt differently", [](MUDAlias& a) { a.setParentURL("/data/aliases//Combat"); }, false},
        {"command", [](MUDAlias& a) { a.setCommand("kick"); }, false},
        {"isRemoved of the copy", [](MUDAlias& a) { a.setIsRemoved(true); }, false},
    };
    for (const Row& row : rows) {
        MUDAlias alias;
        alias.setIsDebug(true);
        alias.setDisabled(true);
        alias.setMatchType(1);
        alias.setCaseSpecific(true);
        alias.setMatchFromStartOfLine(true);
        alias.setTitle("k");
        alias.setMatchString("k");
        alias.setCommand("kill");
        alias.setParentURL("/data/aliases/Combat");
        const auto copy = alias.copy();
        EXPECT_EQ(copy->command(), "kill");
        EXPECT_EQ(copy->parentURL(), alias.parentURL());
        EXPECT_EQ(copy->matchType(), 1);
        alias.setModifiedInstance(copy);
        EXPECT_FALSE(alias.isModified()) << "an unchanged copy, before " << row.edit;
        row.apply(*copy);
        EXPECT_EQ(alias.isModified(), row.modified) << row.edit;
    }
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
    note.modifiedInstance()->setContents("North to the Inn");
    note.modifiedInstance()->setTitle("MAP");
    EXPECT_FALSE(note.isModified());
    note.modifiedInstance()->setParentURL("/data/notes");
    EXPECT_TRUE(note.isModified());
    note.setParentURL("/data/notes/");
    EXPECT_FALSE(note.isModified()) << "the same folder";
    note.modifiedInstance()->setTitle("Maps");
    EXPECT_TRUE(note.isModified());
}

TEST(MUDNote, ACopyKeepsEveryFieldAndItsWorkingCopy)
{
    MUDNote note;
    note.setTitle("Map");
    note.setContents("North");
    note.setIsNew(true);
    note.setIsRemoved(true);
    note.setParentURL("/data/notes");
    note.setModifiedInstance(std::make_shared<MUDNote>());
    const auto copy = note.copy();
    EXPECT_EQ(copy->title(), "Map");
    EXPECT_EQ(copy->contents(), "North");
    EXPECT_TRUE(copy->isNew());
    EXPECT_TRUE(copy->isRemoved());
    EXPECT_EQ(copy->parentURL(), "/data/notes");
    EXPECT_EQ(copy->modifiedInstance(), note.modifiedInstance());
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
