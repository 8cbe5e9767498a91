#include "engine/automation/MUDGMCPMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>

#include "core/CVLogHelper.h"

namespace {

const QByteArray kDoubledIAC("\xff\xff", 2);
const QByteArray kIAC("\xff", 1);

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isTooBig(qsizetype size, qsizetype limit)
{
    if (size <= limit)
        return false;
    CVLog(QStringLiteral("GMCP message of %1 bytes dropped: larger than %2 bytes")
              .arg(size)
              .arg(MUDGMCPMessage::MaximumPayloadBytes));
    return true;
}

// Qt's parser takes only an object or an array at the top; any other value
// is read as the single element of an array around it.
std::optional<QJsonValue> parseValue(const QByteArray& json, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson('[' + json + ']', &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = parseError.errorString();
        return std::nullopt;
    }
    if (!document.isArray() || document.array().size() != 1) {
        *error = QStringLiteral("not one value");
        return std::nullopt;
    }
    return document.array().first();
}

}

std::optional<MUDGMCPMessage> MUDGMCPMessage::parse(QByteArrayView payload)
{
    // Undoing doubled IACs at most halves the size, so a payload beyond
    // twice the cap is dropped before it is copied.
    if (isTooBig(payload.size(), 2 * MaximumPayloadBytes))
        return std::nullopt;
    QByteArray bytes = payload.toByteArray();
    if (bytes.contains(kDoubledIAC))
        bytes.replace(kDoubledIAC, kIAC);
    if (isTooBig(bytes.size(), MaximumPayloadBytes))
        return std::nullopt;
    const qsizetype nameEnd = std::find_if(bytes.cbegin(), bytes.cend(), isSpace) - bytes.cbegin();
    const QString package = QString::fromLatin1(QByteArrayView(bytes).first(nameEnd));
    if (!isPackageName(package)) {
        CVLog(QStringLiteral("GMCP message without a valid package name dropped (%1 bytes)").arg(bytes.size()));
        return std::nullopt;
    }
    MUDGMCPMessage message;
    message.package = package;
    const QByteArray json = bytes.mid(nameEnd).trimmed();
    if (json.isEmpty())
        return message;
    QString error;
    const std::optional<QJsonValue> value = parseValue(json, &error);
    if (!value) {
        CVLog(QStringLiteral("GMCP %1: bad JSON dropped (%2)").arg(message.package, error));
        return std::nullopt;
    }
    message.json = QString::fromUtf8(json);
    message.value = *value;
    return message;
}

bool MUDGMCPMessage::isPackageName(QStringView name)
{
    return !name.isEmpty() &&
           std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}

QByteArray MUDGMCPMessage::jsonText(const QJsonValue& value)
{
    if (value.isUndefined())
        return {};
    if (value.isObject())
        return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
    // Any other value: written as an array's single element, brackets cut off.
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

QByteArray MUDGMCPMessage::payload(const QString& package, const QJsonValue& value)
{
    QByteArray bytes = package.toLatin1();
    if (!value.isUndefined())
        bytes += ' ' + jsonText(value);
    return bytes;
}

QByteArray MUDGMCPMessage::helloPayload(const QString& version)
{
    return payload(QStringLiteral("Core.Hello"), QJsonObject{{QStringLiteral("client"), QLatin1String(ClientName)},
                                                             {QStringLiteral("version"), version}});
}

QByteArray MUDGMCPMessage::supportsSetPayload(const QStringList& packages)
{
    return payload(QStringLiteral("Core.Supports.Set"), QJsonArray::fromStringList(packages));
}
