#include "engine/automation/MUDGMCPSupports.h"

#include <QJsonArray>

#include "engine/automation/MUDGMCPMessage.h"

QStringList MUDGMCPSupports::defaultPackages()
{
    return {QStringLiteral("Core 1"), QStringLiteral("Char 1"), QStringLiteral("Char.Vitals 1"),
            QStringLiteral("Room 1"), QStringLiteral("Comm.Channel 1")};
}

QString MUDGMCPSupports::nameKey(const QString& entry)
{
    return MUDGMCPMessage::packageKey(entry.trimmed().section(u' ', 0, 0));
}

bool MUDGMCPSupports::update(const QString& package, const QJsonValue& value)
{
    const QString key = MUDGMCPMessage::packageKey(package);
    if (!key.startsWith(QLatin1String("core.supports.")) || !value.isArray())
        return false;
    QStringList entries;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isString())
            return false;
        entries.append(element.toString().trimmed());
    }
    if (key == QLatin1String("core.supports.set")) {
        m_packages = entries;
        return true;
    }
    const bool add = key == QLatin1String("core.supports.add");
    if (!add && key != QLatin1String("core.supports.remove"))
        return false;
    for (const QString& entry : std::as_const(entries)) {
        m_packages.removeIf([&](const QString& kept) { return nameKey(kept) == nameKey(entry); });
        if (add)
            m_packages.append(entry);
    }
    return true;
}
