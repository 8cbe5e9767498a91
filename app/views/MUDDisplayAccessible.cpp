#include "app/views/MUDDisplayAccessible.h"

#include <QAccessibleEvent>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>
#include <algorithm>
#include <climits>

#include "app/views/MUDDisplayTextView.h"
#include "engine/decoding/MUDOutputModel.h"

namespace {
MUDDisplayAccessible::EventSink g_eventSink = nullptr;

// Offsets cross the accessibility interfaces as int.
int clampedInt(qsizetype value)
{
    return int(std::clamp<qsizetype>(value, 0, INT_MAX));
}

QString colorAttribute(const QBrush& brush)
{
    const QColor color = brush.color();
    return QStringLiteral("%1,%2,%3").arg(color.red()).arg(color.green()).arg(color.blue());
}
}

MUDDisplayAccessible::MUDDisplayAccessible(MUDDisplayTextView* view)
    : QAccessibleWidget(view, QAccessible::Terminal)
{
}

bool MUDDisplayAccessible::isAnnouncing()
{
    return g_eventSink || QAccessible::isActive();
}

void MUDDisplayAccessible::setEventSink(EventSink sink)
{
    g_eventSink = sink;
}

void MUDDisplayAccessible::announceChange(MUDDisplayTextView* view, qsizetype position, const QString& removedText,
                                          qsizetype charsAdded)
{
    const auto send = [](QAccessibleEvent* event) {
        if (g_eventSink)
            g_eventSink(event);
        else
            QAccessible::updateAccessibility(event);
    };
    const int at = clampedInt(position);
    const QString added = charsAdded > 0 ? view->output().text({position, charsAdded}) : QString();
    if (!removedText.isEmpty() && !added.isEmpty()) {
        QAccessibleTextUpdateEvent event(view, at, removedText, added);
        send(&event);
    } else if (!removedText.isEmpty()) {
        QAccessibleTextRemoveEvent event(view, at, removedText);
        send(&event);
    } else if (!added.isEmpty()) {
        QAccessibleTextInsertEvent event(view, at, added);
        send(&event);
    }
}

MUDDisplayTextView* MUDDisplayAccessible::view() const
{
    return static_cast<MUDDisplayTextView*>(widget());
}

const MUDOutputModel& MUDDisplayAccessible::output() const
{
    return view()->output();
}

QAccessible::State MUDDisplayAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    state.multiLine = true;
    state.selectableText = true;
    state.focusable = true;
    return state;
}

void* MUDDisplayAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

void MUDDisplayAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const
{
    const CVRange selected = view()->selectedRange();
    const bool exists = selectionIndex == 0 && selected.length > 0;
    *startOffset = exists ? clampedInt(selected.location) : 0;
    *endOffset = exists ? clampedInt(selected.end()) : 0;
}

int MUDDisplayAccessible::selectionCount() const
{
    return view()->selectedRange().length > 0 ? 1 : 0;
}

void MUDDisplayAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void MUDDisplayAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->setCursorPosition(view()->cursorPosition());
}

void MUDDisplayAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    const qsizetype start = std::min(startOffset, endOffset);
    view()->setSelectedRange({start, std::max(startOffset, endOffset) - start});
}

int MUDDisplayAccessible::cursorPosition() const
{
    return clampedInt(view()->cursorPosition());
}

void MUDDisplayAccessible::setCursorPosition(int position)
{
    view()->setCursorPosition(std::clamp<qsizetype>(position, 0, output().length()));
}

QString MUDDisplayAccessible::text(int startOffset, int endOffset) const
{
    // -1 as the end means the end of the text.
    const qsizetype length = output().length();
    const qsizetype end = endOffset < 0 ? length : std::min<qsizetype>(endOffset, length);
    const qsizetype start = std::clamp<qsizetype>(startOffset, 0, end);
    return output().text({start, end - start});
}

int MUDDisplayAccessible::characterCount() const
{
    return clampedInt(output().length());
}

CVRange MUDDisplayAccessible::lineAt(qsizetype offset) const
{
    const MUDDisplayLines& lines = view()->layoutManager().displayLines();
    const qsizetype line = lines.displayLineForOffset(offset);
    const CVRange range = lines.range(line);
    // A whole output line comes with its line feed, as screen readers expect of a line.
    if (lines.endsOutputLine(line))
        return {range.location, output().lineRange(lines.outputLine(line)).end() - range.location};
    return range;
}

