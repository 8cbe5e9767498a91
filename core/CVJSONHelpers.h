#pragma once

#include <QJsonObject>
#include <QString>
#include <QVariantMap>
#include <optional>

#include "core/CVError.h"

// JSON helpers of the core library. Free functions; any thread.

// Compact JSON text of a dictionary.
QString jsonString(const QJsonObject& dictionary);
QString jsonString(const QVariantMap& dictionary);

// The JSON object stored in the file at `path`. A missing or unreadable
// file, malformed JSON or a top level that is not an object gives nothing
// and an error; the file is never changed.
std::optional<QJsonObject> dictionaryFromJSONURL(const QString& path, CVError* error = nullptr);

// The same for bytes already read.
std::optional<QJsonObject> dictionaryFromJSONData(const QByteArray& data, CVError* error = nullptr);
