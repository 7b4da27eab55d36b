// The wind: change attempts on scripted random numbers, the approach to
// targets, whole turns of the direction, the vector, the file, and hostile
// values from the file or the host.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "clouds/Wind.h"
#include "config/IniFile.h"
#include "plugin/PluginState.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

class WindTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.files.disk.root = ENVSYS_SOURCE_DIR "/tests/data/clouds";
        host.Init();
    }
    void TearDown() override { wind.Release(); }

    // One change that attempts only when a test shortens its interval.
    WindChange& Change() {
        EXPECT_TRUE(wind.changes.Allocate(1));
        wind.changes.At(0)->changeTime = 1e9f;
        return *wind.changes.At(0);
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

TEST_F(WindTest, AttemptsFollowTheIntervalAndDrawChanceThenSpeedThenDirection) {
    WindChange& change = Change();
    change.changeTime = 1.0f;
    change.changeChance = 50.0f;
    change.speedAmount = 10.0f;
    change.directionAmount = 20.0f;

    wind.Update(0.5f);
    wind.Update(0.5f); // timer equal to the interval: no attempt yet
    EXPECT_EQ(host.log.Count("RND.Random"), 0);

    host.random.script = {50.0f}; // 50 is not below a chance of 50
    wind.Update(0.5f);
    EXPECT_EQ(change.timer, 0.0f);
    EXPECT_EQ(change.targetSpeedOffset, 0.0f);

    // 49.99 truncates to 49: targets (2 * 0.75 - 1) * 10 = 5, (2 * 0.25 - 1) * 20 = -10.
    host.random.script = {49.99f, 0.75f, 0.25f};
    wind.Update(1.5f);
    EXPECT_EQ(RandomBounds(), (std::vector<double>{100, 100, 1, 1}));
    EXPECT_FLOAT_EQ(change.targetSpeedOffset, 5.0f);
    EXPECT_FLOAT_EQ(change.targetDirectionOffset, -10.0f);
}

TEST_F(WindTest, AReachedGustDiesAwayWhileADirectionOffsetStays) {
    WindChange& change = Change();
    change.speedRate = 2.0f;
    change.targetSpeedOffset = 3.0f;
    change.directionRate = 4.0f;
    change.targetDirectionOffset = 10.0f;
    wind.baseSpeed = 10.0f;

    // Gust scale 0 until SetWind: the change turns the wind but does not gust it.
    wind.Update(1.0f);
    EXPECT_EQ(wind.speed, 10.0f);
    EXPECT_EQ(change.speedOffset, 2.0f);
    wind.SetWind(0.0f, 10.0f, 1.0f);

    // Offset 2 -> snap to 3 (step 2 > 1 left) -> target 0 -> 1 -> snap to 0;
    // direction 4, 8, snap to 10, and 10 stays.
    const float speeds[] = {13.0f, 11.0f, 10.0f, 10.0f};
    const float directions[] = {8.0f, 10.0f, 10.0f, 10.0f};
    for (int i = 0; i < 4; ++i) {
        wind.Update(1.0f);
        EXPECT_FLOAT_EQ(wind.speed, speeds[i]) << i;
        EXPECT_FLOAT_EQ(wind.direction, directions[i]) << i;
    }
    EXPECT_EQ(change.targetDirectionOffset, 10.0f);

    // A target reached exactly by steps (2, 4) returns to 0 as well.
    change.targetSpeedOffset = 4.0f;
    wind.Update(1.0f);
    wind.Update(1.0f);
    EXPECT_EQ(change.targetSpeedOffset, 0.0f);
    wind.Update(1.0f);
    EXPECT_EQ(change.speedOffset, 2.0f);
}

TEST_F(WindTest, DirectionWrapsByWholeTurnsAndTheBaseTurnsWithIt) {
    WindChange& change = Change();
    change.directionOffset = change.targetDirectionOffset = 30.0f;
    wind.baseDirection = 350.0f;
    // 380 -> 20 with the base at -10, so the next update lands on 20 unwrapped.
    wind.Update(0.1f);
    EXPECT_FLOAT_EQ(wind.direction, 20.0f);
    EXPECT_FLOAT_EQ(wind.baseDirection, -10.0f);
    change.directionOffset = change.targetDirectionOffset = -40.0f;
    wind.Update(0.1f); // -50 -> 310, base 350
    EXPECT_FLOAT_EQ(wind.direction, 310.0f);
    EXPECT_FLOAT_EQ(wind.baseDirection, 350.0f);

    // Without offsets: 360 and 720 end on 360 (turns come off only while
    // above 360), -720 on 0; a far-out value wraps at once.
    change.directionOffset = change.targetDirectionOffset = 0.0f;
    const float cases[][2] = {{360.0f, 360.0f}, {360.5f, 0.5f},  {-10.0f, 350.0f},
                              {720.0f, 360.0f}, {-720.0f, 0.0f}, {3600010.0f, 10.0f}};
    for (const auto& c : cases) {
        wind.baseDirection = c[0];
        wind.Update(0.0f);
        EXPECT_NEAR(wind.direction, c[1], 1e-4f) << c[0];
        EXPECT_NEAR(wind.baseDirection, c[1], 1e-4f) << c[0];
    }
    wind.baseDirection = 1e30f;
    wind.Update(0.0f);
    EXPECT_TRUE(wind.direction >= 0.0f && wind.direction <= 360.0f);
}

TEST_F(WindTest, VectorAndRadiansAtTheInterface) {
    float out[3] = {7, 7, 7};
    EXPECT_EQ(wind.GetWindVector(out), out); // zero before the first update
    EXPECT_EQ(out[0] + out[1] + out[2], 0.0f);

    wind.baseSpeed = 5.0f;
    wind.Update(0.1f);
    wind.GetWindVector(out);
    EXPECT_NEAR(out[0], 0.0f, 1e-6f); // direction 0: towards +y
    EXPECT_FLOAT_EQ(out[1], 5.0f);

    wind.SetWind(1.5707964f, 5.0f, 0.0f); // pi/2 -> 90 degrees (57.29578 a radian)
    EXPECT_NEAR(wind.baseDirection, 90.0f, 1e-4f);
    wind.Update(0.1f);
    wind.GetWindVector(out);
    EXPECT_NEAR(out[0], 5.0f, 1e-5f);
    EXPECT_NEAR(out[1], 0.0f, 1e-4f);
    EXPECT_NEAR(wind.GetWindDirection(), 1.5707964f, 1e-6f);

    wind.SetWind(0.0f, -3.0f, 0.0f); // a negative speed is no wind
    wind.Update(0.1f);
    EXPECT_EQ(wind.speed, 0.0f);
}

TEST_F(WindTest, HostileStepsDrawsAndSettingsLeaveAFiniteWind) {
    WindChange& change = Change();
    change.changeTime = 1.0f;
    change.changeChance = 100.0f;
    change.speedRate = 1.0f;
    change.speedAmount = change.directionAmount = 4.0f;
    change.targetSpeedOffset = 2.0f;
    for (float dt : {-5.0f, kNaN, std::numeric_limits<float>::infinity()})
        wind.Update(dt);
    EXPECT_EQ(change.timer, 0.0f);
    EXPECT_EQ(change.speedOffset, 0.0f);

    host.random.script = {0.0f, kNaN, kNaN}; // draws that are not numbers count as 0
    wind.Update(2.0f);
    EXPECT_EQ(change.targetSpeedOffset, -4.0f);
    EXPECT_EQ(change.targetDirectionOffset, -4.0f);

    wind.SetWind(kNaN, std::numeric_limits<float>::infinity(), kNaN);
    wind.Update(0.1f);
    float out[3];
    wind.GetWindVector(out);
    for (float v : out)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::isfinite(wind.GetWindDirection()));
    EXPECT_EQ(wind.GetWindVector(nullptr), nullptr);
    // A gust that takes the speed beyond the largest float is no wind.
    wind.SetWind(0.0f, 3e38f, FLT_MAX);
    change.speedOffset = change.targetSpeedOffset = 2.0f;
    wind.Update(0.1f);
    EXPECT_EQ(wind.speed, 0.0f);

    // Without a random-number service an attempt changes nothing.
    g_plugin.rnd = nullptr;
    change.targetDirectionOffset = 1.0f;
    wind.Update(2.0f);
    EXPECT_EQ(change.targetDirectionOffset, 1.0f);
    g_plugin.rnd = &host.random;

    // The largest finite step is still a step: the gust reaches its target.
    change.changeChance = 0.0f;
    change.speedOffset = 0.0f;
    change.targetSpeedOffset = 2.0f;
    wind.Update(FLT_MAX);
    EXPECT_EQ(change.speedOffset, 2.0f);
}

