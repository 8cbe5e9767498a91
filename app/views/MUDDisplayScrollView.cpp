#include "app/views/MUDDisplayScrollView.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "app/views/MUDDisplayTextView.h"
#include "app/views/MUDFindBar.h"
#include "app/views/MUDOutputFinder.h"
#include "core/CVLogHelper.h"
#include "engine/decoding/MUDOutputModel.h"

MUDDisplayScrollView::MUDDisplayScrollView(MUDOutputModel& model, QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_model(model)
    , m_textView(new MUDDisplayTextView(model))
    , m_findBar(new MUDFindBar(this))
{
    setViewport(m_textView);
    // Keys go to the text view itself (a viewport normally hands focus to its scroller).
    m_textView->setFocusProxy(nullptr);
    setFocusProxy(m_textView);
    // It paints every pixel itself.
    m_textView->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalScrollBar()->setSingleStep(1);
    m_findBar->hide();

    // The text view reacts to the output first (it drops stale layouts), then the range follows.
    connect(&m_model, &MUDOutputModel::contentsChanged, this, [this] { updateScrollRange(); });
    connect(m_textView, &MUDDisplayTextView::viewResized, this, [this] { updateScrollRange(); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &MUDDisplayScrollView::didObserveScrolling);
    connect(verticalScrollBar(), &QScrollBar::sliderPressed, this, [this] { setUserScrolling(true); });
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] { setUserScrolling(false); });
    connect(m_textView, &MUDDisplayTextView::dragScrollRequested, this,
            [this](int lines) { verticalScrollBar()->setValue(verticalScrollBar()->value() + lines); });
    connect(m_textView, &MUDDisplayTextView::scrollKeyPressed, this, &MUDDisplayScrollView::scrollKeyPressed);
    connect(m_textView, &MUDDisplayTextView::revealRequested, this, &MUDDisplayScrollView::scrollToRevealLine);
    connect(m_textView, &MUDDisplayTextView::findRequested, this, &MUDDisplayScrollView::showFindBar);
    connect(m_textView, &MUDDisplayTextView::findNextRequested, this,
            [this](bool forward) { performFind(m_findBar->text(), forward); });
    connect(m_findBar, &MUDFindBar::findRequested, this, &MUDDisplayScrollView::performFind);
    connect(m_findBar, &MUDFindBar::searchTextChanged, m_textView, &MUDDisplayTextView::setFindString);
    connect(m_findBar, &MUDFindBar::closeRequested, this, &MUDDisplayScrollView::hideFindBar);
    updateScrollRange();
}

bool MUDDisplayScrollView::isAtBottomOfDocument() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void MUDDisplayScrollView::updateScrollRange()
{
    QScrollBar* bar = verticalScrollBar();
    const qsizetype last = m_textView->layoutManager().displayedLineCount() - 1;
    const qsizetype first = std::min(m_textView->firstBottomLineFillingView(), last);
    // Range changes clamp the position; that is not the user scrolling.
    const bool trying = m_tryingToScrollToEnd;
    m_tryingToScrollToEnd = true;
    bar->setRange(int(first), int(last));
    // A page is about a screenful of single-row lines; laying out the screen for it on every append would cost more.
    bar->setPageStep(std::max(1, int(m_textView->height() / QFontMetricsF(m_textView->font()).lineSpacing()) - 1));
    m_tryingToScrollToEnd = trying;
    // Output cut below the position leaves the user at the bottom again.
    if (m_hasUserScrolledAwayFromBottom && isAtBottomOfDocument()) {
        CVLog(QStringLiteral("User has scrolled to bottom"));
        m_hasUserScrolledAwayFromBottom = false;
    }
    m_textView->setBottomLine(bar->value());
}

void MUDDisplayScrollView::scrollContentsBy(int, int)
{
    m_textView->setBottomLine(verticalScrollBar()->value());
}

void MUDDisplayScrollView::didObserveScrolling(int value)
{
    m_textView->setBottomLine(value);
    if (m_tryingToScrollToEnd)
        return;
    if (!isAtBottomOfDocument()) {
        if (!m_hasUserScrolledAwayFromBottom) {
            CVLog(QStringLiteral("User has scrolled away from bottom"));
            m_hasUserScrolledAwayFromBottom = true;
        }
    } else if (m_hasUserScrolledAwayFromBottom) {
        CVLog(QStringLiteral("User has scrolled to bottom"));
        m_hasUserScrolledAwayFromBottom = false;
    }
}

