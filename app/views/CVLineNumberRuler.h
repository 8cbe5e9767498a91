#pragma once

#include <QWidget>

class CVHighlightableTextView;

// The line-number gutter at the left of a code editor: numbers of the
// visible lines, on the editor's own background, without a separator line.
// Main thread.
class CVLineNumberRuler : public QWidget {
    Q_OBJECT
public:
    explicit CVLineNumberRuler(CVHighlightableTextView* textView);

    // Wide enough for the largest line number plus a margin.
    int rulerWidth() const;
    QSize sizeHint() const override { return {rulerWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CVHighlightableTextView* m_textView;
};
