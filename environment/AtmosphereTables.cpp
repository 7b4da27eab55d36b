#include "environment/AtmosphereTables.h"

namespace envsys {

void AtmosphereTables::Build() {}
void AtmosphereTables::Clear() {}
void AtmosphereTables::Destroy() {}
float AtmosphereTables::AirDensity(float) const { return 0.0f; }
float AtmosphereTables::AirTemperature(float) const { return 0.0f; }
float AtmosphereTables::SpeedOfSound(float) const { return 0.0f; }
float AtmosphereTables::InverseSpeedOfSound(float) const { return 0.0f; }
float AtmosphereTables::DensityRatioRoot(float) const { return 0.0f; }
} // namespace envsys
