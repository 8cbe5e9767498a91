#pragma once

#include <QAccessibleWidget>
#include <QString>

#include "core/CVRange.h"

class MUDDisplayTextView;
class MUDOutputModel;

// What a screen reader sees of the output view: a read-only terminal named
// "Output" whose text is the whole output, so offsets stay stable while the
// game talks (a window over the recent text would shift every offset as its
// front moved). Every read is bounded by what is asked: units (character,
// word, sentence, line) are looked up within one display line, never by
// copying the output. New output reaches the screen reader as text-inserted
// events, replaced and cleared output as updates and removals, built only
// while an assistive technology listens. Main thread.
class MUDDisplayAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit MUDDisplayAccessible(MUDDisplayTextView* view);

    // Where change events go: Qt's bridge to the screen reader, built only
    // while an assistive technology is active; a sink set here (a recorder
    // on a platform without a bridge, such as offscreen) gets them always.
    using EventSink = void (*)(QAccessibleEvent* event);
    static void setEventSink(EventSink sink);
    static bool isAnnouncing();
    // Tells the screen reader about a change of the view's output: at
    // `position`, `removedText` was replaced by `charsAdded` characters now
    // in the output. The caller checks isAnnouncing() first.
    static void announceChange(MUDDisplayTextView* view, qsizetype position, const QString& removedText,
                               qsizetype charsAdded);

    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                             int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                            int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    MUDDisplayTextView* view() const;
    const MUDOutputModel& output() const;
    // The unit of `type` holding `offset`; empty past the end.
    CVRange unitAt(qsizetype offset, QAccessible::TextBoundaryType type) const;
    // The display line holding `offset`, with its line feed when it ends an output line.
    CVRange lineAt(qsizetype offset) const;
    CVRange unitWithinLine(qsizetype offset, QAccessible::TextBoundaryType type) const;
    QString textOfUnit(CVRange unit, int* startOffset, int* endOffset) const;
};
