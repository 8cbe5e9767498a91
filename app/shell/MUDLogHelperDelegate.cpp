#include "app/shell/MUDLogHelperDelegate.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>

#include "core/CVLogFileSink.h"

Q_LOGGING_CATEGORY(lcQuarrowApp, "quarrow")

namespace {
// Events carry the application's name and version, as a report would.
QString eventLine(const QString& name, QVariantMap details)
{
    details.insert(QStringLiteral("appName"), QCoreApplication::applicationName());
    details.insert(QStringLiteral("appVersion"), QCoreApplication::applicationVersion());
    return name + QLatin1Char(' ')
        + QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(details)).toJson(QJsonDocument::Compact));
}
} // namespace

MUDLogHelperDelegate::MUDLogHelperDelegate(const QString& folder)
{
    QDir().mkpath(folder);
    m_fileLogger = std::make_unique<CVLogFileSink>(folder);
}

MUDLogHelperDelegate::~MUDLogHelperDelegate() = default;

void MUDLogHelperDelegate::logMessageType(int, const QString& message)
{
    write(message);
}

void MUDLogHelperDelegate::logEvent(const QString& name, const QVariantMap& details)
{
    write(QStringLiteral("Event ") + eventLine(name, details));
}

void MUDLogHelperDelegate::logError(const QString& error, const QVariantMap& details)
{
    write(QStringLiteral("Event ") + eventLine(QStringLiteral("Error-%1").arg(error.isEmpty() ? QStringLiteral("<nil>") : error), details));
}

void MUDLogHelperDelegate::write(const QString& line)
{
    qCInfo(lcQuarrowApp).noquote() << line;
    m_fileLogger->appendLine(line);
}
