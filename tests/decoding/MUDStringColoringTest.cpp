#include "engine/decoding/MUDStringColoring.h"

#include <QFont>
#include <QVariantMap>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "core/CVAttributedString.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"
#include "engine/decoding/MUDColors.h"
#include "engine/decoding/MUDStyledText.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {
QFont baseFont()
{
    return QFont(QStringLiteral("DejaVu Sans Mono"), 13);
}

// Applies each sequence in order (each given without ESC) and renders the
// resulting style of text: foreground, background, flags and codes.
QString styleAfter(const QStringList& sequences)
{
    MUDStringColoring coloring;
    for (const QString& sequence : sequences)
        coloring.prepareANSI("\x1b" + sequence.toLatin1(), baseFont());
    CVAttributedString text;
    coloring.appendColoredText(text, u"x", baseFont());
    const QTextCharFormat format = text.attributesAtIndex(0);
    const QVariantMap details = format.property(MUDSectionDetailsProperty).toMap();
    QString out = "fg " + format.foreground().color().name();
    out += " bg " +
           (format.hasProperty(QTextFormat::BackgroundBrush) ? format.background().color().name() : QString("none"));
    if (!details.isEmpty())
        out += QString(" flags %1 codes %2/%3")
                   .arg(details["flags"].toUInt())
                   .arg(details["fg"].toULongLong())
                   .arg(details["bg"].toULongLong());
    if (format.underlineStyle() == QTextCharFormat::SingleUnderline)
        out += " underline";
    if (format.fontStrikeOut())
        out += " strike";
    if (format.property(MUDBlinkingProperty).toInt() == 1)
        out += " blink";
    return out;
}

// Keeps every batch the decoder delivers.
class BatchRecorder : public ANSIDataProcessorDelegate {
public:
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        batches.append(results);
    }
    QList<ANSIDataProcessorResults> batches;
};

QString foregroundName(const MUDStyledText& text, qsizetype index)
{
    return text.attributedString().attributesAtIndex(index).foreground().color().name();
}

struct Row {
    QStringList sequences;
    QString expected;
    QString unknownLog; // "Unknown: ..." line expected, or empty for none
};
}

