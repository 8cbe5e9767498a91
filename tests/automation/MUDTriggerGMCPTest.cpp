#include <gtest/gtest.h>

#include "MUDJavascriptRecordingDelegate.h"
#include "TestSupport.h"
#include "TriggerTestSupport.h"
#include "engine/automation/MUDGMCPMessage.h"
#include "engine/automation/MUDTriggerBacklog.h"
#include "engine/automation/MUDTriggerMatcher.h"
#include "engine/automation/MUDTriggerProcessor.h"

namespace {

MUDGMCPMessage message(const QByteArray& payload)
{
    return MUDGMCPMessage::parse(payload).value();
}

std::shared_ptr<MUDTrigger> gmcpTrigger(const QString& pattern, const QString& action = {})
{
    return makeTrigger({pattern, MUDTrigger::kMatchGMCPPackage, false, false, action});
}

struct PackageRow {
    const char* pattern;
    const char* package;
    bool matches;
};

const PackageRow kPackageRows[] = {
    {"Char.Vitals", "Char.Vitals", true},
    {"char.vitals", "CHAR.Vitals", true},
    {"Char", "Char.Vitals", true},
    {"Char", "Char.Items.List", true},
    {"Char.", "Char.Vitals", true},
    {" Char.Vitals ", "Char.Vitals", true},
    {"Char", "Char", true},
    {"Char", "Charm.Spell", false},
    {"Char.Vit", "Char.Vitals", false},
    {"Char.Vitals", "Char", false},
    {"Char.Vitals.Extra", "Char.Vitals", false},
    {"Room", "Char.Room", false},
    {"", "Char.Vitals", false},
    {".", "Char.Vitals", false},
};

}

TEST(MUDTriggerGMCP, APatternNamesAPackageOrTheWholePartsBeforeIt)
{
    for (const PackageRow& row : kPackageRows) {
        SCOPED_TRACE(std::string(row.pattern) + " / " + row.package);
        EXPECT_EQ(MUDTriggerMatcher::packageMatches(QString::fromLatin1(row.pattern), QString::fromLatin1(row.package)),
                  row.matches);
    }
}

TEST(MUDTriggerGMCP, AMatchCarriesThePackageAndTheJSONTextAsParameters)
{
    const auto trigger = gmcpTrigger(QStringLiteral("Char"));
    const auto object = MUDTriggerMatcher::matchGMCPMessage(trigger, message("char.Vitals  {\"hp\": 7} "));
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(object->trigger, trigger);
    EXPECT_EQ(object->parameters, (MUDScriptParameters{{QStringLiteral("\\0"), QStringLiteral("char.Vitals")},
                                                       {QStringLiteral("\\1"), QStringLiteral("{\"hp\": 7}")}}));
    const auto bare = MUDTriggerMatcher::matchGMCPMessage(trigger, message("Char.Login"));
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(bare->parameters->value(QStringLiteral("\\1")), QString());

    // Text triggers never see GMCP, whatever their pattern.
    for (const int32_t type : {MUDTrigger::kMatchPlainText, MUDTrigger::kMatchRegularExpression})
        EXPECT_FALSE(
            MUDTriggerMatcher::matchGMCPMessage(makeTrigger({QStringLiteral("Char"), type}), message("Char.Vitals 1"))
                .has_value());
}

TEST(MUDTriggerGMCP, TextNeverFiresAGMCPTrigger)
{
    const auto trigger = gmcpTrigger(QStringLiteral("Char.Vitals"));
    EXPECT_FALSE(
        MUDTriggerMatcher::matchTrigger(trigger, output(QStringLiteral("Char.Vitals {\"hp\":1}\n"))).has_value());
}

namespace {

class MUDTriggerGMCPRunTest : public ::testing::Test {
protected:
    void SetUp() override { m_runtime = std::make_shared<MUDJavascriptProcessor>(&m_delegate); }
    void TearDown() override { m_runtime->setDelegate(nullptr); }

    MUDJavascriptRecordingDelegate m_delegate;
    std::shared_ptr<MUDJavascriptProcessor> m_runtime;
    LogRecorder m_log;
};

}

// Each message fires the triggers naming its package, once, in arrival
// order and list order, with the parameters substituted as for any trigger.
TEST_F(MUDTriggerGMCPRunTest, EachMessageFiresItsTriggersInOrderWithParameters)
{
    auto vitals = gmcpTrigger(QStringLiteral("Char.Vitals"), QStringLiteral("log('\\0 hp ' + JSON.parse('\\1').hp)"));
    auto anyChar = gmcpTrigger(QStringLiteral("char"), QStringLiteral("log('char: \\0')"));
    auto disabled = gmcpTrigger(QStringLiteral("Char"), QStringLiteral("log('disabled')"));
    disabled->setDisabled(true);
    auto text =
        makeTrigger({QStringLiteral("Char"), MUDTrigger::kMatchPlainText, false, false, QStringLiteral("log('text')")});
    auto processor = std::make_shared<MUDTriggerProcessor>(
        m_runtime, QList<std::shared_ptr<MUDTrigger>>{vitals, anyChar, disabled, text});
    auto backlog = std::make_shared<MUDTriggerBacklog>();
    processor->setBacklog(backlog);

    const int count = 300;
    for (int i = 0; i < count; ++i)
        processor->processGMCPMessage(message("Char.Vitals {\"hp\":" + QByteArray::number(i) + "}"), 1);
    processor->processGMCPMessage(message("Room.Info {\"num\":1}"), 1);
    processor->processGMCPMessage(message("CHAR.Status"), 1);
    ASSERT_TRUE(waitUntil([&] { return m_delegate.calls().size() >= 2 * count + 1; }, 20000));
    spinEventLoop(150);

    QStringList expected;
    for (int i = 0; i < count; ++i)
        expected << QStringLiteral("log: Char.Vitals hp %1").arg(i) << QStringLiteral("log: char: Char.Vitals");
    expected << QStringLiteral("log: char: CHAR.Status");
    EXPECT_EQ(m_delegate.calls(), expected);
    EXPECT_TRUE(m_delegate.errors().isEmpty());
    EXPECT_EQ(backlog->scripts(), 0) << "every script gives its count back";
}

// The JSON text goes into a script like any server text: quotes and line
// feeds in it cannot break out of the literal.
TEST_F(MUDTriggerGMCPRunTest, JSONTextIsQuotedSafely)
{
    auto trigger = gmcpTrigger(QStringLiteral("Comm"), QStringLiteral("log(JSON.parse('\\1').text)"));
    auto processor = std::make_shared<MUDTriggerProcessor>(m_runtime, QList<std::shared_ptr<MUDTrigger>>{trigger});
    processor->processGMCPMessage(message("Comm.Channel.Text {\"text\":\"it's \\\"x\\\"\\n');command('quit');//\"}"),
                                  1);
    ASSERT_TRUE(waitUntil([&] { return !m_delegate.calls().isEmpty(); }, 5000));
    spinEventLoop(100);
    EXPECT_EQ(m_delegate.calls(), QStringList{"log: it's \"x\"\n');command('quit');//"});
}
