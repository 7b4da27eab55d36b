// The evenly spaced look-up table: interpolation, the floor of negative
// indices, extrapolation along the end segments and the empty states.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "clouds/LookupTable1D.h"
#include "testing/TestHost.h"

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

TEST_F(LookupTable1DTest, InterpolatesExtrapolatesOrClampsWithAFlooredIndex) {
    // Entries at 10, 12, 14: 4, 8, 2 (step 2).
    const float entries[3] = {4.0f, 8.0f, 2.0f};
    ASSERT_EQ(table.Init(3, 2.0f, 10.0f, entries), 1);
    EXPECT_EQ(table.invStep, 0.5f);
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        int32_t extrapolate;
        float x, expected;
    } cases[] = {
        {1, 10.0f, 4.0f},         {1, 12.0f, 8.0f},
        {1, 11.0f, 6.0f},  // half-way: the mean
        {1, 13.5f, 3.5f},  // 8 + 1.5 * (2 - 8) / 2
        {1, 14.0f, 2.0f},  // the last entry comes from the extrapolation branch, which meets it exactly
        {1, 9.0f, 2.0f},   // 4 + (-1) * 4 / 2
        {1, 6.0f, -4.0f},  // 4 + (-4) * 4 / 2
        {1, 16.0f, -4.0f}, // 8 + 4 * (-6) / 2: falls through zero
        {1, 20.0f, -16.0f},       {1, inf, -inf},
        {1, -inf, -inf},          {1, 3e9f, 2.0f + (3e9f - 14.0f) * -3.0f}, // index far beyond 2^31
        {0, 9.0f, 4.0f},          {0, -1e30f, 4.0f},
        {0, 20.0f, 2.0f},         {0, 1e30f, 2.0f},
        {0, std::nanf(""), 4.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "extrapolate " << c.extrapolate << " at " << c.x);
        table.extrapolate = c.extrapolate;
        EXPECT_FLOAT_EQ(table.Lookup(c.x), c.expected);
    }
    table.extrapolate = 1;
    EXPECT_TRUE(std::isnan(table.Lookup(std::nanf(""))));
    // At an entry the answer is the entry itself, not 0.1 + 3 * 0.6 / 3,
    // which rounds to 0.70000005.
    const float thirds[3] = {0.1f, 0.7f, 0.2f};
    ASSERT_EQ(table.Init(3, 3.0f, 0.0f, thirds), 1);
    EXPECT_EQ(table.Lookup(3.0f), 0.7f);

    // t = -0.5 floors to index -1, outside the table: a clamping table then
    // answers entry 0, where truncation to index 0 would interpolate to 0.
    const float two[2] = {1.0f, 3.0f};
    ASSERT_EQ(table.Init(2, 1.0f, 0.0f, two), 1);
    table.extrapolate = 0;
    EXPECT_FLOAT_EQ(table.Lookup(-0.5f), 1.0f); // clamped, not 1 + (-0.5) * 2 = 0
    table.extrapolate = 1;
    EXPECT_FLOAT_EQ(table.Lookup(-0.5f), 0.0f);
}

// The rule, written out: the index is the floor of (x - origin) / step
// (times invStep); inside the table the segment's line, outside the end
// segment's line or, for a clamping table, the end entry.
float RuleLookup(const LookupTable1D& t, float x) {
    const float d = x - t.origin;
    const float index = std::floor(d * t.invStep);
    const int32_t last = t.count - 1;
    auto line = [&](int32_t i, float offset) {
        return t.values[i] + (offset * (t.values[i + 1] - t.values[i])) * t.invStep;
    };
    if (index >= 0.0f && index < static_cast<float>(last)) {
        const auto i = static_cast<int32_t>(index);
        return line(i, d - static_cast<float>(i) * t.step);
    }
    if (t.extrapolate == 0) return index >= 0.0f ? t.values[last] : t.values[0];
    if (index >= 0.0f) return line(last - 1, d - static_cast<float>(last - 1) * t.step);
    return line(0, d);
}

