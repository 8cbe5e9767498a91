#include "app/views/MUDDisplayTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "app/views/MUDCommandTextView.h"
#include "app/views/MUDDisplayAccessible.h"
#include "core/CVColorHelpers.h"
#include "core/CVLogHelper.h"
#include "engine/decoding/MUDColors.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {
constexpr qreal kFindBackgroundAlpha = 0.45;
// Line heights are fractional: less than this is no overflow.
constexpr qreal kHeightTolerance = 0.01;

CVRange intersection(CVRange a, CVRange b)
{
    const qsizetype start = std::max(a.location, b.location);
    return {start, std::max(std::min(a.end(), b.end()) - start, qsizetype(0))};
}

// Passes over the visible text should take milliseconds; a slow one is worth a log line.
void logIfSlow(const QElapsedTimer& timer, const char* format)
{
    const double seconds = double(timer.elapsed()) / 1000.0;
    if (seconds > 1.0)
        CVLog(QString::asprintf(format, seconds));
}

bool isWordCharacter(char16_t c)
{
    return QChar(c).isLetterOrNumber() || c == u'_';
}
}

MUDDisplayTextView::MUDDisplayTextView(MUDOutputModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_layoutManager(model)
    , m_beep([] { QApplication::beep(); })
{
    // Reached by Tab too, so a keyboard alone can review the output.
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::IBeamCursor);
    setMouseTracking(true);
    m_layoutManager.setLinkColor(palette().color(QPalette::Link));
    setAccessibleName(tr("Output"));
    setAccessibleDescription(tr("What the game sends"));
    connect(&m_model, &MUDOutputModel::contentsAboutToChange, this, &MUDDisplayTextView::contentsAboutToChange);
    connect(&m_model, &MUDOutputModel::contentsChanged, this, &MUDDisplayTextView::contentsChanged);
}

MUDDisplayTextView::~MUDDisplayTextView() = default;

void MUDDisplayTextView::setCommandTextView(MUDCommandTextView* commandTextView)
{
    m_commandTextView = commandTextView;
}

void MUDDisplayTextView::setFont(const QFont& font)
{
    QWidget::setFont(font);
    m_layoutManager.setFont(font);
    m_visibleLinesValid = false;
    m_fillingLine.reset();
    update();
}

void MUDDisplayTextView::setBottomLine(qsizetype line)
{
    if (line == m_bottomLine)
        return;
    m_bottomLine = line;
    m_visibleLinesValid = false;
    update();
}

qsizetype MUDDisplayTextView::firstBottomLineFillingView()
{
    if (m_fillingLine)
        return *m_fillingLine;
    const qsizetype count = m_layoutManager.displayedLineCount();
    const qreal available = height() - 2 * MUDDisplayLayoutManager::Margin;
    qreal filled = 0;
    for (qsizetype line = 0; line < count; ++line) {
        filled += m_layoutManager.lineHeight(line);
        if (filled >= available) {
            // Lines that overflow the view would push the first one past its top edge: one line
            // earlier the text starts at the top instead (see layoutVisibleLines).
            const bool overflows = filled - available > kHeightTolerance;
            m_fillingLine = overflows && line > 0 ? line - 1 : line;
            return *m_fillingLine;
        }
    }
    // Not filled yet: any new line may change the answer, so it is not kept.
    return count - 1;
}

void MUDDisplayTextView::contentsAboutToChange(qsizetype position, qsizetype charsRemoved)
{
    if (MUDDisplayAccessible::isAnnouncing())
        m_removedText = m_model.text({position, charsRemoved});
}

void MUDDisplayTextView::contentsChanged(qsizetype position, qsizetype, qsizetype charsAdded)
{
    const qsizetype changedLine = m_layoutManager.outputChanged(position);
    // The answer depends on the line after it too (whether that one overflows the view).
    if (m_fillingLine && changedLine <= *m_fillingLine + 1)
        m_fillingLine.reset();
    m_visibleLinesValid = false;
    ++m_generation;
    const qsizetype length = m_model.length();
    m_selectionAnchor = std::min(m_selectionAnchor, length);
    m_selectionCursor = std::min(m_selectionCursor, length);
    update();
    if (MUDDisplayAccessible::isAnnouncing())
        MUDDisplayAccessible::announceChange(this, position, std::exchange(m_removedText, QString()), charsAdded);
}

