#include "app/views/MUDKeyboardNavigation.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <optional>

void MUDKeyboardNavigation::install()
{
    static MUDKeyboardNavigation* const navigation = [] {
        auto* filter = new MUDKeyboardNavigation(qApp);
        qApp->installEventFilter(filter);
        return filter;
    }();
    Q_UNUSED(navigation);
}

bool MUDKeyboardNavigation::keepsTab(const QWidget* widget)
{
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        return !plain->tabChangesFocus() && !plain->isReadOnly();
    if (const auto* rich = qobject_cast<const QTextEdit*>(widget))
        return !rich->tabChangesFocus() && !rich->isReadOnly();
    return false;
}

std::optional<bool> MUDKeyboardNavigation::focusDirection(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (event.key() == Qt::Key_Backtab && (modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier)) == 0)
        return false;
    if (event.key() == Qt::Key_Tab && modifiers == Qt::ControlModifier)
        return true;
    if (event.key() == Qt::Key_Tab && modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    return std::nullopt;
}

bool MUDKeyboardNavigation::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    // Text areas receive keys on themselves or, for scroll areas, their viewport.
    QWidget* area = keepsTab(widget) ? widget : widget->parentWidget();
    if (!area || !keepsTab(area) || !area->hasFocus())
        return false;
    const std::optional<bool> next = focusDirection(*static_cast<QKeyEvent*>(event));
    if (!next)
        return false;
    // The base class moves along the window's tab chain, as Tab does elsewhere.
    QWidget* target = *next ? area->nextInFocusChain() : area->previousInFocusChain();
    for (int guard = 0; target && target != area && guard < 1000; ++guard) {
        if (target->isVisible() && target->isEnabled() && target->window() == area->window() &&
            (target->focusPolicy() & Qt::TabFocus) && !target->focusProxy())
            break;
        target = *next ? target->nextInFocusChain() : target->previousInFocusChain();
    }
    if (target && target != area)
        target->setFocus(*next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}
