#pragma once

#include <QPlainTextEdit>
#include <functional>
#include <memory>
#include <utility>

#include "core/CVRange.h"

class CVLineNumberRuler;
class CVSyntaxHighlighter;
class CVTextStorage;

// The code editor of the script manager, the login-script sheet and the
// script error window: a plain-text view over a CVTextStorage with a
// line-number gutter. Colouring is lazy: before each draw the highlighter
// paints the blocks being drawn, so text that is never shown is never
// painted. Paste is always plain text; full stops are word boundaries; a
// proposed ". " after a typed space becomes two spaces. Main thread.
class CVHighlightableTextView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CVHighlightableTextView(QWidget* parent = nullptr);
    ~CVHighlightableTextView() override;

    CVTextStorage* textStorage() const { return m_textStorage; }
    CVSyntaxHighlighter* syntaxHighlighter() const { return m_syntaxHighlighter.get(); }
    // The view keeps the highlighter; it should watch textStorage().
    void setSyntaxHighlighter(std::unique_ptr<CVSyntaxHighlighter> syntaxHighlighter);

    // Tokenises the whole text again and repaints what is visible, keeping the selection.
    void highlight();
    // Clears the temporary background of the visible text and paints it.
    void highlightCurrentVisibileRange(bool clearCache);
    // The characters of the blocks currently on screen.
    CVRange visibleCharacterRange() const;

    // Runs instead of the default on Escape (for example to close a sheet).
    void setCancelBlock(std::function<void()> cancelBlock) { m_cancelBlock = std::move(cancelBlock); }
    void cancel();

    // Line numbers (1-based) and their top edge for the lines between the
    // two viewport heights; used by the gutter.
    QList<std::pair<int, int>> visibleLines(int top, int bottom) const;
    CVLineNumberRuler* lineNumberRuler() const { return m_ruler; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    // The character range of the blocks meeting the viewport rectangle.
    CVRange characterRangeForRect(const QRect& rect) const;
    void updateRulerGeometry();
    void selectionDidChange();
    // Moves (or extends the selection) to the next or previous word stop.
    void moveWord(bool forward, QTextCursor::MoveMode mode);

    CVTextStorage* m_textStorage;
    CVLineNumberRuler* m_ruler;
    std::unique_ptr<CVSyntaxHighlighter> m_syntaxHighlighter;
    std::function<void()> m_cancelBlock;
    bool m_cancelling = false;
    bool m_lastKeyWasSpace = false;
    int m_lastLineNumber = -1;
};
