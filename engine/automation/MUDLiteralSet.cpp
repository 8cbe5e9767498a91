#include "engine/automation/MUDLiteralSet.h"

#include <algorithm>
#include <queue>

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

}

MUDLiteralSet::MUDLiteralSet(const QStringList& literals)
{
    for (const QString& literal : literals) {
        if (literal.isEmpty() || !isAscii(literal) || m_literals.contains(literal))
            continue;
        m_literals.append(literal);
    }
    for (qsizetype i = 0; i < m_literals.size(); ++i) {
        m_index.insert(QStringView(m_literals.at(i)), i);
        for (QChar c : m_literals.at(i)) {
            if (m_classOf[c.unicode()] == 0)
                m_classOf[c.unicode()] = quint8(m_classCount++);
        }
    }
    buildAutomaton();
}

void MUDLiteralSet::buildAutomaton()
{
    // The trie of the literals first: -1 where a state has no child.
    m_next.assign(size_t(m_classCount), -1);
    std::vector<std::vector<qint32>> ending(1);
    for (qsizetype i = 0; i < m_literals.size(); ++i) {
        qint32 state = 0;
        for (QChar c : m_literals.at(i)) {
            qint32& child = m_next[size_t(state * m_classCount + classOf(c.unicode()))];
            if (child < 0) {
                child = qint32(ending.size());
                ending.emplace_back();
                m_next.resize(m_next.size() + size_t(m_classCount), -1);
            }
            state = m_next[size_t(state * m_classCount + classOf(c.unicode()))];
        }
        ending[size_t(state)].push_back(qint32(i));
    }

    // Breadth first, each missing transition becomes its failure state's
    // transition, and each state also reports what its failure state (the
    // longest proper suffix that is a trie state) reports.
    std::vector<qint32> failure(ending.size(), 0);
    std::queue<qint32> pending;
    for (qsizetype c = 0; c < m_classCount; ++c) {
        qint32& child = m_next[size_t(c)];
        if (child < 0)
            child = 0;
        else
            pending.push(child);
    }
    while (!pending.empty()) {
        const qint32 state = pending.front();
        pending.pop();
        for (qsizetype c = 0; c < m_classCount; ++c) {
            qint32& child = m_next[size_t(state * m_classCount + c)];
            const qint32 fallback = m_next[size_t(failure[size_t(state)] * m_classCount + c)];
            if (child < 0) {
                child = fallback;
                continue;
            }
            failure[size_t(child)] = fallback;
            const std::vector<qint32>& inherited = ending[size_t(fallback)];
            ending[size_t(child)].insert(ending[size_t(child)].end(), inherited.begin(), inherited.end());
            pending.push(child);
        }
    }

    m_outputBegin.reserve(ending.size() + 1);
    for (const std::vector<qint32>& literals : ending) {
        m_outputBegin.push_back(qint32(m_outputs.size()));
        m_outputs.insert(m_outputs.end(), literals.begin(), literals.end());
    }
    m_outputBegin.push_back(qint32(m_outputs.size()));
}

std::vector<std::vector<qsizetype>> MUDLiteralSet::occurrences(QStringView text) const
{
    std::vector<std::vector<qsizetype>> found(size_t(m_literals.size()));
    if (m_literals.isEmpty())
        return found;
    const char16_t* characters = text.utf16();
    qint32 state = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        state = m_next[size_t(state * m_classCount + classOf(characters[i]))];
        for (qint32 o = m_outputBegin[size_t(state)]; o < m_outputBegin[size_t(state) + 1]; ++o) {
            const qint32 literal = m_outputs[size_t(o)];
            found[size_t(literal)].push_back(i + 1 - m_literals.at(literal).size());
        }
    }
    return found;
}
