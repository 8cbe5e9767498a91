#include "app/views/CVHighlightableTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QImage>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include "app/views/CVLineNumberRuler.h"
#include "app/views/CVTextStorage.h"
#include "engine/highlighting/JSONHighlighter.h"
#include "engine/highlighting/JSONParserTokenizerToken.h"

namespace {
struct ShownEditor {
    CVHighlightableTextView view;
    JSONHighlighter* highlighter = nullptr;

    explicit ShownEditor(const QString& text)
    {
        // A pinned monospaced font keeps geometry the same on every machine.
        view.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));
        view.resize(500, 300);
        auto owned = std::make_unique<JSONHighlighter>(view.textStorage());
        highlighter = owned.get();
        view.setSyntaxHighlighter(std::move(owned));
        view.setPlainText(text);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    QPoint pointOfCharacter(int index)
    {
        QTextCursor cursor(view.document());
        cursor.setPosition(index);
        const QRect before = view.cursorRect(cursor);
        cursor.setPosition(index + 1);
        return QPoint((before.left() + view.cursorRect(cursor).left()) / 2, before.center().y());
    }

    QString selectedText() const { return view.textCursor().selectedText(); }

    int pixelsOfColor(const QColor& color)
    {
        const QImage image = view.viewport()->grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y).rgb() == color.rgb();
        return count;
    }
};

QString numberedLines(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("var v%1 = f(%1); // line\n").arg(i);
    return text;
}
}

TEST(CVHighlightableTextView, PaintsOnlyTheVisibleTextBeforeDrawing)
{
    ShownEditor editor(numberedLines(2000));
    const QColor keyword = JSONHighlighter::colorForType(JSONParserTokenizerToken::Keyword);
    EXPECT_GT(editor.pixelsOfColor(keyword), 20);
    const qsizetype entries = editor.highlighter->syntaxHighlightEntries().count();
    const qsizetype paintedAtTop = editor.highlighter->renderedCount();
    EXPECT_GT(paintedAtTop, 0);
    EXPECT_LT(paintedAtTop, entries / 20);
    editor.view.verticalScrollBar()->setValue(editor.view.verticalScrollBar()->maximum());
    EXPECT_GT(editor.pixelsOfColor(keyword), 20);
    EXPECT_GT(editor.highlighter->renderedCount(), paintedAtTop);
    EXPECT_LT(editor.highlighter->renderedCount(), entries / 10);
    EXPECT_EQ(editor.view.toPlainText(), numberedLines(2000)) << "colouring must not touch the text";
}

TEST(CVHighlightableTextView, TypingAQuoteRecoloursTheVisibleRest)
{
    ShownEditor editor("var a = 1;\nvar b = 2;\n");
    const QColor stringColor = JSONHighlighter::colorForType(JSONParserTokenizerToken::SingleQuotedString);
    EXPECT_EQ(editor.pixelsOfColor(stringColor), 0);
    QTextCursor cursor(editor.view.document());
    cursor.setPosition(8);
    editor.view.setTextCursor(cursor);
    QTest::keyClicks(&editor.view, "'");
    const int openPixels = editor.pixelsOfColor(stringColor);
    EXPECT_GT(openPixels, 50);
    cursor.setPosition(10);
    editor.view.setTextCursor(cursor);
    QTest::keyClicks(&editor.view, "'");
    const int closedPixels = editor.pixelsOfColor(stringColor);
    EXPECT_GT(closedPixels, 0);
    EXPECT_LT(closedPixels, openPixels / 2);
}

TEST(CVHighlightableTextView, DoubleClickInADottedNameSelectsOnlyThatPart)
{
    ShownEditor editor("app.sendText.now()");
    QTest::mouseDClick(editor.view.viewport(), Qt::LeftButton, {}, editor.pointOfCharacter(6));
    EXPECT_EQ(editor.selectedText(), "sendText");
    QTest::mouseDClick(editor.view.viewport(), Qt::LeftButton, {}, editor.pointOfCharacter(3));
    EXPECT_EQ(editor.selectedText(), ".");
}

