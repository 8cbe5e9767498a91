#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "OutputViewFixture.h"
#include "TestSupport.h"
#include "app/views/MUDFindBar.h"
#include "engine/decoding/MUDStringColoring.h"
#include "engine/decoding/MUDStyledText.h"
#include "engine/decoding/MUDTextAttributes.h"
#include "engine/storage/MirefoldUserPreferences.h"

namespace {
using FollowingTest = OutputViewFixture;

TEST_F(FollowingTest, NewOutputFollowsTheEndWhileTheUserIsAtTheBottom)
{
    appendLines(200);
    EXPECT_TRUE(view->isAtBottomOfDocument());
    EXPECT_EQ(textView().bottomLine(), lastLine());
    appendLines(5, QStringLiteral("more"));
    EXPECT_EQ(textView().bottomLine(), lastLine());
    EXPECT_EQ(model.text(model.lineRange(textView().visibleLines().back().line)), QStringLiteral("more 4\r\n"));
}

TEST_F(FollowingTest, ScrollingUpHoldsTheViewAndReturningToTheEndFollowsAgain)
{
    LogRecorder log;
    appendLines(200);
    QScrollBar* bar = view->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_TRUE(view->hasUserScrolledAwayFromBottom());
    EXPECT_EQ(log.count(QStringLiteral("User has scrolled away from bottom")), 1);
    const qsizetype held = textView().bottomLine();

    appendLines(20, QStringLiteral("later"));
    EXPECT_EQ(textView().bottomLine(), held) << "appends must not move a view the user scrolled";
    EXPECT_FALSE(view->isAtBottomOfDocument());

    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_FALSE(view->hasUserScrolledAwayFromBottom());
    EXPECT_EQ(log.count(QStringLiteral("User has scrolled to bottom")), 1);
    appendLines(3, QStringLiteral("again"));
    EXPECT_EQ(textView().bottomLine(), lastLine());
}

TEST_F(FollowingTest, AForcedScrollJumpsToTheEndEvenWhenScrolledUp)
{
    appendLines(200);
    view->verticalScrollBar()->setValue(50);
    appendLines(10);
    EXPECT_EQ(textView().bottomLine(), 50);
    view->scrollToBottom(true);
    EXPECT_EQ(textView().bottomLine(), lastLine());
    EXPECT_FALSE(view->hasUserScrolledAwayFromBottom());
}

TEST_F(FollowingTest, AWheelGestureInProgressHoldsScrollRequests)
{
    appendLines(200);
    QWheelEvent begin(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::ScrollBegin, false);
    QCoreApplication::sendEvent(view->viewport(), &begin);
    EXPECT_TRUE(view->isUserScrolling());
    const qsizetype before = textView().bottomLine();
    appendLines(5);
    view->scrollToBottom(true);
    EXPECT_EQ(textView().bottomLine(), before);
    QWheelEvent end(QPointF(10, 10), view->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(), Qt::NoButton,
                    Qt::NoModifier, Qt::ScrollEnd, false);
    QCoreApplication::sendEvent(view->viewport(), &end);
    EXPECT_TRUE(waitUntil([&] { return !view->isUserScrolling(); }, 2000));
}

TEST_F(FollowingTest, ClearingTheOutputWhileScrolledUpReturnsToFollowing)
{
    appendLines(200);
    view->verticalScrollBar()->setValue(20);
    ASSERT_TRUE(view->hasUserScrolledAwayFromBottom());
    model.clear();
    EXPECT_FALSE(view->hasUserScrolledAwayFromBottom());
    appendLines(3);
    EXPECT_EQ(textView().bottomLine(), lastLine());
}

TEST_F(FollowingTest, ShortOutputStartsAtTheTop)
{
    appendLines(3);
    const auto& visible = textView().visibleLines();
    ASSERT_EQ(visible.size(), 3u);
    EXPECT_EQ(visible.front().line, 0);
    EXPECT_DOUBLE_EQ(visible.front().top, MUDDisplayLayoutManager::Margin);
    EXPECT_EQ(view->verticalScrollBar()->minimum(), view->verticalScrollBar()->maximum());
}

using PaintingTest = OutputViewFixture;

TEST_F(PaintingTest, OnlyTheVisibleLinesAreLaidOut)
{
    appendLines(100000);
    grabText();
    const std::size_t visible = textView().visibleLines().size();
    EXPECT_GT(visible, 10u);
    EXPECT_LT(visible, 60u);
    // The visible lines plus those that fill the view from the top (for the scroller's range).
    EXPECT_LE(textView().layoutManager().layoutsBuilt(), 2 * visible + 2);
    EXPECT_LE(textView().layoutManager().cachedLayoutCount(), qsizetype(2 * visible + 2));

    const quint64 built = textView().layoutManager().layoutsBuilt();
    appendLines(1, QStringLiteral("new"));
    grabText();
    // A new line costs its own layout and that of the line it followed, not a new screenful.
    EXPECT_LE(textView().layoutManager().layoutsBuilt() - built, 3u);
}

TEST_F(PaintingTest, LongLinesWrapToTheViewWidth)
{
    append(QString(400, u'x') + QStringLiteral("\r\n"));
    const auto& visible = textView().visibleLines();
    ASSERT_EQ(visible.size(), 1u);
    EXPECT_GT(textView().layoutManager().layout(0).lineCount(), 2);
}

// Styled server text lays out in one format range per style where its
// faint white space cannot show; where the pen draws across white space
// (strike-out), the white space keeps its faint format.
TEST_F(PaintingTest, FaintWhiteSpaceSplitsTheLayoutOnlyWhereItShows)
{
    struct Row {
        const char* sequence;
        int expectedRanges;
        bool faintGap;
    };
    const QFont font = textView().layoutManager().font();
    for (const Row& row : {Row{"\x1b[31m", 1, false}, Row{"\x1b[4;32m", 1, false}, Row{"\x1b[9;33m", 6, true}}) {
        SCOPED_TRACE(row.sequence);
        model.clear();
        MUDStringColoring coloring;
        coloring.prepareANSI(row.sequence, font);
        MUDStyledText text;
        coloring.appendColoredText(text, u"one two  three\r\n", font); // "\r" shows as a space
        model.append(text);
        const QList<QTextLayout::FormatRange> ranges = textView().layoutManager().layout(0).formats();
        ASSERT_EQ(ranges.size(), row.expectedRanges);
        const QTextCharFormat& gap = ranges[std::min(1, int(ranges.size()) - 1)].format;
        EXPECT_EQ(gap.foreground().color().alpha() < 40, row.faintGap);
        EXPECT_EQ(ranges.front().format.foreground().color(), coloring.lastAttributes().foreground().color());
    }
}

TEST_F(PaintingTest, WhitespaceMarksAppearOnlyWhenThePreferenceIsOn)
{
    append(QStringLiteral("a b\tc\r\n"));
    MirefoldUserPreferences::sharedInstance().setShowWhitespace(false);
    const QImage plain = grabText();
    MirefoldUserPreferences::sharedInstance().setShowWhitespace(true);
    const QImage marked = grabText();
    MirefoldUserPreferences::sharedInstance().setShowWhitespace(false);
    EXPECT_GT(inkPixels(marked), inkPixels(plain));
}

TEST_F(PaintingTest, BlinkingTextVanishesAndReturnsWithEachTick)
{
    QTextCharFormat blinking;
    blinking.setForeground(QColor(Qt::red));
    blinking.setProperty(MUDBlinkingProperty, 1);
    append(QStringLiteral("steady "));
    append(QStringLiteral("BLINKING"), blinking);
    const int shown = inkPixels(grabText());
    EXPECT_FALSE(textView().blinkState());
    textView().updateBlink();
    EXPECT_TRUE(textView().blinkState());
    const int hidden = inkPixels(grabText());
    EXPECT_LT(hidden, shown * 3 / 4);
    EXPECT_GT(hidden, 0) << "the steady text stays";
    textView().updateBlink();
    EXPECT_EQ(inkPixels(grabText()), shown);
}

using SelectionTest = OutputViewFixture;

TEST_F(SelectionTest, CopyGivesTheSelectedTextAcrossRunsAndLines)
{
    QTextCharFormat red;
    red.setForeground(QColor(Qt::red));
    QTextCharFormat green;
    green.setForeground(QColor(Qt::green));
    append(QStringLiteral("You see "), red);
    append(QStringLiteral("a goblin\r\n"), green);
    append(QStringLiteral("It attacks!\r\n"), red);
    textView().setSelectedRange({4, 17});
    textView().copy();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("see a goblin\nIt "));
}

