#include "app/views/MUDDisplayAccessible.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "OutputViewFixture.h"
#include "app/views/MUDDisplayLines.h"

namespace {
// What a screen reader would have been told: the text events Qt's bridge
// would have sent, in order.
struct RecordedEvent {
    QAccessible::Event type;
    int position;
    QString removed;
    QString inserted;
};
std::vector<RecordedEvent> g_events;
const QObject* g_output = nullptr;

void recordEvent(QAccessibleEvent* event)
{
    if (event->object() != g_output)
        return;
    switch (event->type()) {
    case QAccessible::TextInserted: {
        auto* insert = static_cast<QAccessibleTextInsertEvent*>(event);
        g_events.push_back({event->type(), insert->changePosition(), {}, insert->textInserted()});
        break;
    }
    case QAccessible::TextRemoved: {
        auto* remove = static_cast<QAccessibleTextRemoveEvent*>(event);
        g_events.push_back({event->type(), remove->changePosition(), remove->textRemoved(), {}});
        break;
    }
    case QAccessible::TextUpdated: {
        auto* update = static_cast<QAccessibleTextUpdateEvent*>(event);
        g_events.push_back({event->type(), update->changePosition(), update->textRemoved(), update->textInserted()});
        break;
    }
    default: break;
    }
}

class OutputAccessibilityTest : public OutputViewFixture {
protected:
    void SetUp() override
    {
        OutputViewFixture::SetUp();
        g_events.clear();
        g_output = &textView();
    }
    void TearDown() override { MUDDisplayAccessible::setEventSink(nullptr); }

    QAccessibleInterface* outputInterface() { return QAccessible::queryAccessibleInterface(&textView()); }
    QAccessibleTextInterface* text() { return outputInterface()->textInterface(); }

    struct Unit {
        QString text;
        int start;
        int end;
    };
    Unit at(int offset, QAccessible::TextBoundaryType type)
    {
        Unit unit;
        unit.text = text()->textAtOffset(offset, type, &unit.start, &unit.end);
        return unit;
    }
    Unit before(int offset, QAccessible::TextBoundaryType type)
    {
        Unit unit;
        unit.text = text()->textBeforeOffset(offset, type, &unit.start, &unit.end);
        return unit;
    }
    Unit after(int offset, QAccessible::TextBoundaryType type)
    {
        Unit unit;
        unit.text = text()->textAfterOffset(offset, type, &unit.start, &unit.end);
        return unit;
    }
};
} // namespace

TEST_F(OutputAccessibilityTest, DescribesItselfAsAReadOnlyTerminalNamedOutput)
{
    QAccessibleInterface* accessible = outputInterface();
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::Terminal);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Output"));
    EXPECT_FALSE(accessible->text(QAccessible::Description).isEmpty());
    EXPECT_TRUE(accessible->state().readOnly);
    EXPECT_TRUE(accessible->state().multiLine);
    ASSERT_NE(accessible->textInterface(), nullptr);
    // The scroller lists the output among its children, so a screen reader walking the window finds it.
    QAccessibleInterface* scroller = QAccessible::queryAccessibleInterface(view.get());
    EXPECT_GE(scroller->indexOfChild(accessible), 0);
}

TEST_F(OutputAccessibilityTest, ReadsTheWholeOutputByOffsets)
{
    append(QStringLiteral("You see a troll. It looks angry!\r\nExits: north and south.\r\n"));
    EXPECT_EQ(text()->characterCount(), model.length());
    EXPECT_EQ(text()->text(0, -1), model.text({0, model.length()}));
    EXPECT_EQ(text()->text(4, 7), QStringLiteral("see"));
    // Offsets past the end are clipped, never read beyond the text.
    EXPECT_EQ(text()->text(model.length() - 3, model.length() + 50), QStringLiteral(".\r\n"));
}

TEST_F(OutputAccessibilityTest, FindsCharactersWordsSentencesAndLines)
{
    append(QStringLiteral("You see a troll. It looks angry!\r\nExits: north and south.\r\n"));
    const int north = int(model.text({0, model.length()}).indexOf(QStringLiteral("north")));

    Unit unit = at(5, QAccessible::CharBoundary);
    EXPECT_EQ(unit.text, QStringLiteral("e"));
    EXPECT_EQ(unit.start, 5);

    // A word runs to the next word's start, the space after it included.
    unit = at(5, QAccessible::WordBoundary);
    EXPECT_EQ(unit.text, QStringLiteral("see "));
    EXPECT_EQ(unit.start, 4);
    EXPECT_EQ(before(5, QAccessible::WordBoundary).text, QStringLiteral("You "));
    EXPECT_EQ(after(5, QAccessible::WordBoundary).text, QStringLiteral("a "));

    unit = at(20, QAccessible::SentenceBoundary);
    EXPECT_EQ(unit.text, QStringLiteral("It looks angry!\r\n"));
    EXPECT_EQ(before(20, QAccessible::SentenceBoundary).text, QStringLiteral("You see a troll. "));

    unit = at(north + 2, QAccessible::LineBoundary);
    EXPECT_EQ(unit.text, QStringLiteral("Exits: north and south.\r\n"));
    EXPECT_EQ(unit.start, north - 7);
    EXPECT_EQ(unit.end, model.length());
    EXPECT_EQ(before(north, QAccessible::LineBoundary).text, QStringLiteral("You see a troll. It looks angry!\r\n"));
    // Nothing after the last line, nothing before the first.
    EXPECT_TRUE(after(north, QAccessible::LineBoundary).text.isEmpty());
    EXPECT_TRUE(before(3, QAccessible::LineBoundary).text.isEmpty());
    EXPECT_EQ(at(0, QAccessible::NoBoundary).text, model.text({0, model.length()}));
}

