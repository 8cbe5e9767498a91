#pragma once

#include <QByteArray>
#include <QList>

#include "engine/decoding/ANSIDataProcessorResult.h"

// The chunks of one decoded read, in input order. All chunk bytes sit in
// one buffer, so a batch costs two allocations however many chunks it
// holds; copies share both (implicit sharing), which makes handing a batch
// to another thread cheap. A value; one thread at a time per copy.
class ANSIDataProcessorResults {
public:
    struct Span {
        qsizetype offset;
        qsizetype length;
        ANSIResultType type;
    };

    class const_iterator {
    public:
        const_iterator(const ANSIDataProcessorResults* results, qsizetype index)
            : m_results(results)
            , m_index(index)
        {
        }
        ANSIDataProcessorResult operator*() const { return m_results->at(m_index); }
        const_iterator& operator++()
        {
            ++m_index;
            return *this;
        }
        bool operator==(const const_iterator&) const = default;

    private:
        const ANSIDataProcessorResults* m_results;
        qsizetype m_index;
    };

    ANSIDataProcessorResults() = default;
    ANSIDataProcessorResults(QByteArray bytes, QList<Span> spans)
        : m_bytes(std::move(bytes))
        , m_spans(std::move(spans))
    {
    }

    qsizetype size() const { return m_spans.size(); }
    bool isEmpty() const { return m_spans.isEmpty(); }
    ANSIDataProcessorResult at(qsizetype index) const
    {
        const Span& span = m_spans[index];
        return {QByteArrayView(m_bytes.constData() + span.offset, span.length), span.type};
    }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    QByteArray m_bytes;
    QList<Span> m_spans;
};
