#include "app/views/CVHighlightableTextView.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextFormat>

#include "app/views/CVLineNumberRuler.h"
#include "app/views/CVTextStorage.h"
#include "engine/highlighting/CVHighlightableLayoutManager.h"
#include "engine/highlighting/CVSyntaxHighlighter.h"

CVHighlightableTextView::CVHighlightableTextView(QWidget* parent)
    : QPlainTextEdit(parent)
    , m_textStorage(new CVTextStorage(this))
    , m_ruler(new CVLineNumberRuler(this))
{
    setDocument(m_textStorage);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    m_ruler->setAutoFillBackground(false);
    connect(this, &QPlainTextEdit::blockCountChanged, this, &CVHighlightableTextView::updateRulerGeometry);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (dy != 0)
            m_ruler->scroll(0, dy);
        else
            m_ruler->update(0, rect.y(), m_ruler->width(), rect.height());
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CVHighlightableTextView::selectionDidChange);
    updateRulerGeometry();
}

CVHighlightableTextView::~CVHighlightableTextView()
{
    // The highlighter watches the text storage, a child of this view.
    m_syntaxHighlighter.reset();
}

void CVHighlightableTextView::setSyntaxHighlighter(std::unique_ptr<CVSyntaxHighlighter> syntaxHighlighter)
{
    m_syntaxHighlighter = std::move(syntaxHighlighter);
    viewport()->update();
}

void CVHighlightableTextView::highlight()
{
    if (!m_syntaxHighlighter)
        return;
    const QTextCursor selection = textCursor();
    m_syntaxHighlighter->invalidateAllSyntax();
    highlightCurrentVisibileRange(true);
    const int length = m_textStorage->characterCount() - 1;
    if (selection.anchor() <= length && selection.position() <= length)
        setTextCursor(selection);
}

void CVHighlightableTextView::highlightCurrentVisibileRange(bool clearCache)
{
    if (!m_syntaxHighlighter)
        return;
    const CVRange visible = visibleCharacterRange();
    CVHighlightableLayoutManager target(m_textStorage);
    target.removeAttribute(QTextFormat::BackgroundBrush, visible);
    m_syntaxHighlighter->highlightRange(visible, clearCache);
}

CVRange CVHighlightableTextView::visibleCharacterRange() const
{
    return characterRangeForRect(viewport()->rect());
}

CVRange CVHighlightableTextView::characterRangeForRect(const QRect& rect) const
{
    const QPointF offset = contentOffset();
    QTextBlock block = firstVisibleBlock();
    if (!block.isValid())
        return {};
    qsizetype start = -1;
    qsizetype end = block.position();
    for (; block.isValid(); block = block.next()) {
        const QRectF bounds = blockBoundingGeometry(block).translated(offset);
        if (bounds.top() > rect.bottom())
            break;
        if (bounds.bottom() < rect.top())
            continue;
        if (start < 0)
            start = block.position();
        end = block.position() + block.length() - 1;
    }
    if (start < 0)
        return {};
    return {start, end - start};
}

QList<std::pair<int, int>> CVHighlightableTextView::visibleLines(int top, int bottom) const
{
    QList<std::pair<int, int>> lines;
    const QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        const QRectF bounds = blockBoundingGeometry(block).translated(offset);
        if (bounds.top() > bottom)
            break;
        if (block.isVisible() && bounds.bottom() >= top)
            lines.append({block.blockNumber() + 1, int(bounds.top())});
    }
    return lines;
}

void CVHighlightableTextView::paintEvent(QPaintEvent* event)
{
    if (m_syntaxHighlighter)
        m_syntaxHighlighter->highlightRange(characterRangeForRect(event->rect()), false);
    QPlainTextEdit::paintEvent(event);
}

void CVHighlightableTextView::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    updateRulerGeometry();
}

void CVHighlightableTextView::updateRulerGeometry()
{
    const int width = m_ruler->rulerWidth();
    setViewportMargins(width, 0, 0, 0);
    const QRect contents = contentsRect();
    m_ruler->setGeometry(contents.left(), contents.top(), width, contents.height());
}

void CVHighlightableTextView::selectionDidChange()
{
    const int lineNumber = textCursor().blockNumber();
    if (lineNumber == m_lastLineNumber)
        return;
    m_lastLineNumber = lineNumber;
    m_ruler->update();
}

void CVHighlightableTextView::cancel()
{
    if (m_cancelling)
        return;
    m_cancelling = true;
    if (m_cancelBlock)
        m_cancelBlock();
    m_cancelling = false;
}

void CVHighlightableTextView::moveWord(bool forward, QTextCursor::MoveMode mode)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(int(m_textStorage->nextWordFromIndex(cursor.position(), forward)), mode);
    setTextCursor(cursor);
}

void CVHighlightableTextView::keyPressEvent(QKeyEvent* event)
{
    const bool isSpace = event->key() == Qt::Key_Space;
    if (event->key() == Qt::Key_Escape && m_cancelBlock) {
        cancel();
        event->accept();
    } else if (event == QKeySequence::MoveToNextWord || event == QKeySequence::MoveToPreviousWord) {
        moveWord(event == QKeySequence::MoveToNextWord, QTextCursor::MoveAnchor);
    } else if (event == QKeySequence::SelectNextWord || event == QKeySequence::SelectPreviousWord) {
        moveWord(event == QKeySequence::SelectNextWord, QTextCursor::KeepAnchor);
    } else {
        QPlainTextEdit::keyPressEvent(event);
    }
    m_lastKeyWasSpace = isSpace;
}

void CVHighlightableTextView::inputMethodEvent(QInputMethodEvent* event)
{
    // An input method's double-space shortcut replaces the space just typed
    // with ". "; in code two spaces are meant.
    if (m_lastKeyWasSpace && event->commitString() == QLatin1String(". ") && event->replacementLength() > 0) {
        QTextCursor cursor = textCursor();
        const int start = cursor.position() + event->replacementStart();
        cursor.beginEditBlock();
        cursor.setPosition(start);
        cursor.setPosition(start + event->replacementLength(), QTextCursor::KeepAnchor);
        cursor.insertText(QStringLiteral("  "));
        cursor.endEditBlock();
        setTextCursor(cursor);
        event->accept();
        m_lastKeyWasSpace = false;
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void CVHighlightableTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    // The character under the pointer: the caret position found lies on
    // whichever side of it is nearer.
    const QTextCursor hit = cursorForPosition(event->position().toPoint());
    qsizetype index = hit.position();
    if (index > 0 && event->position().x() < cursorRect(hit).left())
        --index;
    const CVRange word = m_textStorage->doubleClickAtIndex(index);
    if (word.length == 0)
        return;
    QTextCursor cursor = textCursor();
    cursor.setPosition(int(word.location));
    cursor.setPosition(int(word.end()), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void CVHighlightableTextView::insertFromMimeData(const QMimeData* source)
{
    // Whatever the clipboard offers, only its text is pasted.
    if (source && source->hasText())
        textCursor().insertText(source->text());
}
