#include "engine/highlighting/CVPendingShifts.h"

#include <algorithm>

std::vector<CVPendingShifts::Boundary>::iterator CVPendingShifts::lowerBound(qsizetype index)
{
    return std::lower_bound(m_boundaries.begin(), m_boundaries.end(), index,
                            [](const Boundary& boundary, qsizetype value) { return boundary.index < value; });
}

qsizetype CVPendingShifts::offsetAt(qsizetype index) const
{
    const auto after =
        std::upper_bound(m_boundaries.begin(), m_boundaries.end(), index,
                         [](qsizetype value, const Boundary& boundary) { return value < boundary.index; });
    return after == m_boundaries.begin() ? 0 : std::prev(after)->offset;
}

void CVPendingShifts::shiftFrom(qsizetype index, qsizetype delta)
{
    if (delta == 0)
        return;
    auto at = lowerBound(index);
    if (at == m_boundaries.end() || at->index != index)
        at = m_boundaries.insert(at, {index, offsetAt(index)});
    for (auto it = at; it != m_boundaries.end(); ++it)
        it->offset += delta;
    dropRedundant();
}

void CVPendingShifts::entriesRemoved(qsizetype from, qsizetype to)
{
    const qsizetype count = to - from;
    if (count <= 0)
        return;
    // The entry that now sits at `from` is the one that sat at `to`.
    const qsizetype owedAtTo = offsetAt(to);
    const auto first = lowerBound(from);
    const auto last = lowerBound(to + 1);
    const bool changes = first != last;
    const auto next = m_boundaries.erase(first, last);
    for (auto it = next; it != m_boundaries.end(); ++it)
        it->index -= count;
    if (changes)
        m_boundaries.insert(next, {from, owedAtTo});
    dropRedundant();
}

void CVPendingShifts::entriesInserted(qsizetype index, qsizetype count)
{
    if (count <= 0)
        return;
    for (auto it = lowerBound(index + 1); it != m_boundaries.end(); ++it)
        it->index += count;
}

void CVPendingShifts::dropRedundant()
{
    qsizetype previous = 0;
    const auto kept = std::remove_if(m_boundaries.begin(), m_boundaries.end(), [&previous](const Boundary& boundary) {
        const bool redundant = boundary.offset == previous;
        previous = boundary.offset;
        return redundant;
    });
    m_boundaries.erase(kept, m_boundaries.end());
}
