#pragma once

#include <QPoint>

#include "app/views/CVWindowController.h"

class QLabel;
class QTextEdit;

// The floating panel the messages and exits windows are made of: frameless
// whatever flags are asked for, resizable from its corner, 95 % opaque,
// without shadow, dragged by its background and able to take the keyboard.
// A close label sits at the top (a control: Tab reaches it, Space or Return
// on it and Escape anywhere close the panel) and a read-only text view, named
// after the window, fills the rest.
// Main thread.
class MUDExtraWindow : public CVWindowController {
    Q_OBJECT
public:
    static constexpr qreal WindowAlpha = 0.95;

    explicit MUDExtraWindow(QWidget* parent = nullptr);

    QTextEdit* textView() const { return m_textView; }
    QLabel* closeButtonTextField() const { return m_closeButtonTextField; }
    // Window and text background; the panel's text is drawn in `textColor`.
    void setBackgroundColor(const QColor& color);
    static QColor textColor();

    // Takes the panel down; what it shows stays for the next show.
    void onCloseClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QTextEdit* m_textView;
    QLabel* m_closeButtonTextField;
    // The pointer's place relative to the window's top left while dragging.
    QPoint m_dragOffset;
    bool m_dragging = false;
};
