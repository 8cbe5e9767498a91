#include "app/views/MUDMatchTestOverlay.h"

#include <QTextCharFormat>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/decoding/MUDOutputModel.h"

namespace {
QList<CVRange> ranges(const QList<MUDMatchTestOverlay::Highlight>& highlights)
{
    QList<CVRange> result;
    for (const auto& highlight : highlights)
        result.append(highlight.range);
    return result;
}
}

// The overlay looks again only when the visible range or the output
// changed; a new test or none starts over.
TEST(MUDMatchTestOverlay, MatchesAgainOnlyWhenTheVisibleTextChanges)
{
    LogRecorder quiet;
    MUDOutputModel output;
    output.append(u"a goblin\n", QTextCharFormat());
    MUDMatchTestOverlay overlay;
    overlay.update(output, {0, output.length()}, 1);
    EXPECT_FALSE(overlay.isShown());
    EXPECT_TRUE(overlay.highlights().isEmpty());

    overlay.setMatchTest(MUDMatchTest{1, QStringLiteral("(gob)lin"), false, false});
    overlay.update(output, {0, 24}, 1);
    EXPECT_EQ(ranges(overlay.highlights()), (QList<CVRange>{{2, 6}, {2, 3}}));

    output.append(u"another goblin\n", QTextCharFormat());
    ASSERT_EQ(output.length(), 24);
    overlay.update(output, {0, 24}, 1);
    EXPECT_EQ(ranges(overlay.highlights()), (QList<CVRange>{{2, 6}, {2, 3}})) << "same range and generation: kept";
    overlay.update(output, {0, 24}, 2);
    EXPECT_EQ(ranges(overlay.highlights()), (QList<CVRange>{{2, 6}, {2, 3}, {17, 6}, {17, 3}}));
    overlay.update(output, {9, 15}, 2);
    EXPECT_EQ(ranges(overlay.highlights()), (QList<CVRange>{{17, 6}, {17, 3}})) << "offsets stay output offsets";

    overlay.setMatchTest(std::nullopt);
    EXPECT_FALSE(overlay.isShown());
    EXPECT_TRUE(overlay.highlights().isEmpty());
    overlay.update(output, {0, output.length()}, 3);
    EXPECT_TRUE(overlay.highlights().isEmpty());
}
