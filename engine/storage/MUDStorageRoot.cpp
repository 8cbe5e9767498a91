#include "engine/storage/MUDStorageRoot.h"

#include <QDir>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QVariantMap>

#include "core/CVLogHelper.h"

MUDStorageRoot& MUDStorageRoot::sharedInstance()
{
    static MUDStorageRoot instance;
    return instance;
}

QString MUDStorageRoot::locate()
{
    const QByteArray environmentValue = qgetenv("QUARROW_DATA_DIR");
    QString root = environmentValue.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                              : QString::fromLocal8Bit(environmentValue);
    if (root.isEmpty())
        root = QDir::home().filePath(QStringLiteral(".local/share/Quarrow"));
    return QDir::cleanPath(QDir(root).absolutePath());
}

QString MUDStorageRoot::path()
{
    QMutexLocker lock(&m_mutex);
    const QByteArray environmentValue = qgetenv("QUARROW_DATA_DIR");
    if (m_computed && environmentValue == m_environmentValue)
        return m_path;

    if (!m_eventLogged) {
        CVLogHelper::sharedInstance().logEvent(QStringLiteral("MUDPreservation-Location"),
                                               {{QStringLiteral("isCloud"), QStringLiteral("NO")}});
        m_eventLogged = true;
    }
    const QString root = locate();
    if (!QFileInfo::exists(root)) {
        CVLog(QStringLiteral("Create directory"));
        QDir().mkpath(root);
    }
    CVLog(QStringLiteral("rootDirectoryForPreservation (local) is: %1").arg(root));
    m_environmentValue = environmentValue;
    m_path = root;
    m_computed = true;
    return m_path;
}
