#include "engine/automation/MUDJavascriptProcessor.h"

#include <gtest/gtest.h>

#include "MUDJavascriptRecordingDelegate.h"
#include "TestSupport.h"

namespace {

// A script and the delegate calls it makes, in order.
struct Row {
    const char* script;
    QStringList expected;
};

struct DebugTarget {
    bool debug = true;
    bool isDebug() const { return debug; }
};

class MUDJavascriptProcessorTest : public ::testing::Test {
protected:
    void SetUp() override { m_processor = std::make_shared<MUDJavascriptProcessor>(&m_delegate); }
    void TearDown() override { EXPECT_EQ(m_delegate.offMainThreadCalls(), 0); }

    std::shared_ptr<MUDJavascriptActionSource> source(const QString& name = QStringLiteral("Trigger: t"))
    {
        auto result = std::make_shared<MUDJavascriptActionSource>();
        result->setActionName(name);
        return result;
    }

    QStringList run(const QString& action, const std::optional<MUDScriptParameters>& parameters = std::nullopt,
                    quint64 commandIndex = 5)
    {
        EXPECT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, action, source(), parameters, commandIndex));
        return m_delegate.calls();
    }

    // Runs each row's script with a delegate of its own, off the main thread.
    template<size_t Count> void expectDelegateCalls(const Row (&rows)[Count])
    {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.script);
            auto delegate = std::make_unique<MUDJavascriptRecordingDelegate>();
            m_processor->setDelegate(delegate.get());
            ASSERT_TRUE(
                MUDJavascriptBackgroundRun::run(m_processor, QString::fromUtf8(row.script), source(), std::nullopt, 1));
            EXPECT_EQ(delegate->calls(), row.expected);
            EXPECT_EQ(delegate->offMainThreadCalls(), 0);
            m_processor->setDelegate(&m_delegate);
        }
    }

    MUDJavascriptRecordingDelegate m_delegate;
    std::shared_ptr<MUDJavascriptProcessor> m_processor;
    LogRecorder m_log;
};

}

TEST_F(MUDJavascriptProcessorTest, FunctionsReachTheDelegateOnTheMainThread)
{
    const Row rows[] = {
        {"log('a'); console.log('b')", {"log: a", "log: b"}},
        {"command('look'); app.command('north')", {"command: look", "command: north"}},
        {"notify('hello')", {"notify: Trigger: t/hello"}},
        {"badge('3'); status('busy')", {"badge: 3", "status: busy"}},
        {"addComm('  \\n '); addComm(' hi ')", {"message:  hi "}},
        {"setExits([' north ', 'south\\n'])", {"exits: north|south"}},
        {"processForAutocomplete('orc troll')", {"autocomplete: orc troll"}},
        {"setAlias('k', 'kill')", {"alias: k=kill"}},
        {"global.log('via global')", {"log: via global"}},
    };
    expectDelegateCalls(rows);
}

TEST_F(MUDJavascriptProcessorTest, CommandCarriesTheScriptsActionSource)
{
    auto mine = source(QStringLiteral("Alias: x"));
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, QStringLiteral("command('go')"), mine, {}, 1));
    EXPECT_EQ(m_delegate.lastCommandSource, mine);
}

TEST_F(MUDJavascriptProcessorTest, VariablesFollowTheirRules)
{
    m_processor->setVariable(QStringLiteral("zero"), 0);
    m_processor->setVariable(QStringLiteral("blank"), QStringLiteral("  \n"));
    m_processor->setVariable(QStringLiteral("name"), QStringLiteral("Bob"));
    run(QStringLiteral("log(getVar('unknown'));"
                       "log(isEmpty('unknown'));"
                       "log(isEmpty('zero')); log(isEmpty('blank')); log(isEmpty('name')); log(isEmpty('<nil>'));"
                       "log(isEmpty('never'));"
                       "setVar('n', 42); log(getValue('n') + 1);"
                       "setValue('list', [1, 'a']);"
                       "unset('name'); unset(''); log(getvar('name'));"));
    EXPECT_EQ(m_delegate.calls(), (QStringList{"log: <nil>", "log: true", "log: false", "log: true", "log: false",
                                               "log: true", "log: true", "log: 43", "log: <nil>"}));
    EXPECT_EQ(m_processor->variables().value(QStringLiteral("unknown")), QVariant(QStringLiteral("<nil>")));
    EXPECT_EQ(m_processor->variables().value(QStringLiteral("list")), QVariant(QVariantList{1.0, QStringLiteral("a")}));
    EXPECT_FALSE(m_processor->variables().contains(QStringLiteral("never")));
}

TEST_F(MUDJavascriptProcessorTest, ParametersArriveAsText)
{
    const MUDScriptParameters parameters{{QStringLiteral("\\1"), QStringLiteral("it's \"x\"\nnext")},
                                         {QStringLiteral("\\2"), QStringLiteral("ab")}};
    run(QStringLiteral("log('\\1'); log('\\2'); command('say \\x')"), parameters);
    EXPECT_EQ(m_delegate.calls(), (QStringList{"log: it's \"x\"\nnext", "log: ab", "command: say"}));
}