TEST(CVTextStorage, WordStopsAtFullStops)
{
    CVTextStorage storage;
    storage.setPlainText("app.send now");
    struct Row {
        qsizetype from;
        bool forward;
        qsizetype expected;
    };
    const Row rows[] = {{0, true, 3}, {3, true, 4}, {4, true, 9}, {8, false, 4}, {4, false, 3}, {12, false, 9}};
    for (const Row& row : rows)
        EXPECT_EQ(storage.nextWordFromIndex(row.from, row.forward), row.expected) << row.from << " " << row.forward;
    EXPECT_EQ(storage.doubleClickAtIndex(1), (CVRange{0, 3}));
    EXPECT_EQ(storage.doubleClickAtIndex(3), (CVRange{3, 1}));
    EXPECT_EQ(storage.doubleClickAtIndex(10), (CVRange{9, 3}));
    EXPECT_EQ(storage.string(), "app.send now");
}

TEST(CVHighlightableTextView, ControlArrowStopsAtFullStops)
{
    ShownEditor editor("app.send now");
    editor.view.setFocus();
    QTest::keyClick(&editor.view, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(editor.view.textCursor().position(), 3);
    QTest::keyClick(&editor.view, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(editor.view.textCursor().position(), 4);
}

TEST(CVHighlightableTextView, RichPasteInsertsPlainText)
{
    ShownEditor editor("");
    auto* mime = new QMimeData;
    mime->setHtml("<b style=\"color:red\">bold</b>");
    mime->setText("bold");
    QApplication::clipboard()->setMimeData(mime);
    editor.view.paste();
    EXPECT_EQ(editor.view.toPlainText(), "bold");
    QTextCursor cursor(editor.view.document());
    cursor.setPosition(2);
    EXPECT_NE(cursor.charFormat().fontWeight(), QFont::Bold);
    EXPECT_FALSE(cursor.charFormat().hasProperty(QTextFormat::ForegroundBrush));
}

TEST(CVHighlightableTextView, ProposedFullStopAfterSpaceBecomesTwoSpaces)
{
    ShownEditor editor("");
    editor.view.setFocus();
    QTest::keyClicks(&editor.view, "a ");
    QInputMethodEvent proposal(QString(), {});
    proposal.setCommitString(". ", -1, 1);
    QApplication::sendEvent(&editor.view, &proposal);
    EXPECT_EQ(editor.view.toPlainText(), "a  ");
    editor.view.undo();
    EXPECT_EQ(editor.view.toPlainText(), "a ");
}

TEST(CVHighlightableTextView, EscapeRunsTheCancelBlockOnce)
{
    ShownEditor editor("x");
    int runs = 0;
    editor.view.setCancelBlock([&] {
        ++runs;
        editor.view.cancel();
    });
    QTest::keyClick(&editor.view, Qt::Key_Escape);
    EXPECT_EQ(runs, 1);
}

TEST(CVHighlightableTextView, HighlightKeepsTheSelectionAndGutterFitsTheNumbers)
{
    ShownEditor editor(numberedLines(120));
    QTextCursor cursor(editor.view.document());
    cursor.setPosition(4);
    cursor.setPosition(6, QTextCursor::KeepAnchor);
    editor.view.setTextCursor(cursor);
    editor.view.highlight();
    EXPECT_EQ(editor.view.textCursor().selectionStart(), 4);
    EXPECT_EQ(editor.view.textCursor().selectionEnd(), 6);
    EXPECT_GT(editor.highlighter->renderedCount(), 0);
    const int width = editor.view.lineNumberRuler()->width();
    EXPECT_GE(width, editor.view.lineNumberRuler()->fontMetrics().horizontalAdvance("120"));
    EXPECT_EQ(editor.view.viewport()->geometry().left(), editor.view.lineNumberRuler()->geometry().right() + 1);
    const auto lines = editor.view.visibleLines(0, editor.view.viewport()->height());
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first().first, 1);
    EXPECT_GT(lines.size(), 5);
}