TEST_F(SelectionTest, ADragSelectsAndKeepsFocusWhileAPlainClickReturnsToTheInput)
{
    append(QStringLiteral("the quick brown fox\r\n"));
    QWidget* surface = &textView();
    const QPoint from = pointBeforeCharacter(4);
    const QPoint to = pointBeforeCharacter(14);
    QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(surface, to);
    QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_EQ(textView().selectedText(), QStringLiteral("quick brow"));
    EXPECT_FALSE(input->hasFocus());

    textView().setFocus();
    QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, from);
    EXPECT_EQ(textView().selectedRange().length, 0);
    EXPECT_TRUE(waitUntil([&] { return input->hasFocus(); }, 1000));
}

TEST_F(SelectionTest, ClickingALinkReportsIt)
{
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref(QStringLiteral("error:7"));
    append(QStringLiteral("Error in `x`. boom. "));
    const qsizetype start = model.length();
    append(QStringLiteral("(details)"), link);
    append(QStringLiteral("\r\n"));
    QSignalSpy activated(&textView(), &MUDDisplayTextView::linkActivated);
    QSignalSpy attributes(&textView(), &MUDDisplayTextView::linkAttributesActivated);
    QTest::mouseClick(&textView(), Qt::LeftButton, Qt::NoModifier, pointOfCharacter(start + 2));
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated.at(0).at(0).toString(), QStringLiteral("error:7"));
    EXPECT_EQ(attributes.count(), 1);
    QTest::mouseClick(&textView(), Qt::LeftButton, Qt::NoModifier, pointOfCharacter(2));
    EXPECT_EQ(activated.count(), 1) << "plain text is no link";
}

