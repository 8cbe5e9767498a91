#pragma once

#include <QtGlobal>
#include <vector>

// Position changes owed to highlight entries but not yet written into them:
// an offset per entry index that is constant between a few boundaries. An
// edit moves every entry after it; recording that here costs one boundary
// instead of touching each of the (possibly hundreds of thousands of) later
// entries. The owner stores an entry's location as its true location minus
// offsetAt(index), keeps this in step when it inserts or removes entries, and
// writes the offsets out (then clears) when the boundaries grow too many or
// the entries are handed to others. Main thread.
class CVPendingShifts {
public:
    // Past this many boundaries reads slow down; the owner should write the
    // offsets out.
    static constexpr qsizetype MaximumBoundaries = 64;

    bool isEmpty() const { return m_boundaries.empty(); }
    qsizetype boundaryCount() const { return qsizetype(m_boundaries.size()); }
    // The offset owed to the entry at `index`.
    qsizetype offsetAt(qsizetype index) const;
    // Every entry from `index` on moves by `delta`.
    void shiftFrom(qsizetype index, qsizetype delta);
    // Entries [from, to) were removed; the others keep their offsets.
    void entriesRemoved(qsizetype from, qsizetype to);
    // `count` entries were inserted at `index`: they owe what the entry at
    // `index` owed, and the entries after them keep their offsets.
    void entriesInserted(qsizetype index, qsizetype count);
    // Calls apply(from, to, offset) for every run of entries [from, to) below
    // `entryCount` that owes a non-zero offset, then forgets every offset.
    template<typename Apply> void takeRuns(qsizetype entryCount, Apply apply);
    void clear() { m_boundaries.clear(); }

private:
    // From `index` on (up to the next boundary) every entry owes `offset`.
    struct Boundary {
        qsizetype index;
        qsizetype offset;
    };

    // The first boundary at or after `index`.
    std::vector<Boundary>::iterator lowerBound(qsizetype index);
    // Drops boundaries that owe what the one before them owes.
    void dropRedundant();

    std::vector<Boundary> m_boundaries;
};

template<typename Apply> void CVPendingShifts::takeRuns(qsizetype entryCount, Apply apply)
{
    for (size_t i = 0; i < m_boundaries.size(); ++i) {
        const qsizetype from = m_boundaries[i].index;
        const qsizetype to = i + 1 < m_boundaries.size() ? m_boundaries[i + 1].index : entryCount;
        if (m_boundaries[i].offset != 0 && from < entryCount)
            apply(from, std::min(to, entryCount), m_boundaries[i].offset);
    }
    m_boundaries.clear();
}
