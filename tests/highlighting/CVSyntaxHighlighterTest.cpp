#include "engine/highlighting/JSONHighlighter.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <gtest/gtest.h>
#include <random>

#include "HighlightRecorder.h"
#include "TestSupport.h"
#include "engine/highlighting/JSONParserTokenizerToken.h"

namespace {
using Token = JSONParserTokenizerToken;

struct Editor {
    QTextDocument document;
    JSONHighlighter highlighter{&document};

    void insert(qsizetype at, const QString& text)
    {
        QTextCursor cursor(&document);
        cursor.setPosition(int(at));
        cursor.insertText(text);
    }
    void remove(qsizetype at, qsizetype length)
    {
        QTextCursor cursor(&document);
        cursor.setPosition(int(at));
        cursor.setPosition(int(at + length), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    QString text() const { return document.toPlainText(); }
    // The type of the entry covering each character.
    QList<int> entryTypes() const
    {
        QList<int> types;
        for (const CVTokenizerTokenPtr& entry : highlighter.syntaxHighlightEntries().tokens())
            types.append(QList<int>(entry->range().length, entry->type()));
        return types;
    }
    QList<QColor> paintedColors()
    {
        HighlightRecorder recorder(text());
        highlighter.highlightRange({0, recorder.length()}, recorder, false);
        return recorder.colors();
    }
};

// Empty string on success, else what is wrong with the tiling.
std::string tilingProblem(const JSONHighlighter& highlighter, qsizetype length)
{
    const CVTokenizerTokenArray& entries = highlighter.syntaxHighlightEntries();
    if (length == 0)
        return entries.isEmpty() ? "" : "entries for an empty text";
    if (entries.isEmpty())
        return "no entries";
    if (entries[0]->range().location != 0)
        return "does not start at 0";
    if (entries.lastObject()->range().end() != length)
        return "ends at " + std::to_string(entries.lastObject()->range().end()) + " of " + std::to_string(length);
    if (!entries.isSorted() || !CVTokenizerTokenArray::isSequential(entries.tokens()))
        return "not sorted and sequential";
    return "";
}

// The colours of a fresh full parse of `text`.
QList<QColor> fullParseColors(const QString& text, QList<int>* types)
{
    Editor fresh;
    fresh.document.setPlainText(text);
    *types = fresh.entryTypes();
    return fresh.paintedColors();
}

bool isLocalType(int type)
{
    // Strings, comments, numbers, keywords and symbols are decided by the
    // text near them (variables and function names are not).
    return type == Token::Symbol || type == Token::Keyword || type == Token::Numeric ||
           (type >= Token::SingleQuotedString && type <= Token::MultiLineComment);
}

// Lines of 99 letters, cut to `length` characters. Short lines keep the
// document's own layout work small.
QString shortLines(qsizetype length)
{
    const QString line = QString(99, u'a') + u'\n';
    QString text;
    text.reserve(length + line.size());
    while (text.size() < length)
        text += line;
    text.truncate(length);
    return text;
}

const QStringList kSnippets{"var ",       "let x",
                            " = ",        "x",
                            "y",          "1",
                            "42",         ";",
                            "\n",         "'",
                            "\"",         "\\",
                            "/",          "*",
                            "/*",         "*/",
                            "//",         "(",
                            ")",          "{",
                            "}",          "if ",
                            "return ",    "foo(",
                            " ",          "app.send('go');\n",
                            "\"a\\\"b\"", "// note\n",
                            "/* c */",    "const z = 3;\n",
                            ".",          "+",
                            "true"};
}

TEST(CVSyntaxHighlighter, SeededRandomEditsKeepTheTilingAndTheLocalColours)
{
    Editor editor;
    editor.document.setPlainText(
        "var a = 1;\nfunction f(b) { return 'x' + b; }\n/* block */ app.send(\"hi\"); // end\n");
    std::mt19937 random(20240521);
    int compared = 0;
    int differing = 0;
    for (int step = 0; step < 4000; ++step) {
        const qsizetype length = editor.text().size();
        std::uniform_int_distribution<int> kind(0, 9);
        if (length > 1500 || (length > 0 && kind(random) < 4)) {
            const qsizetype at = std::uniform_int_distribution<qsizetype>(0, length - 1)(random);
            const qsizetype count =
                std::uniform_int_distribution<qsizetype>(1, std::min<qsizetype>(length - at, 12))(random);
            editor.remove(at, count);
        } else {
            const qsizetype at = std::uniform_int_distribution<qsizetype>(0, length)(random);
            editor.insert(at, kSnippets[std::uniform_int_distribution<qsizetype>(0, kSnippets.size() - 1)(random)]);
        }
        const QString text = editor.text();
        ASSERT_EQ(editor.highlighter.string(), text) << "step " << step;
        ASSERT_EQ(tilingProblem(editor.highlighter, text.size()), "") << "step " << step;
        if (step % 4 != 0)
            continue;
        QList<int> freshTypes;
        const QList<QColor> expected = fullParseColors(text, &freshTypes);
        const QList<int> types = editor.entryTypes();
        const QList<QColor> painted = editor.paintedColors();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (!isLocalType(freshTypes[i]) && !isLocalType(types[i]))
                continue;
            ++compared;
            if (painted[i] != expected[i])
                ++differing;
        }
    }
    EXPECT_GT(compared, 10000);
    EXPECT_EQ(differing, 0);
}

TEST(CVSyntaxHighlighter, TypingAQuoteRecoloursTheRestAndClosingRestoresIt)
{
    Editor editor;
    editor.document.setPlainText("a = b;\nif (c) { d(1); }\n");
    const QList<QColor> before = editor.paintedColors();
    const QColor stringColor = JSONHighlighter::colorForType(Token::DoubleQuotedString);
    editor.insert(4, "\"");
    QList<QColor> open = editor.paintedColors();
    for (qsizetype i = 4; i < open.size(); ++i)
        ASSERT_EQ(open[i], stringColor) << "character " << i;
    editor.insert(6, "\"");
    const QList<QColor> closed = editor.paintedColors();
    EXPECT_EQ(closed.mid(0, 4), before.mid(0, 4));
    EXPECT_EQ(closed[4], stringColor);
    EXPECT_EQ(closed[6], stringColor);
    EXPECT_EQ(closed.mid(7), before.mid(5));
}

TEST(CVSyntaxHighlighter, OpeningACommentRecoloursTheRest)
{
    Editor editor;
    editor.document.setPlainText("a = b + c;\nd(1);\ne = 2;\n");
    editor.insert(2, "/*");
    const QList<QColor> colors = editor.paintedColors();
    const QColor commentColor = JSONHighlighter::colorForType(Token::MultiLineComment);
    for (qsizetype i = 2; i < colors.size(); ++i)
        ASSERT_EQ(colors[i], commentColor) << "character " << i;
}

TEST(CVSyntaxHighlighter, DeletingEverythingEmptiesTheEntriesAndTypingStartsAFullParse)
{
    Editor editor;
    editor.document.setPlainText("var x = 1;");
    ASSERT_FALSE(editor.highlighter.syntaxHighlightEntries().isEmpty());
    editor.remove(0, editor.text().size());
    EXPECT_TRUE(editor.highlighter.syntaxHighlightEntries().isEmpty());
    editor.insert(0, "let y");
    EXPECT_EQ(editor.highlighter.debugDeltaRange(), (CVRange{0, 5}));
    EXPECT_EQ(editor.entryTypes(), (QList<int>{2, 2, 2, 0, 3}));
}

TEST(CVSyntaxHighlighter, UnchangedLengthWithEmptyEditedRangeDoesNothing)
{
    Editor editor;
    editor.document.setPlainText("a(b); c = 'd';");
    const QList<CVTokenizerTokenPtr> before = editor.highlighter.syntaxHighlightEntries().tokens();
    const CVRange deltaBefore = editor.highlighter.debugDeltaRange();
    editor.highlighter.textStorageDidProcessEditing({3, 0});
    EXPECT_EQ(editor.highlighter.syntaxHighlightEntries().tokens(), before);
    EXPECT_EQ(editor.highlighter.debugDeltaRange(), deltaBefore);
}

TEST(CVSyntaxHighlighter, EditsRescanOnlyTheNeighbourhood)
{
    Editor editor;
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("var v%1 = f(%1); // line\n").arg(i);
    editor.document.setPlainText(text);
    const qsizetype at = text.indexOf("v100 ") + 1;
    editor.insert(at, "9");
    EXPECT_LT(editor.highlighter.debugDeltaRange().length, 40);
    EXPECT_LE(editor.highlighter.debugDeltaRange().location, at);
    EXPECT_GE(editor.highlighter.debugDeltaRange().end(), at + 1);
}

TEST(CVSyntaxHighlighter, PaintingIsCachedUntilEntriesChange)
{
    Editor editor;
    editor.document.setPlainText("a = 'x';\nb = 2;\n");
    HighlightRecorder recorder(editor.text());
    editor.highlighter.highlightRange({0, 3}, recorder, true);
    EXPECT_FALSE(recorder.paintedWhileNotEditing());
    const qsizetype rendered = editor.highlighter.renderedCount();
    EXPECT_GE(rendered, 2);
    editor.highlighter.highlightRange({0, 3}, recorder, true);
    EXPECT_EQ(editor.highlighter.renderedCount(), rendered);
    editor.highlighter.highlightRange({0, editor.text().size()}, true);
    EXPECT_EQ(editor.highlighter.renderedCount(), editor.highlighter.syntaxHighlightEntries().count());
    editor.insert(5, "y");
    EXPECT_LT(editor.highlighter.renderedCount(), editor.highlighter.syntaxHighlightEntries().count());
}

TEST(CVSyntaxHighlighter, DisablingPaintsThePlainColourAndReenablingReparses)
{
    Editor editor;
    editor.document.setPlainText("var x = 'y';");
    editor.highlighter.setEnabled(false);
    for (const QColor& color : editor.paintedColors())
        ASSERT_EQ(color, CVSyntaxHighlighter::labelColor());
    editor.insert(0, "'");
    EXPECT_EQ(editor.highlighter.lastStringLength(), 12);
    editor.highlighter.setEnabled(true);
    EXPECT_EQ(editor.highlighter.lastStringLength(), 13);
    EXPECT_EQ(editor.entryTypes().first(), Token::SingleQuotedString);
}

TEST(CVSyntaxHighlighter, TenMillionCharactersAreTheLimit)
{
    LogRecorder log;
    Editor editor;
    editor.document.setPlainText(shortLines(10'000'000));
    EXPECT_EQ(editor.highlighter.lastStringLength(), 10'000'000);
    EXPECT_FALSE(editor.highlighter.syntaxHighlightEntries().isEmpty());
    editor.insert(0, "b");
    EXPECT_TRUE(editor.highlighter.syntaxHighlightEntries().isEmpty());
    EXPECT_TRUE(log.contains("Disabled syntax highlighting (string length: 10000001)"));
    editor.remove(0, 2);
    EXPECT_EQ(tilingProblem(editor.highlighter, 9'999'999), "");
}

TEST(CVSyntaxHighlighter, TextPastTheLimitIsDrawnPlainInTheSystemFont)
{
    Editor editor;
    editor.document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans Mono"), 11));
    editor.document.setPlainText(shortLines(10'000'001));
    ASSERT_EQ(editor.highlighter.string().size(), 10'000'001);
    ASSERT_TRUE(editor.highlighter.syntaxHighlightEntries().isEmpty());

    // What the editor draws: the visible range painted into the block layouts.
    editor.highlighter.highlightRange({0, 300}, true);
    const QFont systemFont = CVSyntaxHighlighter::systemFont();
    for (QTextBlock block = editor.document.firstBlock(); block.position() < 300; block = block.next()) {
        SCOPED_TRACE(block.blockNumber());
        const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
        ASSERT_EQ(formats.size(), 1);
        EXPECT_EQ(formats[0].start, 0);
        EXPECT_GE(formats[0].length, 99);
        EXPECT_EQ(formats[0].format.foreground().color(), CVSyntaxHighlighter::labelColor());
        // The font is part of the painted format, not the document's default.
        EXPECT_TRUE(formats[0].format.hasProperty(QTextFormat::FontFamilies));
        EXPECT_EQ(formats[0].format.font().family(), systemFont.family());
        EXPECT_EQ(formats[0].format.fontPointSize(), systemFont.pointSizeF());
    }
    EXPECT_TRUE(editor.document.lastBlock().layout()->formats().isEmpty()) << "only drawn text is painted";
}

TEST(CVSyntaxHighlighter, RepaintingPlainTextLeavesTheLayoutAlone)
{
    Editor editor;
    editor.document.setPlainText("var x = 'y';\nlet z = 2;\n");
    editor.highlighter.setEnabled(false);
    editor.highlighter.highlightRange({0, editor.text().size()}, false);
    int layoutUpdates = 0;
    QObject::connect(editor.document.documentLayout(), &QAbstractTextDocumentLayout::update, [&] { ++layoutUpdates; });
    // Every draw paints the drawn range: an unchanged painting must not ask
    // for another draw, or the editor repaints for ever.
    editor.highlighter.highlightRange({0, editor.text().size()}, false);
    EXPECT_EQ(layoutUpdates, 0);
}

TEST(JSONHighlighter, ExpansionRule)
{
    JSONHighlighter highlighter(nullptr);
    struct Row {
        int type;
        const char* text;
        bool expands;
    };
    const Row rows[] = {
        {Token::SingleQuotedString, "'", true},
        {Token::SingleQuotedString, "'ab'", false},
        {Token::SingleQuotedString, "'ab", true},
        {Token::SingleQuotedString, "'a\\'", true},
        {Token::DoubleQuotedString, "\"a\"", false},
        {Token::DoubleQuotedString, "\"", true},
        {Token::MultiLineComment, "/* a */", false},
        {Token::MultiLineComment, "/*/", true},
        {Token::SingleLineComment, "// a", true},
        {Token::Keyword, "var", false},
        {Token::Unknown, "'", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(highlighter.needsToExpandParserStringType(Token(CVRange{0, 1}, row.type), QString(row.text)),
                  row.expands)
            << row.text;
    EXPECT_EQ(highlighter.highlighterTitle(), "JSON");
    EXPECT_EQ(JSONHighlighter::colorForType(Token::Keyword), QColor("#b2dfb2"));
    EXPECT_EQ(JSONHighlighter::colorForType(Token::Symbol), CVSyntaxHighlighter::labelColor());
}

TEST(CVSyntaxHighlighter, AttributedCopiesCarryTheTokenColours)
{
    Editor editor;
    editor.document.setPlainText("x = 'a'; // c");
    const CVAttributedString part = editor.highlighter.highlightedAttributedStringForRange({4, 9});
    ASSERT_EQ(part.string(), "'a'; // c");
    EXPECT_EQ(part.attributesAtIndex(0).foreground().color(), JSONHighlighter::colorForType(Token::SingleQuotedString));
    EXPECT_EQ(part.attributesAtIndex(3).foreground().color(), CVSyntaxHighlighter::labelColor());
    EXPECT_EQ(part.attributesAtIndex(8).foreground().color(), JSONHighlighter::colorForType(Token::SingleLineComment));
    const CVAttributedString whole = editor.highlighter.highlightString("var n = 5", {});
    EXPECT_EQ(whole.attributesAtIndex(0).foreground().color(), JSONHighlighter::colorForType(Token::Keyword));
    EXPECT_EQ(whole.attributesAtIndex(4).foreground().color(), JSONHighlighter::colorForType(Token::Variable));
    EXPECT_EQ(whole.attributesAtIndex(8).foreground().color(), JSONHighlighter::colorForType(Token::Numeric));
}

// Edits move entries lazily; painting between reads of the entries must use
// their true places, and the entries read afterwards must tile the text.
TEST(CVSyntaxHighlighter, PaintingBetweenReadsOfTheEntriesUsesTheirTruePlaces)
{
    Editor editor;
    editor.document.setPlainText(
        "var a = 1;\nfunction f(b) { return 'x' + b; }\n/* block */ app.send(\"hi\"); // end\n");
    std::mt19937 random(77);
    for (int round = 0; round < 30; ++round) {
        // Enough edits between reads to pile up many pending shifts.
        for (int step = 0; step < 90; ++step) {
            const qsizetype length = editor.text().size();
            if (length > 1500 || (length > 0 && std::uniform_int_distribution<int>(0, 9)(random) < 4)) {
                const qsizetype at = std::uniform_int_distribution<qsizetype>(0, length - 1)(random);
                editor.remove(
                    at, std::uniform_int_distribution<qsizetype>(1, std::min<qsizetype>(length - at, 12))(random));
            } else {
                const qsizetype at = std::uniform_int_distribution<qsizetype>(0, length)(random);
                editor.insert(at, kSnippets[std::uniform_int_distribution<qsizetype>(0, kSnippets.size() - 1)(random)]);
            }
        }
        const QList<QColor> painted = editor.paintedColors();
        const QString text = editor.text();
        ASSERT_EQ(tilingProblem(editor.highlighter, text.size()), "") << "round " << round;
        QList<int> freshTypes;
        const QList<QColor> expected = fullParseColors(text, &freshTypes);
        const QList<int> types = editor.entryTypes();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (isLocalType(freshTypes[i]) || isLocalType(types[i])) {
                ASSERT_EQ(painted[i], expected[i]) << "round " << round << " at " << i;
            }
        }
    }
}
