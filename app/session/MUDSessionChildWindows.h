#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include "app/session/MUDWindowState.h"

class MUDDocument;
class MUDExitsWindowController;
class MUDMessagesWindowController;
class QWidget;

// The messages and exits windows of one session window: made on first
// show, kept above the session window and beside it as it moves or is
// resized, and showing what the session's scripts reported. The messages
// window appears with the session window, so scripts' messages are seen
// from the start. Their frames are saved with the session window's and
// restored when its session restores its state (which may close the
// messages window again). Owned by the session window.
// Main thread.
class MUDSessionChildWindows : public QObject {
    Q_OBJECT
public:
    // Attaches the child windows of `document` to `sessionWindow`, which owns the result.
    static MUDSessionChildWindows* attach(MUDDocument* document, QWidget* sessionWindow);

    void showCommunicationsWindow();
    void showExitsWindow();
    void hideExitsWindow();
    // The View menu's toggles and their check marks.
    void onViewCommunicationMainMenuItem();
    void onViewExitsMainMenuItem();
    bool isCommunicationsWindowVisible() const;
    bool isExitsWindowVisible() const;
    // "messagesWindowFrame" and "exitsWindowFrame" of the windows now visible.
    MUDWindowState::Frames windowFrames() const;

    // Null until first shown.
    MUDMessagesWindowController* messagesWindowController() const { return m_messagesWindowController; }
    MUDExitsWindowController* exitsWindowController() const { return m_exitsWindowController; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MUDSessionChildWindows(MUDDocument* document, QWidget* sessionWindow);
    void applyRestoredWindowState(bool hasState);
    // The session window has shown for the first time.
    void sessionWindowDidLoad();
    // Moves the visible child windows by as much as the session window's
    // edge they sit beside has moved since the last call.
    void followSessionWindow();

    QPointer<MUDDocument> m_document;
    QWidget* m_sessionWindow;
    QPointer<MUDMessagesWindowController> m_messagesWindowController;
    QPointer<MUDExitsWindowController> m_exitsWindowController;
    QRect m_lastSessionGeometry;
    bool m_loaded = false;
};
