#pragma once

#include <QAbstractScrollArea>

class MUDDisplayTextView;
class MUDFindBar;
class MUDOutputModel;

// The scroller of the output view. Its position is the display line
// (MUDDisplayLines) shown at the bottom, so new output can follow the end: while the user is at
// the bottom, scrollToBottom() keeps the last line in view; once the user
// scrolls up the view stays put (appends do not move it) until the user
// returns to the bottom or a forced scroll (sending a command) jumps back.
// Also holds the find bar. Main thread.
class MUDDisplayScrollView : public QAbstractScrollArea {
    Q_OBJECT
public:
    // After a scroll gesture ends, following resumes this much later.
    static constexpr int UserScrollingEndDelayMs = 250;

    explicit MUDDisplayScrollView(MUDOutputModel& model, QWidget* parent = nullptr);

    MUDDisplayTextView* textView() const { return m_textView; }
    MUDFindBar* findBar() const { return m_findBar; }

    bool hasUserScrolledAwayFromBottom() const { return m_hasUserScrolledAwayFromBottom; }
    bool isUserScrolling() const { return m_isUserScrolling; }
    bool isAtBottomOfDocument() const;
    // Follows the end unless the user scrolled away (force: even then).
    void scrollToBottom(bool force);
    void scrollToEnd();

    void showFindBar();
    void hideFindBar();
    // Selects and reveals the next (or previous) occurrence, wrapping
    // around; false when there is none.
    bool performFind(const QString& text, bool forward);
    void scrollToRevealLine(qsizetype line);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollRange();
    void didObserveScrolling(int value);
    void actualScrollToEnd();
    void setUserScrolling(bool scrolling);
    void scrollKeyPressed(QKeyEvent* event);
    void layoutFindBar();

    MUDOutputModel& m_model;
    MUDDisplayTextView* m_textView;
    MUDFindBar* m_findBar;
    bool m_hasUserScrolledAwayFromBottom = false;
    bool m_isUserScrolling = false;
    bool m_tryingToScrollToEnd = false;
    int m_userScrollingGeneration = 0;
};