TEST_F(SelectionTest, TypingInTheOutputTypesIntoTheInputLine)
{
    append(QStringLiteral("prompt> "));
    textView().setFocus();
    QTest::keyClicks(&textView(), QStringLiteral("n"));
    EXPECT_EQ(input->text(), QStringLiteral("n"));
    EXPECT_TRUE(waitUntil([&] { return input->hasFocus(); }, 1000));
}

struct MatchCase {
    const char* name;
    int matchType;
    const char* matchString;
    bool fromStartOfLine;
    // Expected: the match's start and length, then (start, length, group) per underline.
    CVRange match;
    std::vector<std::tuple<qsizetype, qsizetype, int>> underlines;
};

void PrintTo(const MatchCase& row, std::ostream* os)
{
    *os << row.name;
}

class MatchHighlightTest : public OutputViewFixture, public ::testing::WithParamInterface<MatchCase> { };

TEST_P(MatchHighlightTest, HighlightsTheMatchAndUnderlinesItsGroups)
{
    const MatchCase& row = GetParam();
    append(QStringLiteral("Grub says, hello there\r\nA goblin says, hi\r\n"));
    MUDMatchTest test;
    test.matchType = row.matchType;
    test.matchString = QString::fromUtf8(row.matchString);
    test.matchFromStartOfLine = row.fromStartOfLine;
    textView().highlightScriptTest(test);
    const auto& highlights = textView().matchHighlights();
    ASSERT_EQ(highlights.size(), qsizetype(1 + row.underlines.size()));
    EXPECT_EQ(highlights.at(0).range, row.match);
    EXPECT_EQ(highlights.at(0).background.rgb(), QColor(10, 132, 255).rgb());
    EXPECT_NEAR(highlights.at(0).background.alphaF(), 0.15, 0.01);
    static const QColor groupColors[] = {QColor(191, 90, 242), QColor(255, 55, 95), QColor(48, 209, 88),
                                         QColor(10, 132, 255)};
    for (size_t i = 0; i < row.underlines.size(); ++i) {
        const auto& [start, length, group] = row.underlines[i];
        const auto& highlight = highlights.at(qsizetype(i) + 1);
        EXPECT_EQ(highlight.range, (CVRange{start, length}));
        EXPECT_EQ(highlight.underline.rgb(), groupColors[group % 4].rgb()) << "group " << group;
        EXPECT_NEAR(highlight.underline.alphaF(), 0.6, 0.01);
    }
    textView().highlightScriptTest(std::nullopt);
    EXPECT_TRUE(textView().matchHighlights().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MatchHighlightTest,
    ::testing::Values(MatchCase{"plain_hello", 0, "hello", false, {11, 5}, {}},
                      MatchCase{"regex_two_groups", 1, "(\\w+) says, (hello)", false, {0, 16}, {{0, 4, 1}, {11, 5, 2}}},
                      MatchCase{"regex_start_of_line", 1, "^A (\\w+) says", true, {24, 13}, {{26, 6, 1}}}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

using FindTest = OutputViewFixture;

TEST_F(FindTest, FindsNextAndPreviousAndWrapsAround)
{
    append(QStringLiteral("a goblin\r\nnothing\r\nGoblin two\r\nthe last goblin\r\n"));
    const CVRange first{2, 6};
    const CVRange second{19, 6};
    const CVRange third{40, 6};
    EXPECT_TRUE(view->performFind(QStringLiteral("goblin"), true));
    EXPECT_EQ(textView().selectedRange(), first);
    view->performFind(QStringLiteral("goblin"), true);
    EXPECT_EQ(textView().selectedRange(), second) << "find ignores case";
    view->performFind(QStringLiteral("goblin"), true);
    EXPECT_EQ(textView().selectedRange(), third);
    view->performFind(QStringLiteral("goblin"), true);
    EXPECT_EQ(textView().selectedRange(), first) << "wraps to the start";
    view->performFind(QStringLiteral("goblin"), false);
    EXPECT_EQ(textView().selectedRange(), third) << "wraps to the end";
    view->performFind(QStringLiteral("goblin"), false);
    EXPECT_EQ(textView().selectedRange(), second);
    EXPECT_FALSE(view->performFind(QStringLiteral("dragon"), true));
}

TEST_F(FindTest, AFoundLineAboveTheScreenIsScrolledIntoView)
{
    append(QStringLiteral("the hidden treasure\r\n"));
    appendLines(300);
    ASSERT_TRUE(view->performFind(QStringLiteral("treasure"), true));
    const auto& visible = textView().visibleLines();
    EXPECT_LE(visible.front().line, 0);
    EXPECT_TRUE(view->hasUserScrolledAwayFromBottom()) << "the found line holds the view";
}

TEST_F(FindTest, TheFindBarOpensFromTheInputLineAndSearchesTheOutput)
{
    append(QStringLiteral("one orc\r\ntwo orcs\r\n"));
    input->setFocus();
    QTest::keySequence(input.get(), QKeySequence::Find);
    EXPECT_TRUE(waitUntil([&] { return view->findBar()->isVisible(); }, 1000));
    auto* field = view->findBar()->findChild<QLineEdit*>();
    ASSERT_NE(field, nullptr);
    QTest::keyClicks(field, QStringLiteral("orc"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(textView().selectedRange(), (CVRange{4, 3}));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(textView().selectedRange(), (CVRange{13, 3}));
    QTest::keyClick(field, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(textView().selectedRange(), (CVRange{4, 3}));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(view->findBar()->isVisible());
}
}