const std::vector<MUDDisplayTextView::VisibleLine>& MUDDisplayTextView::visibleLines()
{
    layoutVisibleLines();
    return m_visibleLines;
}

void MUDDisplayTextView::layoutVisibleLines()
{
    if (m_visibleLinesValid)
        return;
    m_visibleLinesValid = true;
    QElapsedTimer timer;
    timer.start();
    m_visibleLines.clear();
    const qsizetype count = m_layoutManager.displayedLineCount();
    const qsizetype last = std::clamp(m_bottomLine, qsizetype(0), count - 1);
    const qreal margin = MUDDisplayLayoutManager::Margin;
    // Bottom-anchored: the bottom line sits at the bottom, earlier lines
    // stack upwards until the view is full.
    qreal y = height() - margin;
    for (qsizetype line = last; line >= 0 && y > 0; --line) {
        const qreal lineHeight = m_layoutManager.lineHeight(line);
        y -= lineHeight;
        m_visibleLines.push_back({line, y, lineHeight});
    }
    std::reverse(m_visibleLines.begin(), m_visibleLines.end());
    // Too little text to fill the view: it starts at the top instead.
    if (!m_visibleLines.empty() && m_visibleLines.front().line == 0 && m_visibleLines.front().top > margin) {
        const qreal shift = margin - m_visibleLines.front().top;
        for (VisibleLine& visible : m_visibleLines)
            visible.top += shift;
        qreal top = m_visibleLines.back().top + m_visibleLines.back().height;
        for (qsizetype line = last + 1; line < count && top < height(); ++line) {
            const qreal lineHeight = m_layoutManager.lineHeight(line);
            m_visibleLines.push_back({line, top, lineHeight});
            top += lineHeight;
        }
    }
    if (!m_visibleLines.empty())
        m_layoutManager.retainOnly(m_visibleLines.front().line, m_visibleLines.back().line);
    logIfSlow(timer, "Range timer took %0.2f seconds");
}

CVRange MUDDisplayTextView::calculateVisibleRange()
{
    layoutVisibleLines();
    if (m_visibleLines.empty())
        return {0, 0};
    const MUDDisplayLines& lines = m_layoutManager.displayLines();
    const qsizetype lastLine = m_visibleLines.back().line;
    const qsizetype start = lines.range(m_visibleLines.front().line).location;
    // A whole last line comes with its line feed, as the output holds it.
    const qsizetype end = lines.endsOutputLine(lastLine) ? m_model.lineRange(lines.outputLine(lastLine)).end()
                                                         : lines.range(lastLine).end();
    return {start, end - start};
}

CVRange MUDDisplayTextView::selectedRange() const
{
    const qsizetype start = std::min(m_selectionAnchor, m_selectionCursor);
    return {start, std::max(m_selectionAnchor, m_selectionCursor) - start};
}

void MUDDisplayTextView::setSelectedRange(CVRange range)
{
    const qsizetype length = m_model.length();
    m_selectionAnchor = std::clamp(range.location, qsizetype(0), length);
    m_selectionCursor = std::clamp(range.end(), m_selectionAnchor, length);
    update();
}

QString MUDDisplayTextView::selectedText() const
{
    QString text = m_model.text(selectedRange());
    // The clipboard takes plain line feeds.
    text.remove(u'\r');
    return text;
}

void MUDDisplayTextView::copy() const
{
    if (selectedRange().length > 0)
        QApplication::clipboard()->setText(selectedText());
}

void MUDDisplayTextView::cut()
{
    m_beep();
}

void MUDDisplayTextView::setBeep(std::function<void()> beep)
{
    m_beep = std::move(beep);
}

void MUDDisplayTextView::selectAll()
{
    setSelectedRange({0, m_model.length()});
}

void MUDDisplayTextView::setCursorPosition(qsizetype offset)
{
    setSelectedRange({offset, 0});
}

