#pragma once

#include <QPointer>

#include "app/session/MUDExtraWindow.h"

class MUDDocument;

// The session's exits window: the room exits the last script reported, one
// per line. It follows the session's exit list. Main thread.
class MUDExitsWindowController : public MUDExtraWindow {
    Q_OBJECT
public:
    explicit MUDExitsWindowController(MUDDocument* document, QWidget* parent = nullptr);

    QTextEdit* exitsTextView() const { return textView(); }
    // Replaces the view's content with the exit lines.
    void setExitsText(const QString& text);

    // Beside the session window's bottom right edge, sticking out like the messages window.
    static QPoint originBesideSessionFrame(const QRect& sessionFrame, const QSize& size);

    static QColor backgroundColor();

private:
    QPointer<MUDDocument> m_document;
};
