#include "engine/automation/MUDJavascriptParameterSubstitution.h"

#include <QStringView>
#include <algorithm>
#include <vector>

namespace {

const QString kRestKey = QStringLiteral("\\x");

// A key and its value, both kept by the caller's parameters.
struct Replacement {
    const QString* key;
    const QString* value;
    // A value of one or two characters is substituted bare even between
    // quotes.
    bool hasQuotedForm() const { return value->size() > 2; }
    bool dropsPrecedingSpace() const { return value->isEmpty() || value->startsWith(QLatin1Char(' ')); }
};

QString bareValue(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    value.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return value;
}

// Whether `text` holds `key` between single quotes at its start.
bool startsWithQuotedKey(QStringView text, const QString& key)
{
    return text.size() >= key.size() + 2 && text.front() == QLatin1Char('\'') && text.sliced(1).startsWith(key) &&
           text.at(key.size() + 1) == QLatin1Char('\'');
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
    // Longest key first, so \10 wins over its prefix \1. Values are put in
    // their written forms only where their key occurs.
    static const QString noValue;
    std::vector<Replacement> replacements;
    for (auto it = parameters->cbegin(); it != parameters->cend(); ++it) {
        if (!it.key().isEmpty())
            replacements.push_back({&it.key(), &it.value()});
    }
    if (!parameters->contains(kRestKey))
        replacements.push_back({&kRestKey, &noValue});
    std::stable_sort(replacements.begin(), replacements.end(),
                     [](const Replacement& a, const Replacement& b) { return a.key->size() > b.key->size(); });

    // One pass over the original text: inserted values are never searched
    // again, so server text inside a value can never turn into a key.
    QString result;
    result.reserve(text.size());
    const QStringView source(text);
    qsizetype i = 0;
    while (i < source.size()) {
        const QStringView rest = source.sliced(i);
        if (keysBeginWithBackslash && rest.front() != QLatin1Char('\\') && rest.front() != QLatin1Char('\'')) {
            // Up to the next character that may begin a key, in one piece.
            qsizetype run = 1;
            while (run < rest.size() && rest.at(run) != QLatin1Char('\\') && rest.at(run) != QLatin1Char('\''))
                ++run;
            result += rest.first(run);
            i += run;
            continue;
        }
        const auto quoted = std::find_if(replacements.cbegin(), replacements.cend(), [&](const Replacement& r) {
            return r.hasQuotedForm() && startsWithQuotedKey(rest, *r.key);
        });
        if (quoted != replacements.cend()) {
            if (quotedValues == QuotedValues::Blank)
                result += QLatin1String("''");
            else
                result += QLatin1Char('\'') + quotedLiteralBody(*quoted->value) + QLatin1Char('\'');
            i += quoted->key->size() + 2;
            continue;
        }
        const auto bare = std::find_if(replacements.cbegin(), replacements.cend(),
                                       [&](const Replacement& r) { return rest.startsWith(*r.key); });
        if (bare == replacements.cend()) {
            result += rest.front();
            ++i;
            continue;
        }
        if (bare->dropsPrecedingSpace() && result.endsWith(QLatin1Char(' ')))
            result.chop(1);
        result += bareValue(*bare->value);
        i += bare->key->size();
    }
    return result;
}
