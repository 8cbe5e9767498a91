#pragma once

#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

// UTF-16 text that only grows at its end or is cut back, kept in chunks of
// a fixed size: appending never moves text already stored (no large
// reallocation while output streams in) and wastes at most one chunk.
// Main thread (the thread of its output model).
class MUDChunkedText {
public:
    qsizetype length() const { return m_length; }
    char16_t at(qsizetype index) const { return m_chunks[index >> kChunkBits][index & kChunkMask]; }

    void append(QStringView text);
    // Keeps the first `length` code units.
    void truncate(qsizetype length);
    // The code units of [from, from + count), which must lie within the text.
    QString mid(qsizetype from, qsizetype count) const;
    void copy(qsizetype from, qsizetype count, char16_t* destination) const;

private:
    // 64 Ki code units (128 KiB) a chunk.
    static constexpr int kChunkBits = 16;
    static constexpr qsizetype kChunkSize = qsizetype(1) << kChunkBits;
    static constexpr qsizetype kChunkMask = kChunkSize - 1;

    std::vector<std::unique_ptr<char16_t[]>> m_chunks;
    qsizetype m_length = 0;
};
