#include "MUDViewerTerminalRenderer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QList>

#include "engine/decoding/MUDColorDetails.h"

namespace {

const QByteArray kReset = QByteArrayLiteral("\x1b[0m");

// The session's style flags and the SGR codes that draw them.
struct FlagCode {
    qint64 flag;
    int code;
};
constexpr FlagCode kFlagCodes[] = {
    {MUDColorDetails::Bold, 1},          {MUDColorDetails::Italic, 3},  {MUDColorDetails::Underline, 4},
    {MUDColorDetails::Blink, 5},         {MUDColorDetails::Reverse, 7}, {MUDColorDetails::Hidden, 8},
    {MUDColorDetails::StrikeThrough, 9},
};

QByteArray renderEntries(const QJsonArray& entries)
{
    QByteArray out;
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        const QByteArray text =
            MUDViewerTerminalRenderer::printable(entry.value(QStringLiteral("text")).toString()).toUtf8();
        if (text.isEmpty())
            continue;
        out += MUDViewerTerminalRenderer::styleSequence(entry) + text + kReset;
    }
    return out;
}

QByteArray renderMessages(const QJsonArray& entries)
{
    QByteArray out;
    for (const QJsonValue& value : entries) {
        const QString message = MUDViewerTerminalRenderer::printable(value.toString());
        out += QByteArrayLiteral("\r\n\x1b[0;35m[message] ") + message.toUtf8() + kReset + QByteArrayLiteral("\r\n");
    }
    return out;
}

}

QByteArray MUDViewerTerminalRenderer::render(const QString& document, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument parsed = QJsonDocument::fromJson(document.toUtf8(), &parseError);
    const QJsonObject object = parsed.object();
    const QString action = object.value(QStringLiteral("action")).toString();
    if (!parsed.isObject() || action.isEmpty()) {
        if (error)
            *error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                  : QStringLiteral("no action in the document");
        return {};
    }
    const QJsonArray entries = object.value(QStringLiteral("entries")).toArray();
    if (action == u"messages")
        return renderMessages(entries);
    // "initialBuffer", "appendText" and "replaceTextInRange" all add output
    // at the end for a viewer that scrolls.
    return renderEntries(entries);
}

QByteArray MUDViewerTerminalRenderer::styleSequence(const QJsonObject& entry)
{
    QList<int> codes{0};
    const qint64 flags = entry.value(QStringLiteral("flags")).toInteger();
    for (const FlagCode& flagCode : kFlagCodes) {
        if (flags & flagCode.flag)
            codes.append(flagCode.code);
    }
    const qint64 foreground = entry.value(QStringLiteral("fg")).toInteger();
    if (foreground >= 30 && foreground <= 37)
        codes.append(int(foreground));
    const qint64 background = entry.value(QStringLiteral("bg")).toInteger();
    if (background >= 40 && background <= 47)
        codes.append(int(background));
    QByteArray sequence = QByteArrayLiteral("\x1b[");
    for (qsizetype i = 0; i < codes.size(); ++i) {
        if (i > 0)
            sequence += ';';
        sequence += QByteArray::number(codes[i]);
    }
    return sequence + 'm';
}

QString MUDViewerTerminalRenderer::printable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        const bool control = unit < 0x20 || (unit >= 0x7f && unit < 0xa0);
        if (!control || unit == u'\n' || unit == u'\r' || unit == u'\t')
            out.append(c);
    }
    return out;
}
