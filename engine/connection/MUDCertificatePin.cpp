#include "engine/connection/MUDCertificatePin.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "core/CVLogHelper.h"
#include "core/CVTLSCertificate.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

namespace {
const QString kSHA256 = QStringLiteral("sha256");
constexpr qsizetype kFingerprintBytes = 32;
// A real pin file is about a hundred bytes.
constexpr qint64 kMaximumFileBytes = 64 * 1024;
}

QString MUDCertificatePin::pathForConnection(const MUDConnection& connection)
{
    // No title, no folder: asking storage would only log that.
    if (connection.title().isEmpty())
        return {};
    const QString folder = MUDPreservation::urlForConnection(connection);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(fileName());
}

QByteArray MUDCertificatePin::pinnedFingerprint(const MUDConnection& connection)
{
    QFile file(pathForConnection(connection));
    if (file.fileName().isEmpty() || !file.exists())
        return {};
    if (file.size() > kMaximumFileBytes || !file.open(QIODevice::ReadOnly)) {
        CVLog(QStringLiteral("MUDCertificatePin - cannot read %1; no certificate is pinned").arg(file.fileName()));
        return {};
    }
    const QJsonObject stored = QJsonDocument::fromJson(file.readAll()).object();
    const QByteArray sha256 = QByteArray::fromHex(stored.value(kSHA256).toString().toLatin1());
    if (sha256.size() != kFingerprintBytes) {
        CVLog(QStringLiteral("MUDCertificatePin - %1 holds no SHA-256 fingerprint; no certificate is pinned")
                  .arg(file.fileName()));
        return {};
    }
    return sha256;
}

bool MUDCertificatePin::pinFingerprint(const MUDConnection& connection, const QByteArray& sha256, CVError* error)
{
    const QString path = pathForConnection(connection);
    if (path.isEmpty() || sha256.size() != kFingerprintBytes) {
        CVSetError(error, QStringLiteral("The certificate cannot be pinned: the connection has no folder."));
        return false;
    }
    const QJsonObject stored{{kSHA256, CVTLSCertificate::fingerprintText(sha256)}};
    return MUDPreservation::saveData(QJsonDocument(stored).toJson(QJsonDocument::Indented), path, error, true);
}
