#include "app/views/MUDCommandTextView.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>

#include "app/views/MUDCommandTextViewDelegate.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDFindBar.h"
#include "core/CVLogHelper.h"

MUDCommandTextView::MUDCommandTextView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setTabChangesFocus(false);
    setAccessibleName(tr("Input"));
    setAccessibleDescription(tr("Commands to send; Tab completes a word, Up and Down recall earlier commands"));
    setUndoRedoEnabled(true);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(document(), &QTextDocument::contentsChanged, this, &MUDCommandTextView::updateHeight);
    connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &MUDCommandTextView::updateHeight);
    updateHeight();

    m_passwordField = new QLineEdit(this);
    m_passwordField->setEchoMode(QLineEdit::Password);
    m_passwordField->setAccessibleName(tr("Password"));
    m_passwordField->hide();
    connect(m_passwordField, &QLineEdit::returnPressed, this, [this] {
        if (m_delegate)
            m_delegate->MUDCommandTextViewReturnKey(this);
    });
}

QString MUDCommandTextView::text() const
{
    return m_passwordMode ? m_passwordField->text() : toPlainText();
}

void MUDCommandTextView::selectAll()
{
    if (m_passwordMode)
        m_passwordField->selectAll();
    else
        QPlainTextEdit::selectAll();
}

void MUDCommandTextView::setPasswordMode(bool passwordMode)
{
    if (m_passwordMode == passwordMode)
        return;
    m_passwordMode = passwordMode;
    clearCompletion();
    m_passwordField->clear();
    // The window's focus child, so an inactive window gets it right on return.
    const QWidget* focused = window()->focusWidget();
    const bool hadFocus = focused == this || focused == m_passwordField;
    if (passwordMode) {
        m_passwordField->setGeometry(rect());
        m_passwordField->show();
        m_passwordField->raise();
        setFocusProxy(m_passwordField);
    } else {
        setFocusProxy(nullptr);
        m_passwordField->hide();
    }
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
}

void MUDCommandTextView::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    m_passwordField->setGeometry(rect());
}

void MUDCommandTextView::setMainTextView(MUDDisplayScrollView* mainTextView)
{
    m_mainTextView = mainTextView;
}

void MUDCommandTextView::setText(const QString& text)
{
    if (m_passwordMode) {
        m_passwordField->setText(text);
        return;
    }
    setPlainText(text);
    moveCursor(QTextCursor::End);
}

int MUDCommandTextView::lineIndexForCursor(int* lineCount) const
{
    const QString text = toPlainText();
    if (lineCount)
        *lineCount = int(text.count(u'\n')) + 1;
    return int(QStringView(text).left(textCursor().selectionStart()).count(u'\n'));
}

