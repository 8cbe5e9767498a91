#include "engine/automation/MUDCommandTokenizer.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/automation/MUDAlias.h"

namespace {
QStringList texts(const QList<MUDCommandToken>& tokens)
{
    QStringList result;
    for (const MUDCommandToken& token : tokens)
        result << token.commandForToken();
    return result;
}

std::shared_ptr<MUDAlias> alias(const QString& matchString, const QString& command)
{
    auto alias = std::make_shared<MUDAlias>();
    alias->setMatchString(matchString);
    alias->setCommand(command);
    return alias;
}
}

TEST(MUDCommandTokenizer, Splitting)
{
    struct Row {
        const char* line;
        char escape;
        QStringList tokens;
    } rows[] = {
        {"a;b", '\\', {"a", "b"}},
        {"a\\;b", '\\', {"a;b"}},
        {"a;", '\\', {"a", ""}},
        {"", '\\', {""}},
        {"look", '\\', {"look"}},
        {";;", '\\', {"", "", ""}},
        {"say hi\\; there;north", '\\', {"say hi; there", "north"}},
        {"a\\;", '\\', {"a;"}},
        {"a;b", 0, {"a;b"}},
        {"a;", 0, {"a"}},
    };
    for (const Row& row : rows) {
        MUDCommandTokenizer tokenizer(QString::fromUtf8(row.line), {}, row.escape);
        EXPECT_EQ(texts(tokenizer.allTokens()), row.tokens) << row.line << " escape " << int(row.escape);
    }
}

TEST(MUDCommandTokenizer, EnumerationStopsWhenAsked)
{
    MUDCommandTokenizer tokenizer("a;b;c", {}, '\\');
    QStringList seen;
    tokenizer.enumerateTokens([&](const MUDCommandToken& token, bool& stop) {
        seen << token.commandForToken();
        stop = seen.size() == 2;
    });
    EXPECT_EQ(seen, (QStringList{"a", "b"}));
}

TEST(MUDCommandTokenizer, WordAliases)
{
    const MUDAliasList aliases{alias("k", "kill orc"), alias("multi", "n;e"), alias("two", "k")};
    struct Row {
        const char* line;
        QStringList tokens;
    } rows[] = {
        {"K rat", {"kill orc rat"}},   {"x k", {"x k"}}, {"  k", {"  kill orc"}}, {"multi;s", {"n", "e", "s"}},
        {"two rat", {"kill orc rat"}}, {"kk", {"kk"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(texts(MUDCommandTokenizer(row.line, aliases, '\\').allTokens()), row.tokens) << row.line;

    bool did = true;
    MUDCommandTokenizer tokenizer("", aliases, '\\');
    EXPECT_EQ(tokenizer.processAliases("k rat  ", &did), "kill orc rat") << "white space after the last word dropped";
    EXPECT_TRUE(did);
    EXPECT_EQ(tokenizer.processAliases("look", &did), "look");
    EXPECT_FALSE(did);
    EXPECT_EQ(MUDCommandTokenizer("", {}, '\\').processAliases("k  ", &did), "k  ") << "no aliases: unchanged";
}

TEST(MUDCommandTokenizer, SelfExpandingAliasStopsAtTheDepthBound)
{
    LogRecorder log;
    const QList<MUDCommandToken> tokens = MUDCommandTokenizer("k rat", {alias("k", "k x")}, '\\').allTokens();
    ASSERT_EQ(tokens.size(), 1);
    EXPECT_EQ(tokens[0].commandForToken(), "k" + QString(" x").repeated(MUDCommandTokenizer::kMaxAliasDepth) + " rat");
    EXPECT_EQ(
        log.count("MUDCommandTokenizer - alias expansion of \"k rat\" stopped after 16 levels or 1000 expansions"), 1);
}

TEST(MUDCommandTokenizer, FanningOutAliasStopsAtTheExpansionBound)
{
    LogRecorder log;
    const QList<MUDCommandToken> tokens = MUDCommandTokenizer("a", {alias("a", "a;a;a;a")}, '\\').allTokens();
    EXPECT_LE(tokens.size(), 4 * (MUDCommandTokenizer::kMaxAliasExpansions + 1));
    EXPECT_GT(tokens.size(), MUDCommandTokenizer::kMaxAliasExpansions);
    EXPECT_EQ(log.lines().size(), 1);
}
