#include "app/session/MUDSessionSecurity.h"

#include "app/session/MUDDocument.h"
#include "core/CVError.h"
#include "core/CVLogHelper.h"
#include "engine/connection/MUDCertificatePin.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDSocket.h"

MUDSessionSecurity::MUDSessionSecurity(MUDDocument& document)
    : m_document(document)
{
}

void MUDSessionSecurity::connected(const MUDSocket& socket)
{
    const QString text = socket.security().statusText();
    if (!text.isEmpty())
        m_document.appendText(
            MUDDocument::coloredString(text + QStringLiteral("\r\n"), MUDDocument::triggerDebugColor()), true);
    setStatusText(text);
}

void MUDSessionSecurity::disconnected()
{
    setStatusText({});
}

bool MUDSessionSecurity::connectionFailed(const MUDSocket& socket)
{
    setStatusText({});
    const MUDSocketSecurity security = socket.security();
    if (!security.needsPlayersTrust())
        return false;
    emit certificateNeedsTrust(security);
    return true;
}

bool MUDSessionSecurity::trustCertificate(const MUDSocketSecurity& security)
{
    const std::shared_ptr<MUDConnection> connection = m_document.connection();
    CVError error;
    if (!connection || !MUDCertificatePin::pinFingerprint(*connection, security.certificate.sha256, &error)) {
        const QString reason =
            error.description.isEmpty() ? QStringLiteral("The session has no connection.") : error.description;
        CVLog(QStringLiteral("MUDSessionSecurity - could not pin the certificate: %1").arg(reason));
        m_document.appendText(
            MUDDocument::coloredString(QStringLiteral("The certificate could not be trusted: %1").arg(reason),
                                       MUDDocument::errorMessageColor()),
            true);
        return false;
    }
    CVLog(QStringLiteral("MUDSessionSecurity - %1 pinned the certificate with SHA-256 fingerprint %2")
              .arg(connection->title(), security.certificate.fingerprintText()));
    m_document.connectToServer();
    return true;
}

void MUDSessionSecurity::setStatusText(const QString& text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusTextChanged(text);
}
