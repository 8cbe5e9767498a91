#include "app/views/MUDDisplayLines.h"

#include <QChar>
#include <QString>
#include <algorithm>

#include "engine/decoding/MUDOutputModel.h"

namespace {
constexpr qsizetype kHalfPiece = MUDDisplayLines::PieceLength / 2;

bool isBreakableSpace(QChar c)
{
    // A carriage return is drawn as a space.
    return c == u' ' || c == u'\t' || c == u'\r';
}
}

MUDDisplayLines::MUDDisplayLines(const MUDOutputModel& model)
    : m_model(model)
{
    update(0);
}

qsizetype MUDDisplayLines::update(qsizetype position)
{
    const qsizetype changedLine = m_model.lineForOffset(position);
    m_longLines.erase(std::upper_bound(m_longLines.begin(), m_longLines.end(), changedLine,
                                       [](qsizetype line, const LongLine& longLine) { return line < longLine.line; }),
                      m_longLines.end());
    LongLine current{changedLine, 0, {0}};
    if (!m_longLines.empty() && m_longLines.back().line == changedLine) {
        current = std::move(m_longLines.back());
        m_longLines.pop_back();
        // A piece keeps its end while its characters (and the one after them) are unchanged.
        const qsizetype changedInLine = position - m_model.lineRange(changedLine).location;
        size_t kept = 1;
        while (kept < current.pieceStarts.size() && current.pieceStarts[kept - 1] + PieceLength < changedInLine)
            ++kept;
        // A line cut short enough is whole again.
        if (contentRange(changedLine).length <= LongLineLength)
            kept = 1;
        current.pieceStarts.resize(kept);
    } else {
        current.firstDisplayLine = firstDisplayLine(changedLine);
    }
    const qsizetype firstChanged = current.firstDisplayLine + current.pieceCount() - 1;

    // The changed line is cut again from its first changed piece; the lines after it are new.
    qsizetype displayLine = current.firstDisplayLine;
    const qsizetype lineCount = m_model.lineCount();
    for (qsizetype line = changedLine; line < lineCount; ++line) {
        if (line != changedLine) {
            if (contentRange(line).length <= LongLineLength) {
                ++displayLine;
                continue;
            }
            current = {line, displayLine, {0}};
        }
        cutPieces(current);
        displayLine = current.endDisplayLine();
        if (current.pieceCount() > 1)
            m_longLines.push_back(std::move(current));
    }
    return firstChanged;
}

void MUDDisplayLines::cutPieces(LongLine& line) const
{
    const CVRange content = contentRange(line.line);
    if (content.length <= LongLineLength)
        return;
    qsizetype start = line.pieceStarts.back();
    while (content.length - start > PieceLength) {
        start = pieceEnd(content.location + start) - content.location;
        line.pieceStarts.push_back(start);
    }
}

qsizetype MUDDisplayLines::pieceEnd(qsizetype start) const
{
    // The second half of the piece and the character after it.
    const QString tail = m_model.text({start + kHalfPiece, kHalfPiece + 1});
    for (qsizetype i = kHalfPiece - 1; i >= 0; --i) {
        if (isBreakableSpace(tail.at(i)))
            return start + kHalfPiece + i + 1;
    }
    // No white space: never part a surrogate pair or a character from its marks.
    qsizetype end = kHalfPiece;
    while (end > 1 && (tail.at(end).isLowSurrogate() || tail.at(end).isMark()))
        --end;
    return start + kHalfPiece + end;
}

qsizetype MUDDisplayLines::displayedOutputLineCount() const
{
    const qsizetype count = m_model.lineCount();
    if (count > 1 && m_model.lineRange(count - 1).length == 0)
        return count - 1;
    return count;
}

qsizetype MUDDisplayLines::count() const
{
    if (m_longLines.empty())
        return displayedOutputLineCount();
    // Each long line adds its pieces after the first.
    const LongLine& last = m_longLines.back();
    return displayedOutputLineCount() + last.endDisplayLine() - last.line - 1;
}

const MUDDisplayLines::LongLine* MUDDisplayLines::longLineAtOrBefore(qsizetype displayLine) const
{
    const auto after =
        std::upper_bound(m_longLines.begin(), m_longLines.end(), displayLine,
                         [](qsizetype line, const LongLine& longLine) { return line < longLine.firstDisplayLine; });
    return after == m_longLines.begin() ? nullptr : &*(after - 1);
}

const MUDDisplayLines::LongLine* MUDDisplayLines::longLineOfOrBefore(qsizetype outputLine) const
{
    const auto after = std::upper_bound(m_longLines.begin(), m_longLines.end(), outputLine,
                                        [](qsizetype line, const LongLine& longLine) { return line < longLine.line; });
    return after == m_longLines.begin() ? nullptr : &*(after - 1);
}

qsizetype MUDDisplayLines::outputLine(qsizetype displayLine) const
{
    const LongLine* longLine = longLineAtOrBefore(displayLine);
    if (!longLine)
        return displayLine;
    if (displayLine < longLine->endDisplayLine())
        return longLine->line;
    return longLine->line + 1 + (displayLine - longLine->endDisplayLine());
}

qsizetype MUDDisplayLines::firstDisplayLine(qsizetype outputLine) const
{
    const LongLine* longLine = longLineOfOrBefore(outputLine);
    if (!longLine)
        return outputLine;
    if (longLine->line == outputLine)
        return longLine->firstDisplayLine;
    return longLine->endDisplayLine() + (outputLine - longLine->line - 1);
}

CVRange MUDDisplayLines::contentRange(qsizetype outputLine) const
{
    CVRange range = m_model.lineRange(outputLine);
    if (range.length > 0 && m_model.characterAt(range.end() - 1) == u'\n')
        --range.length;
    return range;
}

CVRange MUDDisplayLines::range(qsizetype displayLine) const
{
    const qsizetype line = outputLine(displayLine);
    const CVRange content = contentRange(line);
    const LongLine* longLine = longLineOfOrBefore(line);
    if (!longLine || longLine->line != line)
        return content;
    const qsizetype piece = displayLine - longLine->firstDisplayLine;
    const qsizetype start = longLine->pieceStarts[size_t(piece)];
    const qsizetype end =
        piece + 1 < longLine->pieceCount() ? longLine->pieceStarts[size_t(piece + 1)] : content.length;
    return {content.location + start, end - start};
}

bool MUDDisplayLines::endsOutputLine(qsizetype displayLine) const
{
    const LongLine* longLine = longLineAtOrBefore(displayLine);
    return !longLine || displayLine >= longLine->endDisplayLine() - 1;
}

qsizetype MUDDisplayLines::displayLineForOffset(qsizetype offset) const
{
    const qsizetype line = m_model.lineForOffset(offset);
    const LongLine* longLine = longLineOfOrBefore(line);
    if (!longLine || longLine->line != line)
        return firstDisplayLine(line);
    const qsizetype inLine = offset - m_model.lineRange(line).location;
    const auto after = std::upper_bound(longLine->pieceStarts.begin(), longLine->pieceStarts.end(), inLine);
    return longLine->firstDisplayLine + qsizetype(after - longLine->pieceStarts.begin()) - 1;
}