// Each row is named by the sequences it applies.
TEST(MUDStringColoring, GraphicRenditionSetsTheStyle)
{
    const std::vector<Row> rows = {
        {{}, "fg #ffffff bg none", ""},
        {{"[0m"}, "fg #ffffff bg none flags 0 codes 0/0", ""},
        {{"[1;31m", "[m"}, "fg #ffffff bg none flags 0 codes 0/0", ""},
        {{"[1;31m"}, "fg #ff0000 bg none flags 1 codes 31/0", ""},
        {{"[31m"}, "fg #911c0e bg none flags 0 codes 31/0", ""},
        {{"[1;37m"}, "fg #ffffff bg none flags 1 codes 37/0", ""},
        {{"[37m"}, "fg #e6e6e6 bg none flags 0 codes 37/0", ""},
        {{"[30m"}, "fg #555555 bg none flags 0 codes 30/0", ""},
        {{"[44m"}, "fg #ffffff bg #001aac flags 0 codes 0/44", ""},
        {{"[40m"}, "fg #ffffff bg none flags 0 codes 0/40", ""},
        {{"[38;5;196m"}, "fg #ff0000 bg none flags 0 codes 0/0", ""},
        {{"[38;5;0m"}, "fg #ffffff bg none flags 0 codes 0/0", ""},
        {{"[38;5;256m"}, "fg #000000 bg none flags 0 codes 0/0", ""},
        {{"[1;32;44;4;5m"}, "fg #00ff00 bg #0000ff flags 21 codes 32/44 underline blink", ""},
        {{"[3m"}, "fg #ffffff bg none flags 256 codes 0/0", ""},
        // Extended colours consume their arguments.
        {{"[38;5;196m", "[32m"}, "fg #3fa12d bg none flags 0 codes 32/0", ""},
        {{"[48;5;24m"}, "fg #ffffff bg #005f87 flags 0 codes 0/0", ""},
        {{"[38;2;10;20;30;48;2;1;2;300m"}, "fg #0a141e bg #0102ff flags 0 codes 0/0", ""},
        {{"[38;2;1;2m"}, "fg #ffffff bg none flags 0 codes 0/0", ""},
        {{"[38;5m"}, "fg #ffffff bg none flags 0 codes 0/0", ""},
        {{"[38;7;1;4m"}, "fg #ffffff bg none flags 16 codes 0/0 underline", ""},
        // Standard meanings beyond the 16 colours.
        {{"[31;44;7m"}, "fg #001aac bg #911c0e flags 512 codes 31/44", ""},
        {{"[7m"}, "fg #000000 bg #ffffff flags 512 codes 0/0", ""},
        {{"[31;8m"}, "fg #000000 bg none flags 1024 codes 31/0", ""},
        {{"[9m"}, "fg #ffffff bg none flags 2048 codes 0/0 strike", ""},
        {{"[1;3;4;5;7;8;9m", "[22;23;24;25;26;27;28;29m"}, "fg #ffffff bg none flags 0 codes 0/0", ""},
        {{"[31;44m", "[39;49m"}, "fg #ffffff bg none flags 0 codes 0/0", ""},
        {{"[38;5;196m", "[39m"}, "fg #ffffff bg none flags 0 codes 0/0", ""},
        {{"[91;102m"}, "fg #ff0000 bg #00ff00 flags 0 codes 0/0", ""},
        {{"[97;100m"}, "fg #ffffff bg #808080 flags 0 codes 0/0", ""},
        // Only final byte m is graphic rendition.
        {{"[1;31m", "[K"}, "fg #ff0000 bg none flags 1 codes 31/0", ""},
        {{"[4D"}, "fg #ffffff bg none", ""},
        {{"[2J"}, "fg #ffffff bg none", ""},
        {{"[?4m"}, "fg #ffffff bg none", ""},
        {{"[1 m"}, "fg #ffffff bg none", ""},
        {{"]0;x\x07"}, "fg #ffffff bg none", ""},
        // Unknown codes are logged and change nothing.
        {{"[2m"}, "fg #ffffff bg none flags 0 codes 0/0", "Unknown: 2"},
        {{"[31;58m"}, "fg #911c0e bg none flags 0 codes 31/0", "Unknown: 58"},
        {{"[99999999999999999999m"}, "fg #ffffff bg none flags 0 codes 0/0", "Unknown: 999999999"},
    };
    for (const Row& row : rows) {
        LogRecorder log;
        EXPECT_EQ(styleAfter(row.sequences).toStdString(), row.expected.toStdString())
            << row.sequences.join(' ').toStdString();
        const bool loggedUnknown = log.lines().filter("Unknown:").size() > 0;
        EXPECT_EQ(loggedUnknown, !row.unknownLog.isEmpty()) << row.sequences.join(' ').toStdString();
        if (!row.unknownLog.isEmpty()) {
            EXPECT_TRUE(log.contains(row.unknownLog)) << row.unknownLog.toStdString();
        }
    }
}

TEST(MUDStringColoring, WhitespaceIsFaintAndRunsShareTheirFormat)
{
    MUDStringColoring coloring;
    coloring.prepareANSI("\x1b[31m", baseFont());
    CVAttributedString text(QStringLiteral("ab  c\nd"));
    coloring.colorAttributedString(text, baseFont());
    EXPECT_EQ(text.runCount(), 5);
    CVRange range;
    const QTextCharFormat space = text.attributesAtIndex(2, &range);
    EXPECT_EQ(range, (CVRange{2, 2}));
    EXPECT_NEAR(space.foreground().color().alphaF(), 0.05, 0.01);
    EXPECT_EQ(text.attributesAtIndex(5).foreground().color().alphaF(), space.foreground().color().alphaF());
    EXPECT_EQ(text.attributesAtIndex(0).foreground().color().name(), "#911c0e");

    // Text styled later with the same style continues the same run.
    coloring.prepareANSI("\x1b[31m", baseFont());
    coloring.appendColoredText(text, u"ef", baseFont());
    EXPECT_EQ(text.runCount(), 5);
}

