#include "engine/automation/MUDJavascriptActionSource.h"

#include <gtest/gtest.h>

#include "engine/automation/MUDAlias.h"
#include "engine/automation/MUDTrigger.h"

TEST(MUDJavascriptActionSource, AliasChainRemembersEveryAncestor)
{
    auto first = std::make_shared<MUDAlias>();
    auto second = std::make_shared<MUDAlias>();
    auto unrelated = std::make_shared<MUDAlias>();
    auto root = std::make_shared<MUDJavascriptActionSource>();
    root->addProcessedAlias(first);
    auto child = std::make_shared<MUDJavascriptActionSource>(root);
    child->addProcessedAlias(second);
    auto grandchild = std::make_shared<MUDJavascriptActionSource>(child);

    EXPECT_TRUE(grandchild->hasAlreadyProcessedAlias(first));
    EXPECT_TRUE(grandchild->hasAlreadyProcessedAlias(second));
    EXPECT_FALSE(grandchild->hasAlreadyProcessedAlias(unrelated));
    EXPECT_FALSE(root->hasAlreadyProcessedAlias(second));
    EXPECT_EQ(grandchild->rootActionSource(), root);
    EXPECT_EQ(root->rootActionSource(), root);
}

TEST(MUDJavascriptActionSource, DebugComesFromTheTarget)
{
    auto trigger = std::make_shared<MUDTrigger>();
    auto source = std::make_shared<MUDJavascriptActionSource>();
    EXPECT_FALSE(source->isDebug()) << "no target";
    source->setTargetObject(trigger);
    EXPECT_FALSE(source->isDebug());
    trigger->setIsDebug(true);
    EXPECT_TRUE(source->isDebug());
    EXPECT_TRUE(source->hasTargetObject(trigger.get()));

    auto alias = std::make_shared<MUDAlias>();
    alias->setIsDebug(true);
    source->setTargetObject(alias);
    EXPECT_TRUE(source->isDebug());
    EXPECT_FALSE(source->hasTargetObject(trigger.get()));

    source->setTargetObject(std::make_shared<int>(3));
    EXPECT_FALSE(source->isDebug()) << "targets without a debug flag";
}
