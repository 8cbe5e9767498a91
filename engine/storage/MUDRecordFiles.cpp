#include "engine/storage/MUDRecordFiles.h"

#include <QFile>
#include <QFileInfo>

#include "core/CVDirectoryHelper.h"
#include "core/CVLogHelper.h"

namespace MUDRecordFiles {

QStringList filesWithExtension(const QString& folder, const QString& extension)
{
    QStringList result;
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.suffix().compare(extension, Qt::CaseInsensitive) == 0)
            result.append(entry.filePath());
    }
    return result;
}

QStringList subfolders(const QString& folder, int depth)
{
    if (depth >= kMaxFolderDepth) {
        CVLog(QStringLiteral("MUDPreservation - not reading folders below %1: deeper than %2 levels")
                  .arg(folder)
                  .arg(kMaxFolderDepth));
        return {};
    }
    return CVDirectoryHelper::listFullDirectoriesInURL(folder);
}

QString titleOfFile(const QString& path)
{
    return QFileInfo(path).completeBaseName();
}

QString fileFor(const QString& parentURL, const QString& title, const QString& extension)
{
    return QDir(parentURL).filePath(escapeForFileName(title) + QLatin1Char('.') + extension);
}

void logNoFolder(const QString& title)
{
    CVLog(QStringLiteral("MUDPreservation - not saving %1: it has no folder").arg(title));
}

void removeFile(const QString& path)
{
    QFile file(path);
    if (file.exists() && !file.remove())
        CVLog(QStringLiteral("MUDPreservation - could not remove %1: %2").arg(path, file.errorString()));
}

}
