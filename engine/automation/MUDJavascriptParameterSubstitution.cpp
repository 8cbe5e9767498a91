#include "engine/automation/MUDJavascriptParameterSubstitution.h"

#include <QStringView>
#include <algorithm>
#include <vector>

namespace {

const QString kRestKey = QStringLiteral("\\x");

struct Replacement {
    QString key;
    QString quotedKey;
    QString bare;
    QString quoted;
    bool hasQuotedForm;
    bool dropsPrecedingSpace;
};

QString bareValue(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    value.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return value;
}

}

QString MUDJavascriptParameterSubstitution::quotedLiteralBody(const QString& value)
{
    QString body;
    body.reserve(value.size() + 8);
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        switch (c.unicode()) {
        case '\\': body += QLatin1String("\\\\"); break;
        case '\'': body += QLatin1String("\\'"); break;
        case '\n': body += QLatin1String("\\n"); break;
        case '\r':
            // A line break written as CR LF arrives as one line feed.
            if (i + 1 < value.size() && value.at(i + 1) == QLatin1Char('\n')) {
                body += QLatin1String("\\n");
                ++i;
            } else {
                body += QLatin1String("\\r");
            }
            break;
        case 0x2028: body += QLatin1String("\\u2028"); break;
        case 0x2029: body += QLatin1String("\\u2029"); break;
        default: body += c;
        }
    }
    return body;
}

QString MUDJavascriptParameterSubstitution::replaceParametersInString(
    const QString& text, const std::optional<MUDScriptParameters>& parameters)
{
    return replace(text, parameters, QuotedValues::Literal);
}

QString MUDJavascriptParameterSubstitution::replaceParametersInCode(
    const QString& text, const std::optional<MUDScriptParameters>& parameters)
{
    return replace(text, parameters, QuotedValues::Blank);
}

QString MUDJavascriptParameterSubstitution::replace(const QString& text,
                                                    const std::optional<MUDScriptParameters>& parameters,
                                                    QuotedValues quotedValues)
{
    if (!parameters)
        return text;
    // Keys are \0, \1, ... and \x: a text without a backslash (most trigger
    // scripts) holds none of them, and only a backslash or a quote can begin
    // one. Checked first, since a trigger may run thousands of times a second.
    const bool keysBeginWithBackslash =
        std::all_of(parameters->keyBegin(), parameters->keyEnd(),
                    [](const QString& key) { return key.isEmpty() || key.startsWith(QLatin1Char('\\')); });
    if (keysBeginWithBackslash && !text.contains(QLatin1Char('\\')))
        return text;
    MUDScriptParameters values = *parameters;
    if (!values.contains(kRestKey))
        values.insert(kRestKey, QString());

    // Longest key first, so \10 wins over its prefix \1.
    std::vector<Replacement> replacements;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (it.key().isEmpty())
            continue;
        const QString& value = it.value();
        replacements.push_back({it.key(), QLatin1Char('\'') + it.key() + QLatin1Char('\''), bareValue(value),
                                quotedValues == QuotedValues::Blank
                                    ? QStringLiteral("''")
                                    : QLatin1Char('\'') + quotedLiteralBody(value) + QLatin1Char('\''),
                                value.size() > 2, value.isEmpty() || value.startsWith(QLatin1Char(' '))});
    }
    std::stable_sort(replacements.begin(), replacements.end(),
                     [](const Replacement& a, const Replacement& b) { return a.key.size() > b.key.size(); });

    // One pass over the original text: inserted values are never searched
    // again, so server text inside a value can never turn into a key.
    QString result;
    result.reserve(text.size());
    const QStringView source(text);
    qsizetype i = 0;
    while (i < source.size()) {
        const QStringView rest = source.mid(i);
        if (keysBeginWithBackslash && rest.front() != QLatin1Char('\\') && rest.front() != QLatin1Char('\'')) {
            result += rest.front();
            ++i;
            continue;
        }
        const Replacement* found = nullptr;
        bool quotedForm = false;
        if (rest.front() == QLatin1Char('\'')) {
            for (const Replacement& r : replacements) {
                if (r.hasQuotedForm && rest.startsWith(r.quotedKey)) {
                    found = &r;
                    quotedForm = true;
                    break;
                }
            }
        }
        if (!found) {
            for (const Replacement& r : replacements) {
                if (rest.startsWith(r.key)) {
                    found = &r;
                    break;
                }
            }
        }
        if (!found) {
            result += rest.front();
            ++i;
            continue;
        }
        if (quotedForm) {
            result += found->quoted;
            i += found->quotedKey.size();
            continue;
        }
        if (found->dropsPrecedingSpace && result.endsWith(QLatin1Char(' ')))
            result.chop(1);
        result += found->bare;
        i += found->key.size();
    }
    return result;
}
