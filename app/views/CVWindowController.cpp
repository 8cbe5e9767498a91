#include "app/views/CVWindowController.h"

#include <algorithm>
#include <utility>

#include <QKeySequence>
#include <QLayout>
#include <QShortcut>
#include <QThread>
#include <QToolButton>

#include "app/views/CVDimmingView.h"
#include "core/CVLogHelper.h"
#include "core/CVMainThread.h"

namespace {

// Shorter than this on screen, a window was most likely closed by mistake.
constexpr qint64 MinimumVisibleMs = 1000;

QString returnCodeText(int returnCode)
{
    switch (returnCode) {
    case CVWindowController::ReturnCodeCancel: return QStringLiteral("Cancel");
    case CVWindowController::ReturnCodeOK: return QStringLiteral("OK");
    default: return QString::number(returnCode);
    }
}

}

CVWindowController::CVWindowController(QWidget* parent)
    : QDialog(parent)
    , m_backgroundClosePause([](int ms) { QThread::msleep(ms); })
{
}

CVWindowController::~CVWindowController()
{
    removeDimming();
}

void CVWindowController::beginSheetModalForWindow(QWidget* window, CompletionHandler handler)
{
    begin(window, std::move(handler), Qt::WindowModal);
    if (window) {
        // Hangs from the parent's top edge, as a sheet does.
        const QRect frame = window->window()->frameGeometry();
        move(frame.center().x() - width() / 2, window->window()->geometry().top());
    }
}

void CVWindowController::beginCenterWindow(QWidget* window, CompletionHandler handler)
{
    begin(window, std::move(handler), Qt::NonModal);
    if (window)
        centerOverWindow(window);
}

void CVWindowController::centerOverWindow(QWidget* window)
{
    const QRect frame = window->window()->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
}

void CVWindowController::begin(QWidget* window, CompletionHandler handler, Qt::WindowModality modality)
{
    m_handler = std::move(handler);
    if (window) {
        // setParent resets the flags; keep this window a dialog of its own.
        const Qt::WindowFlags flags = windowFlags() | Qt::Dialog;
        setParent(window->window(), flags);
        dimWindow(window->window());
    }
    setWindowModality(modality);
    adjustSize();
    show();
    raise();
    activateWindow();
}

void CVWindowController::dimWindow(QWidget* window)
{
    removeDimming();
    m_dimmingView = new CVDimmingView(window);
}

void CVWindowController::removeDimming()
{
    delete m_dimmingView.data();
    m_dimmingView = nullptr;
}

void CVWindowController::endSheetWithReturnCode(int returnCode)
{
    if (!fc_isMainThread()) {
        CVLog(QStringLiteral("Warning: Window of type %1 is being closed from a background thread.").arg(className()));
        m_backgroundClosePause(BackgroundCloseDelayMs);
        QPointer<CVWindowController> self(this);
        fc_executeOnMainThread([self, returnCode] {
            if (self)
                self->finishSheet(returnCode);
        });
        return;
    }
    finishSheet(returnCode);
}

void CVWindowController::finishSheet(int returnCode)
{
    // Each showing ends once: a second end (or the hide reporting back) reaches nobody.
    if (!m_active)
        return;
    m_active = false;
    if (m_visibleTimer.elapsed() < MinimumVisibleMs)
        CVLog(QStringLiteral("Warning: Window of type %1 has been visible for less than a second before removed.")
                  .arg(className()));
    removeDimming();
    CVLog(QStringLiteral("%1 endSheetWithReturnCode: %2").arg(className(), returnCodeText(returnCode)));
    CompletionHandler handler = std::exchange(m_handler, nullptr);
    QDialog::done(returnCode);
    // Last: the handler may delete this controller.
    if (handler)
        handler(returnCode);
}

void CVWindowController::done(int returnCode)
{
    endSheetWithReturnCode(returnCode);
}

void CVWindowController::addCloseButton()
{
    if (m_closeButton)
        return;
    m_closeButton = new QToolButton(this);
    m_closeButton->setObjectName(QStringLiteral("CVWindowCloseButton"));
    m_closeButton->setText(QStringLiteral("\u00d7"));
    m_closeButton->setToolTip(tr("Close"));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setFocusPolicy(Qt::NoFocus);
    m_closeButton->setFixedSize(18, 18);
    // The faint mark turns into the active button under the pointer and darkens while pressed.
    m_closeButton->setStyleSheet(QStringLiteral(
        "QToolButton { border: none; border-radius: 9px; color: rgba(128,128,128,200); background: transparent; }"
        "QToolButton:hover { color: white; background: #d9534f; }"
        "QToolButton:pressed { color: white; background: #a33a36; }"));
    m_closeButton->move(4, 4);
    m_closeButton->raise();
    // Keep the content clear of the button.
    if (QLayout* contentLayout = layout()) {
        QMargins margins = contentLayout->contentsMargins();
        margins.setTop(std::max(margins.top(), m_closeButton->height() + 6));
        contentLayout->setContentsMargins(margins);
    }
    connect(m_closeButton, &QToolButton::clicked, this, [this] { endSheetWithReturnCode(ReturnCodeCancel); });
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_W), this);
    connect(shortcut, &QShortcut::activated, this, [this] { endSheetWithReturnCode(ReturnCodeCancel); });
}

void CVWindowController::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_active) {
        m_active = true;
        m_visibleTimer.start();
    }
    if (m_closeButton)
        m_closeButton->raise();
}

void CVWindowController::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_closeButton)
        m_closeButton->raise();
}

QString CVWindowController::className() const
{
    return QString::fromLatin1(metaObject()->className());
}
