#include "engine/decoding/MUDOutputModel.h"

#include <QColor>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "engine/decoding/MUDCountdownAttribute.h"
#include "engine/decoding/MUDStyledText.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {
// Formats are built afresh on every call, so equal formats arrive as
// separate objects, as they do from separate style caches.
QTextCharFormat colored(Qt::GlobalColor color)
{
    QTextCharFormat format;
    format.setForeground(QColor(color));
    format.setProperty(MUDBlinkingProperty, 0);
    return format;
}

struct Piece {
    QString text;
    Qt::GlobalColor color;
};

CVAttributedString attributed(const std::vector<Piece>& pieces)
{
    CVAttributedString result;
    for (const Piece& piece : pieces)
        result.append(piece.text, colored(piece.color));
    return result;
}

// Line ranges as the model must report them: each line ends after "\n",
// and the text after the last "\n" is one more (possibly empty) line.
std::vector<CVRange> referenceLines(const QString& text)
{
    std::vector<CVRange> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\n') {
            lines.push_back({start, i + 1 - start});
            start = i + 1;
        }
    }
    lines.push_back({start, text.size() - start});
    return lines;
}

std::vector<CVRange> modelLines(const MUDOutputModel& model)
{
    std::vector<CVRange> lines;
    for (qsizetype line = 0; line < model.lineCount(); ++line)
        lines.push_back(model.lineRange(line));
    return lines;
}

using RunList = std::vector<std::pair<CVRange, QTextCharFormat>>;

RunList runsOf(const MUDOutputModel& model, CVRange range, MUDOutputModel::Direction direction)
{
    RunList runs;
    model.enumerateAttributes(
        range, [&](const QTextCharFormat& format, CVRange run, bool&) { runs.emplace_back(run, format); }, direction);
    return runs;
}

RunList runsOf(const CVAttributedString& string, CVRange range)
{
    RunList runs;
    string.enumerateAttributes(
        range, [&](const QTextCharFormat& format, CVRange run, bool&) { runs.emplace_back(run, format); });
    return runs;
}

enum class FormatCount { Exact, AtLeast };

// Everything a reader can see of the model matches the reference string.
// Styled text keeps a white-space format even for runs without white space,
// so after styled appends the model may hold more formats than a reader sees.
void expectSameContent(const MUDOutputModel& model, const CVAttributedString& reference, std::mt19937& random,
                       FormatCount formatCount = FormatCount::Exact)
{
    const CVRange whole{0, reference.length()};
    ASSERT_EQ(model.length(), reference.length());
    ASSERT_EQ(model.text(whole), reference.string());
    ASSERT_TRUE(model.attributedSubstring(whole) == reference);
    const RunList forward = runsOf(model, whole, MUDOutputModel::Direction::Forward);
    ASSERT_EQ(forward, runsOf(reference, whole));
    RunList reverse = runsOf(model, whole, MUDOutputModel::Direction::Reverse);
    std::reverse(reverse.begin(), reverse.end());
    ASSERT_EQ(reverse, forward);
    ASSERT_EQ(modelLines(model), referenceLines(reference.string()));
    std::vector<QTextCharFormat> distinct;
    for (const auto& run : forward) {
        if (std::find(distinct.begin(), distinct.end(), run.second) == distinct.end())
            distinct.push_back(run.second);
    }
    if (formatCount == FormatCount::Exact)
        ASSERT_EQ(model.formatCount(), qsizetype(distinct.size()));
    else
        ASSERT_GE(model.formatCount(), qsizetype(distinct.size()));
    for (qsizetype index = 0; index < reference.length(); ++index) {
        CVRange modelRange, referenceRange;
        const QTextCharFormat format = model.attributesAtIndex(index, &modelRange);
        ASSERT_TRUE(format == reference.attributesAtIndex(index, &referenceRange)) << index;
        ASSERT_EQ(modelRange, referenceRange) << index;
        ASSERT_EQ(model.characterAt(index), reference.string()[index].unicode());
        ASSERT_EQ(model.lineRange(model.lineForOffset(index)).contains(index), true) << index;
    }
    std::uniform_int_distribution<qsizetype> position(0, reference.length());
    for (int i = 0; i < 20; ++i) {
        const qsizetype a = position(random), b = position(random);
        const CVRange range{std::min(a, b), std::abs(a - b)};
        ASSERT_TRUE(model.attributedSubstring(range) == reference.substring(range)) << range.toString().toStdString();
        ASSERT_EQ(runsOf(model, range, MUDOutputModel::Direction::Forward), runsOf(reference, range));
        // Style runs split at white space give the same text as the attributed runs.
        CVAttributedString split;
        model.enumerateStyleRuns(
            range, [&](const QTextCharFormat& text, const QTextCharFormat& whitespace, CVRange run) {
                MUDStyledText::forEachStretch(model.text(run), [&](qsizetype from, qsizetype length, bool space) {
                    split.append(model.text({run.location + from, length}), space ? whitespace : text);
                });
            });
        ASSERT_TRUE(split == reference.substring(range)) << range.toString().toStdString();
    }
}

