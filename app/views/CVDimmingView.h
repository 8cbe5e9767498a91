#pragma once

#include <QWidget>

// A transparent dark layer over a window's whole content while one of its
// sheets or child windows is up. It follows the window's size and swallows
// clicks meant for the covered widgets. Main thread.
class CVDimmingView : public QWidget {
    Q_OBJECT
public:
    // Covers `window` at once; deleting the view uncovers it.
    explicit CVDimmingView(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
};
