#include "environment/AtmosphereTables.h"

#include <cmath>

namespace envsys {

namespace {

constexpr int32_t kEntries = 13;
constexpr float kStepMetres = 1500.0f;

// Density, temperature and speed of sound at 0, 1500, ... 18000 m. The
// sea-level temperature is 288.16 K; above 11 km the air is isothermal.
const float kDensity[kEntries] = {1.225f,   1.0581f,  0.90926f, 0.77704f, 0.66011f, 0.55719f, 0.46706f,
                                  0.38857f, 0.31194f, 0.24646f, 0.19475f, 0.15391f, 0.12165f};
const float kTemperature[kEntries] = {288.16f, 278.41f, 268.67f, 258.93f, 249.2f,  239.47f, 229.74f,
                                      220.02f, 216.66f, 216.66f, 216.66f, 216.66f, 216.66f};
const float kSpeedOfSound[kEntries] = {340.29f, 334.49f, 328.58f, 322.57f, 316.45f, 310.21f, 303.85f,
                                       297.35f, 295.07f, 295.07f, 295.07f, 295.07f, 295.07f};

} // namespace

void AtmosphereTables::Build() {
    // The derived columns are worked out in double and only then rounded, so
    // they are the nearest floats to the exact values.
    float inverse[kEntries];
    float ratioRoot[kEntries];
    const double inverseSeaLevelDensity = 1.0 / static_cast<double>(kDensity[0]);
    for (int32_t i = 0; i < kEntries; ++i) {
        inverse[i] = static_cast<float>(1.0 / static_cast<double>(kSpeedOfSound[i]));
        ratioRoot[i] = static_cast<float>(std::sqrt(inverseSeaLevelDensity * static_cast<double>(kDensity[i])));
    }
    density.Init(kEntries, kStepMetres, 0.0f, kDensity);
    temperature.Init(kEntries, kStepMetres, 0.0f, kTemperature);
    speedOfSound.Init(kEntries, kStepMetres, 0.0f, kSpeedOfSound);
    inverseSpeedOfSound.Init(kEntries, kStepMetres, 0.0f, inverse);
    densityRatioRoot.Init(kEntries, kStepMetres, 0.0f, ratioRoot);
}

void AtmosphereTables::Clear() {
    density.Clear();
    temperature.Clear();
    speedOfSound.Clear();
    inverseSpeedOfSound.Clear();
    densityRatioRoot.Clear();
}

void AtmosphereTables::Destroy() {
    densityRatioRoot.Clear();
    inverseSpeedOfSound.Clear();
    speedOfSound.Clear();
    temperature.Clear();
    density.Clear();
}

} // namespace envsys
