#pragma once

#include <QObject>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>
#include <array>
#include <deque>
#include <functional>

#include "core/CVAttributedString.h"
#include "core/CVRange.h"
#include "engine/decoding/MUDChunkedText.h"
#include "engine/decoding/MUDFormatTable.h"
#include "engine/decoding/MUDStyledText.h"

// A session's output: styled text that grows as the server talks, read by
// the output view (visible lines), the trigger pass (the recent window),
// the countdown (one run near the end) and the HTML export (every run).
//
// Every index and range counts UTF-16 code units over the whole output.
// The text sits in fixed-size chunks; an index of lines (each ends after its
// "\n", the last one is open) gives each line's start; each line's runs hold
// a 32-bit start within the line and two indexes into a table of interned
// formats (one for its characters, one for its white space), so a run costs
// 12 bytes and equal formats are stored once. Styled server text keeps a
// run per style, not per gap of white space: readers split a run into
// stretches of white space and of other characters where its two formats
// differ. Runs never cross a line end, but every reader sees runs merged
// across lines, as a CVAttributedString holding the same text would have
// them.
//
// Appending costs the length of the appended text; replacing costs the
// length of the text after the replaced range (it is cut off and appended
// again), which suits the countdown line at the end of the output.
//
// Main thread only: the model is not locked; readers on other threads get
// copies (attributedSubstring()).
class MUDOutputModel : public QObject {
    Q_OBJECT
public:
    enum class Direction { Forward, Reverse };

    explicit MUDOutputModel(QObject* parent = nullptr);

    qsizetype length() const { return m_text.length(); }
    bool isEmpty() const { return m_text.length() == 0; }
    // The code unit at `index`, or 0 outside the text.
    char16_t characterAt(qsizetype index) const;

    // Each append is one change, however many runs and lines it holds.
    void append(const CVAttributedString& text);
    void append(const MUDStyledText& text);
    void append(QStringView text, const QTextCharFormat& attributes);
    // Ranges are clipped to the text.
    void replaceCharacters(CVRange range, const CVAttributedString& replacement);
    // Plain text takes the attributes of the first replaced character, or
    // for an empty range those of the character before it (else after it).
    void replaceCharacters(CVRange range, const QString& text);
    void clear();

    QString text(CVRange range) const;
    CVAttributedString attributedSubstring(CVRange range) const;
    // The same text carrying only the format property `property`, so runs
    // change only where its value does: far cheaper to copy when a reader
    // (trigger matching) needs nothing else of the styles.
    CVAttributedString attributedSubstring(CVRange range, int property) const;
    // The attributes at `index` and, when asked, the longest range around it
    // with equal attributes. Out of range: empty attributes and an empty range.
    QTextCharFormat attributesAtIndex(qsizetype index, CVRange* effectiveRange = nullptr) const;
    // Calls `block` for each run within `range` (clipped to it), front to
    // back or back to front, until it sets stop. The block must not change
    // the model.
    void enumerateAttributes(CVRange range, const CVAttributedString::RunBlock& block,
                             Direction direction = Direction::Forward) const;

    // Calls `block(text, whitespace, range)` for each stretch within `range`
    // (clipped to it) stored in one style: its characters take `text`, its
    // white space `whitespace` (the same format for text not styled apart).
    // For painters, which may draw white space in either format where the
    // two look alike. The block must not change the model.
    using StyleRunBlock =
        std::function<void(const QTextCharFormat& text, const QTextCharFormat& whitespace, CVRange range)>;
    void enumerateStyleRuns(CVRange range, const StyleRunBlock& block) const;

    // Lines end after "\n"; the last line is the text after the last "\n"
    // (possibly empty), so there is always at least one line.
    qsizetype lineCount() const { return qsizetype(m_lines.size()); }
    // The line's characters including its "\n"; empty for a line out of range.
    CVRange lineRange(qsizetype line) const;
    // The line holding `offset` (clamped to the text; the end of the text
    // belongs to the last line).
    qsizetype lineForOffset(qsizetype offset) const;

    // Distinct formats in use.
    qsizetype formatCount() const { return m_formats.count(); }

signals:
    // Sent before a change removes `charsRemoved` code units at `position`
    // (a replacement or clear), while they can still be read.
    void contentsAboutToChange(qsizetype position, qsizetype charsRemoved);
    // Like QTextDocument::contentsChange: at `position`, `charsRemoved`
    // code units were replaced by `charsAdded`. An append reports the old
    // length as position and nothing removed.
    void contentsChanged(qsizetype position, qsizetype charsRemoved, qsizetype charsAdded);

private:
    struct Line {
        qsizetype start;
        qsizetype firstRun;
    };
    // A run's formats: its characters' and its white space's (the same
    // index when white space is not drawn apart).
    struct Formats {
        quint32 text;
        quint32 whitespace;
        bool operator==(const Formats&) const = default;
    };
    struct Run {
        quint32 start; // within its line
        Formats formats;
    };
    // A stored run: its index in m_runs and the line it belongs to.
    struct RunPosition {
        qsizetype line;
        qsizetype run;
    };
    // What readers see: a stretch of one format within a stored run.
    struct Stretch {
        RunPosition position;
        CVRange range;
        quint32 format;
    };

    CVRange clipped(CVRange range) const;
    qsizetype lineEnd(qsizetype line) const;
    qsizetype lineRunEnd(qsizetype line) const;
    RunPosition runPositionAt(qsizetype index) const;
    CVRange runRange(RunPosition position) const;
    bool nextRun(RunPosition& position) const;
    bool previousRun(RunPosition& position) const;
    Stretch stretchAt(qsizetype index) const;
    // The stretch starting at `start` (scanning forward) or ending at `end`
    // (scanning back) within the run at `position`.
    Stretch stretchFrom(RunPosition position, qsizetype start) const;
    Stretch stretchTo(RunPosition position, qsizetype end) const;
    bool nextStretch(Stretch& stretch) const;
    bool previousStretch(Stretch& stretch) const;

    // The table index for a format named by `id` (see m_knownFormats).
    quint32 formatIndex(const QTextCharFormat& format, CVFormatId id);
    void appendStored(QStringView text, quint32 format);
    void appendStored(const CVAttributedString& text);
    // Where indexing goes on: the last line's start and whether it has a
    // run yet, and that run's formats.
    struct IndexCursor {
        qsizetype lineStart;
        bool lineHasRun;
        Formats lastFormats;
    };
    IndexCursor indexCursor() const;
    // Records the runs and line starts of `text`, already stored at
    // `position`, and moves `cursor` past it.
    void indexStored(QStringView text, qsizetype position, Formats formats, IndexCursor& cursor);
    void truncate(qsizetype length);

    MUDChunkedText m_text;
    std::deque<Line> m_lines;
    std::deque<Run> m_runs;
    MUDFormatTable m_formats;
    // Styled text switches among a few formats, each named by an id: the
    // table is asked once per id (slots by the id's number). Forgotten
    // whenever a run goes, since that may free a table entry.
    struct KnownFormat {
        CVFormatId id;
        quint32 format = 0;
    };
    std::array<KnownFormat, 128> m_knownFormats{};
};