// Received text keeps one piece per style however much white space it
// holds; split for reading, it gives the runs of the attributed form.
TEST(MUDStringColoring, StyledTextKeepsOnePiecePerStyle)
{
    const char* sequences[] = {"\x1b[31m", "\x1b[31m", "\x1b[1;34m", "\x1b[0m"};
    const char16_t* texts[] = {u"a b\t c\r\n", u"d e", u"  f\u3000g ", u"h"};
    MUDStringColoring styledColoring, attributedColoring;
    MUDStyledText styled;
    CVAttributedString attributed;
    for (size_t i = 0; i < std::size(texts); ++i) {
        styledColoring.prepareANSI(sequences[i], baseFont());
        styledColoring.appendColoredText(styled, texts[i], baseFont());
        attributedColoring.prepareANSI(sequences[i], baseFont());
        attributedColoring.appendColoredText(attributed, texts[i], baseFont());
    }
    ASSERT_EQ(styled.pieces().size(), 3u);
    EXPECT_EQ(styled.pieces()[0].length, 11);
    EXPECT_EQ(styled.string(), attributed.string());
    EXPECT_TRUE(styled.attributedString() == attributed);
    EXPECT_EQ(attributed.runCount(), 15);
}

// Different styles can draw white space alike (a 256-colour foreground
// keeps no colour code): such runs are one run.
TEST(MUDStringColoring, EqualFormatsOfDifferentStylesJoin)
{
    MUDStringColoring coloring;
    CVAttributedString text;
    coloring.prepareANSI("\x1b[0m", baseFont());
    coloring.appendColoredText(text, u"a ", baseFont());
    coloring.prepareANSI("\x1b[38;5;208m", baseFont());
    coloring.appendColoredText(text, u" b", baseFont());
    coloring.prepareANSI("\x1b[1;31m", baseFont());
    coloring.prepareANSI("\x1b[0m", baseFont());
    coloring.appendColoredText(text, u"c", baseFont());
    EXPECT_EQ(text.runCount(), 4);
    CVRange range;
    text.attributesAtIndex(1, &range);
    EXPECT_EQ(range, (CVRange{1, 2}));
    EXPECT_EQ(text.attributesAtIndex(0), text.attributesAtIndex(4));
}

TEST(MUDStringColoring, ItalicKeepsThePointSizeAndBoldKeepsTheFont)
{
    MUDStringColoring coloring;
    coloring.prepareANSI("\x1b[1;3m", baseFont());
    const QFont font = coloring.lastAttributes().font();
    EXPECT_TRUE(font.italic());
    EXPECT_EQ(font.pointSize(), 13);
    EXPECT_EQ(font.weight(), baseFont().weight());
}

TEST(MUDStringColoring, StyleCarriesAcrossCallsUntilCleared)
{
    MUDStringColoring coloring;
    {
        LogRecorder log;
        EXPECT_EQ(coloring.description(), "MUDStringColoring: ");
        EXPECT_TRUE(log.contains("MUDStringColoring: <nil>"));
    }
    coloring.prepareANSI("\x1b[1;4;3;32;45m", baseFont());
    EXPECT_EQ(coloring.description(), "MUDStringColoring: Bold, Underline, Italic, Foreground: 32, Background: 45");
    EXPECT_EQ(coloring.lastUsedColor().name(), "#00ff00");
    coloring.clearCache();
    EXPECT_FALSE(coloring.hasLastAttributes());
    EXPECT_EQ(coloring.description(), "MUDStringColoring: ");
    EXPECT_EQ(coloring.lastUsedColor().name(), "#00ff00");
}

