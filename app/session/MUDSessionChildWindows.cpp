#include "app/session/MUDSessionChildWindows.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

#include "app/session/MUDDocument.h"
#include "app/session/MUDExitsWindowController.h"
#include "app/session/MUDMessagesWindowController.h"
#include "app/session/MUDSessionWindow.h"

namespace {
const QString kMessagesWindowFrameKey = QStringLiteral("messagesWindowFrame");
const QString kExitsWindowFrameKey = QStringLiteral("exitsWindowFrame");
}

MUDSessionChildWindows* MUDSessionChildWindows::attach(MUDDocument* document, QWidget* sessionWindow)
{
    return new MUDSessionChildWindows(document, sessionWindow);
}

MUDSessionChildWindows::MUDSessionChildWindows(MUDDocument* document, QWidget* sessionWindow)
    : QObject(sessionWindow)
    , m_document(document)
    , m_sessionWindow(sessionWindow)
    , m_lastSessionGeometry(sessionWindow->geometry())
{
    sessionWindow->installEventFilter(this);
    if (auto* window = qobject_cast<MUDSessionWindow*>(sessionWindow)) {
        window->setChildWindowFramesProvider([self = QPointer<MUDSessionChildWindows>(this)] {
            return self ? self->windowFrames() : MUDWindowState::Frames();
        });
    }
    connect(document, &MUDDocument::windowStateRestored, this, &MUDSessionChildWindows::applyRestoredWindowState);
    if (sessionWindow->isVisible())
        sessionWindowDidLoad();
}

void MUDSessionChildWindows::sessionWindowDidLoad()
{
    m_loaded = true;
    m_lastSessionGeometry = m_sessionWindow->geometry();
    showCommunicationsWindow();
    hideExitsWindow();
}

MUDWindowState::Frames MUDSessionChildWindows::windowFrames() const
{
    MUDWindowState::Frames frames;
    if (isCommunicationsWindowVisible())
        frames.insert(kMessagesWindowFrameKey, QRectF(m_messagesWindowController->geometry()));
    if (isExitsWindowVisible())
        frames.insert(kExitsWindowFrameKey, QRectF(m_exitsWindowController->geometry()));
    return frames;
}

void MUDSessionChildWindows::applyRestoredWindowState(bool hasState)
{
    if (!hasState || !m_document)
        return;
    const MUDWindowState::Frames frames = m_document->restoredWindowFrames();
    if (frames.contains(kMessagesWindowFrameKey)) {
        showCommunicationsWindow();
        // A frame left on a screen that is gone (or off every screen) keeps the place beside the session window.
        const QRect saved = frames.value(kMessagesWindowFrameKey).toRect();
        const QScreen* screen = m_messagesWindowController->screen();
        if (screen && !saved.isEmpty() && saved.intersects(screen->geometry()))
            m_messagesWindowController->setGeometry(saved);
    } else if (m_messagesWindowController) {
        m_messagesWindowController->close();
    }
    if (frames.contains(kExitsWindowFrameKey)) {
        if (!m_exitsWindowController)
            m_exitsWindowController = new MUDExitsWindowController(m_document, m_sessionWindow);
        m_exitsWindowController->hide();
        m_exitsWindowController->setGeometry(frames.value(kExitsWindowFrameKey).toRect());
    } else if (m_exitsWindowController) {
        m_exitsWindowController->close();
    }
}

void MUDSessionChildWindows::showCommunicationsWindow()
{
    if (!m_messagesWindowController) {
        // A child of the session window: above it and closed with it.
        m_messagesWindowController = new MUDMessagesWindowController(m_document, m_sessionWindow);
    }
    MUDMessagesWindowController* window = m_messagesWindowController;
    window->move(MUDMessagesWindowController::originBesideSessionFrame(m_sessionWindow->frameGeometry(),
                                                                       window->frameGeometry().size()));
    window->show();
    window->raise();
    window->scrollToEnd();
}

void MUDSessionChildWindows::showExitsWindow()
{
    if (!m_exitsWindowController)
        m_exitsWindowController = new MUDExitsWindowController(m_document, m_sessionWindow);
    MUDExitsWindowController* window = m_exitsWindowController;
    window->move(MUDExitsWindowController::originBesideSessionFrame(m_sessionWindow->frameGeometry(),
                                                                    window->frameGeometry().size()));
    window->show();
    window->raise();
}

void MUDSessionChildWindows::hideExitsWindow()
{
    if (m_exitsWindowController)
        m_exitsWindowController->hide();
}

void MUDSessionChildWindows::onViewCommunicationMainMenuItem()
{
    if (isCommunicationsWindowVisible())
        m_messagesWindowController->onCloseClick();
    else
        showCommunicationsWindow();
}

void MUDSessionChildWindows::onViewExitsMainMenuItem()
{
    if (isExitsWindowVisible())
        m_exitsWindowController->onCloseClick();
    else
        showExitsWindow();
}

bool MUDSessionChildWindows::isCommunicationsWindowVisible() const
{
    return m_messagesWindowController && m_messagesWindowController->isVisible();
}

bool MUDSessionChildWindows::isExitsWindowVisible() const
{
    return m_exitsWindowController && m_exitsWindowController->isVisible();
}

bool MUDSessionChildWindows::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_sessionWindow) {
        switch (event->type()) {
        case QEvent::Show:
            if (!m_loaded)
                sessionWindowDidLoad();
            else
                m_lastSessionGeometry = m_sessionWindow->geometry();
            break;
        case QEvent::Move:
        case QEvent::Resize: followSessionWindow(); break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MUDSessionChildWindows::followSessionWindow()
{
    // The messages window hangs from the top right edge, the exits window
    // from the bottom right: each keeps its distance to its own corner.
    const QRect geometry = m_sessionWindow->geometry();
    const QPoint topRightDelta = geometry.topRight() - m_lastSessionGeometry.topRight();
    const QPoint bottomRightDelta = geometry.bottomRight() - m_lastSessionGeometry.bottomRight();
    m_lastSessionGeometry = geometry;
    if (isCommunicationsWindowVisible() && !topRightDelta.isNull())
        m_messagesWindowController->move(m_messagesWindowController->pos() + topRightDelta);
    if (isExitsWindowVisible() && !bottomRightDelta.isNull())
        m_exitsWindowController->move(m_exitsWindowController->pos() + bottomRightDelta);
}