CVRange MUDDisplayAccessible::unitWithinLine(qsizetype offset, QAccessible::TextBoundaryType type) const
{
    const CVRange line = lineAt(offset);
    const QString text = output().text(line);
    const auto finderType =
        type == QAccessible::SentenceBoundary ? QTextBoundaryFinder::Sentence : QTextBoundaryFinder::Word;
    QTextBoundaryFinder finder(finderType, text);
    // A word runs from its start to the next word's start, white space after it included.
    auto isUnitStart = [&finder, type] {
        return type == QAccessible::SentenceBoundary ||
               finder.boundaryReasons().testFlag(QTextBoundaryFinder::StartOfItem);
    };
    finder.setPosition(int(offset - line.location));
    qsizetype start = 0;
    if (finder.isAtBoundary() && isUnitStart()) {
        start = finder.position();
    } else {
        while (finder.toPreviousBoundary() > 0) {
            if (isUnitStart()) {
                start = finder.position();
                break;
            }
        }
    }
    finder.setPosition(int(offset - line.location));
    qsizetype end = text.size();
    while (finder.toNextBoundary() > 0) {
        if (finder.position() < text.size() && isUnitStart()) {
            end = finder.position();
            break;
        }
    }
    return {line.location + start, end - start};
}

CVRange MUDDisplayAccessible::unitAt(qsizetype offset, QAccessible::TextBoundaryType type) const
{
    const qsizetype length = output().length();
    if (type == QAccessible::NoBoundary)
        return {0, length};
    if (offset >= length && type == QAccessible::CharBoundary)
        return {length, 0};
    const qsizetype clamped = std::clamp<qsizetype>(offset, 0, length);
    switch (type) {
    case QAccessible::CharBoundary: {
        const bool pair = QChar::isHighSurrogate(output().characterAt(clamped)) &&
                          QChar::isLowSurrogate(output().characterAt(clamped + 1));
        return {clamped, pair ? 2 : 1};
    }
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary: return lineAt(clamped);
    default: return unitWithinLine(clamped, type);
    }
}

QString MUDDisplayAccessible::textOfUnit(CVRange unit, int* startOffset, int* endOffset) const
{
    *startOffset = clampedInt(unit.location);
    *endOffset = clampedInt(unit.end());
    return output().text(unit);
}

QString MUDDisplayAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                           int* endOffset) const
{
    return textOfUnit(unitAt(offset, boundaryType), startOffset, endOffset);
}

QString MUDDisplayAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                               int* endOffset) const
{
    const CVRange unit = unitAt(offset, boundaryType);
    if (boundaryType == QAccessible::NoBoundary || unit.location <= 0)
        return textOfUnit({0, 0}, startOffset, endOffset);
    return textOfUnit(unitAt(unit.location - 1, boundaryType), startOffset, endOffset);
}

QString MUDDisplayAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                                              int* endOffset) const
{
    const qsizetype length = output().length();
    const CVRange unit = unitAt(offset, boundaryType);
    if (boundaryType == QAccessible::NoBoundary || unit.end() >= length)
        return textOfUnit({length, 0}, startOffset, endOffset);
    return textOfUnit(unitAt(unit.end(), boundaryType), startOffset, endOffset);
}

QRect MUDDisplayAccessible::characterRect(int offset) const
{
    const QRect rect = view()->characterRect(offset);
    if (rect.isNull())
        return {};
    return {view()->mapToGlobal(rect.topLeft()), rect.size()};
}

int MUDDisplayAccessible::offsetAtPoint(const QPoint& point) const
{
    const std::optional<qsizetype> offset = view()->offsetAt(view()->mapFromGlobal(point), true);
    return offset ? clampedInt(*offset) : -1;
}

void MUDDisplayAccessible::scrollToSubstring(int startIndex, int)
{
    view()->revealOffset(std::clamp<qsizetype>(startIndex, 0, output().length()));
}

QString MUDDisplayAccessible::attributes(int offset, int* startOffset, int* endOffset) const
{
    CVRange range;
    const QTextCharFormat format = output().attributesAtIndex(offset, &range);
    *startOffset = clampedInt(range.location);
    *endOffset = clampedInt(range.end());
    QStringList attributes;
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        attributes << QStringLiteral("fg-color:%1").arg(colorAttribute(format.foreground()));
    if (format.hasProperty(QTextFormat::BackgroundBrush))
        attributes << QStringLiteral("bg-color:%1").arg(colorAttribute(format.background()));
    if (format.fontWeight() >= QFont::Bold)
        attributes << QStringLiteral("weight:700");
    if (format.fontUnderline())
        attributes << QStringLiteral("underline:single");
    return attributes.join(u';');
}