struct Change {
    qsizetype position, removed, added;
    bool operator==(const Change&) const = default;
};

}

struct LineRow {
    const char* name;
    std::vector<QString> pieces;
};

class OutputModelLines : public ::testing::TestWithParam<LineRow> { };

TEST_P(OutputModelLines, LinesAndOffsetsFollowTheLineFeeds)
{
    MUDOutputModel model;
    QString text;
    for (const QString& piece : GetParam().pieces) {
        model.append(piece, colored(Qt::green));
        text += piece;
    }
    const std::vector<CVRange> expected = referenceLines(text);
    ASSERT_EQ(modelLines(model), expected);
    for (qsizetype line = 0; line < qsizetype(expected.size()); ++line) {
        for (qsizetype offset = expected[line].location; offset < expected[line].end(); ++offset)
            EXPECT_EQ(model.lineForOffset(offset), line) << offset;
    }
    EXPECT_EQ(model.lineForOffset(text.size()), qsizetype(expected.size()) - 1);
    EXPECT_EQ(model.lineForOffset(-5), 0);
    EXPECT_EQ(model.lineForOffset(text.size() + 5), qsizetype(expected.size()) - 1);
    EXPECT_EQ(model.text({0, text.size()}), text);
}

INSTANTIATE_TEST_SUITE_P(Appends, OutputModelLines,
                         ::testing::Values(LineRow{"Nothing", {}}, LineRow{"OnePieceWithoutLineFeed", {"hello"}},
                                           LineRow{"OnePieceManyLines", {"one\ntwo\nthree\n"}},
                                           LineRow{"PiecesJoinOneLine", {"he", "ll", "o\n"}},
                                           LineRow{"LineFeedStartsAPiece", {"one", "\ntwo", "\n"}},
                                           LineRow{"LineFeedAlone", {"\n", "\n", "x", "\n"}},
                                           LineRow{"CarriageReturnLineFeed", {"a\r", "\nb\r\n", "c"}},
                                           LineRow{"EmptyPiecesChangeNothing", {"", "a", "", "\n", ""}},
                                           LineRow{"LineSplitAcrossManyPieces", {"a", "b\nc", "d", "e\nf\ng", "h"}}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

struct ReplaceRow {
    const char* name;
    CVRange range;
    std::vector<Piece> replacement;
};

class OutputModelReplace : public ::testing::TestWithParam<ReplaceRow> { };

TEST_P(OutputModelReplace, MatchesTheSameReplaceOnAnAttributedString)
{
    const CVAttributedString initial =
        attributed({{"alpha ", Qt::red}, {"beta\ngam", Qt::green}, {"ma\n", Qt::blue}, {"delta\r\n", Qt::green}});
    MUDOutputModel model;
    model.append(initial);
    CVAttributedString reference = initial;
    const ReplaceRow& row = GetParam();
    model.replaceCharacters(row.range, attributed(row.replacement));
    reference.replaceCharacters(row.range, attributed(row.replacement));
    std::mt19937 random(7);
    expectSameContent(model, reference, random);
}

INSTANTIATE_TEST_SUITE_P(Ranges, OutputModelReplace,
                         ::testing::Values(ReplaceRow{"WithinOneRun", {1, 2}, {{"LP", Qt::yellow}}},
                                           ReplaceRow{"WholeRunSameFormatMerges", {6, 4}, {{"BETA", Qt::green}}},
                                           ReplaceRow{"AcrossTwoLines", {8, 6}, {{"x\ny", Qt::red}}},
                                           ReplaceRow{"RemovesALineFeed", {10, 1}, {}},
                                           ReplaceRow{"AddsLineFeeds", {2, 0}, {{"\n\n", Qt::cyan}}},
                                           ReplaceRow{"AtTheEnd", {24, 0}, {{"tail", Qt::green}}},
                                           ReplaceRow{"TheLastLine", {17, 7}, {{"countdown", Qt::magenta}}},
                                           ReplaceRow{"EverythingWithNothing", {0, 24}, {}},
                                           ReplaceRow{"ClippedPastTheEnd", {22, 100}, {{"!", Qt::red}}}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(MUDOutputModel, PlainReplacementTakesTheReplacedAttributes)
{
    MUDOutputModel model;
    model.append(attributed({{"abc", Qt::red}, {"def", Qt::blue}}));
    model.replaceCharacters(CVRange{3, 2}, QStringLiteral("XYZ"));
    model.replaceCharacters(CVRange{7, 0}, QStringLiteral("!"));
    EXPECT_TRUE(model.attributedSubstring({0, model.length()}) == attributed({{"abc", Qt::red}, {"XYZf!", Qt::blue}}));
}

TEST(MUDOutputModel, EffectiveRangeJoinsEqualRunsAcrossLines)
{
    MUDOutputModel model;
    model.append(attributed({{"ab\n", Qt::red}}));
    model.append(attributed({{"cd\nef", Qt::red}, {"gh\n", Qt::blue}, {"ij", Qt::red}}));
    struct Row {
        qsizetype index;
        CVRange expected;
    };
    for (const Row& row : {Row{0, {0, 8}}, Row{2, {0, 8}}, Row{3, {0, 8}}, Row{7, {0, 8}}, Row{8, {8, 3}},
                           Row{10, {8, 3}}, Row{11, {11, 2}}, Row{12, {11, 2}}, Row{13, {13, 0}}, Row{-1, {-1, 0}}}) {
        CVRange range;
        model.attributesAtIndex(row.index, &range);
        EXPECT_EQ(range, row.expected) << row.index;
    }
    EXPECT_EQ(model.lineCount(), 4);
}

TEST(MUDOutputModel, SeededEditsMatchAnAttributedString)
{
    // More formats than the table's recent list holds, so lookups also go
    // through the hash.
    const std::vector<Qt::GlobalColor> colors{Qt::red,       Qt::green,    Qt::blue,     Qt::yellow,
                                              Qt::cyan,      Qt::magenta,  Qt::gray,     Qt::darkRed,
                                              Qt::darkGreen, Qt::darkBlue, Qt::darkCyan, Qt::white};
    const QString alphabet = QStringLiteral("ab \n\r\t\u00e9\u3000\U0001F600");
    // Styles as the style state makes them: white space in a faint copy of
    // the text format, both named by ids (some without, as a format from
    // elsewhere would be).
    const quint32 generation = CVFormatId::newGeneration();
    auto style = [&](size_t color) {
        QColor faintColor(colors[color]);
        faintColor.setAlpha(13);
        QTextCharFormat faint = colored(colors[color]);
        faint.setForeground(faintColor);
        const bool named = color % 4 != 0;
        return std::make_shared<const MUDTextStyle>(
            MUDTextStyle{colored(colors[color]), named ? CVFormatId{generation, quint32(2 * color)} : CVFormatId{},
                         faint, named ? CVFormatId{generation, quint32(2 * color + 1)} : CVFormatId{}});
    };
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
        auto randomPieces = [&] {
            std::vector<Piece> pieces(size_t(pick(5)));
            for (Piece& piece : pieces) {
                for (int i = pick(12); i > 0; --i)
                    piece.text += alphabet[pick(int(alphabet.size()))];
                piece.color = colors[size_t(pick(int(colors.size())))];
            }
            return pieces;
        };
        MUDOutputModel model;
        CVAttributedString reference;
        bool styledAppends = false;
        for (int step = 0; step < 120; ++step) {
            const int operation = pick(24);
            if (operation >= 20) {
                MUDStyledText batch;
                for (const Piece& piece : randomPieces()) {
                    const auto color = std::find(colors.begin(), colors.end(), piece.color);
                    batch.append(piece.text, style(size_t(color - colors.begin())));
                }
                model.append(batch);
                reference.append(batch.attributedString());
                styledAppends = true;
            } else if (operation < 10) {
                const CVAttributedString batch = attributed(randomPieces());
                model.append(batch);
                reference.append(batch);
            } else if (operation < 13) {
                const std::vector<Piece> pieces = randomPieces();
                for (const Piece& piece : pieces) {
                    model.append(piece.text, colored(piece.color));
                    reference.append(piece.text, colored(piece.color));
                }
            } else if (operation < 19) {
                const qsizetype a = pick(int(reference.length()) + 1), b = pick(int(reference.length()) + 1);
                const CVRange range{std::min(a, b), std::abs(a - b)};
                if (operation < 17) {
                    const CVAttributedString replacement = attributed(randomPieces());
                    model.replaceCharacters(range, replacement);
                    reference.replaceCharacters(range, replacement);
                } else {
                    model.replaceCharacters(range, QStringLiteral("r\nq"));
                    reference.replaceCharacters(range, QStringLiteral("r\nq"));
                }
            } else {
                model.clear();
                reference = CVAttributedString();
                styledAppends = false;
            }
            SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step);
            expectSameContent(model, reference, random, styledAppends ? FormatCount::AtLeast : FormatCount::Exact);
            if (HasFatalFailure())
                return;
        }
        // Whatever styled runs held, replacing all of the text frees every format but the new one.
        model.replaceCharacters({0, model.length()}, attributed({{"end", Qt::red}}));
        EXPECT_EQ(model.formatCount(), 1);
    }
}

// Trigger matching copies text with only the echo mark: the copy must
// carry that mark on exactly the characters that have it, whatever colours
// and lines lie between, and nothing else of the styles.
TEST(MUDOutputModel, SubstringWithOnePropertyKeepsOnlyThatPropertysRuns)
{
    std::mt19937 random(7);
    MUDOutputModel model;
    std::vector<bool> echoed;
    QString text;
    for (int i = 0; i < 200; ++i) {
        QTextCharFormat format = colored(i % 3 == 0 ? Qt::red : Qt::green);
        const QString piece = QStringLiteral("w%1 x%2").arg(i).arg(random() % 5 == 0 ? QStringLiteral(" \n") : "");
        text += piece;
        switch (random() % 4) {
        case 0: // marked throughout
            format.setProperty(MUDUserCommandProperty, true);
            model.append(piece, format);
            echoed.insert(echoed.end(), size_t(piece.size()), true);
            break;
        case 1: { // styled, its white space drawn without the mark
            const QTextCharFormat whitespace = format;
            format.setProperty(MUDUserCommandProperty, true);
            MUDStyledText styled;
            styled.append(piece, std::make_shared<MUDTextStyle>(MUDTextStyle{format, {}, whitespace, {}}));
            model.append(styled);
            for (QChar c : piece)
                echoed.push_back(!MUDStyledText::isWhitespace(c.unicode()));
            break;
        }
        default: { // unmarked
            model.append(piece, format);
            echoed.insert(echoed.end(), size_t(piece.size()), false);
        }
        }
    }
    std::uniform_int_distribution<qsizetype> position(0, text.size());
    for (int i = 0; i < 200; ++i) {
        const qsizetype a = position(random), b = position(random);
        const CVRange range{std::min(a, b), std::abs(a - b)};
        const CVAttributedString copy = model.attributedSubstring(range, MUDUserCommandProperty);
        ASSERT_EQ(copy.string(), text.mid(range.location, range.length));
        qsizetype runs = 0;
        copy.enumerateAttributes({0, copy.length()}, [&](const QTextCharFormat& format, CVRange run, bool&) {
            ++runs;
            EXPECT_EQ(format.properties().size(), format.hasProperty(MUDUserCommandProperty) ? 1 : 0);
            for (qsizetype c = run.location; c < run.end(); ++c)
                ASSERT_EQ(format.hasProperty(MUDUserCommandProperty), echoed[size_t(range.location + c)]) << c;
        });
        qsizetype changes = range.length > 0 ? 1 : 0;
        for (qsizetype c = range.location + 1; c < range.end(); ++c)
            changes += echoed[size_t(c)] != echoed[size_t(c - 1)];
        ASSERT_EQ(runs, changes) << range.toString().toStdString();
    }
}

TEST(MUDOutputModel, EqualFormatsShareOneEntryAndUnusedOnesAreFreed)
{
    MUDOutputModel model;
    for (int i = 0; i < 300; ++i)
        model.append(QStringLiteral("word "), colored(i % 2 ? Qt::red : Qt::green));
    EXPECT_EQ(model.formatCount(), 2);

    std::weak_ptr<MUDCountdownAttribute> watched;
    {
        auto countdown = MUDCountdownAttribute::create({}, {}, 5);
        watched = countdown;
        QTextCharFormat format = colored(Qt::blue);
        format.setProperty(MUDCountdownProperty, QVariant::fromValue(countdown));
        model.append(QStringLiteral("\r\nAttempting to reconnect (attempt #1) in five seconds."), format);
    }
    EXPECT_EQ(model.formatCount(), 3);

    // The countdown search: the last run carrying the attribute, from the end.
    CVRange found{CVRange::NotFound, 0};
    model.enumerateAttributes(
        {0, model.length()},
        [&](const QTextCharFormat& format, CVRange run, bool& stop) {
            if (format.hasProperty(MUDCountdownProperty)) {
                found = run;
                stop = true;
            }
        },
        MUDOutputModel::Direction::Reverse);
    ASSERT_EQ(found, (CVRange{1500, model.length() - 1500}));
    EXPECT_FALSE(watched.expired());

    model.replaceCharacters(found, CVAttributedString());
    EXPECT_EQ(model.length(), 1500);
    EXPECT_EQ(model.formatCount(), 2);
    EXPECT_TRUE(watched.expired()) << "a deleted run's format must not keep its countdown alive";

    model.clear();
    EXPECT_EQ(model.formatCount(), 0);
}

// A format id stays tied to its format after the entry it named is freed
// and reused for another format.
TEST(MUDOutputModel, FormatIdsOutliveFreedEntries)
{
    const quint32 generation = CVFormatId::newGeneration();
    auto styled = [&](const QString& text, Qt::GlobalColor color, quint32 index) {
        CVAttributedString string;
        string.append(text, colored(color), {generation, index});
        return string;
    };
    MUDOutputModel model;
    model.append(styled(QStringLiteral("red"), Qt::red, 1));
    model.replaceCharacters({0, 3}, styled(QStringLiteral("green"), Qt::green, 2));
    EXPECT_EQ(model.formatCount(), 1);
    model.append(styled(QStringLiteral("red"), Qt::red, 1));
    model.append(styled(QStringLiteral("green"), Qt::green, 2));
    EXPECT_EQ(model.formatCount(), 2);
    EXPECT_EQ(model.attributesAtIndex(5).foreground().color(), QColor(Qt::red));
    EXPECT_EQ(model.attributesAtIndex(8).foreground().color(), QColor(Qt::green));
    CVRange range;
    model.attributesAtIndex(0, &range);
    EXPECT_EQ(range, (CVRange{0, 5}));
}

TEST(MUDOutputModel, TextAcrossChunkBoundaries)
{
    // Longer than two storage chunks, with one line crossing each boundary.
    MUDOutputModel model;
    CVAttributedString reference;
    for (int i = 0; i < 8000; ++i) {
        const Piece piece{QStringLiteral("line %1 of the flood%2").arg(i).arg(i % 7 ? "" : "\n"),
                          i % 3 ? Qt::red : Qt::white};
        model.append(piece.text, colored(piece.color));
        reference.append(piece.text, colored(piece.color));
    }
    ASSERT_GT(model.length(), 2 * 65536);
    for (const CVRange range : {CVRange{65530, 12}, CVRange{65536, 1}, CVRange{131000, 1200}}) {
        EXPECT_TRUE(model.attributedSubstring(range) == reference.substring(range)) << range.toString().toStdString();
        EXPECT_EQ(model.text(range), reference.string().mid(range.location, range.length));
    }
    model.replaceCharacters(CVRange{65536, model.length() - 65536}, attributed({{"end\n", Qt::blue}}));
    reference.replaceCharacters(CVRange{65536, reference.length() - 65536}, attributed({{"end\n", Qt::blue}}));
    EXPECT_TRUE(model.attributedSubstring({0, model.length()}) == reference);
    model.append(QStringLiteral("more"), colored(Qt::red));
    reference.append(QStringLiteral("more"), colored(Qt::red));
    EXPECT_TRUE(model.attributedSubstring({0, model.length()}) == reference);
}

TEST(MUDOutputModel, ClearLeavesAnEmptyOutputThatTakesNewText)
{
    MUDOutputModel model;
    model.append(attributed({{"one\ntwo\n", Qt::red}, {"three", Qt::blue}}));
    model.clear();
    EXPECT_EQ(model.length(), 0);
    EXPECT_TRUE(model.isEmpty());
    EXPECT_EQ(model.lineCount(), 1);
    EXPECT_EQ(model.lineRange(0), (CVRange{0, 0}));
    EXPECT_EQ(model.characterAt(0), 0);
    EXPECT_TRUE(model.attributedSubstring({0, 10}).isEmpty());
    model.append(QStringLiteral("again\n"), colored(Qt::green));
    EXPECT_TRUE(model.attributedSubstring({0, model.length()}) == attributed({{"again\n", Qt::green}}));
    EXPECT_EQ(model.lineCount(), 2);
}

TEST(MUDOutputModel, EveryChangeIsSignalledOnceWithItsRange)
{
    MUDOutputModel model;
    std::vector<Change> changes;
    QObject::connect(&model, &MUDOutputModel::contentsChanged,
                     [&](qsizetype position, qsizetype removed, qsizetype added) {
                         changes.push_back({position, removed, added});
                     });
    model.append(attributed({{"one\n", Qt::red}, {"two\nthr", Qt::blue}}));
    model.append(QStringLiteral("ee"), colored(Qt::blue));
    model.append(CVAttributedString());
    model.append(QString(), colored(Qt::red));
    model.replaceCharacters(CVRange{4, 4}, attributed({{"2", Qt::red}}));
    model.replaceCharacters(CVRange{3, 0}, CVAttributedString());
    model.replaceCharacters(CVRange{100, 5}, attributed({{"!", Qt::red}}));
    model.clear();
    model.clear();
    const std::vector<Change> expected{{0, 0, 11}, {11, 0, 2}, {4, 4, 1}, {10, 0, 1}, {0, 11, 0}};
    EXPECT_EQ(changes, expected);
}