TEST_F(MUDJavascriptProcessorTest, InjectedServerTextStaysText)
{
    const QString attack = QStringLiteral("\\'); command('quit'); //");
    run(QStringLiteral("log('\\1')"), MUDScriptParameters{{QStringLiteral("\\1"), attack}});
    EXPECT_EQ(m_delegate.calls(), QStringList{QStringLiteral("log: ") + attack});
    EXPECT_TRUE(m_delegate.errors().isEmpty());
}

TEST_F(MUDJavascriptProcessorTest, ExceptionIsLoggedAndReported)
{
    run(QStringLiteral("log('before'); foo();"), MUDScriptParameters{{QStringLiteral("\\1"), QStringLiteral("v")}});
    ASSERT_EQ(m_delegate.errors().size(), 1);
    const MUDJavascriptError error = m_delegate.errors().first();
    EXPECT_EQ(error.errorMessage, QStringLiteral("ReferenceError: Can't find variable: foo"));
    EXPECT_EQ(error.scriptName, QStringLiteral("Trigger: t"));
    EXPECT_EQ(
        error.rawScript,
        QStringLiteral("function QuarrowTempFunction() {\r\nlog('before'); foo();\r\n}\r\n\r\nQuarrowTempFunction();"));
    EXPECT_EQ(error.processedScript, error.rawScript);
    ASSERT_TRUE(error.parameters.has_value());
    EXPECT_TRUE(m_log.contains(
        QStringLiteral("MUDJavascriptProcessor:processActionAsJavascript (<MUDJavascriptActionSource: Trigger: t>) has "
                       "error: ReferenceError: Can't find variable: foo")));
}

TEST_F(MUDJavascriptProcessorTest, DebugSourceReportsBeforeRunning)
{
    auto debugSource = source();
    debugSource->setTargetObject(std::make_shared<DebugTarget>());
    ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, QStringLiteral("log('\\1')"), debugSource,
                                                MUDScriptParameters{{QStringLiteral("\\1"), QStringLiteral("abc")}},
                                                1));
    EXPECT_EQ(m_delegate.calls(), (QStringList{"error: Debug", "log: abc"}));
    EXPECT_TRUE(m_delegate.errors().first().processedScript.contains(QStringLiteral("log('abc')")));
}

TEST_F(MUDJavascriptProcessorTest, NullScriptLogsBreak)
{
    run(QString());
    EXPECT_TRUE(m_log.contains(QStringLiteral("Break")));
    EXPECT_TRUE(m_delegate.calls().isEmpty());
}

TEST_F(MUDJavascriptProcessorTest, StoppedScriptDoesNothingAndSaysSoOnce)
{
    m_processor->setStopIndex(10);
    run(QStringLiteral("command('a'); command('b'); setVar('x', 1); log('c')"), {}, 9);
    EXPECT_EQ(m_delegate.calls(), QStringList{QStringLiteral("log: Trigger: t is stopping.")});
    EXPECT_FALSE(m_processor->variables().contains(QStringLiteral("x")));
    auto other = std::make_shared<MUDJavascriptRecordingDelegate>();
    m_processor->setDelegate(other.get());
    run(QStringLiteral("command('c')"), {}, 10);
    EXPECT_EQ(other->calls(), QStringList{QStringLiteral("command: c")});
    m_processor->setDelegate(&m_delegate);
}

TEST_F(MUDJavascriptProcessorTest, NothingSurvivesBetweenRunsButVariables)
{
    run(QStringLiteral("global.leftover = 1; setVar('kept', 'yes');"));
    run(QStringLiteral("log(typeof leftover); log(getVar('kept'));"));
    EXPECT_EQ(m_delegate.calls(), (QStringList{"log: undefined", "log: yes"}));
}

TEST_F(MUDJavascriptProcessorTest, ScriptOnTheMainThreadRunsAtOnce)
{
    m_processor->processActionAsJavascript(QStringLiteral("command('now'); log(getVar('v'))"), source(), {}, 1);
    EXPECT_EQ(m_delegate.calls(), (QStringList{"command: now", "log: <nil>"}));
}

// Functions that take text see what String(value) gives, as a script's
// author expects from JavaScript; before, only strings and numbers got through.
TEST_F(MUDJavascriptProcessorTest, TextArgumentsTakeJavascriptsOwnTextForm)
{
    const Row rows[] = {
        {"log([1, 'two', [3]])", {"log: 1,two,3"}},
        {"console.log({a: 1})", {"log: [object Object]"}},
        {"log(null); log(undefined); log()", {"log: null", "log: undefined", "log: "}},
        {"log(true); log(1e21); log(0.5)", {"log: true", "log: 1e+21", "log: 0.5"}},
        {"log({toString: function() { return 'custom'; }})", {"log: custom"}},
        {"command(['north', 'east'])", {"command: north,east"}},
        {"notify(null); badge([]); status({})", {"notify: Trigger: t/null", "badge: ", "status: [object Object]"}},
        {"addComm([1, 2]); processForAutocomplete(undefined)", {"message: 1,2", "autocomplete: undefined"}},
        {"setAlias('k', ['say', 'hi'])", {"alias: k=say,hi"}},
    };
    expectDelegateCalls(rows);
}
