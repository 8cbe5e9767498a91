#pragma once

#include <QtGlobal>
#include <vector>

#include "core/CVRange.h"

class MUDOutputModel;

// The lines the output view lays out and scrolls by. An output line of up
// to LongLineLength characters is one display line, laid out whole as a
// paragraph; a longer one (a server that never sends a line feed) is cut
// into pieces of at most PieceLength characters, each laid out on its own,
// so appending to it re-lays out only its last piece and the scroller can
// move within it. A piece ends after white space in its second half where
// there is some, so the cut reads like a wrap. Where a piece ends depends
// only on its own characters, so text appended later never moves the pieces
// before the last. Main thread (the output's).
class MUDDisplayLines {
public:
    static constexpr qsizetype LongLineLength = 4096;
    static constexpr qsizetype PieceLength = 512;

    explicit MUDDisplayLines(const MUDOutputModel& model);

    // Follows a change of the output at `position` (made already); returns
    // the first display line whose text or place changed.
    qsizetype update(qsizetype position);

    // The open line after a final line feed is left out while empty, so the
    // last text sits at the bottom.
    qsizetype count() const;
    // A display line's characters, without the line feed.
    CVRange range(qsizetype displayLine) const;
    qsizetype outputLine(qsizetype displayLine) const;
    // True for the last (or only) piece of its output line.
    bool endsOutputLine(qsizetype displayLine) const;
    qsizetype firstDisplayLine(qsizetype outputLine) const;
    // The display line holding `offset` (a piece boundary belongs to the later piece).
    qsizetype displayLineForOffset(qsizetype offset) const;
    // An output line's characters without its line feed.
    CVRange contentRange(qsizetype outputLine) const;

private:
    struct LongLine {
        qsizetype line;
        qsizetype firstDisplayLine;
        // Where each piece starts, from the line's start; the first is 0.
        std::vector<qsizetype> pieceStarts;
        qsizetype pieceCount() const { return qsizetype(pieceStarts.size()); }
        qsizetype endDisplayLine() const { return firstDisplayLine + pieceCount(); }
    };
    // The long line holding `displayLine`, or the last one before it (null: none).
    const LongLine* longLineAtOrBefore(qsizetype displayLine) const;
    // The long line `outputLine` or the last one before it (null: none).
    const LongLine* longLineOfOrBefore(qsizetype outputLine) const;
    // Adds the pieces of `line` from its last start on.
    void cutPieces(LongLine& line) const;
    // Where the piece starting at output offset `start` ends.
    qsizetype pieceEnd(qsizetype start) const;
    qsizetype displayedOutputLineCount() const;

    const MUDOutputModel& m_model;
    // By output line; firstDisplayLine counts the pieces of the lines before.
    std::vector<LongLine> m_longLines;
};
