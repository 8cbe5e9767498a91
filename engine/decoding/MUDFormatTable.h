#pragma once

#include <QHash>
#include <QMultiHash>
#include <QTextCharFormat>
#include <array>
#include <vector>

#include "core/CVFormatId.h"

// The distinct character formats of one output, each stored once and named
// by a small index, so a run costs an index instead of a format. Entries
// count the runs that use them; an entry no run uses is freed at once, so
// the table never keeps a format (or an object held in one of its
// properties, such as a countdown) alive after its text is gone.
// Main thread (the thread of its output model).
class MUDFormatTable {
public:
    // The index of the entry equal to `format` (QTextFormat equality),
    // added when new. The entry is not counted as used until addUse().
    // A valid `id` (which must identify `format`) is remembered with the
    // entry, so later lookups with it compare no format.
    quint32 indexOf(const QTextCharFormat& format, CVFormatId id = {});
    void addUse(quint32 index) { ++m_entries[index].uses; }
    // Frees the entry when its last use goes.
    void removeUse(quint32 index);

    const QTextCharFormat& format(quint32 index) const { return m_entries[index].format; }
    // Entries in use.
    qsizetype count() const { return qsizetype(m_entries.size() - m_free.size()); }
    void clear();

private:
    struct Entry {
        QTextCharFormat format;
        size_t hash = 0;
        quint32 uses = 0;
        // Ids known to name this entry's format.
        std::vector<quint64> ids;
    };

    quint32 indexOfFormat(const QTextCharFormat& format);

    static size_t hashOf(const QTextCharFormat& format);
    void remember(quint32 index);

    std::vector<Entry> m_entries;
    std::vector<quint32> m_free;
    QMultiHash<size_t, quint32> m_byHash;
    // Output uses a handful of styles at a time, and comparing formats that
    // share one format object is cheap: the recent ones are tried first,
    // newest in front, before any hashing.
    static constexpr int kRecentCount = 8;
    std::array<quint32, kRecentCount> m_recent{};
    int m_recentSize = 0;
    // Format id (CVFormatId::key) to entry; recent hits are tried first
    // (key 0, never a valid id, marks an empty slot).
    QHash<quint64, quint32> m_byId;
    struct RecentId {
        quint64 key = 0;
        quint32 index = 0;
    };
    std::array<RecentId, kRecentCount> m_recentIds{};
    int m_nextRecentId = 0;
};
