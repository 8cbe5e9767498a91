#include "engine/highlighting/CVPendingShifts.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {
// The same bookkeeping done the slow way: one offset per entry.
struct PlainShifts {
    std::vector<qsizetype> offsets;
    // What an entry appended at the end would owe.
    qsizetype tail = 0;

    void shiftFrom(qsizetype index, qsizetype delta)
    {
        for (size_t i = size_t(index); i < offsets.size(); ++i)
            offsets[i] += delta;
        tail += delta;
    }
    void removed(qsizetype from, qsizetype to) { offsets.erase(offsets.begin() + from, offsets.begin() + to); }
    void inserted(qsizetype index, qsizetype count)
    {
        const qsizetype owed = index < qsizetype(offsets.size()) ? offsets[size_t(index)] : tail;
        offsets.insert(offsets.begin() + index, size_t(count), owed);
    }
};

std::vector<qsizetype> offsetsOf(const CVPendingShifts& shifts, qsizetype count)
{
    std::vector<qsizetype> result;
    for (qsizetype i = 0; i < count; ++i)
        result.push_back(shifts.offsetAt(i));
    return result;
}
}

TEST(CVPendingShifts, ShiftingBackAndForthLeavesNoBoundary)
{
    CVPendingShifts shifts;
    shifts.shiftFrom(5, 1);
    EXPECT_EQ(shifts.offsetAt(4), 0);
    EXPECT_EQ(shifts.offsetAt(5), 1);
    shifts.shiftFrom(5, -1);
    EXPECT_TRUE(shifts.isEmpty());
}

TEST(CVPendingShifts, RemovingEntriesKeepsWhatTheSurvivorsOwe)
{
    CVPendingShifts shifts;
    shifts.shiftFrom(3, 2);
    shifts.shiftFrom(6, 5);
    // Entries 2..6 go: the old entry 7 (owing 7) now sits at 2.
    shifts.entriesRemoved(2, 7);
    EXPECT_EQ(offsetsOf(shifts, 4), (std::vector<qsizetype>{0, 0, 7, 7}));
}

TEST(CVPendingShifts, InsertedEntriesOweWhatTheirSlotOwed)
{
    CVPendingShifts shifts;
    shifts.shiftFrom(2, 3);
    shifts.shiftFrom(4, 1);
    shifts.entriesInserted(4, 2);
    EXPECT_EQ(offsetsOf(shifts, 8), (std::vector<qsizetype>{0, 0, 3, 3, 4, 4, 4, 4}));
}

// Random shifts, insertions and removals agree with one offset per entry,
// and writing the runs out gives every entry exactly its offset.
TEST(CVPendingShifts, AgreesWithOneOffsetPerEntry)
{
    std::mt19937 random(11);
    CVPendingShifts shifts;
    PlainShifts plain{std::vector<qsizetype>(40, 0)};
    for (int step = 0; step < 3000; ++step) {
        const qsizetype count = qsizetype(plain.offsets.size());
        const int operation = std::uniform_int_distribution<int>(0, 2)(random);
        const qsizetype at = std::uniform_int_distribution<qsizetype>(0, count)(random);
        if (operation == 0 || count < 10) {
            const qsizetype delta = std::uniform_int_distribution<qsizetype>(-3, 3)(random);
            shifts.shiftFrom(at, delta);
            plain.shiftFrom(at, delta);
        } else if (operation == 1 && count < 200) {
            const qsizetype added = std::uniform_int_distribution<qsizetype>(1, 4)(random);
            plain.inserted(at, added);
            shifts.entriesInserted(at, added);
        } else {
            const qsizetype to = std::min(count, at + std::uniform_int_distribution<qsizetype>(1, 5)(random));
            plain.removed(at, to);
            shifts.entriesRemoved(at, to);
        }
        ASSERT_EQ(offsetsOf(shifts, qsizetype(plain.offsets.size())), plain.offsets) << "step " << step;
    }
    std::vector<qsizetype> written(plain.offsets.size(), 0);
    shifts.takeRuns(qsizetype(written.size()), [&](qsizetype from, qsizetype to, qsizetype offset) {
        for (qsizetype i = from; i < to; ++i)
            written[size_t(i)] += offset;
    });
    EXPECT_EQ(written, plain.offsets);
    EXPECT_TRUE(shifts.isEmpty());
}
