#pragma once

#include <QList>
#include <QString>

class QWidget;

// Walks a window by keyboard as a person does: presses Tab on whatever has
// the focus (Ctrl+Tab in a text area that keeps Tab for itself) until the
// focus comes back to where it started, at most `limit` presses.
struct TabWalk {
    QList<QWidget*> visited;
    bool cameBack = false;

    static TabWalk from(QWidget* start, int limit = 60);
};

// The controls of `window` a keyboard must reach: shown, enabled widgets
// that take the focus by Tab (focus proxies count as their target).
QList<QWidget*> tabReachableControls(QWidget* window);

// What a screen reader calls the widget.
QString accessibleName(QWidget* widget);

// A readable description of a widget for failure messages.
QString describeWidget(QWidget* widget);

// Walks `window` from `start` and checks, as gtest expectations, that the
// walk comes back, reaches every control and that each has a name.
void expectReachableAndNamedByTab(QWidget* window, QWidget* start);
