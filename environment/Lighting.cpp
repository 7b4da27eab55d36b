// Weather, the per-frame update and the lighting recompute of the
// EnvironmentSystem.
#include "plugin/EnvironmentSystem.h"

namespace envsys {

void EnvironmentSystem::SetWeather(const WeatherParams*) {}
void EnvironmentSystem::Update(float) {}
void EnvironmentSystem::RecomputeLighting() {}

} // namespace envsys
