#include "engine/automation/MUDGMCPState.h"

#include <QJsonObject>
#include <QMutexLocker>

#include "core/CVLogHelper.h"
#include "engine/automation/MUDGMCPMessage.h"

bool MUDGMCPState::mergesObjects(const QString& package)
{
    return package.startsWith(QLatin1String("Char."), Qt::CaseInsensitive) && package.count(u'.') == 1;
}

bool MUDGMCPState::apply(const MUDGMCPMessage& message)
{
    const QJsonValue value = message.value.isUndefined() ? QJsonValue(QJsonValue::Null) : message.value;
    const QString key = MUDGMCPMessage::packageKey(message.package);
    QMutexLocker lock(&m_mutex);
    if (m_entries.size() >= MaximumPackages && !m_entries.contains(key)) {
        CVLog(
            QStringLiteral("GMCP %1 not kept: %2 packages are kept already").arg(message.package).arg(MaximumPackages));
        return false;
    }
    Entry& entry = m_entries[key];
    entry.package = message.package;
    if (value.isObject() && entry.value.isObject() && mergesObjects(message.package)) {
        QJsonObject merged = entry.value.toObject();
        const QJsonObject changes = value.toObject();
        for (auto it = changes.begin(); it != changes.end(); ++it)
            merged.insert(it.key(), it.value());
        entry.value = merged;
    } else {
        entry.value = value;
    }
    return true;
}

std::optional<QJsonValue> MUDGMCPState::value(const QString& package) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_entries.constFind(MUDGMCPMessage::packageKey(package));
    if (it == m_entries.cend())
        return std::nullopt;
    return it->value;
}

QStringList MUDGMCPState::packages() const
{
    QStringList names;
    {
        QMutexLocker lock(&m_mutex);
        for (const Entry& entry : m_entries)
            names.append(entry.package);
    }
    names.sort(Qt::CaseInsensitive);
    return names;
}

void MUDGMCPState::reset()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}
