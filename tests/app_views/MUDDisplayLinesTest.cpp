#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTest>
#include <random>

#include "OutputViewFixture.h"
#include "app/views/MUDDisplayLines.h"
#include "engine/decoding/MUDOutputModel.h"

namespace {
constexpr qsizetype kPiece = MUDDisplayLines::PieceLength;
constexpr qsizetype kLongLine = MUDDisplayLines::LongLineLength;

// Every display line of `lines`, as (range, output line, ends its output line).
std::vector<std::tuple<CVRange, qsizetype, bool>> describe(const MUDDisplayLines& lines)
{
    std::vector<std::tuple<CVRange, qsizetype, bool>> rows;
    for (qsizetype line = 0; line < lines.count(); ++line)
        rows.emplace_back(lines.range(line), lines.outputLine(line), lines.endsOutputLine(line));
    return rows;
}

// The display lines tile the output: each output line's pieces follow each
// other without gap, end at its line feed, and map back to their place.
void expectTiling(const MUDOutputModel& model, const MUDDisplayLines& lines)
{
    qsizetype outputLine = -1;
    qsizetype expectedStart = 0;
    for (qsizetype line = 0; line < lines.count(); ++line) {
        const CVRange range = lines.range(line);
        SCOPED_TRACE(line);
        if (lines.outputLine(line) != outputLine) {
            ASSERT_EQ(lines.outputLine(line), outputLine + 1);
            outputLine = lines.outputLine(line);
            ASSERT_EQ(lines.firstDisplayLine(outputLine), line);
            expectedStart = model.lineRange(outputLine).location;
        }
        ASSERT_EQ(range.location, expectedStart);
        const bool whole = lines.contentRange(outputLine).length <= kLongLine;
        ASSERT_LE(range.length, whole ? kLongLine : kPiece);
        expectedStart = range.end();
        if (lines.endsOutputLine(line))
            ASSERT_EQ(range.end(), lines.contentRange(outputLine).end());
        else
            ASSERT_GT(range.length, kPiece / 2);
        if (range.length > 0) {
            ASSERT_EQ(lines.displayLineForOffset(range.location), line);
            ASSERT_EQ(lines.displayLineForOffset(range.end() - 1), line);
        }
    }
}

TEST(MUDDisplayLinesTest, LinesUpToTheLongLineLengthAreOneDisplayLineEachAndAnEmptyLastLineIsLeftOut)
{
    MUDOutputModel model;
    const QString paragraph = QStringLiteral("word ").repeated(kLongLine / 5);
    model.append(QStringLiteral("one\r\n") + paragraph + QStringLiteral("\r\n"), {});
    MUDDisplayLines lines(model);
    EXPECT_EQ(lines.count(), 2);
    EXPECT_EQ(lines.range(1), (CVRange{5, paragraph.size() + 1}));
    model.append(QStringLiteral("three"), {});
    lines.update(model.length() - 5);
    EXPECT_EQ(lines.count(), 3);
    EXPECT_EQ(lines.outputLine(2), 2);
}

TEST(MUDDisplayLinesTest, ALongLineIsCutAfterWhiteSpaceAndNeverInsideACharacter)
{
    struct Row {
        const char* name;
        QString unit;
        bool cutAfterSpace;
    };
    const QString emoji = QString::fromUtf8("\xF0\x9F\x90\x89"); // a surrogate pair
    const QString accented = QString::fromUtf8("e\xCC\x81"); // e and a combining acute
    for (const Row& row : {Row{"words", QStringLiteral("goblin "), true}, Row{"letters", QStringLiteral("x"), false},
                           Row{"surrogate_pairs", emoji, false}, Row{"combining_marks", accented, false}}) {
        SCOPED_TRACE(row.name);
        MUDOutputModel model;
        model.append(row.unit.repeated(2 * kLongLine / row.unit.size()) + QStringLiteral("\r\nafter\r\n"), {});
        MUDDisplayLines lines(model);
        expectTiling(model, lines);
        EXPECT_GE(lines.count(), 2 * kLongLine / kPiece + 1);
        EXPECT_EQ(model.text(lines.range(lines.count() - 1)), QStringLiteral("after\r"));
        for (qsizetype line = 0; line + 1 < lines.count() && !lines.endsOutputLine(line); ++line) {
            const CVRange range = lines.range(line);
            const QChar last = model.characterAt(range.end() - 1);
            const QChar next = model.characterAt(range.end());
            EXPECT_EQ(last == u' ', row.cutAfterSpace);
            EXPECT_FALSE(next.isLowSurrogate());
            EXPECT_FALSE(next.isMark());
        }
    }
}

// However the output grows (and a countdown rewrites its end), following
// each change gives the same display lines as indexing it afresh, and
// appending to a long line leaves all its pieces but the last in place.
TEST(MUDDisplayLinesTest, FollowingChangesMatchesIndexingAfresh)
{
    MUDOutputModel model;
    MUDDisplayLines lines(model);
    std::mt19937 random(3);
    std::uniform_int_distribution<int> chunkLength(1, 3 * int(kPiece));
    // Line feeds rare enough that many lines grow long.
    std::uniform_int_distribution<int> percent(0, 99);
    for (int step = 0; step < 200; ++step) {
        SCOPED_TRACE(step);
        const qsizetype position = model.length();
        if (percent(random) < 10 && position > 10) {
            const CVRange replaced{position - 10, 4};
            model.replaceCharacters(replaced, QStringLiteral("0:0"));
            lines.update(replaced.location);
        } else {
            QString chunk;
            const int length = chunkLength(random);
            for (int i = 0; i < length; ++i) {
                const int kind = percent(random);
                chunk += kind == 0 && percent(random) < 2 ? u'\n' : kind < 15 ? u' ' : char16_t(u'a' + kind % 26);
            }
            const auto before = describe(lines);
            model.append(chunk, {});
            const qsizetype changed = lines.update(position);
            const auto after = describe(lines);
            // Only the last piece can change; nothing before it moved.
            ASSERT_GE(changed, qsizetype(before.size()) - 1);
            for (qsizetype line = 0; line < changed && line < qsizetype(before.size()); ++line)
                ASSERT_EQ(before[size_t(line)], after[size_t(line)]) << "display line " << line;
        }
        const MUDDisplayLines fresh(model);
        ASSERT_EQ(describe(lines), describe(fresh));
        expectTiling(model, lines);
    }
    model.clear();
    lines.update(0);
    EXPECT_EQ(lines.count(), 1);
    EXPECT_EQ(lines.range(0), (CVRange{0, 0}));
}

using LongLineViewTest = OutputViewFixture;

// A server that never sends a line feed: 2 MB arriving in 32 KiB reads,
// each painted as the event loop would. Laying out the whole line again on
// every read took minutes; the bound is generous for a slow machine.
TEST_F(LongLineViewTest, ALineWithoutLineFeedArrivesQuicklyAndCanBeScrolledSelectedAndSearched)
{
    constexpr qsizetype kLineLength = 2 * 1024 * 1024;
    constexpr qsizetype kRead = 32 * 1024;
    const QString words = QStringLiteral("the goblin hits you with a rusty sword ");
    QString line;
    while (line.size() < kLineLength)
        line += words;
    line.replace(kLineLength / 2, 8, QStringLiteral("TREASURE"));

    QElapsedTimer timer;
    timer.start();
    qsizetype sent = 0;
    for (; sent < line.size() && timer.elapsed() < 20'000; sent += kRead) {
        append(line.mid(sent, kRead));
        textView().repaint();
    }
    ASSERT_GE(sent, line.size()) << "only " << sent << " characters in " << timer.elapsed() << " ms";
    EXPECT_LT(timer.elapsed(), 20'000);
    ASSERT_EQ(model.lineCount(), 1);
    ASSERT_EQ(model.text({0, model.length()}), line) << "the output keeps the line as it came";

    // The view follows the end of the line, and the scroller reaches every piece of it.
    MUDDisplayLayoutManager& layout = textView().layoutManager();
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_EQ(textView().visibleLines().back().line, layout.displayedLineCount() - 1);
    EXPECT_EQ(bar->maximum(), layout.displayedLineCount() - 1);
    EXPECT_GT(bar->maximum() - bar->minimum(), kLineLength / (2 * kPiece));

    // Paging up keeps the line that was at the top on screen.
    textView().setFocus();
    const qsizetype topBefore = textView().visibleLines().front().line;
    QTest::keyClick(&textView(), Qt::Key_PageUp);
    EXPECT_LT(textView().visibleLines().front().line, topBefore);
    EXPECT_GE(textView().visibleLines().back().line, topBefore);

    // Find scrolls to the middle; what is drawn there is the output's text.
    ASSERT_TRUE(view->performFind(QStringLiteral("treasure"), true));
    EXPECT_EQ(textView().selectedRange(), (CVRange{kLineLength / 2, 8}));
    bool shown = false;
    for (const auto& visible : textView().visibleLines()) {
        EXPECT_EQ(layout.layout(visible.line).text(), model.text(layout.displayedRange(visible.line)));
        shown = shown || layout.displayedRange(visible.line).contains(kLineLength / 2);
    }
    EXPECT_TRUE(shown);

    // A drag with the mouse in the middle of the line selects what is under it.
    const qsizetype from = kLineLength / 2 + 1;
    QTest::mousePress(&textView(), Qt::LeftButton, Qt::NoModifier, pointBeforeCharacter(from));
    QTest::mouseMove(&textView(), pointBeforeCharacter(from + 6));
    QTest::mouseRelease(&textView(), Qt::LeftButton, Qt::NoModifier, pointBeforeCharacter(from + 6));
    EXPECT_EQ(textView().selectedText(), QStringLiteral("REASUR"));
    textView().copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("REASUR"));

    // The trigger editor's match test looks at the screen, not the whole line.
    MUDMatchTest test;
    test.matchType = 0;
    test.matchString = QStringLiteral("goblin");
    textView().highlightScriptTest(test);
    const CVRange visible = textView().calculateVisibleRange();
    EXPECT_LT(visible.length, 64 * kPiece);
    const auto& highlights = textView().matchHighlights();
    ASSERT_FALSE(highlights.isEmpty());
    for (const auto& highlight : highlights) {
        EXPECT_GE(highlight.range.location, visible.location);
        EXPECT_LE(highlight.range.end(), visible.end());
    }
}

using TopEdgeTest = OutputViewFixture;

// Scrolled to the top, the first line shows whole below the top margin; one
// line further down the view moves.
TEST_F(TopEdgeTest, TheFirstLineIsWholeWhenScrolledToTheTop)
{
    appendLines(100);
    textView().setFocus();
    QTest::keyClick(&textView(), Qt::Key_Home);
    const auto top = textView().visibleLines().front();
    EXPECT_EQ(top.line, 0);
    EXPECT_GE(top.top, MUDDisplayLayoutManager::Margin - 0.01);
    const QRect firstCharacter(pointOfCharacter(0), QSize(1, 1));
    EXPECT_TRUE(textView().rect().contains(firstCharacter));

    QTest::keyClick(&textView(), Qt::Key_Down);
    EXPECT_LT(textView().visibleLines().front().top, top.top) << "the next step down moves the text";
}

using CutTest = OutputViewFixture;

TEST_F(CutTest, CuttingFromTheOutputBeepsAndChangesNothing)
{
    append(QStringLiteral("the quick brown fox\r\n"));
    int beeps = 0;
    textView().setBeep([&] { ++beeps; });
    QApplication::clipboard()->setText(QStringLiteral("kept"));
    textView().setSelectedRange({4, 5});
    textView().setFocus();
    QTest::keySequence(&textView(), QKeySequence::Cut);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(model.text({0, model.length()}), QStringLiteral("the quick brown fox\r\n"));
    EXPECT_EQ(textView().selectedText(), QStringLiteral("quick"));
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("kept"));
}
}
