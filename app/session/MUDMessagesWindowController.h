#pragma once

#include <QPoint>
#include <QPointer>
#include <QRect>

#include "app/session/MUDExtraWindow.h"

class MUDDocument;
class MUDMessage;

// The session's messages window: every message scripts posted with
// addComm, in arrival order, with a thin gap between messages. The list
// itself is the session's; the window shows it and follows its changes.
// Main thread.
class MUDMessagesWindowController : public MUDExtraWindow {
    Q_OBJECT
public:
    // Shows the messages `document` already holds and every later change.
    explicit MUDMessagesWindowController(MUDDocument* document, QWidget* parent = nullptr);

    QTextEdit* messagesTextView() const { return textView(); }
    // Appends one message (already trimmed by the session) and scrolls to the end.
    void addMessage(const MUDMessage& message);
    // Empties the view and scrolls to the end.
    void clearMessages();
    void scrollToEnd();

    // Beside the session window's top right edge, sticking out 298 points.
    static QPoint originBesideSessionFrame(const QRect& sessionFrame, const QSize& size);

    static QColor backgroundColor();

private:
    void syncWithDocument();

    QPointer<MUDDocument> m_document;
    // How many of the session's messages the view shows.
    qsizetype m_shownCount = 0;
};
