// What one script does to its JavaScript world is gone for the next: each
// row's second script must see exactly what it sees in a new context, however
// the first one tried to leave a trace. Scripts run off the main thread.
#include <gtest/gtest.h>

#include "MUDJavascriptRecordingDelegate.h"
#include "TestSupport.h"

namespace {

struct Row {
    const char* name;
    const char* first;
    const char* second;
    QStringList expected;
};

class MUDJavascriptContextIsolationTest : public ::testing::Test {
protected:
    void SetUp() override { m_processor = std::make_shared<MUDJavascriptProcessor>(&m_first); }

    std::shared_ptr<MUDJavascriptActionSource> source()
    {
        auto result = std::make_shared<MUDJavascriptActionSource>();
        result->setActionName(QStringLiteral("Trigger: t"));
        return result;
    }

    // The second script's delegate calls, after the first script ran (and,
    // with `whileFirstRuns`, was ended from outside).
    QStringList secondSees(const QString& first, const QString& second,
                           const std::function<void()>& whileFirstRuns = {})
    {
        m_processor->setDelegate(&m_first);
        EXPECT_TRUE(
            MUDJavascriptBackgroundRun::run(m_processor, first, source(), std::nullopt, 1, 10000, whileFirstRuns));
        MUDJavascriptRecordingDelegate second_;
        m_processor->setDelegate(&second_);
        EXPECT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, second, source(), std::nullopt, 2));
        m_processor->setDelegate(&m_first);
        return second_.calls();
    }

    MUDJavascriptRecordingDelegate m_first;
    std::shared_ptr<MUDJavascriptProcessor> m_processor;
    LogRecorder m_log;
};

}

TEST_F(MUDJavascriptContextIsolationTest, NextScriptSeesAFreshWorld)
{
    const Row rows[] = {
        {"global assigned without var", "leaked = 'first run'", "log(typeof leaked)", {"log: undefined"}},
        {"global assigned, then an exception half way",
         "spill = 'before'; throw 'half way'; after = 1",
         "log(typeof spill + ' ' + typeof after)",
         {"log: undefined undefined"}},
        {"script functions replaced by assignment",
         "command = function () {}; getVar = 5",
         "command('look'); log(typeof getVar)",
         {"command: look", "log: function"}},
        {"built-in global replaced",
         "Math = { max: function () { return 'fake'; } }; parseInt = null",
         "log(Math.max(1, 2) + ' ' + parseInt('7'))",
         {"log: 2 7"}},
        {"function declared at the top level",
         "} function helper() { return 'kept'; } {",
         "log(typeof helper)",
         {"log: undefined"}},
        {"variable declared at the top level",
         "} var spilt = 1; let held = 2; {",
         "log(typeof spilt + ' ' + typeof held)",
         {"log: undefined undefined"}},
        {"Array.prototype changed",
         "Array.prototype.push = function () { return -1; }; Array.prototype.planted = 'x';",
         "var a = []; a.push(1); log(a.length + ' ' + typeof a.planted)",
         {"log: 1 undefined"}},
        {"Object.prototype changed",
         "Object.prototype.toString = function () { return 'replaced'; }; Object.prototype.planted = 1;",
         "var o = {}; log(String(o) + ' ' + ('planted' in o))",
         {"log: [object Object] false"}},
        {"getter planted on the global object",
         "Object.defineProperty(global, 'trap', { get: function () { command('trap fired'); return 1; } })",
         "log(typeof trap)",
         {"log: undefined"}},
        {"setter planted where the next script assigns",
         "Object.defineProperty(global, 'total', { set: function (v) { command('stolen ' + v); },"
         " get: function () { return 'trapped'; }, configurable: true })",
         "total = 5; log(total)",
         {"log: 5"}},
        {"global object made non-extensible", "Object.preventExtensions(global)", "fresh = 1; log(fresh)", {"log: 1"}},
        {"console.log redirected",
         "console.log = function () { command('hijacked'); }",
         "console.log('plain')",
         {"log: plain"}},
        {"string prototype changed through a literal",
         "''.constructor.prototype.trim = function () { return 'x'; }",
         "log('[' + ' a '.trim() + ']')",
         {"log: [a]"}},
        {"match state left behind", "/(secret)/.exec('the secret')", "log('[' + RegExp.$1 + ']')", {"log: []"}},
        {"variables are the way to keep state", "setVar('kept', 'yes')", "log(getVar('kept'))", {"log: yes"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        m_processor = std::make_shared<MUDJavascriptProcessor>(&m_first);
        EXPECT_EQ(secondSees(QString::fromUtf8(row.first), QString::fromUtf8(row.second)), row.expected);
    }
}

TEST_F(MUDJavascriptContextIsolationTest, RepeatedRunsStartFromScratch)
{
    const QString counter = QStringLiteral("count = typeof count === 'undefined' ? 1 : count + 1; log(count)");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, counter, source(), std::nullopt, 1));
    EXPECT_EQ(m_first.calls(), (QStringList{"log: 1", "log: 1", "log: 1"}));
}

TEST_F(MUDJavascriptContextIsolationTest, ScriptStoppedHalfWayLeavesNothing)
{
    const QStringList seen = secondSees(QStringLiteral("spill = 1; log('started'); while (true) {}"),
                                        QStringLiteral("log(typeof spill)"), [&] {
                                            ASSERT_TRUE(waitUntil([&] { return !m_first.calls().isEmpty(); }));
                                            m_processor->setStopIndex(2);
                                        });
    EXPECT_EQ(m_first.calls(), (QStringList{"log: started", "error: Script terminated: scripts were stopped."}));
    EXPECT_EQ(seen, QStringList{QStringLiteral("log: undefined")});
}

TEST_F(MUDJavascriptContextIsolationTest, ScriptEndedByTheTimeLimitLeavesNothing)
{
    m_processor->setExecutionTimeLimit(0.3);
    const QStringList seen = secondSees(QStringLiteral("spill = 1; Array.prototype.planted = 1; while (true) {}"),
                                        QStringLiteral("log(typeof spill + ' ' + typeof [].planted)"));
    EXPECT_EQ(m_first.calls(),
              QStringList{QStringLiteral("error: Script terminated: its JavaScript ran for more than 0.3 seconds.")});
    EXPECT_EQ(seen, QStringList{QStringLiteral("log: undefined undefined")});
}

// Reports carry the script text the substitution made, quotes escaped.
TEST_F(MUDJavascriptContextIsolationTest, ErrorReportsTheSubstitutedScript)
{
    const MUDScriptParameters parameters{{QStringLiteral("\\1"), QStringLiteral("it's an orc")}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(MUDJavascriptBackgroundRun::run(m_processor, QStringLiteral("log('\\1'); missing()"), source(),
                                                    parameters, 1));
    }
    ASSERT_EQ(m_first.errors().size(), 2);
    for (const MUDJavascriptError& error : m_first.errors()) {
        EXPECT_EQ(error.processedScript, QStringLiteral("function QuarrowTempFunction() {\r\nlog('it\\'s an orc'); "
                                                        "missing()\r\n}\r\n\r\nQuarrowTempFunction();"));
        EXPECT_EQ(error.errorMessage, QStringLiteral("ReferenceError: Can't find variable: missing"));
    }
    EXPECT_EQ(m_first.calls().first(), QStringLiteral("log: it's an orc"));
}
