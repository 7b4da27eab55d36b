// The EnvironmentSystem object: set-up and tear-down, and the operations
// that either work on the clock and the stored values or delegate to a
// component. Loading lives in environment/EnvironmentLoader.cpp, weather, the
// per-frame update and the lighting in environment/Lighting.cpp.
#include "plugin/EnvironmentSystem.h"

#include <cmath>
#include <new>

#include "environment/CelestialFrame.h"
#include "environment/Clock.h"
#include "plugin/FrameContext.h"
#include "plugin/PluginState.h"

namespace envsys {

EnvironmentSystem g_environmentSystem;
FrameContext g_frame;

EnvironmentSystem::EnvironmentSystem() = default;

EnvironmentSystem::~EnvironmentSystem() {
    cloudSet.Release();
    starField.Release();
    atmosphere.Destroy();
    wind.Release();
    sun.Release();
}

void ResetEnvironmentSystemAfterExit() {
    // Every block the object pointed at went back with the owner tag, so the
    // old state is dropped without running its destructor.
    new (&g_environmentSystem) EnvironmentSystem();
    g_frame = FrameContext{};
}

void EnvironmentSystem::SetUp() {
    ApplicationShell* shell = g_plugin.shell;
    if (shell != nullptr) {
        shell->Acquire("GFX", reinterpret_cast<void**>(&g_plugin.gfx));
        shell->Acquire("VMG", reinterpret_cast<void**>(&g_plugin.vmg));
        shell->Acquire("PTS", reinterpret_cast<void**>(&g_plugin.pts));
    }
    g_frame.system = this;
    g_frame.celestialFrame = &celestialFrame;
    g_frame.light = &current;
    sun.ResetQuadBlock();
    weatherLevel = 0;
    overcastAltitude = 0.0f;
    transitionDepth = 1.0f;
    hazeSelector = -1;
    bandState = -1;
    emitterHandles[0] = -1;
    emitterHandles[1] = -1;
    particleSystem = -1;
}

void EnvironmentSystem::TearDown() {
    ApplicationShell* shell = g_plugin.shell;
    if (shell != nullptr) {
        shell->Release("PTS", reinterpret_cast<void**>(&g_plugin.pts));
        shell->Release("VMG", reinterpret_cast<void**>(&g_plugin.vmg));
        shell->Release("GFX", reinterpret_cast<void**>(&g_plugin.gfx));
    }
    g_plugin.pts = nullptr;
    g_plugin.vmg = nullptr;
    g_plugin.gfx = nullptr;
    g_frame.system = nullptr;
    g_frame.celestialFrame = nullptr;
    g_frame.light = nullptr;
}

void EnvironmentSystem::Unload() {
    cloudLayer.Release();
    cloudSet.Release();
    starField.Release();
    atmosphere.Clear();
    reflectionMaps.Release();
    wind.Release();
    skyDome.Release();
    sun.Release();
}

void EnvironmentSystem::SetVisibility(float scale) {
    // A NaN or infinite scale from the host is ignored; the fog end stays finite.
    if (std::isfinite(scale)) visibilityScale = scale;
}

void EnvironmentSystem::SetLocation(int32_t, float latitude) { SetLatitudeRotation(celestialFrame, latitude); }

void EnvironmentSystem::PrepareFrame() {
    EnvironmentSystemInterface* self = this;
    const float altitude = static_cast<float>(g_frame.viewerPosition[2]);
    skyVisible = self->IsAboveOvercast(altitude);
    horizonCloudsVisible = self->IsBelowOvercast(altitude);
    sun.UpdateLight();
    if (cloudLayer.IsBuilt()) cloudLayer.Draw();
}

void EnvironmentSystem::DrawSky() {
    // Without a graphics service there is nothing to draw into.
    if (Gfx() == nullptr) return;
    g_frame.currentView = Gfx()->GetView();
    skyDome.DrawUpper();
    if (skyVisible && current.sunLightLevel > 0.0f && sunVisibility > 0.0f) sun.Draw(sunVisibility);
    skyDome.DrawLower();
    if (skyVisible && current.sunLightLevel < 1.0f) starField.Draw();
}

void EnvironmentSystem::DrawLensFlare() {
    if (Gfx() == nullptr) return;
    if (skyVisible && current.sunBrightness > 0.0f && sunVisibility > 0.0f) sun.DrawLensFlares(sunVisibility);
}

void EnvironmentSystem::SetTime(const TimeOfDay* value) {
    if (value == nullptr) return;
    time = *value;
    Mark();
}

void EnvironmentSystem::SetDate(const CalendarDate* value) {
    if (value == nullptr) return;
    date = *value;
    Mark();
}

TimeOfDay* EnvironmentSystem::GetTime(TimeOfDay* out) {
    if (out != nullptr) *out = time;
    return out;
}

CalendarDate* EnvironmentSystem::GetDate(CalendarDate* out) {
    if (out != nullptr) *out = date;
    return out;
}

int32_t EnvironmentSystem::AddTime(int32_t seconds) {
    const int32_t carry = AddSecondsToTime(time, seconds);
    Mark();
    return carry;
}

void EnvironmentSystem::AddDays(int32_t days) {
    AddDaysToDate(date, days);
    Mark();
}

void EnvironmentSystem::SetLatitude(float degrees) { SetLatitudeRotation(celestialFrame, degrees); }

void EnvironmentSystem::SetInclination(float degrees) { SetInclinationRotation(celestialFrame, degrees); }

float EnvironmentSystem::GetSunLightLevel() { return current.sunLightLevel; }

float* EnvironmentSystem::GetSunDirection(float* out3) { return sun.GetSunDirection(out3); }

HostLight* EnvironmentSystem::GetSunLight() { return sun.GetSunLight(); }

void EnvironmentSystem::SetWind(float directionRadians, float speed, float gustScale) {
    wind.SetWind(directionRadians, speed, gustScale);
}

float EnvironmentSystem::GetWindDirection() { return wind.GetWindDirection(); }

float* EnvironmentSystem::GetWindVector(float* out3, int32_t) { return wind.GetWindVector(out3); }

float EnvironmentSystem::GetAirDensity(float altitude) { return atmosphere.AirDensity(altitude); }
float EnvironmentSystem::GetAirTemperature(float altitude) { return atmosphere.AirTemperature(altitude); }
float EnvironmentSystem::GetSpeedOfSound(float altitude) { return atmosphere.SpeedOfSound(altitude); }
float EnvironmentSystem::GetInverseSpeedOfSound(float altitude) { return atmosphere.InverseSpeedOfSound(altitude); }
float EnvironmentSystem::GetDensityRatioRoot(float altitude) { return atmosphere.DensityRatioRoot(altitude); }

int32_t EnvironmentSystem::IsAboveOvercast(float altitude) {
    if (weatherLevel <= 2) return 1;
    return altitude > overcastAltitude ? 1 : 0;
}

int32_t EnvironmentSystem::IsBelowOvercast(float altitude) {
    if (weatherLevel <= 2) return 1;
    return altitude < overcastAltitude ? 1 : 0;
}

int32_t EnvironmentSystem::ReservedQuery(int32_t, int32_t) { return 0; }

void EnvironmentSystem::SetHostValue(float value) { hostValue = value; }

float EnvironmentSystem::GetHostValue() { return hostValue; }

float EnvironmentSystem::GetGravityAcceleration() { return gravityAcceleration; }

float* EnvironmentSystem::GetGravityVector(float* out3) {
    if (out3 != nullptr) {
        out3[0] = gravityVector[0];
        out3[1] = gravityVector[1];
        out3[2] = gravityVector[2];
    }
    return out3;
}

} // namespace envsys