TEST_F(WindTest, LoadReadsConsecutiveChangesAndDisarmsHostileRates) {
    // wind.ini: a full change, one with hostile rates, and one after a gap.
    wind.SetWind(0.0f, 1.0f, 2.0f);
    IniFile file("wind.ini", 0, 0);
    wind.Load(file);
    EXPECT_EQ(wind.baseSpeed, 5.0f);
    EXPECT_EQ(wind.baseDirection, 45.0f);
    EXPECT_EQ(wind.gustScale, 2.0f);                      // loading leaves the host's gust scale
    ASSERT_EQ(wind.changes.count, 2);                     // the gap before 04 ends the list
    const float* first = &wind.changes.At(0)->changeTime; // the six settings in file order
    EXPECT_EQ(std::vector<float>(first, first + 6), (std::vector<float>{10, 50, 1.5f, 4, 2, 30}));
    // A negative or infinite rate never moves; an infinite amount is none,
    // the largest float is still a number.
    const WindChange& second = *wind.changes.At(1);
    EXPECT_EQ(std::vector<float>({second.speedRate, second.directionRate, second.speedAmount}),
              std::vector<float>(3, 0.0f));
    EXPECT_EQ(second.changeChance, FLT_MAX);

    // A reload restarts the changes' state and gives the old block back; a
    // failed block leaves the base wind alone.
    wind.changes.At(0)->speedOffset = 3.0f;
    const size_t blocks = host.mem.LiveBlocks();
    wind.Load(file);
    EXPECT_EQ(wind.changes.At(0)->speedOffset, 0.0f);
    EXPECT_EQ(host.mem.LiveBlocks(), blocks);
    host.mem.FailAt(1);
    wind.Load(file);
    EXPECT_TRUE(host.Logged("Unable to allocate block memory of size 2!"));
    EXPECT_EQ(wind.changes.count, 0);
    wind.Update(1.0f);
    EXPECT_EQ(wind.speed, 5.0f);
}

} // namespace
} // namespace envsys
