#include "core/CVLogHelper.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcQuarrow, "quarrow")

namespace {
QString detailsText(const QVariantMap& details)
{
    if (details.isEmpty())
        return {};
    return QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(details)).toJson(QJsonDocument::Compact));
}

QVariantMap withOutcome(QVariantMap details, bool success)
{
    details.insert(QStringLiteral("success"), success);
    return details;
}
}

void CVLogHelperDelegate::logLogin(const QString& name, bool success, const QVariantMap& details)
{
    logEvent(QStringLiteral("Login-%1").arg(name), withOutcome(details, success));
}

void CVLogHelperDelegate::setCrashDetails(const QString&, const QString&)
{
}

CVLogHelper& CVLogHelper::sharedInstance()
{
    static CVLogHelper instance;
    return instance;
}

void CVLogHelper::logMessage(const QString& message)
{
    logMessageType(MessageType, message);
}

void CVLogHelper::logMessageType(int type, const QString& message)
{
    std::lock_guard lock(m_mutex);
    if (m_delegate)
        m_delegate->logMessageType(type, message);
    else
        qCInfo(lcQuarrow).noquote() << message;
}

void CVLogHelper::logEvent(const QString& name, const QVariantMap& details)
{
    std::lock_guard lock(m_mutex);
    if (m_delegate)
        m_delegate->logEvent(name, details);
    else
        qCInfo(lcQuarrow).noquote() << "Event" << name << detailsText(details);
}

void CVLogHelper::logError(const QString& error, const QVariantMap& details)
{
    std::lock_guard lock(m_mutex);
    if (m_delegate)
        m_delegate->logError(error, details);
    else
        qCWarning(lcQuarrow).noquote() << "Error" << error << detailsText(details);
}

void CVLogHelper::logLogin(const QString& name, bool success, const QVariantMap& details)
{
    std::lock_guard lock(m_mutex);
    if (m_delegate) {
        m_delegate->logLogin(name, success, details);
        return;
    }
    qCInfo(lcQuarrow).noquote() << "Event" << QStringLiteral("Login-%1").arg(name)
                                << detailsText(withOutcome(details, success));
}

void CVLogHelper::setCrashDetails(const QString& value, const QString& key)
{
    std::lock_guard lock(m_mutex);
    if (m_delegate)
        m_delegate->setCrashDetails(value, key);
}

void CVLogHelper::logErrorMessage(const QString& message, const QString& domain, const QVariantMap& details,
                                  double timeTaken, double threshold)
{
    if (timeTaken <= threshold)
        return;
    QVariantMap all = details;
    all.insert(QStringLiteral("domain"), domain);
    all.insert(QStringLiteral("timeTaken"), timeTaken);
    logError(message, all);
}

bool CVLogHelper::extraSecure() const
{
    std::lock_guard lock(m_mutex);
    return m_extraSecure;
}

void CVLogHelper::setExtraSecure(bool extraSecure)
{
    std::lock_guard lock(m_mutex);
    m_extraSecure = extraSecure;
}

void CVLogHelper::setDelegate(CVLogHelperDelegate* delegate)
{
    std::lock_guard lock(m_mutex);
    m_delegate = delegate;
}
