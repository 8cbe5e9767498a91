#include "core/CVDirectoryHelper.h"

#include <QDir>
#include <QFile>
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

bool CVDirectoryHelper::copyItem(const QString& source, const QString& target, CVError* error)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists()) {
        CVSetError(error, QStringLiteral("The item `%1` does not exist.").arg(source));
        return false;
    }
    if (QFileInfo::exists(target)) {
        CVSetError(error, QStringLiteral("The item `%1` already exists.").arg(target));
        return false;
    }
    if (!sourceInfo.isDir()) {
        if (!QFile::copy(source, target)) {
            CVSetError(error, QStringLiteral("Could not copy `%1` to `%2`.").arg(source, target));
            return false;
        }
        QFile::setPermissions(target, QFile::permissions(target) | QFile::ReadOwner | QFile::WriteOwner);
        return true;
    }
    if (!QDir().mkpath(target)) {
        CVSetError(error, QStringLiteral("Could not create the folder `%1`.").arg(target));
        return false;
    }
    const QDir folder(source);
    const QStringList names = folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QString& name : names)
        if (!copyItem(folder.filePath(name), QDir(target).filePath(name), error))
            return false;
    return true;
}
