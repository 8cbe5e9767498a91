#pragma once

#include <QMap>
#include <QString>
#include <optional>

// Script parameters: literal texts in a script (\0, \1, ..., \x) and the text
// each is replaced by.
using MUDScriptParameters = QMap<QString, QString>;

// Substitutes match parameters into a script's text. A key written between
// single quotes ('\1') becomes one safe string literal holding the value
// exactly; a bare key becomes the value with line feeds written as \n. Pure;
// any thread.
class MUDJavascriptParameterSubstitution {
public:
    static QString replaceParametersInString(const QString& text, const std::optional<MUDScriptParameters>& parameters);
    // The same substitution with every quoted value written as the empty
    // literal '': the script's code without the server text it quotes.
    static QString replaceParametersInCode(const QString& text, const std::optional<MUDScriptParameters>& parameters);

    // The value as the body of a single-quoted JavaScript string literal.
    static QString quotedLiteralBody(const QString& value);

private:
    enum class QuotedValues { Literal, Blank };
    static QString replace(const QString& text, const std::optional<MUDScriptParameters>& parameters,
                           QuotedValues quotedValues);
};
