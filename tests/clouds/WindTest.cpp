// The wind: change attempts driven by scripted random numbers, the approach
// to targets, whole turns of the direction, the vector and the host's
// operations, and what a hostile file or host cannot break.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "clouds/Wind.h"
#include "config/IniFile.h"
#include "plugin/EnvironmentSystem.h"
#include "tests/clouds/ConfigReady.h"
#include "tests/support/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class WindTest : public ::testing::Test {
protected:
    void SetUp() override { host.Init(); }
    void TearDown() override { wind.Release(); }

    // One change that never attempts on its own unless the test says so.
    WindChange& SingleChange() {
        EXPECT_TRUE(wind.changes.Allocate(1));
        WindChange& change = *wind.changes.At(0);
        change.changeTime = 1e9f;
        return change;
    }

    std::vector<double> RandomBounds() const {
        std::vector<double> bounds;
        for (const auto& call : host.log.Named("RND.Random"))
            bounds.push_back(call.numbers[0]);
        return bounds;
    }

    TestHost host;
    Wind wind;
};

TEST_F(WindTest, AttemptsComeAfterTheIntervalAndDrawChanceThenSpeedThenDirection) {
    WindChange& change = SingleChange();
    change.changeTime = 1.0f;
    change.changeChance = 50.0f;
    change.speedAmount = 10.0f;
    change.directionAmount = 20.0f;

    // A timer equal to the interval does not attempt yet.
    wind.Update(0.5f);
    wind.Update(0.5f);
    EXPECT_EQ(change.timer, 1.0f);
    EXPECT_EQ(host.log.Count("RND.Random"), 0);

    // 50 truncates to 50, which is not below a chance of 50: no change.
    host.random.script = {50.0f};
    wind.Update(0.5f);
    EXPECT_EQ(change.timer, 0.0f);
    EXPECT_EQ(RandomBounds(), (std::vector<double>{100.0}));
    EXPECT_EQ(change.targetSpeedOffset, 0.0f);

    // 49.99 truncates to 49: a change. Targets (2 * 0.75 - 1) * 10 = 5 and
    // (2 * 0.25 - 1) * 20 = -10, speed drawn before direction.
    host.random.script = {49.99f, 0.75f, 0.25f};
    wind.Update(1.5f);
    EXPECT_EQ(RandomBounds(), (std::vector<double>{100.0, 100.0, 1.0, 1.0}));
    EXPECT_FLOAT_EQ(change.targetSpeedOffset, 5.0f);
    EXPECT_FLOAT_EQ(change.targetDirectionOffset, -10.0f);

    // A chance of 100 succeeds with the highest draw (99.99 truncates to 99).
    change.changeChance = 100.0f;
    host.random.script = {99.99f, 0.0f, 1.0f};
    wind.Update(1.5f);
    EXPECT_FLOAT_EQ(change.targetSpeedOffset, -10.0f);
    // The host keeps draws below the bound, so "1.0" arrives just under 1.
    EXPECT_NEAR(change.targetDirectionOffset, 20.0f, 1e-5f);
}

TEST_F(WindTest, ReachedSpeedOffsetReturnsToZeroByStepOrSnap) {
    WindChange& change = SingleChange();
    change.speedRate = 2.0f;
    change.targetSpeedOffset = 3.0f;
    wind.SetWind(0.0f, 10.0f, 1.0f);

    // Steps of 2 towards 3: 2, then a step larger than the remaining 1 snaps
    // to 3, and the target becomes 0.
    const float speeds[] = {12.0f, 13.0f, 11.0f, 10.0f, 10.0f};
    for (float expected : speeds) {
        wind.Update(1.0f);
        EXPECT_FLOAT_EQ(wind.speed, expected);
    }
    EXPECT_EQ(change.targetSpeedOffset, 0.0f);

    // Reached exactly by steps (2, 4) also sends the target back to 0.
    change.targetSpeedOffset = 4.0f;
    wind.Update(1.0f);
    wind.Update(1.0f);
    EXPECT_EQ(change.speedOffset, 4.0f);
    EXPECT_EQ(change.targetSpeedOffset, 0.0f);
    wind.Update(1.0f);
    EXPECT_EQ(change.speedOffset, 2.0f);
}

TEST_F(WindTest, ReachedDirectionOffsetStays) {
    WindChange& change = SingleChange();
    change.directionRate = 4.0f;
    change.targetDirectionOffset = 10.0f;
    const float directions[] = {4.0f, 8.0f, 10.0f, 10.0f};
    for (float expected : directions) {
        wind.Update(1.0f);
        EXPECT_FLOAT_EQ(wind.direction, expected);
    }
    EXPECT_EQ(change.targetDirectionOffset, 10.0f);
}

