#pragma once

#include <QObject>
#include <optional>

class QKeyEvent;
class QWidget;

// Keeps every window walkable by keyboard alone. Text areas that take Tab
// for themselves (the input line completes with it, script editors indent
// with it) would hold the focus for good: in them Shift+Tab moves the focus
// back and Ctrl+Tab (Ctrl+Shift+Tab) moves it on or back, as in other
// toolkits' text areas. Installed once on the application; main thread.
class MUDKeyboardNavigation : public QObject {
    Q_OBJECT
public:
    static void install();

    // Whether `widget` is a text area that keeps a plain Tab for itself.
    static bool keepsTab(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
    // The direction a key moves the focus out of a Tab-keeping text area, if it does.
    static std::optional<bool> focusDirection(const QKeyEvent& event);
};