TEST_F(OutputAccessibilityTest, ALineWithoutEndIsReadAPieceAtATime)
{
    // One huge line from a server that never sends a line feed: a line read stays a display piece long.
    append(QString(200000, u'x'));
    const Unit unit = at(150000, QAccessible::LineBoundary);
    EXPECT_GT(unit.text.size(), 0);
    EXPECT_LE(unit.text.size(), MUDDisplayLines::PieceLength);
    EXPECT_LE(unit.start, 150000);
    EXPECT_GT(unit.end, 150000);
    const Unit word = at(150000, QAccessible::WordBoundary);
    EXPECT_LE(word.text.size(), MUDDisplayLines::PieceLength);
}

TEST_F(OutputAccessibilityTest, AnnouncesNewClearedAndReplacedOutputInOrderWhileAScreenReaderListens)
{
    append(QStringLiteral("before anyone listens\r\n"));
    EXPECT_TRUE(g_events.empty()) << "no events are built while no assistive technology is active";

    MUDDisplayAccessible::setEventSink(recordEvent);
    const qsizetype first = model.length();
    append(QStringLiteral("The troll hits you.\r\n"));
    append(QStringLiteral("You flee north.\r\n"));
    model.replaceCharacters({first + 4, 5}, QStringLiteral("ogre"));
    const QString all = model.text({0, model.length()});
    model.clear();

    ASSERT_EQ(g_events.size(), 4u);
    EXPECT_EQ(g_events[0].type, QAccessible::TextInserted);
    EXPECT_EQ(g_events[0].position, first);
    EXPECT_EQ(g_events[0].inserted, QStringLiteral("The troll hits you.\r\n"));
    EXPECT_EQ(g_events[1].type, QAccessible::TextInserted);
    EXPECT_EQ(g_events[1].inserted, QStringLiteral("You flee north.\r\n"));
    EXPECT_EQ(g_events[2].type, QAccessible::TextUpdated);
    EXPECT_EQ(g_events[2].position, first + 4);
    EXPECT_EQ(g_events[2].removed, QStringLiteral("troll"));
    EXPECT_EQ(g_events[2].inserted, QStringLiteral("ogre"));
    EXPECT_EQ(g_events[3].type, QAccessible::TextRemoved);
    EXPECT_EQ(g_events[3].position, 0);
    EXPECT_EQ(g_events[3].removed, all);
}

TEST_F(OutputAccessibilityTest, CharacterBoxesFollowTheScreenForMagnifiers)
{
    appendLines(200);
    const qsizetype last = model.lineRange(lastLine()).location + 2;
    const QRect box = text()->characterRect(int(last));
    ASSERT_FALSE(box.isNull());
    EXPECT_TRUE(box.contains(textView().mapToGlobal(pointOfCharacter(last))));
    EXPECT_EQ(text()->offsetAtPoint(box.center()), last);
    // Scrolled away: the first line has no box, until the screen reader asks to see it.
    EXPECT_TRUE(text()->characterRect(2).isNull());
    text()->scrollToSubstring(2, 4);
    EXPECT_FALSE(text()->characterRect(2).isNull());
}

TEST_F(OutputAccessibilityTest, SelectionAndCaretAreTheViewsOwn)
{
    append(QStringLiteral("You see a troll.\r\n"));
    text()->setSelection(0, 8, 15);
    EXPECT_EQ(textView().selectedText(), QStringLiteral("a troll"));
    ASSERT_EQ(text()->selectionCount(), 1);
    int start = 0;
    int end = 0;
    text()->selection(0, &start, &end);
    EXPECT_EQ(start, 8);
    EXPECT_EQ(end, 15);
    text()->removeSelection(0);
    EXPECT_EQ(text()->selectionCount(), 0);
    text()->setCursorPosition(4);
    EXPECT_EQ(text()->cursorPosition(), 4);
    EXPECT_EQ(at(text()->cursorPosition(), QAccessible::WordBoundary).text, QStringLiteral("see "));
}
