#include "engine/automation/MUDJavascriptReuseCheck.h"

#include <gtest/gtest.h>

#include "MUDJavascriptRecordingDelegate.h"

namespace {

// A script's code and the global names it may assign; refused means the
// script must run in a context of its own.
struct Row {
    const char* code;
    bool refused;
    QStringList names;
};

}

TEST(MUDJavascriptReuseCheckTest, EveryWayToLeaveATraceIsRefused)
{
    const Row rows[] = {
        {"x.y = 1", true, {}},
        {"x.\n y = 1", true, {}},
        {"x . y += 1", true, {}},
        {"Math['x'] = 1", true, {}},
        {"Math[0] = 1", true, {}},
        {"(Math.x) = 1", true, {}},
        {"[a.b] = [1]", true, {}},
        {"({a: Math.x} = {a: 1})", true, {}},
        {"for (Math.x in {a: 1}) {}", true, {}},
        {"for (a[0] of [1]) {}", true, {}},
        {"++Math.x", true, {}},
        {"++ Math\n.x", true, {}},
        {"Math.x++", true, {}},
        {"a[0]--", true, {}},
        {"--(Math.x)", true, {}},
        {"x./* hidden */y = 1", true, {}},
        {"x.// hidden\ny = 1", true, {}},
        {"x.\n--> hidden\ny = 1", true, {}},
        {"Obj\\u0065ct.defineProperty", true, {}},
        {"x.\u00a0y = 1", true, {}},
        {"var k = 'constr' + 'uctor'; var C = ''[k]", true, {}},
        {"var {['__pro' + 'to__']: p} = []", true, {}},
        {"x?.['y']", true, {}},
        {"delete x", true, {}},
        {"with (Math) { max = 1 }", true, {}},
        {"[].push.call(Math, 1)", true, {}},
        {"Error.captureStackTrace(Math)", true, {}},
        {"(function () { return this; })()", true, {}},
        {"log(RegExp.$1)", true, {}},
        {"log(typeof QuarrowTempFunction)", true, {}},
        {"x = 1; y += 2; z ?\?= 3; w >>>= 1", false, {"w", "x", "y", "z"}},
        {"for (var i = 0; i < 3; i++) command(i)", false, {"i"}},
        {"for (k in {a: 1}) log(k)", false, {"k"}},
        {"++count", false, {"count"}},
        {"if (a <= b && c >= d && e === f && g !== h) log(a)", false, {}},
        {"var p = '\\1'.split(' '); command('get ' + p[0] + p[ 12 ])", false, {"p"}},
        {"var f = x => [x]; log(f(1).length)", false, {"f"}},
        {"setVar('kills', getVar('kills') + 1)", false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        const std::optional<QStringList> names =
            MUDJavascriptReuseCheck::assignedGlobalNames(QString::fromUtf8(row.code));
        EXPECT_EQ(!names.has_value(), row.refused);
        if (names) {
            EXPECT_EQ(*names, row.names);
        }
    }
}
