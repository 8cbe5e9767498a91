#pragma once

#include <QColor>
#include <QList>
#include <QPointer>
#include <QTextCharFormat>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/views/MUDDisplayLayoutManager.h"
#include "app/views/MUDMatchTestOverlay.h"
#include "core/CVRange.h"
#include "engine/automation/MUDMatchTest.h"

class MUDCommandTextView;
class MUDOutputModel;

// The output view's drawing surface (the viewport of MUDDisplayScrollView):
// paints the lines of a session's output that are on screen, bottom line
// given by the scroller (lines here are display lines: MUDDisplayLines), and handles selection and copy, links,
// blinking, the trigger editor's match test, find highlights and typing that belongs to the input line. Blinking and
// highlights are overlays drawn over the text: the output itself never changes. Main thread.
class MUDDisplayTextView : public QWidget {
    Q_OBJECT
public:
    explicit MUDDisplayTextView(MUDOutputModel& model, QWidget* parent = nullptr);
    ~MUDDisplayTextView() override;

    MUDOutputModel& output() const { return m_model; }
    MUDDisplayLayoutManager& layoutManager() { return m_layoutManager; }
    void setCommandTextView(MUDCommandTextView* commandTextView);
    void setFont(const QFont& font);

    // The display line (MUDDisplayLines) drawn at the bottom of the view (the scroller's position).
    qsizetype bottomLine() const { return m_bottomLine; }
    void setBottomLine(qsizetype line);
    // The smallest bottom line: there the view shows the output from its top, the first line whole.
    qsizetype firstBottomLineFillingView();
    // Lines on screen, top to bottom, with their top edge.
    struct VisibleLine {
        qsizetype line;
        qreal top;
        qreal height;
    };
    const std::vector<VisibleLine>& visibleLines();
    // The characters of the lines on screen.
    CVRange calculateVisibleRange();

    CVRange selectedRange() const;
    void setSelectedRange(CVRange range);
    QString selectedText() const;
    void copy() const;
    // The output is read-only: cutting only beeps.
    void cut();
    // How the view beeps: the system beep unless set.
    void setBeep(std::function<void()> beep);
    void selectAll();
    // The end of the selection that moves; with no selection, the review
    // caret a screen reader reads from.
    qsizetype cursorPosition() const { return m_selectionCursor; }
    void setCursorPosition(qsizetype offset);

    // The box of the character at `offset` in view coordinates (a thin box
    // after the last character for a line end); null when it is not on screen.
    QRect characterRect(qsizetype offset);
    // The output offset under `point`; with `onCharacter` only a character
    // actually under it, else the nearest boundary.
    std::optional<qsizetype> offsetAt(QPointF point, bool onCharacter = false);
    // Asks the scroller to bring the line holding `offset` into view.
    void revealOffset(qsizetype offset);

    // Blinking text hides and shows in turn, once per call; while blinking
    // is off ("Don't blink text") it stays shown.
    void updateBlink();
    void setBlinkingEnabled(bool enabled);
    bool blinkState() const { return m_blinkState; }

    // The trigger editor's match test to show over the visible lines (none clears it).
    void highlightScriptTest(const std::optional<MUDMatchTest>& matchTest);
    using Highlight = MUDMatchTestOverlay::Highlight;
    // The highlights of the match test over the visible lines (output ranges).
    const QList<Highlight>& matchHighlights();

    // Occurrences of `text` on screen are marked (empty: none).
    void setFindString(const QString& text);

signals:
    // A click on a link run: the link's target and the run's attributes.
    void linkActivated(const QString& value);
    void linkAttributesActivated(const QTextCharFormat& attributes);
    // A drag selection left the view: scroll by `lines`.
    void dragScrollRequested(int lines);
    // Keys the scroller acts on (page, home and end) and find.
    void scrollKeyPressed(QKeyEvent* event);
    void findRequested();
    void findNextRequested(bool forward);
    // The view's size changed (the scroller's range follows).
    void viewResized();
    // The display line the scroller should bring into view.
    void revealRequested(qsizetype displayLine);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Tab in the output completes in the input line instead of moving focus.
    bool focusNextPrevChild(bool next) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void contentsChanged(qsizetype position, qsizetype charsRemoved, qsizetype charsAdded);
    void contentsAboutToChange(qsizetype position, qsizetype charsRemoved);
    void layoutVisibleLines();
    std::optional<QTextCharFormat> linkAt(QPointF point);
    QList<QTextLayout::FormatRange> overlaysForLine(qsizetype displayLine);
    void drawUnderlines(QPainter& painter, const VisibleLine& visible, CVRange lineRange);
    void focusCommandTextView();

    MUDOutputModel& m_model;
    MUDDisplayLayoutManager m_layoutManager;
    QPointer<MUDCommandTextView> m_commandTextView;
    qsizetype m_bottomLine = 0;
    std::vector<VisibleLine> m_visibleLines;
    bool m_visibleLinesValid = false;
    // firstBottomLineFillingView(), kept until the lines it counted change.
    std::optional<qsizetype> m_fillingLine;

    qsizetype m_selectionAnchor = 0;
    qsizetype m_selectionCursor = 0;
    bool m_selecting = false;
    std::optional<QTextCharFormat> m_pressedLink;

    bool m_blinkState = false;
    bool m_blinkingEnabled = true;
    std::function<void()> m_beep;

    MUDMatchTestOverlay m_matchTest;
    // Counts changes of the output, so the match test knows when to look again.
    quint64 m_generation = 0;

    QString m_findString;
    // The text a change is about to remove, kept for the screen reader only while one listens.
    QString m_removedText;
};
