#include "core/CVJSONHelpers.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

QString jsonString(const QJsonObject& dictionary)
{
    return QString::fromUtf8(QJsonDocument(dictionary).toJson(QJsonDocument::Compact));
}

QString jsonString(const QVariantMap& dictionary)
{
    return jsonString(QJsonObject::fromVariantMap(dictionary));
}

std::optional<QJsonObject> dictionaryFromJSONData(const QByteArray& data, CVError* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        CVSetError(
            error,
            QStringLiteral("Invalid JSON at offset %1: %2").arg(parseError.offset).arg(parseError.errorString()));
        return std::nullopt;
    }
    if (!document.isObject()) {
        CVSetError(error, QStringLiteral("The JSON text is not an object."));
        return std::nullopt;
    }
    return document.object();
}

std::optional<QJsonObject> dictionaryFromJSONURL(const QString& path, CVError* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        CVSetError(error, QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        CVSetError(error, QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    return dictionaryFromJSONData(data, error);
}
