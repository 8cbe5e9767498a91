#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>

#include "app/session/MUDWindowState.h"

class MUDDocument;
class MUDExitsWindowController;
class MUDMessagesWindowController;
class QWidget;

// The messages and exits windows of one session window: made on first
// show, kept above the session window and moved along with it, and showing
// what the session's scripts reported. Their frames are saved with the
// session window's and restored when its session restores its state.
// Owned by the session window.
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

    QPointer<MUDDocument> m_document;
    QWidget* m_sessionWindow;
    QPointer<MUDMessagesWindowController> m_messagesWindowController;
    QPointer<MUDExitsWindowController> m_exitsWindowController;
    QPoint m_lastSessionPosition;
};
