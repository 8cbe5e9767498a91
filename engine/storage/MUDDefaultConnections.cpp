#include "engine/storage/MUDDefaultConnections.h"

#include <QDir>

#include "core/CVDirectoryHelper.h"
#include "core/CVLogHelper.h"
#include "engine/storage/MUDPreservation.h"

namespace {

// The log lines keep the name of the connections window, which seeded
// storage before, so that logs read as they always have.
QString copyLogPrefix()
{
    return QStringLiteral("MUDConnectionsWindowController:copyDefaultConnections");
}

} // namespace

int MUDDefaultConnections::copyDefaultConnections(const QString& sourceFolder)
{
    if (!MUDPreservation::loadConnections().isEmpty()) {
        CVLog(copyLogPrefix() + QStringLiteral(" - we already have connections. Not going to restore the defaults."));
        return 0;
    }
    CVLog(copyLogPrefix() + QStringLiteral(" - we have no connections. Going to try and copy over our defaults."));
    const QDir source(sourceFolder);
    const QDir target(MUDPreservation::rootDirectoryForConnections());
    int copied = 0;
    for (const QString& name : source.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!name.endsWith(QLatin1String(".mud")))
            continue;
        const QString targetPath = target.filePath(name);
        CVError error;
        if (CVDirectoryHelper::copyItem(source.filePath(name), targetPath, &error)) {
            CVLog(copyLogPrefix() +
                  QStringLiteral(" - [success] copied default connection `%1` to `%2`.").arg(name, targetPath));
            ++copied;
        } else {
            CVLog(copyLogPrefix() + QStringLiteral(" - Failed to copy default connection `%1` to `%2` with error: %3")
                                        .arg(name, targetPath, error.description));
        }
    }
    return copied;
}