void MUDDisplayScrollView::scrollToBottom(bool force)
{
    if (m_isUserScrolling)
        return;
    if (force) {
        m_hasUserScrolledAwayFromBottom = false;
        actualScrollToEnd();
    }
    if (!m_hasUserScrolledAwayFromBottom)
        scrollToEnd();
}

void MUDDisplayScrollView::scrollToEnd()
{
    if (m_isUserScrolling)
        return;
    if (m_hasUserScrolledAwayFromBottom) {
        CVLog(QStringLiteral("scrollToEnd: hasUserScrolledAwayFromBottom. Not scrolling."));
        return;
    }
    actualScrollToEnd();
}

// Layout here is synchronous, so one move reaches the end: no retry is needed.
void MUDDisplayScrollView::actualScrollToEnd()
{
    if (m_hasUserScrolledAwayFromBottom || m_isUserScrolling)
        return;
    m_tryingToScrollToEnd = true;
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_tryingToScrollToEnd = false;
}

void MUDDisplayScrollView::setUserScrolling(bool scrolling)
{
    const int generation = ++m_userScrollingGeneration;
    if (scrolling) {
        m_isUserScrolling = true;
        return;
    }
    QTimer::singleShot(UserScrollingEndDelayMs, this, [this, generation] {
        if (generation == m_userScrollingGeneration)
            m_isUserScrolling = false;
    });
}

void MUDDisplayScrollView::wheelEvent(QWheelEvent* event)
{
    QAbstractScrollArea::wheelEvent(event);
    if (event->phase() == Qt::ScrollBegin)
        setUserScrolling(true);
    else if (event->phase() == Qt::ScrollEnd || event->phase() == Qt::ScrollMomentum)
        setUserScrolling(false);
}

bool MUDDisplayScrollView::viewportEvent(QEvent* event)
{
    // The text view handles its own painting, mouse and keys; only the
    // wheel belongs to the scroller.
    if (event->type() == QEvent::Wheel)
        return QAbstractScrollArea::viewportEvent(event);
    return false;
}

void MUDDisplayScrollView::scrollKeyPressed(QKeyEvent* event)
{
    QScrollBar* bar = verticalScrollBar();
    // A page is the lines on screen less one, however many rows each has.
    const int page = std::max(1, int(m_textView->visibleLines().size()) - 1);
    switch (event->key()) {
    case Qt::Key_PageUp: bar->setValue(bar->value() - page); break;
    case Qt::Key_PageDown: bar->setValue(bar->value() + page); break;
    case Qt::Key_Up: bar->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Home: bar->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case Qt::Key_End: bar->triggerAction(QAbstractSlider::SliderToMaximum); break;
    default: break;
    }
}

void MUDDisplayScrollView::showFindBar()
{
    m_findBar->show();
    layoutFindBar();
    m_findBar->activate();
    m_textView->setFindString(m_findBar->text());
}

void MUDDisplayScrollView::hideFindBar()
{
    m_findBar->hide();
    layoutFindBar();
    m_textView->setFindString(QString());
    m_textView->setFocus(Qt::OtherFocusReason);
}

bool MUDDisplayScrollView::performFind(const QString& text, bool forward)
{
    const CVRange selection = m_textView->selectedRange();
    const CVRange found =
        MUDOutputFinder::find(m_model, text, forward ? selection.end() : selection.location, forward, true);
    m_findBar->setNotFound(!text.isEmpty() && found.isNotFound());
    if (found.isNotFound())
        return false;
    m_textView->setSelectedRange(found);
    scrollToRevealLine(m_textView->layoutManager().displayLineForOffset(found.location));
    return true;
}

void MUDDisplayScrollView::scrollToRevealLine(qsizetype line)
{
    const auto& visible = m_textView->visibleLines();
    if (visible.empty())
        return;
    // The top line may be cut off; the fully shown ones start after it.
    const qsizetype firstShown = visible.size() > 1 && visible.front().top < 0 ? visible[1].line : visible.front().line;
    const qsizetype bottom = visible.back().line;
    if (line >= firstShown && line <= bottom)
        return;
    const qsizetype target = line > bottom ? line : line + (bottom - firstShown);
    verticalScrollBar()->setValue(int(target));
}

void MUDDisplayScrollView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    layoutFindBar();
}

void MUDDisplayScrollView::layoutFindBar()
{
    const int height = m_findBar->isVisible() ? m_findBar->sizeHint().height() : 0;
    setViewportMargins(0, height, 0, 0);
    const QRect area = contentsRect();
    m_findBar->setGeometry(area.left(), area.top(), area.width() - verticalScrollBar()->sizeHint().width(), height);
}