// A batch as the session receives it: telnet, colour changes, text with a
// stray byte; the style in force at the end of one batch styles the next.
TEST(MUDStringColoring, StyleBatchStylesTheTextOfEachBatchInOrder)
{
    BatchRecorder recorder;
    ANSIDataProcessor decoder(&recorder);
    decoder.processData("\xff\xfb\x01\x1b[31mred \x80x\x1b[0mpl\xc3\xa9in\xfe\x1b[1;32m");
    decoder.processData("go");
    ASSERT_EQ(recorder.batches.size(), 2);

    MUDStringColoring coloring;
    MUDStringColoring::InvalidText invalid;
    const MUDStyledText first = coloring.styleBatch(recorder.batches[0], baseFont(), &invalid);
    EXPECT_EQ(first.string(), QStringView(u"red \uFFFDxpl\u00E9in\uFFFD").toString());
    EXPECT_EQ(invalid.chunks, 2);
    EXPECT_EQ(invalid.bytes, 13) << "both chunks with a stray byte count whole";
    EXPECT_EQ(foregroundName(first, 0), "#911c0e");
    EXPECT_EQ(foregroundName(first, 6), "#ffffff");
    ASSERT_EQ(first.pieces().size(), 2u);
    EXPECT_EQ(first.pieces()[0].length, 6);

    const MUDStyledText second = coloring.styleBatch(recorder.batches[1], baseFont(), &invalid);
    EXPECT_EQ(second.string(), "go");
    EXPECT_EQ(foregroundName(second, 0), "#00ff00");
    EXPECT_EQ(invalid.chunks, 2) << "valid text adds nothing";
    EXPECT_TRUE(coloring.styleBatch(ANSIDataProcessorResults(), baseFont()).isEmpty());
}

TEST(MUDStringColoring, CreateAttributedStringStylesTheWholeBuffer)
{
    LogRecorder quiet;
    const QFont font(QStringLiteral("DejaVu Sans Mono"), 12);
    const CVAttributedString text = MUDStringColoring::createAttributedStringWithData(
        "\x1b[1;31mred\x1b[0m\r\n\xff\xfb\x01plain\xc3\xa9\x1b[4", font);
    EXPECT_EQ(text.string(), "red\nplain");
    EXPECT_EQ(text.attributesAtIndex(0).foreground().color().name(), "#ff0000");
    EXPECT_EQ(text.attributesAtIndex(4).foreground().color().name(), "#ffffff");
    EXPECT_EQ(text.attributesAtIndex(4).font().pointSize(), 12);
}

// Only printable ASCII and line feeds stay: tabs, characters past ASCII and
// the replacement of a stray byte go, the ASCII byte after it stays.
TEST(MUDStringColoring, CreateAttributedStringKeepsOnlyPrintableAsciiAndLineFeeds)
{
    LogRecorder quiet;
    const CVAttributedString text =
        MUDStringColoring::createAttributedStringWithData("a\tb\xc3"
                                                          "c\xe2\x82\xac d\n\x1b[32me\xf0\x9f\x98\x80",
                                                          baseFont());
    EXPECT_EQ(text.string(), "abc d\ne");
    EXPECT_EQ(text.attributesAtIndex(6).foreground().color().name(), "#3fa12d");
    EXPECT_TRUE(MUDStringColoring::createAttributedStringWithData("", baseFont()).string().isEmpty());
}

TEST(MUDColors, TableAndCodesMatchThePalette)
{
    const MUDColors& colors = MUDColors::sharedInstance();
    const std::vector<std::pair<quint64, const char*>> table = {
        {0, "#000000"},   {7, "#c0c0c0"},   {15, "#ffffff"},  {16, "#000000"},  {17, "#00005f"},
        {196, "#ff0000"}, {231, "#ffffff"}, {232, "#080808"}, {255, "#eeeeee"}, {256 + 9, "#ff0000"},
    };
    for (const auto& [index, name] : table)
        EXPECT_EQ(colors.colorFrom8Bit(index).name(), name) << index;
    EXPECT_FALSE(colors.colorFromCode(40, false, true).isValid());
    EXPECT_FALSE(colors.colorFromCode(38, false, false).isValid());
    EXPECT_FALSE(colors.colorFromCode(5, false, true).isValid());
    EXPECT_EQ(colors.colorFromCode(30, true, false).name(), "#666666");
    EXPECT_EQ(colors.colorFromCode(0, false, false).name(), "#ffffff");
    EXPECT_EQ(&colors, &MUDColors::sharedInstance());
}
