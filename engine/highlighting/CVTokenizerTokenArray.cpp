#include "engine/highlighting/CVTokenizerTokenArray.h"

void CVTokenizerTokenArray::insertObjects(const QList<CVTokenizerTokenPtr>& tokens, qsizetype index)
{
    if (tokens.isEmpty())
        return;
    m_tokens.insert(index, tokens.size(), nullptr);
    std::copy(tokens.cbegin(), tokens.cend(), m_tokens.begin() + index);
}

void CVTokenizerTokenArray::removeLastObject()
{
    if (!m_tokens.isEmpty())
        m_tokens.removeLast();
}

void CVTokenizerTokenArray::removeFromIndex(qsizetype index)
{
    if (index < 0 || index >= m_tokens.size())
        return;
    m_tokens.resize(index);
}

qsizetype CVTokenizerTokenArray::firstIndexStartingAtOrAfter(qsizetype location) const
{
    for (qsizetype i = 0; i < m_tokens.size(); ++i)
        if (m_tokens[i]->range().location >= location)
            return i;
    return CVRange::NotFound;
}

void CVTokenizerTokenArray::removeObjectsInArray(const QList<CVTokenizerTokenPtr>& run)
{
    if (run.isEmpty())
        return;
    if (run.size() >= m_tokens.size()) {
        m_tokens.clear();
        return;
    }
    if (run.size() == 1) {
        removeObject(run.first());
        return;
    }
    const qsizetype start = run.first()->range().location;
    const qsizetype runEnd = run.last()->range().end();
    if (runEnd >= m_tokens.last()->range().end()) {
        const qsizetype first = firstIndexStartingAtOrAfter(start);
        if (first != CVRange::NotFound) {
            m_tokens.resize(first);
            return;
        }
    }
    const qsizetype first = firstIndexStartingAtOrAfter(start);
    if (first == CVRange::NotFound)
        return;
    qsizetype last = first;
    while (last < m_tokens.size() && m_tokens[last]->range().location < runEnd)
        ++last;
    m_tokens.remove(first, std::max<qsizetype>(last - first, 1));
}

qsizetype CVTokenizerTokenArray::indexOfObject(const CVTokenizerToken& probe, CVRange range,
                                               const Comparator& comparator) const
{
    return indexInSortedRange(range, [&](qsizetype index) { return comparator(*m_tokens[index], probe); });
}

qsizetype CVTokenizerTokenArray::indexInSortedRange(CVRange range,
                                                    const std::function<int(qsizetype index)>& compareAt) const
{
    qsizetype low = std::max<qsizetype>(range.location, 0);
    qsizetype high = std::min(range.end(), m_tokens.size());
    const qsizetype limit = high;
    // Lower bound: the first entry that is not before the probe.
    while (low < high) {
        const qsizetype middle = low + (high - low) / 2;
        if (compareAt(middle) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    if (low < limit && compareAt(low) == 0)
        return low;
    return CVRange::NotFound;
}

bool CVTokenizerTokenArray::isSorted() const
{
    for (qsizetype i = 1; i < m_tokens.size(); ++i) {
        const CVRange previous = m_tokens[i - 1]->range();
        const CVRange current = m_tokens[i]->range();
        if (current.location <= previous.location || current.end() <= previous.end())
            return false;
    }
    return true;
}

bool CVTokenizerTokenArray::isSequential(const QList<CVTokenizerTokenPtr>& tokens)
{
    for (qsizetype i = 1; i < tokens.size(); ++i)
        if (tokens[i]->range().location != tokens[i - 1]->range().end())
            return false;
    return true;
}

QString CVTokenizerTokenArray::description() const
{
    if (m_tokens.isEmpty())
        return QStringLiteral("CVTokenizerTokenArray - no entries");
    return QStringLiteral("CVTokenizerTokenArray %1 tokens.").arg(m_tokens.size());
}
