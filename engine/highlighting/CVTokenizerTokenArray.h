#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "core/CVTokenizerToken.h"

// The ordered list of highlight entries of one text: shared tokens that, by
// the users' contract, tile the text in order (see isSorted/isSequential; the
// array does not enforce it). Adds the operations incremental re-highlighting
// needs: binary search by position and removal of a run. Main thread.
class CVTokenizerTokenArray {
public:
    // Orders an entry against a probe: negative when the entry lies before it,
    // zero when it counts as equal, positive when after it.
    using Comparator = std::function<int(const CVTokenizerToken& entry, const CVTokenizerToken& probe)>;

    CVTokenizerTokenArray() = default;
    explicit CVTokenizerTokenArray(const QList<CVTokenizerTokenPtr>& tokens)
        : m_tokens(tokens)
    {
    }

    const CVTokenizerTokenPtr& operator[](qsizetype index) const { return m_tokens[index]; }
    void setObject(const CVTokenizerTokenPtr& token, qsizetype index) { m_tokens[index] = token; }
    qsizetype count() const { return m_tokens.size(); }
    bool isEmpty() const { return m_tokens.isEmpty(); }
    CVTokenizerTokenPtr firstObject() const { return m_tokens.isEmpty() ? nullptr : m_tokens.first(); }
    CVTokenizerTokenPtr lastObject() const { return m_tokens.isEmpty() ? nullptr : m_tokens.last(); }
    QList<CVTokenizerTokenPtr> subarrayWithRange(CVRange range) const
    {
        return m_tokens.mid(range.location, range.length);
    }
    const QList<CVTokenizerTokenPtr>& tokens() const { return m_tokens; }

    void insertObject(const CVTokenizerTokenPtr& token, qsizetype index) { m_tokens.insert(index, token); }
    void insertObjects(const QList<CVTokenizerTokenPtr>& tokens, qsizetype index);
    void addObjectsFromArray(const QList<CVTokenizerTokenPtr>& tokens) { m_tokens.append(tokens); }
    // Removes the entry that is this very token.
    void removeObject(const CVTokenizerTokenPtr& token) { m_tokens.removeOne(token); }
    void removeAllObjects() { m_tokens.clear(); }
    void removeLastObject();
    void removeObjectsInRange(CVRange range) { m_tokens.remove(range.location, range.length); }
    // Removes every entry from `index` to the end; CVRange::NotFound does nothing.
    void removeFromIndex(qsizetype index);
    // Removes `run`, which must be consecutive entries of this array in order.
    void removeObjectsInArray(const QList<CVTokenizerTokenPtr>& run);

    // Binary search over `range` of the array; returns the lowest index of an
    // entry equal to `probe`, or CVRange::NotFound.
    qsizetype indexOfObject(const CVTokenizerToken& probe, CVRange range, const Comparator& comparator) const;
    // The same search for holders that know an entry's position better than
    // its token does: compareAt(index) orders the entry at `index` against
    // the probe.
    qsizetype indexInSortedRange(CVRange range, const std::function<int(qsizetype index)>& compareAt) const;

    // The consistency hook the highlighter consults before it edits the
    // array. The array enforces no order of its own (its users keep it), so
    // there is nothing it could find wrong: it answers true.
    bool validateRange() const { return true; }

    // Every neighbour starts and ends strictly after the previous entry.
    bool isSorted() const;
    // Every entry starts exactly where the previous one ends.
    static bool isSequential(const QList<CVTokenizerTokenPtr>& tokens);

    QString description() const;

private:
    // The first index whose entry starts at or after `location`, or NotFound.
    qsizetype firstIndexStartingAtOrAfter(qsizetype location) const;

    QList<CVTokenizerTokenPtr> m_tokens;
};
