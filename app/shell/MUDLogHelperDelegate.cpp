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
    return name + QLatin1Char(' ') +
           QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(details)).toJson(QJsonDocument::Compact));
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
    write(QStringLiteral("Event ") +
          eventLine(QStringLiteral("Error-%1").arg(error.isEmpty() ? QStringLiteral("<nil>") : error), details));
}

void MUDLogHelperDelegate::setCrashDetails(const QString& value, const QString& key)
{
    if (key.isEmpty()) {
        write(QStringLiteral("MUDLogHelperDelegate:setCrashDetails - A crash detail needs a key. Ignored."));
        return;
    }
    {
        std::lock_guard lock(m_crashDetailsMutex);
        if (value.isNull())
            m_crashDetails.remove(key);
        else
            m_crashDetails.insert(key, value);
    }
    write(value.isNull() ? QStringLiteral("Crash detail removed: %1").arg(key)
                         : QStringLiteral("Crash detail: %1 = %2").arg(key, value));
}

QMap<QString, QString> MUDLogHelperDelegate::crashDetails() const
{
    std::lock_guard lock(m_crashDetailsMutex);
    return m_crashDetails;
}

QString MUDLogHelperDelegate::getLogFilesContentWithMaxSize(qsizetype maxSize) const
{
    if (maxSize <= 0)
        return {};
    // A UTF-16 code unit never takes more than three UTF-8 bytes, so this
    // tail holds enough whole characters; a character cut at its front is
    // skipped.
    QByteArray bytes = m_fileLogger->tail(3 * qint64(maxSize) + 3);
    qsizetype start = 0;
    while (start < bytes.size() && (uchar(bytes[start]) & 0xc0) == 0x80)
        ++start;
    QString text = QString::fromUtf8(QByteArrayView(bytes).sliced(start));
    if (text.size() <= maxSize)
        return text;
    qsizetype cut = text.size() - maxSize;
    if (text[cut].isLowSurrogate())
        ++cut;
    return text.mid(cut);
}

void MUDLogHelperDelegate::write(const QString& line)
{
    qCInfo(lcQuarrowApp).noquote() << line;
    m_fileLogger->appendLine(line);
}
