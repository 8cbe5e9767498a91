#include "engine/automation/MUDGMCPState.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutexLocker>

#include "core/CVLogHelper.h"
#include "engine/automation/MUDGMCPMessage.h"

namespace {
// A copy that shares no storage with `value`. A shared JSON value counts
// its owners inside libQt6Core, where ThreadSanitizer cannot see, so a
// script's copy outliving the kept value (replaced meanwhile on the main
// thread) would look like a race when the script frees it.
QJsonValue unsharedCopy(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        QJsonObject copy;
        for (auto it = object.begin(); it != object.end(); ++it)
            copy.insert(it.key(), unsharedCopy(it.value()));
        return copy;
    }
    case QJsonValue::Array: {
        QJsonArray copy;
        for (const QJsonValue& element : value.toArray())
            copy.append(unsharedCopy(element));
        return copy;
    }
    // A string read out of an object or array still points into it.
    case QJsonValue::String: return QJsonValue(value.toString());
    // Numbers, booleans and null are held in the value itself.
    default: return value;
    }
}
}

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
    return unsharedCopy(it->value);
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
