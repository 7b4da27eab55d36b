// The evenly spaced look-up table: interpolation, the floor of negative
// indices, extrapolation along the end segments and the empty states.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "clouds/LookupTable1D.h"
#include "tests/support/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

class LookupTable1DTest : public ::testing::Test {
protected:
    void SetUp() override { host.Init(); }
    void TearDown() override { table.Clear(); }
    TestHost host;
    LookupTable1D table;
};

TEST_F(LookupTable1DTest, InterpolatesBetweenEntriesAndHitsThemExactly) {
    // Entries at 10, 12, 14: 4, 8, 2.
    const float entries[3] = {4.0f, 8.0f, 2.0f};
    ASSERT_EQ(table.Init(3, 2.0f, 10.0f, entries), 1);
    EXPECT_EQ(table.invStep, 0.5f);
    EXPECT_FLOAT_EQ(table.Lookup(10.0f), 4.0f);
    EXPECT_FLOAT_EQ(table.Lookup(12.0f), 8.0f);
    EXPECT_FLOAT_EQ(table.Lookup(11.0f), 6.0f); // half-way: the mean
    EXPECT_FLOAT_EQ(table.Lookup(13.5f), 3.5f); // 8 + 1.5 * (2 - 8) / 2
    // The last entry itself lies beyond the last segment's start and comes
    // from the extrapolation branch, which meets it exactly.
    EXPECT_FLOAT_EQ(table.Lookup(14.0f), 2.0f);
}

TEST_F(LookupTable1DTest, ExtrapolatesAlongTheEndSegmentsWithFlooredIndex) {
    const float entries[3] = {4.0f, 8.0f, 2.0f};
    ASSERT_EQ(table.Init(3, 2.0f, 10.0f, entries), 1);
    EXPECT_FLOAT_EQ(table.Lookup(9.0f), 2.0f);   // 4 + (-1) * 4 / 2
    EXPECT_FLOAT_EQ(table.Lookup(6.0f), -4.0f);  // 4 + (-4) * 4 / 2
    EXPECT_FLOAT_EQ(table.Lookup(16.0f), -4.0f); // 8 + 4 * (-6) / 2: falls through zero
    EXPECT_FLOAT_EQ(table.Lookup(20.0f), -16.0f);

    table.extrapolate = 0;
    EXPECT_FLOAT_EQ(table.Lookup(9.0f), 4.0f);
    EXPECT_FLOAT_EQ(table.Lookup(-1e30f), 4.0f);
    EXPECT_FLOAT_EQ(table.Lookup(20.0f), 2.0f);
    EXPECT_FLOAT_EQ(table.Lookup(1e30f), 2.0f);
}

TEST_F(LookupTable1DTest, NegativeFractionTakesTheLowerBranch) {
    // t = -0.5 floors to index -1, outside the table: a clamping table then
    // answers entry 0, where truncation to index 0 would interpolate to 0.
    const float entries[2] = {1.0f, 3.0f};
    ASSERT_EQ(table.Init(2, 1.0f, 0.0f, entries), 1);
    table.extrapolate = 0;
    EXPECT_FLOAT_EQ(table.Lookup(-0.5f), 1.0f); // clamped, not 1 + (-0.5) * 2 = 0
    table.extrapolate = 1;
    EXPECT_FLOAT_EQ(table.Lookup(-0.5f), 0.0f);
}

TEST_F(LookupTable1DTest, EmptyAndSingleEntryTables) {
    table.defaultValue = 7.0f;
    EXPECT_EQ(table.Lookup(3.0f), 7.0f); // never initialised
    const float one = 5.0f;
    ASSERT_EQ(table.Init(1, 1.0f, 0.0f, &one), 1);
    EXPECT_EQ(table.Lookup(-100.0f), 5.0f);
    EXPECT_EQ(table.Lookup(100.0f), 5.0f);
    table.Clear();
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.step, 0.0f);
    EXPECT_EQ(table.values, nullptr);
    EXPECT_EQ(table.Lookup(0.0f), 7.0f);
    // Zero entries: nothing allocated, the default answers.
    EXPECT_EQ(table.Init(0, 1.0f, 0.0f, nullptr), 1);
    EXPECT_EQ(table.values, nullptr);
    EXPECT_EQ(table.Lookup(0.0f), 7.0f);
}

TEST_F(LookupTable1DTest, InitWithoutValuesZeroFillsAndReplacesTheOldBlock) {
    const float entries[2] = {1.0f, 2.0f};
    ASSERT_EQ(table.Init(2, 1.0f, 0.0f, entries), 1);
    const size_t before = host.mem.LiveBlocks();
    ASSERT_EQ(table.Init(4, 1.0f, 0.0f, nullptr), 1);
    EXPECT_EQ(host.mem.LiveBlocks(), before); // the old block went back
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(table.values[i], 0.0f);
}

TEST_F(LookupTable1DTest, FailedAllocationIsLoggedAndLeavesTheTableEmpty) {
    const float entries[3] = {1.0f, 2.0f, 3.0f};
    host.mem.FailAt(1);
    EXPECT_EQ(table.Init(3, 1.0f, 0.0f, entries), 0);
    EXPECT_TRUE(host.Logged("Unable to allocate memory for 1-D look-up table (size 12)!"));
    EXPECT_EQ(table.count, 0);
    EXPECT_EQ(table.values, nullptr);
    EXPECT_EQ(table.Lookup(1.5f), 0.0f);
    // A negative count is refused the same way rather than wrapped.
    EXPECT_EQ(table.Init(-2, 1.0f, 0.0f, nullptr), 0);
    EXPECT_EQ(table.count, 0);
}

TEST_F(LookupTable1DTest, NonFiniteArgumentsStayInsideTheTable) {
    const float entries[3] = {4.0f, 8.0f, 2.0f};
    ASSERT_EQ(table.Init(3, 2.0f, 10.0f, entries), 1);
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_TRUE(std::isnan(table.Lookup(std::nanf(""))));
    EXPECT_EQ(table.Lookup(inf), -inf);
    EXPECT_EQ(table.Lookup(-inf), -inf);
    EXPECT_FLOAT_EQ(table.Lookup(3e9f), 2.0f + (3e9f - 14.0f) * -3.0f); // index far beyond 2^31
    table.extrapolate = 0;
    EXPECT_EQ(table.Lookup(std::nanf("")), 4.0f);
}

} // namespace
} // namespace envsys
