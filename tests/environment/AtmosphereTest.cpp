// The standard atmosphere tables: their values, the interpolation between
// and beyond the samples, and their life with the Environment File.
#include <gtest/gtest.h>

#include <cmath>

#include "environment/AtmosphereTables.h"
#include "plugin/EnvironmentSystem.h"
#include "testing/TestHost.h"

namespace envsys {
namespace {

using testing::TestHost;

class Atmosphere : public ::testing::Test {
protected:
    void SetUp() override {
        host.Init();
        env = host.env();
    }
    TestHost host;
    EnvironmentSystemInterface* env = nullptr;
};

TEST_F(Atmosphere, EveryQueryIsZeroUntilAFileIsLoadedAndAfterUnload) {
    for (float altitude : {-1000.0f, 0.0f, 750.0f, 30000.0f}) {
        EXPECT_EQ(env->GetAirDensity(altitude), 0.0f);
        EXPECT_EQ(env->GetAirTemperature(altitude), 0.0f);
        EXPECT_EQ(env->GetSpeedOfSound(altitude), 0.0f);
        EXPECT_EQ(env->GetInverseSpeedOfSound(altitude), 0.0f);
        EXPECT_EQ(env->GetDensityRatioRoot(altitude), 0.0f);
    }
    host.LoadText("[EnvironmentSystem]\n");
    EXPECT_FLOAT_EQ(env->GetAirDensity(0.0f), 1.225f);
    env->Unload();
    EXPECT_EQ(env->GetAirDensity(0.0f), 0.0f);
    EXPECT_EQ(env->GetDensityRatioRoot(0.0f), 0.0f);
    // A second load builds them again without keeping the first blocks.
    host.LoadText("[EnvironmentSystem]\n");
    const size_t live = host.mem.LiveBlocks();
    host.LoadText("[EnvironmentSystem]\n");
    EXPECT_EQ(host.mem.LiveBlocks(), live);
    EXPECT_FLOAT_EQ(env->GetSpeedOfSound(18000.0f), 295.07f);
}

TEST_F(Atmosphere, ValuesBetweenAndBeyondTheSamples) {
    host.LoadText("[EnvironmentSystem]\n");
    // Half-way between 1.225 and 1.0581.
    EXPECT_NEAR(env->GetAirDensity(750.0f), 1.14155f, 2e-6f);
    // Above 12 km the temperature samples are equal: 216.66 at any height.
    EXPECT_FLOAT_EQ(env->GetAirTemperature(25000.0f), 216.66f);
    // 1.225 - (1.225 - 1.0581) = 1.3919 one step below sea level.
    EXPECT_NEAR(env->GetAirDensity(-1500.0f), 1.3919f, 2e-6f);
    // Above 18 km the density falls on along the last interval's slope,
    // (0.12165 - 0.15391) / 1500 per metre: zero at 18000 + 0.12165 / that
    // = 23656 m, negative beyond. The root of the density ratio at 30019 m.
    EXPECT_GT(env->GetAirDensity(23650.0f), 0.0f);
    EXPECT_LT(env->GetAirDensity(23662.0f), 0.0f);
    EXPECT_GT(env->GetDensityRatioRoot(30010.0f), 0.0f);
    EXPECT_LT(env->GetDensityRatioRoot(30030.0f), 0.0f);
    EXPECT_FLOAT_EQ(env->GetSpeedOfSound(11250.0f), 0.5f * (297.35f + 295.07f));
}

TEST_F(Atmosphere, DerivedColumnsMatchThePublishedTable) {
    host.LoadText("[EnvironmentSystem]\n");
    // The reciprocal speed of sound and the root of the density ratio, as
    // published for every sample (single precision, within 4 ulps).
    const float inverse[13] = {0.0029386699f, 0.002989626f,  0.003043399f, 0.0031001023f, 0.0031600567f,
                               0.0032236227f, 0.0032910975f, 0.00336304f,  0.0033890263f, 0.0033890263f,
                               0.0033890263f, 0.0033890263f, 0.0033890263f};
    const float root[13] = {1.0f,       0.92938423f, 0.8615411f,  0.7964411f,  0.7340745f,  0.67442495f, 0.6174734f,
                            0.5632051f, 0.50462353f, 0.44854414f, 0.39872244f, 0.35445848f, 0.31512874f};
    for (int i = 0; i < 13; ++i) {
        const float altitude = 1500.0f * static_cast<float>(i);
        EXPECT_FLOAT_EQ(env->GetInverseSpeedOfSound(altitude), inverse[i]) << altitude;
        EXPECT_FLOAT_EQ(env->GetDensityRatioRoot(altitude), root[i]) << altitude;
    }
}

// The ICAO standard atmosphere: lapse 0.0065 K/m from 288.15 K and
// 101325 Pa to 11 km, isothermal above; R = 287.05287 J/(kg K).
void Icao(double h, double* density, double* temperature, double* speed) {
    const double R = 287.05287, g = 9.80665, lapse = 0.0065, t0 = 288.15, p0 = 101325.0;
    double t, p;
    if (h <= 11000.0) {
        t = t0 - lapse * h;
        p = p0 * std::pow(t / t0, g / (R * lapse));
    } else {
        t = t0 - lapse * 11000.0;
        p = p0 * std::pow(t / t0, g / (R * lapse)) * std::exp(-g * (h - 11000.0) / (R * t));
    }
    *density = p / (R * t);
    *temperature = t;
    *speed = std::sqrt(1.4 * R * t);
}

TEST_F(Atmosphere, InterpolationStaysCloseToTheIcaoFormulas) {
    host.LoadText("[EnvironmentSystem]\n");
    // Worst relative errors at the middle of each interval, in percent:
    // density 0.51 below 11 km and 1.44 above (the samples there already run
    // 0.4 to 0.8 high); temperature 0.78 and speed of sound 0.39 at 11250 m,
    // where the line cuts the corner of the tropopause; elsewhere under 0.05.
    for (int i = 0; i < 12; ++i) {
        const double h = 1500.0 * i + 750.0;
        double density, temperature, speed;
        Icao(h, &density, &temperature, &speed);
        const double dErr = 100.0 * (env->GetAirDensity(static_cast<float>(h)) - density) / density;
        const double tErr = 100.0 * (env->GetAirTemperature(static_cast<float>(h)) - temperature) / temperature;
        const double aErr = 100.0 * (env->GetSpeedOfSound(static_cast<float>(h)) - speed) / speed;
        const bool tropopause = i == 7;
        EXPECT_LT(std::fabs(dErr), h < 11000.0 ? 0.52 : 1.45) << h;
        EXPECT_LT(std::fabs(tErr), tropopause ? 0.79 : 0.05) << h;
        EXPECT_LT(std::fabs(aErr), tropopause ? 0.40 : 0.02) << h;
    }
}

TEST_F(Atmosphere, ATableThatCannotBeAllocatedStaysEmptyAndTheOthersAreBuilt) {
    AtmosphereTables tables;
    host.mem.FailAt(2);
    tables.Build();
    EXPECT_TRUE(host.Logged("Unable to allocate memory for 1-D look-up table (size 52)!"));
    EXPECT_FLOAT_EQ(tables.AirDensity(0.0f), 1.225f);
    EXPECT_EQ(tables.AirTemperature(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(tables.DensityRatioRoot(1500.0f), 0.92938423f);
    tables.Destroy();
    EXPECT_EQ(tables.density.values, nullptr);
    EXPECT_EQ(tables.densityRatioRoot.values, nullptr);
}

} // namespace
} // namespace envsys
