// Property: a value substituted into a quoted parameter always yields a
// script that parses, and the string literal holds exactly the value (with a
// CR LF line break read as one line feed).
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "engine/automation/MUDJavascriptParameterSubstitution.h"
#include "engine/automation/javascript/MUDJavascriptContext.h"
#include "engine/automation/javascript/MUDJavascriptContextGroup.h"

namespace {

MUDJavascriptContextGroup& group()
{
    static MUDJavascriptContextGroup instance(QStringList{});
    return instance;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Raw UTF-16 code units, so lone surrogates and separators are reached too.
    const QString value(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2));
    const QString key = QStringLiteral("\\1");
    const QString script = MUDJavascriptParameterSubstitution::replaceParametersInString(
        QStringLiteral("var v = '\\1'; v;"), MUDScriptParameters{{key, value}});

    // Values of one or two characters are substituted bare, by design.
    if (value.size() <= 2)
        return 0;
    // A fresh context per input in one group: a group is a whole virtual
    // machine, far too costly to build per input.
    MUDJavascriptContext context(group());
    QString error;
    if (!context.checkSyntax(script, &error))
        abort();
    QVariant result;
    if (!context.evaluate(script, &result, &error))
        abort();
    QString expected = value;
    expected.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (result.toString() != expected)
        abort();
    return 0;
}