QRect MUDDisplayTextView::characterRect(qsizetype offset)
{
    layoutVisibleLines();
    const qsizetype line = m_layoutManager.displayLineForOffset(offset);
    const auto visible = std::find_if(m_visibleLines.begin(), m_visibleLines.end(),
                                      [line](const VisibleLine& candidate) { return candidate.line == line; });
    if (visible == m_visibleLines.end())
        return {};
    const CVRange lineRange = m_layoutManager.displayedRange(line);
    const qsizetype within = offset - lineRange.location;
    if (within < 0 || within > lineRange.length)
        return {};
    const QPointF origin(MUDDisplayLayoutManager::Margin, visible->top);
    if (within < lineRange.length) {
        const QList<QRectF> rects = m_layoutManager.rangeRects(line, {within, 1});
        if (!rects.isEmpty())
            return rects.front().translated(origin).toAlignedRect();
    }
    // A line end has no glyph: a thin box after the line's last character.
    QRectF end(origin.x(), origin.y(), 1, visible->height);
    if (lineRange.length > 0) {
        const QList<QRectF> rects = m_layoutManager.rangeRects(line, {lineRange.length - 1, 1});
        if (!rects.isEmpty())
            end = QRectF(rects.back().right(), rects.back().top(), 1, rects.back().height()).translated(origin);
    }
    return end.toAlignedRect();
}

void MUDDisplayTextView::revealOffset(qsizetype offset)
{
    emit revealRequested(m_layoutManager.displayLineForOffset(offset));
}

void MUDDisplayTextView::updateBlink()
{
    m_blinkState = m_blinkingEnabled && !m_blinkState;
    update();
}

void MUDDisplayTextView::setBlinkingEnabled(bool enabled)
{
    m_blinkingEnabled = enabled;
    if (!enabled && m_blinkState)
        updateBlink();
}

void MUDDisplayTextView::highlightScriptTest(const std::optional<MUDMatchTest>& matchTest)
{
    m_matchTest.setMatchTest(matchTest);
    update();
}

const QList<MUDDisplayTextView::Highlight>& MUDDisplayTextView::matchHighlights()
{
    if (m_matchTest.isShown())
        m_matchTest.update(m_model, calculateVisibleRange(), m_generation);
    return m_matchTest.highlights();
}

void MUDDisplayTextView::setFindString(const QString& text)
{
    m_findString = text;
    update();
}

QList<QTextLayout::FormatRange> MUDDisplayTextView::overlaysForLine(qsizetype displayLine)
{
    const CVRange lineRange = m_layoutManager.displayedRange(displayLine);
    QList<QTextLayout::FormatRange> overlays;
    auto add = [&](CVRange range, const QTextCharFormat& format) {
        const CVRange within = intersection(range, lineRange);
        if (within.length > 0)
            overlays.append({int(within.location - lineRange.location), int(within.length), format});
    };
    for (const Highlight& highlight : matchHighlights()) {
        if (!highlight.background.isValid())
            continue;
        QTextCharFormat format;
        format.setBackground(highlight.background);
        add(highlight.range, format);
    }
    if (!m_findString.isEmpty()) {
        // Occurrences that cross into a neighbouring piece of the same output line count too.
        const MUDDisplayLines& lines = m_layoutManager.displayLines();
        const CVRange content = lines.contentRange(lines.outputLine(displayLine));
        const qsizetype overlap = m_findString.size() - 1;
        const CVRange searched = intersection({lineRange.location - overlap, lineRange.length + 2 * overlap}, content);
        const QString text = m_model.text(searched);
        QTextCharFormat format;
        format.setBackground(withAlpha(MUDColors::SystemYellow, kFindBackgroundAlpha));
        for (qsizetype found = text.indexOf(m_findString, 0, Qt::CaseInsensitive); found >= 0;
             found = text.indexOf(m_findString, found + m_findString.size(), Qt::CaseInsensitive))
            add({searched.location + found, m_findString.size()}, format);
    }
    if (selectedRange().length > 0) {
        QTextCharFormat format;
        format.setBackground(palette().brush(QPalette::Highlight));
        format.setForeground(palette().brush(QPalette::HighlightedText));
        add(selectedRange(), format);
    }
    if (m_blinkState) {
        // Hidden phase: blinking runs take the view's background as their colour.
        QTextCharFormat format;
        format.setForeground(palette().color(QPalette::Base));
        m_model.enumerateAttributes(lineRange, [&](const QTextCharFormat& attributes, CVRange run, bool&) {
            if (attributes.intProperty(MUDBlinkingProperty) != 0)
                add(run, format);
        });
    }
    return overlays;
}

