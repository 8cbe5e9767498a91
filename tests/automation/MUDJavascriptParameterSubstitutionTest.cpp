#include "engine/automation/MUDJavascriptParameterSubstitution.h"

#include <gtest/gtest.h>

#include "engine/automation/javascript/MUDJavascriptContext.h"
#include "engine/automation/javascript/MUDJavascriptContextGroup.h"

namespace {

struct SubstitutionRow {
    const char* name;
    QString text;
    std::optional<MUDScriptParameters> parameters;
    QString expected;
};

QString bs(const char* text)
{
    return QString::fromUtf8(text);
}

std::vector<SubstitutionRow> substitutionRows()
{
    return {
        {"no parameters keep \\x", bs("say \\x"), std::nullopt, bs("say \\x")},
        {"missing \\x becomes empty", bs("say \\x!"), MUDScriptParameters{{bs("\\1"), bs("a")}}, bs("say!")},
        {"quoted long value is a literal", bs("log('\\1')"), MUDScriptParameters{{bs("\\1"), bs("it's")}},
         bs("log('it\\'s')")},
        {"quoted short value stays bare", bs("log('\\1')"), MUDScriptParameters{{bs("\\1"), bs("a'")}},
         bs("log('a'')")},
        {"line feeds become backslash n", bs("log('\\1')"), MUDScriptParameters{{bs("\\1"), bs("a\r\nb\nc")}},
         bs("log('a\\nb\\nc')")},
        {"bare line feeds become backslash n", bs("x = \\1"), MUDScriptParameters{{bs("\\1"), bs("a\nb")}},
         bs("x = a\\nb")},
        {"empty value takes the space before it", bs("say \\1"), MUDScriptParameters{{bs("\\1"), QString()}},
         bs("say")},
        {"value starting with space takes the space", bs("say \\1"), MUDScriptParameters{{bs("\\1"), bs(" hi")}},
         bs("say hi")},
        {"value may contain its own key", bs("\\1 \\1"), MUDScriptParameters{{bs("\\1"), bs("\\1")}}, bs("\\1 \\1")},
        {"longer key wins over its prefix", bs("\\10/\\1"),
         MUDScriptParameters{{bs("\\1"), bs("one")}, {bs("\\10"), bs("ten")}}, bs("ten/one")},
        {"inserted text is not searched for other keys", bs("log('\\1')"),
         MUDScriptParameters{{bs("\\1"), bs("abc\\2")}, {bs("\\2"), bs("'); command('x'); ('")}},
         bs("log('abc\\\\2')")},
        {"backslash and separators escaped in quotes", bs("log('\\1')"),
         MUDScriptParameters{{bs("\\1"), bs("a\\b") + QChar(0x2028) + QChar(0x2029) + QChar('\r')}},
         bs("log('a\\\\b\\u2028\\u2029\\r')")},
    };
}

}

TEST(MUDJavascriptParameterSubstitution, Table)
{
    for (const SubstitutionRow& row : substitutionRows()) {
        EXPECT_EQ(MUDJavascriptParameterSubstitution::replaceParametersInString(row.text, row.parameters), row.expected)
            << row.name;
    }
}

TEST(MUDJavascriptParameterSubstitution, QuotedAttackTextStaysOneLiteral)
{
    // Server text ending in a backslash used to close the literal early.
    const QString attack = bs("\\'); command('quit'); //");
    const QString script = MUDJavascriptParameterSubstitution::replaceParametersInString(
        bs("var v = '\\1';"), MUDScriptParameters{{bs("\\1"), attack}});
    MUDJavascriptContextGroup group(QStringList{});
    const MUDJavascriptContext context(group);
    QString error;
    ASSERT_TRUE(context.checkSyntax(script, &error)) << error.toStdString();
    EXPECT_EQ(script, bs("var v = '\\\\\\'); command(\\'quit\\'); //';"));
}
