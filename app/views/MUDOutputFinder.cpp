#include "app/views/MUDOutputFinder.h"

#include <algorithm>

#include "engine/decoding/MUDOutputModel.h"

namespace {
constexpr qsizetype kBlockLength = 64 * 1024;
constexpr CVRange kNotFound{CVRange::NotFound, 0};
}

CVRange MUDOutputFinder::find(const MUDOutputModel& output, const QString& text, qsizetype from, bool forward,
                              bool wrap)
{
    if (text.isEmpty())
        return kNotFound;
    const qsizetype length = output.length();
    from = std::clamp(from, qsizetype(0), length);
    if (forward) {
        const CVRange found = findForward(output, text, from, length);
        return !found.isNotFound() || !wrap ? found : findForward(output, text, 0, from);
    }
    const CVRange found = findBackward(output, text, 0, from);
    return !found.isNotFound() || !wrap ? found : findBackward(output, text, from, length);
}

// Occurrences starting in [start, end).
CVRange MUDOutputFinder::findForward(const MUDOutputModel& output, const QString& text, qsizetype start, qsizetype end)
{
    const qsizetype overlap = text.size() - 1;
    for (qsizetype block = start; block < end; block += kBlockLength) {
        const qsizetype blockEnd = std::min(block + kBlockLength, end);
        const QString chunk = output.text({block, blockEnd - block + overlap});
        const qsizetype found = chunk.indexOf(text, 0, Qt::CaseInsensitive);
        if (found >= 0 && block + found < blockEnd)
            return {block + found, text.size()};
    }
    return kNotFound;
}

// The last occurrence starting in [start, before).
CVRange MUDOutputFinder::findBackward(const MUDOutputModel& output, const QString& text, qsizetype start,
                                      qsizetype before)
{
    const qsizetype overlap = text.size() - 1;
    for (qsizetype blockEnd = before; blockEnd > start; blockEnd -= kBlockLength) {
        const qsizetype block = std::max(start, blockEnd - kBlockLength);
        const QString chunk = output.text({block, blockEnd - block + overlap});
        const qsizetype found = chunk.lastIndexOf(text, blockEnd - block - 1, Qt::CaseInsensitive);
        if (found >= 0)
            return {block + found, text.size()};
    }
    return kNotFound;
}
