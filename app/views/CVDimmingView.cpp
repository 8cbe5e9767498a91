#include "app/views/CVDimmingView.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

CVDimmingView::CVDimmingView(QWidget* window)
    : QWidget(window)
{
    setObjectName(QStringLiteral("CVDimmingView"));
    setGeometry(window->rect());
    window->installEventFilter(this);
    raise();
    show();
}

bool CVDimmingView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget()) {
        if (event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        else if (event->type() == QEvent::ChildAdded)
            raise(); // stay above widgets the window adds while dimmed
    }
    return QWidget::eventFilter(watched, event);
}

void CVDimmingView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 96));
}

void CVDimmingView::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}
