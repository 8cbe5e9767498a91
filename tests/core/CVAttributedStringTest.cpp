#include "core/CVAttributedString.h"

#include <QColor>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <vector>

namespace {
constexpr int kMarkProperty = QTextFormat::UserProperty + 7;

QTextCharFormat colored(const char* name)
{
    QTextCharFormat format;
    format.setForeground(QColor(name));
    return format;
}

// Renders runs as "text{colour,mark}" so expectations read as plain strings.
QString describe(const CVAttributedString& string)
{
    QString out;
    string.enumerateAttributes({0, string.length()}, [&](const QTextCharFormat& format, CVRange range, bool&) {
        out += string.string().mid(range.location, range.length) + "{";
        if (format.hasProperty(QTextFormat::ForegroundBrush))
            out += format.foreground().color().name();
        if (format.hasProperty(kMarkProperty))
            out += "," + format.property(kMarkProperty).toString();
        out += "}";
    });
    return out;
}

CVAttributedString redGreenBlue()
{
    CVAttributedString string;
    string.append(u"abc", colored("red"));
    string.append(u"def", colored("green"));
    string.append(u"ghi", colored("blue"));
    return string;
}
}

TEST(CVAttributedString, AppendMergesEqualNeighbours)
{
    CVAttributedString string;
    string.append(u"ab", colored("red"));
    string.append(u"", colored("blue"));
    string.append(u"cd", colored("red"));
    string.append(u"ef", colored("blue"));
    EXPECT_EQ(string.runCount(), 2);
    EXPECT_EQ(describe(string), "abcd{#ff0000}ef{#0000ff}");

    CVAttributedString tail;
    tail.append(u"gh", colored("blue"));
    tail.append(u"ij", colored("red"));
    string.append(tail);
    EXPECT_EQ(describe(string), "abcd{#ff0000}efgh{#0000ff}ij{#ff0000}");
}

