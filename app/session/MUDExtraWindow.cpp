#include "app/session/MUDExtraWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSizeGrip>
#include <QTextEdit>

MUDExtraWindow::MUDExtraWindow(QWidget* parent)
    : CVWindowController(parent)
    , m_textView(new QTextEdit(this))
    , m_closeButtonTextField(new QLabel(tr("Close"), this))
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setWindowOpacity(WindowAlpha);
    setFocusPolicy(Qt::StrongFocus);
    setSizeGripEnabled(false);

    m_textView->setObjectName(QStringLiteral("textView"));
    m_textView->setReadOnly(true);
    m_textView->setFrameShape(QFrame::NoFrame);
    m_textView->setUndoRedoEnabled(false);
    m_textView->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    m_closeButtonTextField->setObjectName(QStringLiteral("closeButtonTextField"));
    m_closeButtonTextField->setCursor(Qt::PointingHandCursor);
    m_closeButtonTextField->setFocusPolicy(Qt::TabFocus);
    m_closeButtonTextField->setAccessibleName(tr("Close"));
    m_closeButtonTextField->installEventFilter(this);
    connect(this, &QWidget::windowTitleChanged, m_textView, &QWidget::setAccessibleName);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->setSpacing(2);
    layout->addWidget(m_closeButtonTextField, 0, 0, Qt::AlignRight);
    layout->addWidget(m_textView, 1, 0);
    // Frameless panels still resize, from the bottom right corner.
    layout->addWidget(new QSizeGrip(this), 1, 0, Qt::AlignRight | Qt::AlignBottom);
    resize(300, 200);
}

void MUDExtraWindow::setBackgroundColor(const QColor& color)
{
    for (QWidget* widget : {static_cast<QWidget*>(this), m_textView->viewport()}) {
        QPalette colors = widget->palette();
        colors.setColor(QPalette::Window, color);
        colors.setColor(QPalette::Base, color);
        colors.setColor(QPalette::Text, textColor());
        colors.setColor(QPalette::WindowText, textColor());
        widget->setPalette(colors);
        widget->setAutoFillBackground(true);
    }
    m_closeButtonTextField->setPalette(palette());
}

QColor MUDExtraWindow::textColor()
{
    // The panels are dark whatever the desktop's scheme.
    return QColor(0xe6, 0xe6, 0xe6);
}

void MUDExtraWindow::onCloseClick()
{
    hide();
}

bool MUDExtraWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_closeButtonTextField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            onCloseClick();
            return true;
        }
    }
    if (watched == m_closeButtonTextField && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_closeButtonTextField->rect().contains(mouse->position().toPoint())) {
            onCloseClick();
            return true;
        }
    }
    return CVWindowController::eventFilter(watched, event);
}

void MUDExtraWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        onCloseClick();
        return;
    }
    CVWindowController::keyPressEvent(event);
}

void MUDExtraWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    CVWindowController::mousePressEvent(event);
}

void MUDExtraWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    CVWindowController::mouseMoveEvent(event);
}

void MUDExtraWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    CVWindowController::mouseReleaseEvent(event);
}