void MUDDisplayTextView::drawUnderlines(QPainter& painter, const VisibleLine& visible, CVRange lineRange)
{
    for (const Highlight& highlight : matchHighlights()) {
        if (!highlight.underline.isValid())
            continue;
        const CVRange within = intersection(highlight.range, lineRange);
        if (within.length == 0)
            continue;
        painter.setPen(QPen(highlight.underline, 1));
        const QPointF origin(MUDDisplayLayoutManager::Margin, visible.top);
        for (const QRectF& rect :
             m_layoutManager.rangeRects(visible.line, {within.location - lineRange.location, within.length})) {
            const qreal y = origin.y() + rect.bottom() - 1.5;
            painter.drawLine(QPointF(origin.x() + rect.left(), y), QPointF(origin.x() + rect.right(), y));
        }
    }
}

void MUDDisplayTextView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QColor textColor = palette().color(QPalette::Text);
    for (const VisibleLine& visible : visibleLines()) {
        const CVRange lineRange = m_layoutManager.displayedRange(visible.line);
        const QPointF origin(MUDDisplayLayoutManager::Margin, visible.top);
        m_layoutManager.drawLine(painter, visible.line, origin, overlaysForLine(visible.line), textColor);
        drawUnderlines(painter, visible, lineRange);
    }
}

void MUDDisplayTextView::resizeEvent(QResizeEvent* event)
{
    m_layoutManager.setWidth(width());
    m_visibleLinesValid = false;
    m_fillingLine.reset();
    QWidget::resizeEvent(event);
    emit viewResized();
}

std::optional<qsizetype> MUDDisplayTextView::offsetAt(QPointF point, bool onCharacter)
{
    layoutVisibleLines();
    if (m_visibleLines.empty())
        return std::nullopt;
    const VisibleLine* hit = nullptr;
    if (point.y() < m_visibleLines.front().top) {
        if (onCharacter)
            return std::nullopt;
        return m_model.lineRange(m_visibleLines.front().line).location;
    }
    for (const VisibleLine& visible : m_visibleLines) {
        if (point.y() < visible.top + visible.height) {
            hit = &visible;
            break;
        }
    }
    if (!hit) {
        if (onCharacter)
            return std::nullopt;
        return m_layoutManager.displayedRange(m_visibleLines.back().line).end();
    }
    const CVRange lineRange = m_layoutManager.displayedRange(hit->line);
    const QPointF local(point.x() - MUDDisplayLayoutManager::Margin, point.y() - hit->top);
    const qsizetype offset = m_layoutManager.offsetAt(hit->line, local);
    if (!onCharacter)
        return lineRange.location + offset;
    // The character whose box holds the point, if any.
    for (qsizetype candidate : {offset - 1, offset}) {
        if (candidate < 0 || candidate >= lineRange.length)
            continue;
        for (const QRectF& rect : m_layoutManager.rangeRects(hit->line, {candidate, 1})) {
            if (rect.contains(local))
                return lineRange.location + candidate;
        }
    }
    return std::nullopt;
}

std::optional<QTextCharFormat> MUDDisplayTextView::linkAt(QPointF point)
{
    const std::optional<qsizetype> offset = offsetAt(point, true);
    if (!offset)
        return std::nullopt;
    const QTextCharFormat attributes = m_model.attributesAtIndex(*offset);
    if (!attributes.isAnchor())
        return std::nullopt;
    return attributes;
}

void MUDDisplayTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const qsizetype offset = offsetAt(event->position()).value_or(0);
    m_pressedLink = linkAt(event->position());
    if (!(event->modifiers() & Qt::ShiftModifier))
        m_selectionAnchor = offset;
    m_selectionCursor = offset;
    m_selecting = true;
    update();
}

void MUDDisplayTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_selecting) {
        setCursor(linkAt(event->position()) ? Qt::PointingHandCursor : Qt::IBeamCursor);
        return;
    }
    if (event->position().y() < 0)
        emit dragScrollRequested(-1);
    else if (event->position().y() > height())
        emit dragScrollRequested(1);
    const QPointF clamped(event->position().x(), std::clamp(event->position().y(), qreal(0), qreal(height() - 1)));
    const qsizetype offset = offsetAt(clamped).value_or(m_selectionCursor);
    if (offset != m_selectionCursor) {
        m_selectionCursor = offset;
        m_pressedLink.reset();
        update();
    }
}

void MUDDisplayTextView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_selecting) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_selecting = false;
    if (selectedRange().length > 0) {
        // A drag selection stays for copying (and goes to the X11 selection).
        if (QApplication::clipboard()->supportsSelection())
            QApplication::clipboard()->setText(selectedText(), QClipboard::Selection);
        return;
    }
    const std::optional<QTextCharFormat> link = linkAt(event->position());
    if (m_pressedLink && link && *link == *m_pressedLink) {
        emit linkActivated(link->anchorHref());
        emit linkAttributesActivated(*link);
    }
    m_pressedLink.reset();
    // A plain click returns to typing.
    focusCommandTextView();
}

void MUDDisplayTextView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const std::optional<qsizetype> offset = offsetAt(event->position(), true);
    if (event->button() != Qt::LeftButton || !offset)
        return;
    // Within its display line, so a word without end costs at most a piece.
    const CVRange line = m_layoutManager.displayedRange(m_layoutManager.displayLineForOffset(*offset));
    qsizetype start = *offset;
    qsizetype end = *offset;
    while (start > line.location && isWordCharacter(m_model.characterAt(start - 1)))
        --start;
    while (end < line.end() && isWordCharacter(m_model.characterAt(end)))
        ++end;
    setSelectedRange({start, std::max(end, start + 1) - start});
    m_selecting = false;
}

bool MUDDisplayTextView::focusNextPrevChild(bool next)
{
    // Declining lets the Tab key reach keyPressEvent, which hands it on.
    return m_commandTextView ? false : QWidget::focusNextPrevChild(next);
}

void MUDDisplayTextView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Find)) {
        emit findRequested();
    } else if (event->matches(QKeySequence::FindNext)) {
        emit findNextRequested(true);
    } else if (event->matches(QKeySequence::FindPrevious)) {
        emit findNextRequested(false);
    } else if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        // The output is read-only: pasting types into the input line.
        if (m_commandTextView) {
            focusCommandTextView();
            m_commandTextView->paste();
        }
    } else if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
    } else if (!event->text().isEmpty() && m_commandTextView) {
        // Typing while the output has focus types into the input line.
        focusCommandTextView();
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
            QCoreApplication::sendEvent(m_commandTextView, event);
    } else {
        switch (event->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Up:
        case Qt::Key_Down: emit scrollKeyPressed(event); break;
        default: QWidget::keyPressEvent(event);
        }
    }
}

void MUDDisplayTextView::inputMethodEvent(QInputMethodEvent* event)
{
    if (!m_commandTextView)
        return;
    focusCommandTextView();
    QCoreApplication::sendEvent(m_commandTextView, event);
}

void MUDDisplayTextView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("Copy"), this, &MUDDisplayTextView::copy);
    copyAction->setEnabled(selectedRange().length > 0);
    menu.addAction(tr("Select All"), this, &MUDDisplayTextView::selectAll);
    menu.addSeparator();
    menu.addAction(tr("Find..."), this, &MUDDisplayTextView::findRequested);
    menu.exec(event->globalPos());
}

void MUDDisplayTextView::focusCommandTextView()
{
    if (m_commandTextView)
        m_commandTextView->setFocus(Qt::OtherFocusReason);
}