TEST_F(WindTest, GustScaleIsZeroUntilSetWind) {
    WindChange& change = SingleChange();
    change.speedOffset = 3.0f;
    change.directionOffset = 5.0f;
    change.targetDirectionOffset = 5.0f;
    wind.baseSpeed = 10.0f;
    wind.Update(0.1f);
    // The changes turn the wind but do not gust it.
    EXPECT_EQ(wind.speed, 10.0f);
    EXPECT_EQ(wind.direction, 5.0f);

    // SetWind takes effect at the next update: 10 + 3 * 2.
    wind.SetWind(0.0f, 10.0f, 2.0f);
    EXPECT_EQ(wind.speed, 10.0f);
    wind.Update(0.1f);
    EXPECT_FLOAT_EQ(wind.speed, 16.0f);
}

TEST_F(WindTest, DirectionIsBroughtIntoOneTurnAndTheBaseMovesWithIt) {
    WindChange& change = SingleChange();
    change.directionOffset = 30.0f;
    change.targetDirectionOffset = 30.0f;
    wind.baseDirection = 350.0f;
    // 350 + 30 = 380 -> 20, and the base goes to 350 - 360 = -10 so that the
    // next update lands on 20 again without wrapping.
    wind.Update(0.1f);
    EXPECT_FLOAT_EQ(wind.direction, 20.0f);
    EXPECT_FLOAT_EQ(wind.baseDirection, -10.0f);
    wind.Update(0.1f);
    EXPECT_FLOAT_EQ(wind.direction, 20.0f);
    EXPECT_FLOAT_EQ(wind.baseDirection, -10.0f);

    // -10 - 40 = -50 -> 310, base -10 + 360 = 350.
    change.directionOffset = -40.0f;
    change.targetDirectionOffset = -40.0f;
    wind.Update(0.1f);
    EXPECT_FLOAT_EQ(wind.direction, 310.0f);
    EXPECT_FLOAT_EQ(wind.baseDirection, 350.0f);
}

TEST_F(WindTest, WithoutChangesTheBaseDirectionIsWrappedOnItsOwn) {
    struct Case {
        float base, direction;
    };
    // 360 stays 360 and so does 720 (turns are taken off only while above
    // 360); a negative whole number of turns lands on 0.
    const Case cases[] = {{360.0f, 360.0f}, {360.5f, 0.5f},  {-10.0f, 350.0f},
                          {720.0f, 360.0f}, {-720.0f, 0.0f}, {3600010.0f, 10.0f}};
    for (const Case& c : cases) {
        wind.baseDirection = c.base;
        wind.Update(0.0f);
        EXPECT_NEAR(wind.direction, c.direction, 1e-4f) << c.base;
        EXPECT_NEAR(wind.baseDirection, c.direction, 1e-4f) << c.base;
    }
    // Far out of range still ends inside one turn, at once.
    wind.baseDirection = 1e30f;
    wind.Update(0.0f);
    EXPECT_GE(wind.direction, 0.0f);
    EXPECT_LE(wind.direction, 360.0f);
}

TEST_F(WindTest, VectorFollowsDirectionAndSpeed) {
    float out[3] = {7, 7, 7};
    // Before the first update the vector is zero.
    EXPECT_EQ(wind.GetWindVector(out), out);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);

    wind.baseSpeed = 5.0f;
    wind.Update(0.1f);
    EXPECT_EQ(wind.GetWindVector(out), out);
    EXPECT_NEAR(out[0], 0.0f, 1e-6f);
    EXPECT_FLOAT_EQ(out[1], 5.0f);

    // pi/2 radians in, 90 degrees kept (57.29578 per radian), east wind out.
    wind.SetWind(1.5707964f, 5.0f, 0.0f);
    EXPECT_NEAR(wind.baseDirection, 90.0f, 1e-4f);
    wind.Update(0.1f);
    wind.GetWindVector(out);
    EXPECT_NEAR(out[0], 5.0f, 1e-5f);
    EXPECT_NEAR(out[1], 0.0f, 1e-4f);
    EXPECT_EQ(out[2], 0.0f);
    EXPECT_NEAR(wind.GetWindDirection(), 1.5707964f, 1e-6f);

    // A negative speed is no wind.
    wind.SetWind(0.0f, -3.0f, 0.0f);
    wind.Update(0.1f);
    EXPECT_EQ(wind.speed, 0.0f);
}

TEST_F(WindTest, HostOperationsReachTheSystemsWind) {
    Wind& systemWind = g_environmentSystem.wind;
    EnvironmentSystemInterface* env = host.env();
    env->SetWind(3.1415927f, 8.0f, 0.5f);
    systemWind.Update(0.1f);
    float out[3];
    EXPECT_EQ(env->GetWindVector(out, 12345), out);
    EXPECT_NEAR(out[0], 0.0f, 1e-4f);
    EXPECT_NEAR(out[1], -8.0f, 1e-4f);
    EXPECT_NEAR(env->GetWindDirection(), 3.1415927f, 1e-5f);
    EXPECT_EQ(systemWind.gustScale, 0.5f);
}

