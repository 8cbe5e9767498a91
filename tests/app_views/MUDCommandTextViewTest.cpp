#include "app/views/MUDCommandTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/views/MUDCommandTextViewDelegate.h"

namespace {
class RecordingDelegate : public MUDCommandTextViewDelegate {
public:
    void MUDCommandTextViewReturnKey(MUDCommandTextView*) override { calls.append(QStringLiteral("return")); }
    void MUDCommandTextViewUpArrow(MUDCommandTextView*) override { calls.append(QStringLiteral("up")); }
    void MUDCommandTextViewDownArrow(MUDCommandTextView*) override { calls.append(QStringLiteral("down")); }
    QStringList MUDCommandTextWantsKeywords(MUDCommandTextView*) override { return keywords; }

    QStringList calls;
    QStringList keywords{QStringLiteral("north"), QStringLiteral("northeast"), QStringLiteral("say")};
};

class CommandTextViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));
        view.setDelegate(&delegate);
        view.resize(400, 30);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.setFocus();
    }
    void setTextWithCursor(const QString& text, int position)
    {
        view.setText(text);
        QTextCursor cursor = view.textCursor();
        cursor.setPosition(position);
        view.setTextCursor(cursor);
    }

    RecordingDelegate delegate;
    MUDCommandTextView view;
};

TEST_F(CommandTextViewTest, TabCyclesThroughTheCompletionsOfTheTypedWord)
{
    LogRecorder log;
    QTest::keyClicks(&view, QStringLiteral("go no"));
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.text(), QStringLiteral("go north"));
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.text(), QStringLiteral("go northeast"));
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.text(), QStringLiteral("go north"));
    EXPECT_TRUE(view.isCompleting());

    QTest::keyClicks(&view, QStringLiteral(" s"));
    EXPECT_FALSE(view.isCompleting()) << "typing ends the completion";
    EXPECT_EQ(log.count(QStringLiteral("Clear completion")), 1);
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.text(), QStringLiteral("go north say"));
}

TEST_F(CommandTextViewTest, TabOnAnEmptyLineOffersEveryKeywordInOrder)
{
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.text(), QStringLiteral("north"));
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.text(), QStringLiteral("northeast"));
}

TEST_F(CommandTextViewTest, TabWithoutACandidateChangesNothing)
{
    QTest::keyClicks(&view, QStringLiteral("xyz"));
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.text(), QStringLiteral("xyz"));
    EXPECT_FALSE(view.isCompleting());
}

TEST_F(CommandTextViewTest, CompletionIsCaseSensitive)
{
    QTest::keyClicks(&view, QStringLiteral("No"));
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(view.text(), QStringLiteral("No"));
}

TEST_F(CommandTextViewTest, ReturnGoesToTheDelegateAndShiftReturnBreaksTheLine)
{
    QTest::keyClicks(&view, QStringLiteral("look"));
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(delegate.calls, QStringList{QStringLiteral("return")});
    QTest::keyClick(&view, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(view.text(), QStringLiteral("look\n"));
    EXPECT_EQ(delegate.calls.size(), 1);
}

TEST_F(CommandTextViewTest, UpOnTheFirstLineGoesToTheStartBeforeRecallingHistory)
{
    setTextWithCursor(QStringLiteral("first line\nsecond"), 5);
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_TRUE(delegate.calls.isEmpty());
    EXPECT_EQ(view.textCursor().position(), 0);
    QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(delegate.calls, QStringList{QStringLiteral("up")});
}

TEST_F(CommandTextViewTest, DownMovesWithinTheTextUntilTheLastLine)
{
    setTextWithCursor(QStringLiteral("one\ntwo\nthree"), 5);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_TRUE(delegate.calls.isEmpty());
    int lines = 0;
    EXPECT_EQ(view.lineIndexForCursor(&lines), 2);
    EXPECT_EQ(lines, 3);
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(delegate.calls, QStringList{QStringLiteral("down")});
}

TEST_F(CommandTextViewTest, PasteInsertsOnlyTheCharacters)
{
    auto* mime = new QMimeData;
    mime->setHtml(QStringLiteral("<b style=\"color:red\">bold</b> move"));
    mime->setText(QStringLiteral("bold move"));
    QApplication::clipboard()->setMimeData(mime);
    view.paste();
    EXPECT_EQ(view.text(), QStringLiteral("bold move"));
    const QTextBlock block = view.document()->firstBlock();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        EXPECT_NE(it.fragment().charFormat().fontWeight(), QFont::Bold);
        EXPECT_FALSE(it.fragment().charFormat().hasProperty(QTextFormat::ForegroundBrush));
    }
}

TEST_F(CommandTextViewTest, HeightGrowsWithTheLinesUpToTheLimit)
{
    const int one = view.height();
    EXPECT_GE(one, MUDCommandTextView::MinimumHeight);
    view.setText(QStringLiteral("a\nb\nc"));
    const int three = view.height();
    EXPECT_GT(three, one);
    view.setText(QStringLiteral("x\n").repeated(40));
    const int many = view.height();
    EXPECT_GT(many, three);
    view.setText(QStringLiteral("x\n").repeated(80));
    EXPECT_EQ(view.height(), many) << "bounded";
    EXPECT_LE(many, MUDCommandTextView::MaximumVisibleLines * view.fontMetrics().lineSpacing() + 40);
    view.setText(QString());
    EXPECT_EQ(view.height(), one);
}
}
