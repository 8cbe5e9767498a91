#include "engine/highlighting/CVTokenizerTokenArray.h"

#include <gtest/gtest.h>

namespace {
// Tokens tiling [0, sum of lengths) with the given lengths.
QList<CVTokenizerTokenPtr> tiled(const QList<qsizetype>& lengths)
{
    QList<CVTokenizerTokenPtr> tokens;
    qsizetype location = 0;
    for (qsizetype length : lengths) {
        tokens << std::make_shared<CVTokenizerToken>(CVRange{location, length});
        location += length;
    }
    return tokens;
}

QList<qsizetype> locations(const CVTokenizerTokenArray& array)
{
    QList<qsizetype> result;
    for (const CVTokenizerTokenPtr& token : array.tokens())
        result << token->range().location;
    return result;
}
}

TEST(CVTokenizerTokenArray, RemovingAMiddleRunKeepsTheNeighbours)
{
    const QList<CVTokenizerTokenPtr> tokens = tiled({2, 3, 4, 5, 6});
    CVTokenizerTokenArray array(tokens);
    array.removeObjectsInArray({tokens[1], tokens[2]});
    EXPECT_EQ(locations(array), (QList<qsizetype>{0, 9, 14}));
}

TEST(CVTokenizerTokenArray, RemovingARunThatEndsAtTheLastEntryRemovesToTheEnd)
{
    const QList<CVTokenizerTokenPtr> tokens = tiled({2, 3, 4, 5});
    CVTokenizerTokenArray array(tokens);
    array.removeObjectsInArray({tokens[2], tokens[3]});
    EXPECT_EQ(locations(array), (QList<qsizetype>{0, 2}));
}

TEST(CVTokenizerTokenArray, RemovingSingleAllOrNothing)
{
    const QList<CVTokenizerTokenPtr> tokens = tiled({1, 1, 1});
    CVTokenizerTokenArray array(tokens);
    array.removeObjectsInArray({});
    EXPECT_EQ(array.count(), 3);
    array.removeObjectsInArray({tokens[1]});
    EXPECT_EQ(locations(array), (QList<qsizetype>{0, 2}));
    array.removeObjectsInArray(tokens);
    EXPECT_EQ(array.count(), 0);
    EXPECT_EQ(array.description(), "CVTokenizerTokenArray - no entries");
}

TEST(CVTokenizerTokenArray, RemoveFromIndex)
{
    CVTokenizerTokenArray array(tiled({1, 2, 3}));
    array.removeFromIndex(CVRange::NotFound);
    EXPECT_EQ(array.count(), 3);
    EXPECT_EQ(array.description(), "CVTokenizerTokenArray 3 tokens.");
    array.removeFromIndex(2);
    EXPECT_EQ(array.count(), 2);
    array.removeFromIndex(0);
    EXPECT_EQ(array.count(), 0);
    EXPECT_EQ(array.lastObject(), nullptr);
}

TEST(CVTokenizerTokenArray, InsertObjectsKeepsTheirOrderAsOneBlock)
{
    CVTokenizerTokenArray array(tiled({1, 1}));
    const QList<CVTokenizerTokenPtr> block = tiled({5, 6});
    array.insertObjects(block, 1);
    ASSERT_EQ(array.count(), 4);
    EXPECT_EQ(array[1], block[0]);
    EXPECT_EQ(array[2], block[1]);
    array.addObjectsFromArray({});
    EXPECT_EQ(array.count(), 4);
}

TEST(CVTokenizerTokenArray, SortedAndSequentialChecks)
{
    EXPECT_TRUE(CVTokenizerTokenArray(tiled({1, 2, 3})).isSorted());
    EXPECT_TRUE(CVTokenizerTokenArray::isSequential(tiled({1, 2, 3})));
    const auto sameStart = QList<CVTokenizerTokenPtr>{std::make_shared<CVTokenizerToken>(CVRange{0, 1}),
                                                      std::make_shared<CVTokenizerToken>(CVRange{0, 3})};
    EXPECT_FALSE(CVTokenizerTokenArray(sameStart).isSorted());
    const auto gap = QList<CVTokenizerTokenPtr>{std::make_shared<CVTokenizerToken>(CVRange{0, 1}),
                                                std::make_shared<CVTokenizerToken>(CVRange{2, 1})};
    EXPECT_FALSE(CVTokenizerTokenArray::isSequential(gap));
    EXPECT_TRUE(CVTokenizerTokenArray(gap).isSorted());
    const auto overlap = QList<CVTokenizerTokenPtr>{std::make_shared<CVTokenizerToken>(CVRange{0, 3}),
                                                    std::make_shared<CVTokenizerToken>(CVRange{2, 3})};
    EXPECT_FALSE(CVTokenizerTokenArray::isSequential(overlap));
}

TEST(CVTokenizerTokenArray, ValidateRangeLetsTheHighlighterEditAnyArray)
{
    // The array leaves order to its users, so its hook never refuses an edit.
    EXPECT_TRUE(CVTokenizerTokenArray().validateRange());
    EXPECT_TRUE(CVTokenizerTokenArray(tiled({1, 2, 3})).validateRange());
    const auto sameStart = QList<CVTokenizerTokenPtr>{std::make_shared<CVTokenizerToken>(CVRange{0, 1}),
                                                      std::make_shared<CVTokenizerToken>(CVRange{0, 3})};
    EXPECT_TRUE(CVTokenizerTokenArray(sameStart).validateRange());
}

TEST(CVTokenizerTokenArray, BinarySearchFindsTheFirstEqualEntry)
{
    CVTokenizerTokenArray array(tiled({3, 3, 3, 3}));
    // Equal when touching or intersecting: position 6 touches entries 1 and 2.
    const auto touches = [](const CVTokenizerToken& entry, const CVTokenizerToken& probe) {
        if (entry.range().intersectsOrTouches(probe.range()))
            return 0;
        return entry.range().location < probe.range().location ? -1 : 1;
    };
    EXPECT_EQ(array.indexOfObject(CVTokenizerToken(CVRange{6, 0}), {0, 4}, touches), 1);
    EXPECT_EQ(array.indexOfObject(CVTokenizerToken(CVRange{7, 0}), {0, 4}, touches), 2);
    EXPECT_EQ(array.indexOfObject(CVTokenizerToken(CVRange{0, 0}), {0, 4}, touches), 0);
    EXPECT_EQ(array.indexOfObject(CVTokenizerToken(CVRange{20, 0}), {0, 4}, touches), CVRange::NotFound);
    EXPECT_EQ(array.indexOfObject(CVTokenizerToken(CVRange{1, 0}), {2, 2}, touches), CVRange::NotFound);
}
