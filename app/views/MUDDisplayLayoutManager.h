#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QTextCharFormat>
#include <QTextLayout>
#include <map>
#include <memory>

#include "app/views/MUDDisplayLines.h"
#include "core/CVRange.h"

class MUDOutputModel;
class QPainter;

// Lays out the lines of a session's output for the output view: one
// QTextLayout per display line (an output line, or a piece of a very long
// one: MUDDisplayLines), wrapped to the view's width, built only when a line
// is about to be shown and kept while it stays near the screen, so the cost
// of painting never depends on how long the output or any of its lines is.
// Also draws a line with its overlays and, when the engine preference asks
// for it, white-space marks. Lines below are display lines. Main thread.
class MUDDisplayLayoutManager {
public:
    // Space around the text inside the view.
    static constexpr qreal Margin = 4.0;

    explicit MUDDisplayLayoutManager(const MUDOutputModel& model);
    ~MUDDisplayLayoutManager();

    void setFont(const QFont& font);
    const QFont& font() const { return m_font; }
    void setWidth(qreal width);
    void setLinkColor(const QColor& color);
    // "High-contrast colours": the palette's dark entries drawn readable on
    // `background` (the view's) or their run's own background. The output
    // keeps its colours; only the drawing changes.
    void setHighContrast(bool on, const QColor& background);

    // Follows a change of the output at `position`: drops the layouts from
    // the first display line it changed, which it returns.
    qsizetype outputChanged(qsizetype position);
    const MUDDisplayLines& displayLines() const { return m_displayLines; }
    qsizetype displayedLineCount() const { return m_displayLines.count(); }
    // Characters of a line without its line feed.
    CVRange displayedRange(qsizetype line) const { return m_displayLines.range(line); }
    qsizetype displayLineForOffset(qsizetype offset) const { return m_displayLines.displayLineForOffset(offset); }

    const QTextLayout& layout(qsizetype line) { return *entry(line).layout; }
    qreal lineHeight(qsizetype line) { return entry(line).height; }
    // Drops the layouts of `line` and every line after it.
    void invalidateFrom(qsizetype line);
    void invalidateAll();
    // Forgets layouts outside [first, last] once more are kept than needed.
    void retainOnly(qsizetype first, qsizetype last);

    // Layouts built so far (each line shown costs one until invalidated).
    quint64 layoutsBuilt() const { return m_layoutsBuilt; }
    qsizetype cachedLayoutCount() const { return qsizetype(m_layouts.size()); }

    // The rectangles that a character range of a line covers, one per
    // wrapped row, relative to the line's origin.
    QList<QRectF> rangeRects(qsizetype line, CVRange lineRange);
    // The character of `line` nearest to `point` (relative to the line's origin).
    qsizetype offsetAt(qsizetype line, QPointF point);

    // Draws the line with `overlays` (ranges within the line) at `origin`;
    // with white-space marks on, draws them first in `textColor`.
    void drawLine(QPainter& painter, qsizetype line, QPointF origin, const QList<QTextLayout::FormatRange>& overlays,
                  const QColor& textColor);

private:
    struct Entry {
        std::unique_ptr<QTextLayout> layout;
        qreal height = 0;
    };
    const Entry& entry(qsizetype line);
    std::unique_ptr<QTextLayout> buildLayout(qsizetype line) const;
    void drawWhitespaceMarks(QPainter& painter, qsizetype line, QPointF origin, const QColor& textColor);

    const MUDOutputModel& m_model;
    MUDDisplayLines m_displayLines;
    QFont m_font;
    // The family and size of m_font, laid over every run's format.
    QTextCharFormat m_fontOverride;
    qreal m_width = 0;
    qreal m_tabWidth = 0;
    QColor m_linkColor{Qt::blue};
    bool m_highContrast = false;
    QColor m_background;
    // By line, so a change drops the layouts from its line on in one cut.
    std::map<qsizetype, Entry> m_layouts;
    quint64 m_layoutsBuilt = 0;
};