TEST_F(WindTest, HostileStepsDrawsAndSettingsLeaveAFiniteWind) {
    WindChange& change = SingleChange();
    change.changeTime = 1.0f;
    change.changeChance = 100.0f;
    change.speedRate = 1.0f;
    change.speedAmount = 4.0f;
    change.directionAmount = 4.0f;
    change.targetSpeedOffset = 2.0f;

    // Steps that are negative or not numbers move nothing and attempt nothing.
    for (float dt : {-5.0f, kNaN, kInf, -kInf})
        wind.Update(dt);
    EXPECT_EQ(change.timer, 0.0f);
    EXPECT_EQ(change.speedOffset, 0.0f);
    EXPECT_EQ(host.log.Count("RND.Random"), 0);

    // Draws that are not numbers count as 0 and give targets within the amounts.
    host.random.script = {0.0f, kNaN, kNaN};
    wind.Update(2.0f);
    EXPECT_EQ(change.targetSpeedOffset, -4.0f);
    EXPECT_EQ(change.targetDirectionOffset, -4.0f);

    wind.SetWind(kNaN, kInf, kNaN);
    wind.Update(0.1f);
    float out[3];
    wind.GetWindVector(out);
    for (float v : out)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(wind.GetWindDirection()));
}

TEST(WindWithoutRandomService, AttemptsChangeNothing) {
    TestHost host;
    host.shell.withheld.insert("RND");
    host.Init();
    Wind wind;
    ASSERT_TRUE(wind.changes.Allocate(1));
    WindChange& change = *wind.changes.At(0);
    change.changeChance = 100.0f;
    change.speedAmount = 5.0f;
    wind.Update(1.0f);
    EXPECT_EQ(change.timer, 0.0f);
    EXPECT_EQ(change.targetSpeedOffset, 0.0f);
    wind.Release();
}

// --- Reading the Environment File --------------------------------------------

TEST_F(WindTest, LoadReadsBaseAndConsecutiveChangesWithHostileRatesDisarmed) {
    ENVSYS_REQUIRE_CONFIG(host);
    host.files.Add("wind.ini", "[BaseWindSection]\n"
                               "BaseWindSpeed=5\n"
                               "BaseWindDirection=45\n"
                               "WindChange[01].ChangeTime=10\n"
                               "WindChange[01].ChangeChance=50\n"
                               "WindChange[01].SpeedRate=1.5\n"
                               "WindChange[01].SpeedAmount=4\n"
                               "WindChange[01].DirectionRate=2\n"
                               "WindChange[01].DirectionAmount=30\n"
                               "WindChange[02].ChangeTime=3\n"
                               "WindChange[02].SpeedRate=-2\n"
                               "WindChange[02].DirectionRate=nan\n"
                               "WindChange[02].SpeedAmount=inf\n"
                               "WindChange[04].ChangeTime=1\n");
    wind.SetWind(0.0f, 1.0f, 2.0f);
    IniFile file("wind.ini", 0, 0);
    wind.Load(file);
    EXPECT_EQ(wind.baseSpeed, 5.0f);
    EXPECT_EQ(wind.baseDirection, 45.0f);
    // Loading leaves the host's gust scale alone.
    EXPECT_EQ(wind.gustScale, 2.0f);
    // 01 and 02 only: the gap before 04 ends the list.
    ASSERT_EQ(wind.changes.count, 2);
    const WindChange& first = *wind.changes.At(0);
    EXPECT_EQ(first.changeTime, 10.0f);
    EXPECT_EQ(first.changeChance, 50.0f);
    EXPECT_EQ(first.speedRate, 1.5f);
    EXPECT_EQ(first.speedAmount, 4.0f);
    EXPECT_EQ(first.directionRate, 2.0f);
    EXPECT_EQ(first.directionAmount, 30.0f);
    // A negative or non-numeric rate never moves; an infinite amount is none.
    const WindChange& second = *wind.changes.At(1);
    EXPECT_EQ(second.changeTime, 3.0f);
    EXPECT_EQ(second.changeChance, 0.0f);
    EXPECT_EQ(second.speedRate, 0.0f);
    EXPECT_EQ(second.directionRate, 0.0f);
    EXPECT_EQ(second.speedAmount, 0.0f);

    // A reload restarts every change's state.
    wind.changes.At(0)->speedOffset = 3.0f;
    wind.changes.At(0)->timer = 2.0f;
    const size_t blocks = host.mem.LiveBlocks();
    wind.Load(file);
    EXPECT_EQ(wind.changes.At(0)->speedOffset, 0.0f);
    EXPECT_EQ(wind.changes.At(0)->timer, 0.0f);
    // The earlier change block went back.
    EXPECT_EQ(host.mem.LiveBlocks(), blocks);
}

TEST_F(WindTest, FailedChangeBlockLeavesTheBaseWind) {
    ENVSYS_REQUIRE_CONFIG(host);
    host.files.Add("wind.ini", "[BaseWindSection]\nBaseWindSpeed=5\n"
                               "WindChange[01].ChangeTime=1\nWindChange[02].ChangeTime=1\n");
    IniFile file("wind.ini", 0, 0);
    host.mem.FailAt(1);
    wind.Load(file);
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 2!"));
    EXPECT_EQ(wind.changes.count, 0);
    wind.Update(1.0f);
    EXPECT_EQ(wind.speed, 5.0f);
}

} // namespace
} // namespace envsys
