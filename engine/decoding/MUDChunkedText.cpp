#include "engine/decoding/MUDChunkedText.h"

#include <algorithm>
#include <cstring>

void MUDChunkedText::append(QStringView text)
{
    const char16_t* source = text.utf16();
    qsizetype remaining = text.size();
    while (remaining > 0) {
        const qsizetype chunk = m_length >> kChunkBits;
        if (chunk == qsizetype(m_chunks.size()))
            m_chunks.push_back(std::make_unique_for_overwrite<char16_t[]>(kChunkSize));
        const qsizetype offset = m_length & kChunkMask;
        const qsizetype count = std::min(remaining, kChunkSize - offset);
        std::memcpy(m_chunks[chunk].get() + offset, source, size_t(count) * sizeof(char16_t));
        source += count;
        remaining -= count;
        m_length += count;
    }
}

void MUDChunkedText::truncate(qsizetype length)
{
    m_length = std::clamp(length, qsizetype(0), m_length);
    m_chunks.resize(size_t((m_length + kChunkMask) >> kChunkBits));
}

QString MUDChunkedText::mid(qsizetype from, qsizetype count) const
{
    QString result(count, Qt::Uninitialized);
    copy(from, count, reinterpret_cast<char16_t*>(result.data()));
    return result;
}

void MUDChunkedText::copy(qsizetype from, qsizetype count, char16_t* destination) const
{
    while (count > 0) {
        const qsizetype offset = from & kChunkMask;
        const qsizetype n = std::min(count, kChunkSize - offset);
        std::memcpy(destination, m_chunks[from >> kChunkBits].get() + offset, size_t(n) * sizeof(char16_t));
        destination += n;
        from += n;
        count -= n;
    }
}
