#include "app/session/MUDWindowState.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "core/CVJSONHelpers.h"
#include "core/CVLogHelper.h"
#include "engine/storage/MUDPreservation.h"

QString MUDWindowState::rectToString(const QRectF& rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

std::optional<QRectF> MUDWindowState::rectFromString(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*\{\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*,\s*\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}\s*\}\s*$)"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok[4];
    const QRectF rect(match.captured(1).toDouble(&ok[0]), match.captured(2).toDouble(&ok[1]),
                      match.captured(3).toDouble(&ok[2]), match.captured(4).toDouble(&ok[3]));
    if (!ok[0] || !ok[1] || !ok[2] || !ok[3])
        return std::nullopt;
    return rect;
}

bool MUDWindowState::write(const QString& path, const Frames& frames)
{
    QJsonObject dictionary;
    for (auto it = frames.begin(); it != frames.end(); ++it)
        dictionary.insert(it.key(), rectToString(it.value()));
    CVError error;
    if (!MUDPreservation::saveData(jsonString(dictionary).toUtf8(), path, &error)) {
        CVLog(QStringLiteral("MUDWindowState:write - %1").arg(error.description));
        return false;
    }
    return true;
}

MUDWindowState::Frames MUDWindowState::read(const QString& path)
{
    Frames frames;
    const std::optional<QJsonObject> dictionary = dictionaryFromJSONURL(path);
    if (!dictionary)
        return frames;
    for (auto it = dictionary->begin(); it != dictionary->end(); ++it) {
        if (const std::optional<QRectF> rect = rectFromString(it.value().toString()))
            frames.insert(it.key(), *rect);
    }
    return frames;
}

QString MUDWindowState::pathForConnection(const MUDConnection& connection)
{
    const QString folder = MUDPreservation::urlForConnection(connection);
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/state.json");
}

void MUDWindowState::saveForConnection(const MUDConnection& connection, Frames frames)
{
    const QString path = pathForConnection(connection);
    if (path.isEmpty())
        return;
    if (!frames.contains(QStringLiteral("windowFrame")))
        frames.insert(QStringLiteral("windowFrame"), QRectF());
    QDir().mkpath(QFileInfo(path).path());
    write(path, frames);
}

std::optional<MUDWindowState::Frames> MUDWindowState::readForConnection(const MUDConnection& connection)
{
    const QString path = pathForConnection(connection);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return std::nullopt;
    return read(path);
}