void MUDCommandTextView::keyPressEvent(QKeyEvent* event)
{
    // Keys the password field passes on (arrows, Tab) browse no history and
    // complete nothing, and nothing is typed underneath.
    if (m_passwordMode) {
        event->ignore();
        return;
    }
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->matches(QKeySequence::Find)) {
        performFindPanelAction();
        return;
    }
    if (event->matches(QKeySequence::FindNext) || event->matches(QKeySequence::FindPrevious)) {
        if (m_mainTextView)
            m_mainTextView->performFind(m_mainTextView->findBar()->text(), event->matches(QKeySequence::FindNext));
        return;
    }
    if (key == Qt::Key_Tab && modifiers == Qt::NoModifier) {
        // Tab completes; it never inserts a tab character.
        if (m_delegate)
            processTabKey();
        return;
    }
    if (key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt || key == Qt::Key_Meta) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    clearCompletion();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (m_delegate && modifiers == Qt::NoModifier)
            m_delegate->MUDCommandTextViewReturnKey(this);
        else
            textCursor().insertBlock();
        return;
    }
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && modifiers == Qt::NoModifier && m_delegate) {
        int lineCount = 0;
        const int line = lineIndexForCursor(&lineCount);
        if (key == Qt::Key_Up && line == 0) {
            // On a multi-line input, the first Up goes to the start; the next recalls history.
            if (lineCount > 1 && textCursor().position() != 0)
                moveCursor(QTextCursor::Start);
            else
                m_delegate->MUDCommandTextViewUpArrow(this);
            return;
        }
        if (key == Qt::Key_Down && line == lineCount - 1) {
            m_delegate->MUDCommandTextViewDownArrow(this);
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MUDCommandTextView::inputMethodEvent(QInputMethodEvent* event)
{
    if (m_passwordMode) {
        event->ignore();
        return;
    }
    if (!event->commitString().isEmpty())
        clearCompletion();
    QPlainTextEdit::inputMethodEvent(event);
}

void MUDCommandTextView::focusInEvent(QFocusEvent* event)
{
    CVLog(QStringLiteral("canBecomeFirstResponder"));
    QPlainTextEdit::focusInEvent(event);
}

void MUDCommandTextView::changeEvent(QEvent* event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateHeight();
}

void MUDCommandTextView::processTabKey()
{
    if (m_partialList)
        insertNextCompletion();
    else
        insertCompletionFromScratch();
}

void MUDCommandTextView::insertCompletionFromScratch()
{
    const QStringList keywords = m_delegate ? m_delegate->MUDCommandTextWantsKeywords(this) : QStringList();
    const QString text = toPlainText();
    const qsizetype cursor = textCursor().position();
    const qsizetype start = cursor > 0 ? text.lastIndexOf(u' ', cursor - 1) + 1 : 0;
    const QString word = text.mid(start, cursor - start);
    QStringList candidates;
    for (const QString& keyword : keywords) {
        if (keyword.startsWith(word, Qt::CaseSensitive))
            candidates.append(keyword);
    }
    m_completionStartLocation = start;
    m_keywordsIndex = 0;
    m_partialList = candidates;
    if (candidates.isEmpty()) {
        clearCompletion();
        return;
    }
    replaceCompletionWord(cursor, candidates.first());
}

void MUDCommandTextView::insertNextCompletion()
{
    if (!m_partialList || m_partialList->isEmpty())
        return;
    const QString text = toPlainText();
    qsizetype end = text.indexOf(u' ', m_completionStartLocation);
    if (end < 0)
        end = text.size();
    m_keywordsIndex = (m_keywordsIndex + 1) % m_partialList->size();
    replaceCompletionWord(end, m_partialList->at(m_keywordsIndex));
}

void MUDCommandTextView::replaceCompletionWord(qsizetype end, const QString& word)
{
    QTextCursor cursor(document());
    cursor.setPosition(int(std::min<qsizetype>(m_completionStartLocation, document()->characterCount() - 1)));
    cursor.setPosition(int(std::min<qsizetype>(end, document()->characterCount() - 1)), QTextCursor::KeepAnchor);
    cursor.insertText(word);
    setTextCursor(cursor);
}

void MUDCommandTextView::clearCompletion()
{
    if (m_partialList)
        CVLog(QStringLiteral("Clear completion"));
    m_completionStartLocation = 0;
    m_keywordsIndex = 0;
    m_partialList.reset();
}

void MUDCommandTextView::insertFromMimeData(const QMimeData* source)
{
    // Styles never enter the input: only the characters.
    clearCompletion();
    if (source && source->hasText())
        insertPlainText(source->text());
}

void MUDCommandTextView::performFindPanelAction()
{
    if (!m_mainTextView)
        return;
    m_mainTextView->setFocus(Qt::ShortcutFocusReason);
    QTimer::singleShot(0, m_mainTextView, [view = m_mainTextView] {
        if (view)
            view->showFindBar();
    });
}

int MUDCommandTextView::contentHeight() const
{
    const qreal lineHeight = fontMetrics().lineSpacing();
    const qreal limit = MaximumVisibleLines * lineHeight;
    qreal textHeight = 0;
    for (QTextBlock block = document()->begin(); block.isValid() && textHeight < limit; block = block.next())
        textHeight += blockBoundingRect(block).height();
    textHeight = std::clamp(textHeight, lineHeight, limit);
    const qreal chrome = 2 * document()->documentMargin() + 2 * frameWidth();
    return std::max(MinimumHeight, int(std::ceil(textHeight + chrome)));
}

QSize MUDCommandTextView::sizeHint() const
{
    return {QPlainTextEdit::sizeHint().width(), contentHeight()};
}

QSize MUDCommandTextView::minimumSizeHint() const
{
    return {QPlainTextEdit::minimumSizeHint().width(), MinimumHeight};
}

void MUDCommandTextView::updateHeight()
{
    const int height = contentHeight();
    if (height == m_height)
        return;
    m_height = height;
    setFixedHeight(height);
    emit heightChanged(height);
}
