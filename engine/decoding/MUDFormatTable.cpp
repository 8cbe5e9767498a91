#include "engine/decoding/MUDFormatTable.h"

#include <QBrush>
#include <QColor>
#include <QMap>
#include <QVariant>
#include <algorithm>

quint32 MUDFormatTable::indexOf(const QTextCharFormat& format, CVFormatId id)
{
    if (!id.isValid())
        return indexOfFormat(format);
    const quint64 key = id.key();
    for (const RecentId& recent : m_recentIds) {
        if (recent.key == key)
            return recent.index;
    }
    quint32 index;
    if (auto found = m_byId.constFind(key); found != m_byId.constEnd()) {
        index = *found;
    } else {
        index = indexOfFormat(format);
        m_byId.insert(key, index);
        m_entries[index].ids.push_back(key);
    }
    // Round robin: styled text alternates between a few formats.
    m_recentIds[m_nextRecentId] = {key, index};
    m_nextRecentId = (m_nextRecentId + 1) % kRecentCount;
    return index;
}

quint32 MUDFormatTable::indexOfFormat(const QTextCharFormat& format)
{
    for (int i = 0; i < m_recentSize; ++i) {
        const quint32 index = m_recent[i];
        if (m_entries[index].format == format) {
            if (i > 0) {
                std::move_backward(m_recent.begin(), m_recent.begin() + i, m_recent.begin() + i + 1);
                m_recent[0] = index;
            }
            return index;
        }
    }

    const size_t hash = hashOf(format);
    for (auto it = m_byHash.constFind(hash); it != m_byHash.constEnd() && it.key() == hash; ++it) {
        if (m_entries[it.value()].format == format) {
            remember(it.value());
            return it.value();
        }
    }

    quint32 index;
    if (!m_free.empty()) {
        index = m_free.back();
        m_free.pop_back();
        m_entries[index] = {format, hash, 0, {}};
    } else {
        index = quint32(m_entries.size());
        m_entries.push_back({format, hash, 0, {}});
    }
    m_byHash.insert(hash, index);
    remember(index);
    return index;
}

void MUDFormatTable::removeUse(quint32 index)
{
    Entry& entry = m_entries[index];
    if (--entry.uses > 0)
        return;
    m_byHash.remove(entry.hash, index);
    for (quint64 key : entry.ids)
        m_byId.remove(key);
    for (RecentId& recent : m_recentIds) {
        if (recent.index == index)
            recent = {};
    }
    entry.ids.clear();
    entry.format = QTextCharFormat();
    m_free.push_back(index);
    const auto recentEnd = m_recent.begin() + m_recentSize;
    const auto kept = std::remove(m_recent.begin(), recentEnd, index);
    m_recentSize = int(kept - m_recent.begin());
}

void MUDFormatTable::clear()
{
    m_entries.clear();
    m_free.clear();
    m_byHash.clear();
    m_recentSize = 0;
    m_byId.clear();
    m_recentIds = {};
}

size_t MUDFormatTable::hashOf(const QTextCharFormat& format)
{
    // Equal formats must hash equally; unequal ones may collide (equality
    // decides). Colours carry most of the difference between output styles.
    size_t hash = 0;
    const QMap<int, QVariant> properties = format.properties();
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        const QVariant& value = it.value();
        size_t valueHash = size_t(value.typeId());
        if (value.typeId() == QMetaType::QBrush)
            valueHash = qHash(quint64(value.value<QBrush>().color().rgba64()));
        else if (value.typeId() == QMetaType::QColor)
            valueHash = qHash(quint64(value.value<QColor>().rgba64()));
        else if (value.canConvert<qlonglong>())
            valueHash = qHash(value.toLongLong());
        hash = qHashMulti(hash, it.key(), valueHash);
    }
    return hash;
}

void MUDFormatTable::remember(quint32 index)
{
    if (m_recentSize < kRecentCount)
        ++m_recentSize;
    std::move_backward(m_recent.begin(), m_recent.begin() + m_recentSize - 1, m_recent.begin() + m_recentSize);
    m_recent[0] = index;
}