TEST(CVAttributedString, AttributesAtIndexReportTheWholeRun)
{
    const CVAttributedString string = redGreenBlue();
    CVRange range;
    EXPECT_EQ(string.attributesAtIndex(4, &range).foreground().color(), QColor("green"));
    EXPECT_EQ(range, (CVRange{3, 3}));
    EXPECT_EQ(string.attributesAtIndex(8, &range).foreground().color(), QColor("blue"));
    EXPECT_EQ(range, (CVRange{6, 3}));
    EXPECT_FALSE(string.attributesAtIndex(9, &range).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(range.length, 0);
    EXPECT_FALSE(string.attributesAtIndex(-1).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(CVAttributedString, RangeEditsSplitAndMergeRuns)
{
    struct Row {
        const char* name;
        std::function<void(CVAttributedString&)> edit;
        QString expected;
    };
    const std::vector<Row> rows = {
        {"set inside one run",
         [](auto& s) {
             s.setAttributes(colored("white"), {4, 1});
         },
         "abc{#ff0000}d{#008000}e{#ffffff}f{#008000}ghi{#0000ff}"},
        {"set back to the same merges",
         [](auto& s) {
             s.setAttributes(colored("green"), {0, 9});
         },
         "abcdefghi{#008000}"},
        {"set across runs",
         [](auto& s) {
             s.setAttributes(colored("green"), {1, 6});
         },
         "a{#ff0000}bcdefg{#008000}hi{#0000ff}"},
        {"add a property across runs",
         [](auto& s) {
             s.addAttribute(kMarkProperty, 1, {2, 5});
         },
         "ab{#ff0000}c{#ff0000,1}def{#008000,1}g{#0000ff,1}hi{#0000ff}"},
        {"add then remove restores",
         [](auto& s) {
             s.addAttribute(kMarkProperty, 1, {2, 5});
             s.removeAttribute(kMarkProperty, {0, 9});
         },
         "abc{#ff0000}def{#008000}ghi{#0000ff}"},
        {"merged attributes keep others",
         [](auto& s) {
             QTextCharFormat mark;
             mark.setProperty(kMarkProperty, "m");
             s.addAttributes(mark, {3, 3});
         },
         "abc{#ff0000}def{#008000,m}ghi{#0000ff}"},
        {"range beyond the end is clipped",
         [](auto& s) {
             s.setAttributes(colored("red"), {6, 100});
         },
         "abc{#ff0000}def{#008000}ghi{#ff0000}"},
        {"empty range changes nothing",
         [](auto& s) {
             s.setAttributes(colored("red"), {4, 0});
         },
         "abc{#ff0000}def{#008000}ghi{#0000ff}"},
        {"plain replacement takes the first replaced character's attributes",
         [](auto& s) {
             s.replaceCharacters({2, 2}, QString("XYZ"));
         },
         "abXYZ{#ff0000}ef{#008000}ghi{#0000ff}"},
        {"plain insertion takes the character before",
         [](auto& s) {
             s.replaceCharacters({3, 0}, QString("X"));
         },
         "abcX{#ff0000}def{#008000}ghi{#0000ff}"},
        {"plain insertion at the start takes the first character",
         [](auto& s) {
             s.replaceCharacters({0, 0}, QString("X"));
         },
         "Xabc{#ff0000}def{#008000}ghi{#0000ff}"},
        {"deleting a run joins equal neighbours",
         [](auto& s) {
             s.setAttributes(colored("red"), {6, 3});
             s.replaceCharacters({3, 3}, QString());
         },
         "abcghi{#ff0000}"},
        {"attributed replacement merges at both ends",
         [](auto& s) {
             CVAttributedString middle;
             middle.append(u"12", colored("red"));
             middle.append(u"34", colored("blue"));
             s.replaceCharacters({3, 3}, middle);
         },
         "abc12{#ff0000}34ghi{#0000ff}"},
    };
    for (const Row& row : rows) {
        CVAttributedString string = redGreenBlue();
        row.edit(string);
        EXPECT_EQ(describe(string), row.expected) << row.name;
    }
}

TEST(CVAttributedString, EnumerationClipsAndStops)
{
    const CVAttributedString string = redGreenBlue();
    std::vector<CVRange> ranges;
    string.enumerateAttributes({1, 7}, [&](const QTextCharFormat&, CVRange range, bool& stop) {
        ranges.push_back(range);
        stop = ranges.size() == 2;
    });
    EXPECT_EQ(ranges, (std::vector<CVRange>{{1, 2}, {3, 3}}));
}

TEST(CVAttributedString, EnumerateAttributeJoinsRunsWithOneValue)
{
    CVAttributedString string = redGreenBlue();
    string.addAttribute(kMarkProperty, 5, {0, 6});
    QStringList seen;
    string.enumerateAttribute(kMarkProperty, {1, 8}, [&](const QVariant& value, CVRange range, bool&) {
        seen << QString("%1:%2+%3")
                    .arg(value.isValid() ? value.toString() : "none")
                    .arg(range.location)
                    .arg(range.length);
    });
    EXPECT_EQ(seen, (QStringList{"5:1+5", "none:6+3"}));
}

TEST(CVAttributedString, SubstringKeepsRunsClipped)
{
    const CVAttributedString string = redGreenBlue();
    EXPECT_EQ(describe(string.substring({2, 5})), "c{#ff0000}def{#008000}g{#0000ff}");
    EXPECT_EQ(describe(string.substring({4, 1})), "e{#008000}");
    EXPECT_TRUE(string.substring({9, 3}).isEmpty());
}

// Random edits against a one-format-per-character model: the runs must
// describe the same attributes and never hold equal neighbours.
TEST(CVAttributedString, RandomEditsMatchAPerCharacterModel)
{
    const std::vector<QTextCharFormat> palette = {colored("red"), colored("green"), colored("blue"), {}};
    QRandomGenerator random(1234);
    CVAttributedString string;
    QString modelText;
    std::vector<QTextCharFormat> model;
    for (int step = 0; step < 2000; ++step) {
        const int length = int(modelText.size());
        const int location = random.bounded(length + 1);
        const int span = random.bounded(length - location + 1);
        const QTextCharFormat& format = palette[random.bounded(int(palette.size()))];
        switch (random.bounded(4)) {
        case 0: {
            const QString text(random.bounded(1, 4), QChar(u'a' + random.bounded(26)));
            string.append(text, format);
            modelText += text;
            model.insert(model.end(), text.size(), format);
            break;
        }
        case 1:
            string.setAttributes(format, {location, span});
            std::fill(model.begin() + location, model.begin() + location + span, format);
            break;
        case 2: {
            const QString text(random.bounded(3), u'x');
            CVAttributedString replacement(text, format);
            string.replaceCharacters({location, span}, replacement);
            modelText.replace(location, span, text);
            model.erase(model.begin() + location, model.begin() + location + span);
            model.insert(model.begin() + location, text.size(), format);
            break;
        }
        case 3:
            string.addAttribute(kMarkProperty, step % 2, {location, span});
            for (int i = location; i < location + span; ++i)
                model[i].setProperty(kMarkProperty, step % 2);
            break;
        }
        ASSERT_EQ(string.string(), modelText) << "step " << step;
        QTextCharFormat previous;
        bool first = true;
        string.enumerateAttributes({0, string.length()}, [&](const QTextCharFormat& runFormat, CVRange range, bool&) {
            EXPECT_TRUE(first || !(runFormat == previous)) << "equal neighbours at step " << step;
            for (int i = range.location; i < range.end(); ++i)
                EXPECT_TRUE(runFormat == model[i]) << "step " << step << " index " << i;
            previous = runFormat;
            first = false;
        });
    }
}

// Ids of one generation decide equality; formats decide the rest, and an
// edited run no longer carries the id of its old format.
TEST(CVAttributedString, FormatIdsStandInForFormats)
{
    const quint32 generation = CVFormatId::newGeneration();
    const CVFormatId redId{generation, 1};
    const CVFormatId blueId{generation, 2};
    const CVFormatId otherRedId{CVFormatId::newGeneration(), 1};

    CVAttributedString string;
    string.append(u"ab", colored("red"), redId);
    string.append(u"cd", colored("red"), otherRedId);
    string.append(u"ef", colored("red"));
    const QTextCharFormat red = colored("red");
    const QTextCharFormat blue = colored("blue");
    const CVAttributedString::Piece pieces[] = {
        {1, &red, redId}, {0, &blue, blueId}, {2, &blue, blueId}, {1, &red, redId}};
    string.append(u"ghij", pieces);
    EXPECT_EQ(describe(string), "abcdefg{#ff0000}hi{#0000ff}j{#ff0000}");

    string.setAttributes(colored("green"), {0, 7});
    string.append(u"k", colored("red"), redId);
    EXPECT_EQ(describe(string), "abcdefg{#008000}hi{#0000ff}jk{#ff0000}");
    string.setAttributes(colored("blue"), {9, 2});
    string.append(u"l", colored("blue"), blueId);
    EXPECT_EQ(describe(string), "abcdefg{#008000}hijkl{#0000ff}");
    EXPECT_EQ(string.runCount(), 2);
}
