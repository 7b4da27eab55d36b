// The one object the plug-in registers with its host. It aggregates one
// member per component and either works on its own model (clock, sun
// position, lighting and weather) or delegates to a component.
#pragma once

#include <cstdint>

#include "clouds/CloudLayer.h"
#include "clouds/CloudSet.h"
#include "clouds/ReflectionMaps.h"
#include "clouds/Wind.h"
#include "environment/AtmosphereTables.h"
#include "environment/CelestialFrame.h"
#include "environment/LightState.h"
#include "envsys/EnvironmentSystemInterface.h"
#include "sky/SkyDome.h"
#include "sky/StarField.h"
#include "sky/Sun.h"

namespace envsys {

class IniFile;

class EnvironmentSystem final : public EnvironmentSystemInterface {
public:
    EnvironmentSystem();
    ~EnvironmentSystem();
    EnvironmentSystem(const EnvironmentSystem&) = delete;
    EnvironmentSystem& operator=(const EnvironmentSystem&) = delete;

    // InitDLL: acquires GFX, VMG and PTS and publishes the frame context.
    void SetUp();
    // ExitDLL: releases PTS, VMG and GFX and clears the frame context.
    void TearDown();

    // --- the 35 operations, in slot order ---
    int32_t LoadEnvironment(const char* fileName) override;
    void Unload() override;
    void SetVisibility(float scale) override;
    void SetLocation(int32_t unused, float latitude) override;
    void SetWeather(const WeatherParams* params) override;
    void Update(float elapsedSeconds) override;
    void PrepareFrame() override;
    void DrawSky() override;
    void DrawLensFlare() override;
    void SetTime(const TimeOfDay* value) override;
    void SetDate(const CalendarDate* value) override;
    TimeOfDay* GetTime(TimeOfDay* out) override;
    CalendarDate* GetDate(CalendarDate* out) override;
    int32_t AddTime(int32_t seconds) override;
    void AddDays(int32_t days) override;
    void SetLatitude(float degrees) override;
    void SetInclination(float degrees) override;
    float GetSunLightLevel() override;
    float* GetSunDirection(float* out3) override;
    HostLight* GetSunLight() override;
    void SetWind(float directionRadians, float speed, float gustScale) override;
    float GetWindDirection() override;
    float* GetWindVector(float* out3, int32_t ignored) override;
    float GetAirDensity(float altitude) override;
    float GetAirTemperature(float altitude) override;
    float GetSpeedOfSound(float altitude) override;
    float GetInverseSpeedOfSound(float altitude) override;
    float GetDensityRatioRoot(float altitude) override;
    int32_t IsAboveOvercast(float altitude) override;
    int32_t IsBelowOvercast(float altitude) override;
    int32_t ReservedQuery(int32_t a, int32_t b) override;
    void SetHostValue(float value) override;
    float GetHostValue() override;
    float GetGravityAcceleration() override;
    float* GetGravityVector(float* out3) override;

    // Everything LoadEnvironment does once the document is open: the model's
    // own sections, then every component's loader, in load order. A document
    // opened in record-defaults mode comes back holding every key read.
    void LoadDocument(IniFile& file);

    // Lighting recompute, called by Update when one is due.
    void RecomputeLighting();

    // Fog and weather settings of the Environment File.
    struct WeatherSettings {
        float startClear, endClear;
        float startOvercast, endOvercast;
        float overcastColor[3];
        float startInclement, endInclement;
        float inclementColor[3];
        float startCloud, endCloud;
        float cloudColor[3];
        float hazeFogColor[3];
        float overcastLight, inclementLight;
        float overcastHorizonColor[3];
        float inclementHorizonColor[3];
    };

    // --- members, in this order ---
    int32_t recomputeNeeded = 0;
    float timeSinceRecompute = 0.0f;
    float updateInterval = 0.0f;
    CelestialFrame celestialFrame{};
    SkyDome skyDome;
    Sun sun;
    Wind wind;
    AtmosphereTables atmosphere;
    float gravityAcceleration = 0.0f;
    float gravityVector[3] = {0.0f, 0.0f, 0.0f};
    ReflectionMaps reflectionMaps;
    StarField starField;
    CloudSet cloudSet;
    CloudLayer cloudLayer;
    CloudLayer secondCloudLayer; // constructed and destroyed, never loaded or built
    float visibilityScale = 0.0f;
    CalendarDate date{0, 1, 1};
    TimeOfDay time{0, 0, 0, 0};
    int32_t weatherLevel = 0;
    int32_t skyVisible = 0;           // above-overcast flag, refreshed by PrepareFrame
    int32_t horizonCloudsVisible = 0; // below-overcast flag, refreshed by PrepareFrame
    float overcastAltitude = 0.0f;
    float transitionDepth = 0.0f;
    float weatherIntensity = 0.0f;
    WeatherSettings weather{};
    float fogStart = 0.0f;
    float fogEnd = 0.0f;
    float sunVisibility = 0.0f; // cloud light factor
    int32_t bandState = 0;      // -1 unknown or inside the band, 0 below, 1 above
    int32_t hazeSelector = 0;   // -1 no haze, else the weather level given
    int32_t emitterHandles[2] = {0, 0};
    int32_t particleSystem = 0;
    float workingSky[3] = {0.0f, 0.0f, 0.0f};
    float workingHorizon[3] = {0.0f, 0.0f, 0.0f};
    float workingFog[3] = {0.0f, 0.0f, 0.0f};
    LightState day{};
    LightState twilight1{};
    LightState twilight2{};
    LightState night{};
    LightState current{};
    float hostValue = 0.0f;

private:
    void Mark() {
        recomputeNeeded = 1;
        timeSinceRecompute = 0.0f;
    }
};

// The plug-in's one instance, constructed when the library loads.
extern EnvironmentSystem g_environmentSystem;

// Puts the instance back into its constructed state without freeing anything:
// ExitDLL calls it after MEM has taken back every block of the owner tag, so
// that a host that calls InitDLL again without reloading the library starts
// from a clean object instead of one holding pointers to released memory.
void ResetEnvironmentSystemAfterExit();

} // namespace envsys