TEST_F(LookupTable1DTest, EveryArgumentGivesWhatTheRuleGives) {
    const float atmosphere[13] = {1.225f,  1.0066f, 0.8194f, 0.6601f,  0.5258f,  0.4135f, 0.3119f,
                                  0.2279f, 0.1665f, 0.1216f, 0.08891f, 0.06451f, 0.04713f};
    const float two[2] = {-3.0f, 5.0f};
    const float descending[4] = {1.0f, 0.5f, 0.25f, 0.125f};
    struct Table {
        int32_t count;
        float step, origin;
        const float* entries;
    } tables[] = {{13, 1500.0f, 0.0f, atmosphere}, {2, 0.25f, -1.0f, two}, {4, -2.0f, 10.0f, descending}};
    const float inf = std::numeric_limits<float>::infinity();
    const float special[] = {0.0f, -0.0f, inf, -inf, std::nanf(""), 1e30f, -1e30f, 3e9f, 18000.0f, 17999.998f};
    uint32_t state = 11;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state;
    };
    for (const Table& t : tables) {
        ASSERT_EQ(table.Init(t.count, t.step, t.origin, t.entries), 1);
        for (int32_t extrapolate = 0; extrapolate <= 1; ++extrapolate) {
            table.extrapolate = extrapolate;
            auto check = [&](float x) {
                const float got = table.Lookup(x);
                const float want = RuleLookup(table, x);
                if (std::isnan(want))
                    EXPECT_TRUE(std::isnan(got)) << x;
                else
                    EXPECT_EQ(got, want) << "x " << x << " step " << t.step << " extrapolate " << extrapolate;
                EXPECT_EQ(std::signbit(got), std::signbit(want)) << x;
            };
            for (float x : special)
                check(x);
            // Arguments across and around the table, and entry positions exactly.
            const float span = static_cast<float>(t.count + 2) * std::fabs(t.step);
            for (int k = 0; k < 20000; ++k)
                check(t.origin - span + 3.0f * span * static_cast<float>(next() >> 8) / 16777216.0f);
            for (int32_t k = -2; k <= t.count + 1; ++k)
                check(t.origin + static_cast<float>(k) * t.step);
        }
    }
}

TEST_F(LookupTable1DTest, EmptySingleEntryAndZeroFilledTables) {
    table.defaultValue = 7.0f;
    EXPECT_EQ(table.Lookup(3.0f), 7.0f); // never initialised
    const float one = 5.0f;
    ASSERT_EQ(table.Init(1, 1.0f, 0.0f, &one), 1);
    EXPECT_EQ(table.Lookup(-100.0f), 5.0f);
    EXPECT_EQ(table.Lookup(100.0f), 5.0f);
    table.Clear();
    EXPECT_TRUE(table.count == 0 && table.step == 0.0f && table.values == nullptr);
    EXPECT_EQ(table.Lookup(0.0f), 7.0f);
    // Zero entries: nothing allocated, the default answers.
    EXPECT_EQ(table.Init(0, 1.0f, 0.0f, nullptr), 1);
    EXPECT_EQ(table.values, nullptr);
    EXPECT_EQ(table.Lookup(0.0f), 7.0f);

    // Without values the entries are zero, and the old block goes back.
    ASSERT_EQ(table.Init(1, 1.0f, 0.0f, &one), 1);
    const size_t before = host.mem.LiveBlocks();
    ASSERT_EQ(table.Init(4, 1.0f, 0.0f, nullptr), 1);
    EXPECT_EQ(host.mem.LiveBlocks(), before);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(table.values[i], 0.0f);
}

TEST_F(LookupTable1DTest, FailedAllocationIsLoggedAndLeavesTheTableEmpty) {
    const float entries[3] = {1.0f, 2.0f, 3.0f};
    host.mem.FailAt(1);
    EXPECT_EQ(table.Init(3, 1.0f, 0.0f, entries), 0);
    EXPECT_TRUE(host.Logged("Unable to allocate memory for 1-D look-up table (size 12)!"));
    EXPECT_TRUE(table.count == 0 && table.values == nullptr);
    EXPECT_EQ(table.Lookup(1.5f), 0.0f);
    // A negative count, or one of 4 GiB, is refused the same way rather than wrapped.
    EXPECT_EQ(table.Init(-2, 1.0f, 0.0f, nullptr), 0);
    EXPECT_EQ(table.Init(0x40000000, 1.0f, 0.0f, nullptr), 0);
    EXPECT_EQ(table.count, 0);
}

} // namespace
} // namespace envsys
