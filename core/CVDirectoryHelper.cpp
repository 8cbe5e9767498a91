#include "core/CVDirectoryHelper.h"

#include <QDir>
#include <QFileInfo>

QStringList CVDirectoryHelper::listFullDirectoriesInURL(const QString& folder, CVError* error)
{
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable()) {
        CVSetError(error, QStringLiteral("The folder %1 could not be read.").arg(folder));
        return {};
    }
    QStringList result;
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    result.reserve(names.size());
    for (const QString& name : names)
        result.append(dir.filePath(name));
    return result;
}
