#include "engine/decoding/MUDStyledText.h"

#include <QColor>
#include <gtest/gtest.h>

namespace {
MUDStyledText::Style styleOf(Qt::GlobalColor color, CVFormatId textId = {}, CVFormatId whitespaceId = {})
{
    QTextCharFormat text;
    text.setForeground(QColor(color));
    QTextCharFormat whitespace = text;
    whitespace.setForeground(QColor(255, 255, 255, 13));
    return std::make_shared<const MUDTextStyle>(MUDTextStyle{text, textId, whitespace, whitespaceId});
}
}

TEST(MUDStyledText, DecodesUtf8AndReplacesInvalidBytes)
{
    struct Row {
        QByteArray bytes;
        QString expected;
        bool valid;
    };
    const Row rows[] = {
        {"plain ascii", QStringLiteral("plain ascii"), true},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", QStringLiteral("caf\u00e9 \u20ac \U0001F600"), true},
        {"a\xff"
         "b",
         QStringLiteral("a\uFFFDb"), false},
        {"\xc3", QStringLiteral("\uFFFD"), false},
        {"", QString(), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.bytes.toHex().toStdString());
        MUDStyledText text;
        text.append(u"> ", styleOf(Qt::red));
        EXPECT_EQ(text.appendUtf8(row.bytes, styleOf(Qt::green)), row.valid);
        EXPECT_EQ(text.string(), QStringLiteral("> ") + row.expected);
        qsizetype total = 0;
        for (const MUDStyledText::Piece& piece : text.pieces())
            total += piece.length;
        EXPECT_EQ(total, text.length()) << "pieces must cover the decoded text exactly";
    }
}

// Pieces join only where ids say both formats are the same; a style
// without ids may be any format, so it always starts a piece.
TEST(MUDStyledText, PiecesJoinOnlyForEqualIds)
{
    const quint32 generation = CVFormatId::newGeneration();
    const MUDStyledText::Style red = styleOf(Qt::red, {generation, 1}, {generation, 2});
    const MUDStyledText::Style redOtherSpace = styleOf(Qt::red, {generation, 1}, {generation, 3});
    MUDStyledText text;
    text.append(u"a ", red);
    text.appendUtf8("b ", red);
    text.append(u"c", redOtherSpace);
    text.append(u"d", styleOf(Qt::blue));
    text.append(u"e", styleOf(Qt::blue));
    text.append(u"", styleOf(Qt::green));
    ASSERT_EQ(text.pieces().size(), 4u);
    EXPECT_EQ(text.pieces()[0].length, 4);
    const CVAttributedString attributed = text.attributedString();
    EXPECT_EQ(attributed.string(), QStringLiteral("a b cde"));
    CVRange range;
    EXPECT_EQ(attributed.attributesAtIndex(1, &range).foreground().color().alpha(), 13);
    EXPECT_EQ(range, (CVRange{1, 1}));
    EXPECT_EQ(attributed.attributesAtIndex(5).foreground().color(), QColor(Qt::blue));
}
