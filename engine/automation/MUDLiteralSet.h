#pragma once

#include <QHash>
#include <QStringList>
#include <QStringView>
#include <array>
#include <vector>

// Many ASCII literals found together in one pass over a text (an
// Aho-Corasick automaton), as matching every line of a flood wants: a
// hundred triggers cost one scan of the text instead of a hundred. Literals
// holding a character outside ASCII, and empty ones, are not taken; a
// literal given twice is kept once. Comparison is exact: a caller ignoring
// case gives lower-cased literals and a lower-cased text. Immutable after
// construction, so any number of threads may search with one set.
class MUDLiteralSet {
public:
    explicit MUDLiteralSet(const QStringList& literals);
    MUDLiteralSet(const MUDLiteralSet&) = delete;
    MUDLiteralSet& operator=(const MUDLiteralSet&) = delete;

    // The literals taken, in the order first given.
    const QStringList& literals() const { return m_literals; }
    // Index of `literal` in literals(), or -1 when the set does not hold it.
    qsizetype indexOf(QStringView literal) const { return m_index.value(literal, -1); }

    // Where each literal occurs in `text`: for literal i, the start of every
    // occurrence (overlapping ones included), in increasing order.
    std::vector<std::vector<qsizetype>> occurrences(QStringView text) const;

private:
    qsizetype classOf(char16_t c) const { return c < m_classOf.size() ? m_classOf[c] : 0; }
    void buildAutomaton();

    QStringList m_literals;
    // Views into m_literals, which this object never changes.
    QHash<QStringView, qsizetype> m_index;
    // Characters are mapped to a few classes: one per character some
    // literal holds, and 0 for all others, which can only return the
    // automaton to its start.
    std::array<quint8, 128> m_classOf{};
    qsizetype m_classCount = 1;
    // The transition from state s on class c is m_next[s * m_classCount + c].
    std::vector<qint32> m_next;
    // The literals ending in state s are m_outputs[m_outputBegin[s]] up to
    // m_outputs[m_outputBegin[s + 1]].
    std::vector<qint32> m_outputBegin;
    std::vector<qint32> m_outputs;
};
