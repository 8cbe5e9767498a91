#include "app/session/MUDMessagesWindowController.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include "app/session/MUDDocument.h"
#include "core/CVColorHelpers.h"

namespace {

// The height of the gap between two messages, in points.
constexpr qreal MessageGapHeight = 5;
// How far the window sticks out to the right of the session window, and its
// distance below the session window's top edge.
constexpr int OutsideOffset = 300;
constexpr int RightInset = 2;
constexpr int TopInset = 52;

}

MUDMessagesWindowController::MUDMessagesWindowController(MUDDocument* document, QWidget* parent)
    : MUDExtraWindow(parent)
    , m_document(document)
{
    setWindowTitle(tr("Messages"));
    setBackgroundColor(backgroundColor());
    if (m_document) {
        connect(m_document, &MUDDocument::messagesChanged, this, &MUDMessagesWindowController::syncWithDocument);
        syncWithDocument();
    }
}

QColor MUDMessagesWindowController::backgroundColor()
{
    return darkerColor(hexToColor(u"2d1a31"));
}

QPoint MUDMessagesWindowController::originBesideSessionFrame(const QRect& sessionFrame, const QSize& size)
{
    return {sessionFrame.x() + sessionFrame.width() - size.width() - RightInset + OutsideOffset,
            sessionFrame.y() + TopInset};
}

void MUDMessagesWindowController::syncWithDocument()
{
    const QList<MUDMessage> messages = m_document->messages();
    // The session's list only grows, or is emptied as a whole.
    if (messages.size() < m_shownCount) {
        clearMessages();
        m_shownCount = 0;
    }
    for (qsizetype i = m_shownCount; i < messages.size(); ++i)
        addMessage(messages.at(i));
    m_shownCount = messages.size();
}

void MUDMessagesWindowController::addMessage(const MUDMessage& message)
{
    if (message.message().isEmpty())
        return;
    QTextEdit* view = messagesTextView();
    QTextCursor cursor(view->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    // The session's output font: messages are read as closely as the output.
    format.setFont(MUDDocument::localFont());
    format.setForeground(textColor());
    if (!view->document()->isEmpty()) {
        // The empty line the previous message ended with becomes a thin gap.
        QTextBlockFormat gap;
        gap.setLineHeight(MessageGapHeight, QTextBlockFormat::FixedHeight);
        cursor.setBlockFormat(gap);
        cursor.insertBlock(QTextBlockFormat(), format);
    } else {
        cursor.setBlockFormat(QTextBlockFormat());
    }
    cursor.insertText(message.message(), format);
    cursor.insertBlock(QTextBlockFormat(), format);
    scrollToEnd();
}

void MUDMessagesWindowController::clearMessages()
{
    messagesTextView()->clear();
    scrollToEnd();
}

void MUDMessagesWindowController::scrollToEnd()
{
    QScrollBar* scroller = messagesTextView()->verticalScrollBar();
    // The scroller stays off while the view jumps, so it does not flash.
    const Qt::ScrollBarPolicy policy = messagesTextView()->verticalScrollBarPolicy();
    messagesTextView()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    messagesTextView()->moveCursor(QTextCursor::End);
    messagesTextView()->ensureCursorVisible();
    scroller->setValue(scroller->maximum());
    messagesTextView()->setVerticalScrollBarPolicy(policy);
}
