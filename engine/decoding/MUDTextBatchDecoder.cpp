#include "engine/decoding/MUDTextBatchDecoder.h"

MUDTextBatchDecoder::MUDTextBatchDecoder(const QString& encoding)
    : m_encoding(encoding)
{
}

ANSIDataProcessorResults MUDTextBatchDecoder::toUtf8(const ANSIDataProcessorResults& results)
{
    QByteArray bytes;
    QList<ANSIDataProcessorResults::Span> spans;
    spans.reserve(results.size());
    for (const ANSIDataProcessorResult result : results) {
        const qsizetype offset = bytes.size();
        if (result.type() == ANSIResultType::Text)
            bytes += m_encoding.toUnicode(result.data()).toUtf8();
        else
            bytes += result.data();
        spans.append({offset, bytes.size() - offset, result.type()});
    }
    return ANSIDataProcessorResults(std::move(bytes), std::move(spans));
}
